#pragma once
// varnholt-odds --batch: the odds of every battle of a JSON Lines file.
#include <cstdint>
#include <iosfwd>
#include <string>

struct TBatchRequest {
    std::string File;   // "-": standard input
    bool Csv = false;   // a table with a header row instead of JSON lines
    int Battles = 100000;  // the run of a battle the exact odds refuse
    uint32_t Seed = 1;     // every such run starts from it, so tables are reproducible
    bool Progress = false; // a progress line on err
};

// One output line per battle line, in input order (blank lines are skipped):
// the exact odds ("method": "exact", the members of --exact --json's "exact"
// object), or a seeded run with 95 % margins ("method": "run") where the exact
// odds refuse the battle as too large, each with "Adjusted" (what the window's
// rules changed in the battle), or {"line": n, "error": ...} for a line that is
// not a battle file, is over MaxBattleFileBytes, or whose exact odds failed a
// self-check. The lines are worked out on all cores. Returns 4 when a line's
// exact odds failed, else 2 when a line was bad or the input could not be
// read, else 0.
int RunBatch(const TBatchRequest& request, std::ostream& out, std::ostream& err);

// A progress line is wanted when err is the standard error of a terminal.
bool BatchProgressWanted(const std::ostream& err);
