#pragma once
// Exit codes of varnholt-odds, shared by all its modes.

constexpr int OddsToolOk = 0;
constexpr int OddsToolBadArgument = 2;
constexpr int OddsToolTooLarge = 3;  // --exact: the battle is too large for exact odds
constexpr int OddsToolFailed = 4;    // --exact: the calculation broke one of its own invariants
