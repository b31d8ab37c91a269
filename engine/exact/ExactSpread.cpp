#include "engine/exact/ExactSpread.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/exact/ExactSpreadBody.h"

namespace exact {

void MakeLevels(const THitDistribution& d, TKernelLevels& levels)
{
    const int32_t n = static_cast<int32_t>(d.P.size());
    const int32_t mode = static_cast<int32_t>(std::max_element(d.P.begin(), d.P.end()) - d.P.begin());
    std::vector<double> sum(static_cast<size_t>(n) + 1, 0.0);
    for (int32_t j = 0; j < n; ++j) sum[j + 1] = sum[j] + d.P[j];
    for (int32_t e = 0; e < Levels; ++e) {
        const double floor = std::ldexp(1.0, LevelMin + e);
        int32_t lo = mode, hi = mode;
        if (d.P[mode] >= floor) {
            while (lo > 0 && d.P[lo - 1] >= floor) --lo;
            while (hi < n && d.P[hi] >= floor) ++hi;
        }
        levels.Lo[e] = lo;
        levels.Hi[e] = hi;
        levels.Outside[e] = sum[lo] + (sum[n] - sum[hi]);
    }
}

TSpreadPath SpreadBaseline() { return {SpreadOneBody, SpreadManyBody}; }

namespace {
TSpreadPath Fastest()
{
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return SpreadAvx2();
#endif
    return SpreadBaseline();
}
}  // namespace

const TSpreadPath& Spread()
{
    static const TSpreadPath path = Fastest();
    return path;
}

}  // namespace exact
