#pragma once
// Texts of chances and IPC figures that a player reads at a glance: never
// scientific notation, never a figure that rounds to a certainty it is not.
#include <string>

// A probability (0 to 1) as a percentage with " %": "0 %" and "100 %" only
// when exact, "< 0.01 %" below 0.01 %, "> 99.99 %" above 99.99 %, else three
// significant digits (two decimals from 10 %, and as many as keep 99.95 %
// to 99.99 % from reading 100).
std::string ChanceText(double probability, char separator = '.');

// An IPC figure (a swing, a cost): fixed notation, two decimals below 10,
// one below 100, none above; "0" when it rounds to nothing.
std::string IpcText(double value, char separator = '.');
