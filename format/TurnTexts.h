#pragma once
// The turn odds in words, shared by the odds tool and the turn window.
#include <string>

#include "engine/advice/TurnOdds.h"

// A probability as a percentage with 3 significant digits: "83.2%".
std::string TurnPercent(double p, char separator = '.');
// A swing with its sign and 3 significant digits: "+12.3", "-4.05", "0".
std::string SignedSwing(double x, char separator = '.');
// "Expected swing +17.6 IPC, give or take 20.3."
std::string ExpectedSwingWords(const TTurnOdds& turn, char separator = '.');
// "In 19 turns of 20 the swing is at least -12 IPC, and in 19 of 20 at most +52."
std::string SwingRangeWords(const TTurnOdds& turn);
