#pragma once
// varnholt-odds: fights one battle setup from the command line and prints the
// odds, either as a readable report or as one JSON object.
#include <iosfwd>

// Exit codes of the tool.
constexpr int OddsToolOk = 0;
constexpr int OddsToolBadArgument = 2;
constexpr int OddsToolTooLarge = 3;  // --exact: the battle is too large for exact odds
constexpr int OddsToolFailed = 4;    // --exact: the calculation broke one of its own invariants

// Runs the tool with the given arguments (argv[0] is the program name).
// Reports go to out; a malformed argument gives exactly one line on err,
// nothing on out and OddsToolBadArgument.
int RunOddsTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
