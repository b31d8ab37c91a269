#include "engine/exact/HitDistribution.h"

#include <algorithm>
#include <cmath>

namespace {

// Tails below this fraction of the most likely entry are cut; what they held
// (far below 1e-20 of the whole) is spread back by the renormalization.
constexpr double TailFloor = 1e-24;

void TrimAndNormalize(THitDistribution& d)
{
    const double peak = *std::max_element(d.P.begin(), d.P.end());
    const double floor = peak * TailFloor;
    size_t lo = 0;
    size_t hi = d.P.size();
    while (lo + 1 < hi && d.P[lo] < floor) ++lo;
    while (hi - 1 > lo && d.P[hi - 1] < floor) --hi;
    d.P.erase(d.P.begin() + static_cast<std::ptrdiff_t>(hi), d.P.end());
    d.P.erase(d.P.begin(), d.P.begin() + static_cast<std::ptrdiff_t>(lo));
    d.Lo += static_cast<int32_t>(lo);
    double sum = 0;
    for (double p : d.P) sum += p;
    for (double& p : d.P) p /= sum;
}

THitDistribution Certain(int32_t hits)
{
    THitDistribution d;
    d.Lo = hits;
    return d;
}

}  // namespace

// Worked out from the most likely count outward by the ratio of neighbouring
// terms, so large counts neither underflow nor lose precision.
THitDistribution BinomialHits(int32_t shots, int32_t value)
{
    if (shots <= 0 || value <= 0) return Certain(0);
    if (value >= 6) return Certain(shots);
    const double p = value / 6.0;
    const double odds = p / (1 - p);
    const int32_t mode = std::min<int32_t>(shots, static_cast<int32_t>((shots + 1) * p));
    std::vector<double> w(static_cast<size_t>(shots) + 1, 0.0);
    w[mode] = 1;
    for (int32_t k = mode; k < shots && w[k] > TailFloor; ++k) w[k + 1] = w[k] * (shots - k) / (k + 1) * odds;
    for (int32_t k = mode; k > 0 && w[k] > TailFloor; --k) w[k - 1] = w[k] * k / (shots - k + 1) / odds;
    THitDistribution d;
    d.P = std::move(w);
    TrimAndNormalize(d);
    return d;
}

THitDistribution Convolve(const THitDistribution& a, const THitDistribution& b)
{
    if (b.P.size() == 1 && b.P[0] == 1) return THitDistribution{a.Lo + b.Lo, a.P};
    if (a.P.size() == 1 && a.P[0] == 1) return THitDistribution{a.Lo + b.Lo, b.P};
    THitDistribution c;
    c.Lo = a.Lo + b.Lo;
    c.P.assign(a.P.size() + b.P.size() - 1, 0.0);
    for (size_t i = 0; i < a.P.size(); ++i) {
        const double ai = a.P[i];
        double* out = c.P.data() + i;
        for (size_t j = 0; j < b.P.size(); ++j) out[j] += ai * b.P[j];
    }
    TrimAndNormalize(c);
    return c;
}

THitDistribution FireHits(const TFire& fire, int firstGroup, int endGroup)
{
    THitDistribution d;
    for (int g = firstGroup; g < std::min(endGroup, fire.Groups); ++g)
        d = Convolve(d, BinomialHits(fire.Shots[g], fire.Value[g]));
    return d;
}

THitDistribution LowLuckHitDistribution(int32_t strength)
{
    const int32_t sure = std::max(strength, 0) / 6;
    const int32_t rest = std::max(strength, 0) % 6;
    THitDistribution d = Certain(sure);
    if (rest > 0) d.P = {1 - rest / 6.0, rest / 6.0};
    return d;
}

size_t THitCache::THash::operator()(const TKey& k) const
{
    uint64_t h = 1469598103934665603ull;
    for (int g = 0; g < TFire::MaxGroups; ++g) {
        h = (h ^ static_cast<uint32_t>(k.Shots[g])) * 1099511628211ull;
        h = (h ^ static_cast<uint32_t>(k.Value[g])) * 1099511628211ull;
    }
    return static_cast<size_t>(h ^ (h >> 29));
}

const THitDistribution& THitCache::Fire(const TFire& fire, int firstGroup, int endGroup)
{
    // Groups outside the range, and groups that cannot hit, do not count.
    TKey key{};
    for (int g = firstGroup; g < std::min(endGroup, fire.Groups); ++g)
        if (fire.Shots[g] > 0 && fire.Value[g] > 0) {
            key.Shots[g] = fire.Shots[g];
            key.Value[g] = std::min(fire.Value[g], 6);
        }
    auto [it, added] = Map_.try_emplace(key);
    if (added) {
        TFire f;
        for (int g = 0; g < TFire::MaxGroups; ++g) f.Add(key.Shots[g], key.Value[g]);
        it->second = FireHits(f);
        Bytes_ += sizeof(TKey) + sizeof(THitDistribution) + 32 + it->second.P.size() * sizeof(double);
    }
    return it->second;
}
