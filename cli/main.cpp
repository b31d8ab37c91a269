#include <iostream>

#include "cli/OddsTool.h"

int main(int argc, char** argv) { return RunOddsTool(argc, argv, std::cout, std::cerr); }
