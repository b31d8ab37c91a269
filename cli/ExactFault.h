#pragma once
// A test's way to check that a broken invariant of the exact odds is reported
// as a failure, never printed as odds: set VARNHOLT_EXACT_INJECT_FAULT.
#include <cstdlib>

inline bool ExactFaultInjected() { return std::getenv("VARNHOLT_EXACT_INJECT_FAULT") != nullptr; }
