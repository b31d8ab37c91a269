#pragma once
// varnholt-odds: fights one battle setup from the command line and prints the
// odds, either as a readable report or as one JSON object.
#include <iosfwd>

#include "cli/ExitCodes.h"

// Runs the tool with the given arguments (argv[0] is the program name).
// Reports go to out; a malformed argument gives exactly one line on err,
// nothing on out and OddsToolBadArgument.
int RunOddsTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
