#pragma once
// varnholt-odds --turn: the odds of a turn file's battles and of the whole
// turn, as a readable report or as one JSON object.
#include <iosfwd>
#include <string>

// Reads the turn file at path and writes its odds to out. A file that is not
// a turn file gets one line on err and nothing on out (exit 2); a battle
// whose exact calculation fails its own checks fails the turn (exit 4).
// `injectFault` breaks the exact calculations' bookkeeping (tests only).
int RunTurn(const std::string& path, bool json, bool injectFault, std::ostream& out, std::ostream& err);
