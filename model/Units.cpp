#include "model/Units.h"

namespace {
constexpr TUnitInfo Catalogue[] = {
    {"INF", "Infantry", TDomain::Land, 1, 2, 3, 2},
    {"ARM", "Armor", TDomain::Land, 3, 2, 5, 4},
    {"FTR", "Fighter", TDomain::Air, 3, 4, 12, 11},
    {"JFTR", "Jet Fighter", TDomain::Air, -1, 5, 12, 11},
    {"BMR", "Bomber", TDomain::Air, 4, 1, 15, 14},
    {"BB", "Battleship", TDomain::Sea, 4, 4, 24, 23},
    {"AC", "Carrier", TDomain::Sea, 1, 3, 18, 17},
    {"TRN", "Transport", TDomain::Sea, 0, 1, 8, 7},
    {"SUB", "Submarine", TDomain::Sea, 2, 2, 8, 7},
};
}  // namespace

const TUnitInfo& UnitInfo(TUnitKind kind) { return Catalogue[static_cast<int>(kind)]; }

bool IsKillOrder(const int32_t* ranks, int n)
{
    bool seen[16] = {};
    for (int i = 0; i < n; ++i) {
        if (ranks[i] < 1 || ranks[i] > n || seen[ranks[i]]) return false;
        seen[ranks[i]] = true;
    }
    return true;
}
