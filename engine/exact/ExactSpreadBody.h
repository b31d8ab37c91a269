#pragma once
// The spread's loops, included by each file that builds them for its
// instruction set. The path's functions live in an unnamed namespace of the
// including file, and call no library template: an out-of-line copy built for
// AVX2 could otherwise be the one the linker keeps for every caller.
#include <cstring>

#include "engine/exact/ExactSpread.h"

namespace {

using namespace exact;

// The level of a share: the binary exponent of the smallest entry it needs.
inline int32_t LevelOf(double need)
{
    uint64_t bits;
    std::memcpy(&bits, &need, sizeof bits);
    const int32_t e = static_cast<int32_t>((bits >> 52) & 0x7ff) - 1023;
    return (e < LevelMin ? LevelMin : e > LevelMax ? LevelMax : e) - LevelMin;
}

inline void SpreadShare(double coef, const double* __restrict k, const TKernelLevels& levels,
                        double* __restrict row, int32_t firstCol, int32_t lastCol, double& pruned, double& work)
{
    const int32_t level = LevelOf(SpreadFloor / coef);
    const int32_t lo = levels.Lo[level];
    const int32_t hi = levels.Hi[level];
    pruned += coef * levels.Outside[level];
    if (lo == hi) return;
    const int32_t room = lastCol - firstCol;
    const int32_t inRange = hi < room ? hi : room < lo ? lo : room;
    for (int32_t j = lo; j < inRange; ++j) row[firstCol + j] += coef * k[j];
    double tail = 0;
    for (int32_t j = inRange; j < hi; ++j) tail += k[j];
    row[lastCol] += coef * tail;
    work += 16 + (hi - lo);
}

void SpreadOneBody(double coef, const THitDistribution& kernel, const TKernelLevels& levels, double* row,
                   int32_t firstCol, int32_t lastCol, TSpreadTally& tally)
{
    SpreadShare(coef, kernel.P.data(), levels, row, firstCol, lastCol, tally.Pruned, tally.Work);
}

void SpreadManyBody(const TCellShare* shares, int32_t n, const THitDistribution& kernel, const TKernelLevels& levels,
                    double* row, int32_t lastCol, TSpreadTally& tally)
{
    double pruned = 0;
    double work = 0;
    const double* k = kernel.P.data();
    for (int32_t i = 0; i < n; ++i)
        SpreadShare(shares[i].Coef, k, levels, row, shares[i].Col + kernel.Lo, lastCol, pruned, work);
    tally.Pruned += pruned;
    tally.Work += work;
}

}  // namespace
