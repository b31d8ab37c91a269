#pragma once
// The odds tool run in the test's process, as its command line would run it.
#include <sstream>
#include <string>
#include <vector>

#include "cli/OddsTool.h"

struct TToolResult {
    int Code;
    std::string Out;
    std::string Err;
};

inline TToolResult Tool(std::vector<std::string> args)
{
    args.insert(args.begin(), "varnholt-odds");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const int code = RunOddsTool(static_cast<int>(argv.size()), argv.data(), out, err);
    return {code, out.str(), err.str()};
}
