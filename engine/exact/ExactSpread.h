#pragma once
// The innermost work of the exact odds: spreading a share of probability along
// a row of the linear pass's grid by a kernel (the distribution of the
// attacker's hits on the defender's chain). Built once for the baseline and
// once for AVX2 with FMA (engine/ExactSpreadAvx2.cpp, the only file built for
// that instruction set); the path the processor has is chosen at start-up, as
// for the dice.
#include <cstdint>

#include "engine/exact/HitDistribution.h"

namespace exact {

// A share's entries below this are dropped (and counted as pruned) instead of
// being spread.
constexpr double SpreadFloor = 1e-18;

// What is kept of a kernel for a share: the entries of at least 2^e, for the
// binary exponent e of the smallest entry worth spreading. Being one interval
// around the mode (the kernels are unimodal), it is worked out once per kernel
// and level.
constexpr int32_t LevelMin = -64;  // 2^-64 is below any entry a share can need
constexpr int32_t LevelMax = 1;
constexpr int32_t Levels = LevelMax - LevelMin + 1;

struct TKernelLevels {
    int32_t Lo[Levels];
    int32_t Hi[Levels];
    double Outside[Levels];  // the kernel's probability outside [Lo, Hi)
};

void MakeLevels(const THitDistribution& kernel, TKernelLevels& levels);

// What spreading dropped and how much it did.
struct TSpreadTally {
    double Pruned = 0;
    double Work = 0;
};

// One share `coef` of the kernel onto row[firstCol + j]; entries from
// lastCol - firstCol on all land on row[lastCol] (the chain's end: a sure hit
// count may even start past it).
using TSpreadOne = void (*)(double coef, const THitDistribution& kernel, const TKernelLevels& levels, double* row,
                            int32_t firstCol, int32_t lastCol, TSpreadTally& tally);
// A share of a cell: its column and its probability.
struct TCellShare {
    int32_t Col;
    double Coef;
};
// For each of the n shares: Coef from column Col + kernel.Lo on.
using TSpreadMany = void (*)(const TCellShare* shares, int32_t n, const THitDistribution& kernel,
                             const TKernelLevels& levels, double* row, int32_t lastCol, TSpreadTally& tally);

struct TSpreadPath {
    TSpreadOne One;
    TSpreadMany Many;
};

TSpreadPath SpreadBaseline();
TSpreadPath SpreadAvx2();  // only where the processor has AVX2 and FMA
// The fastest path this processor has.
const TSpreadPath& Spread();

}  // namespace exact
