#pragma once
// Probability distributions of a fire step's hits: binomials of the groups'
// shots, convolved; low luck's sure hits and one die.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "engine/battle/Fire.h"

// P[i] is the probability of Lo + i hits; the entries sum to 1.
struct THitDistribution {
    int32_t Lo = 0;
    std::vector<double> P{1.0};

    int32_t Hi() const { return Lo + static_cast<int32_t>(P.size()) - 1; }
};

// k hits from n shots hitting on 1..value of a six-sided die.
THitDistribution BinomialHits(int32_t shots, int32_t value);
// The sum of two independent hit counts.
THitDistribution Convolve(const THitDistribution& a, const THitDistribution& b);
// The total hits of the given groups of a fire step.
THitDistribution FireHits(const TFire& fire, int firstGroup = 0, int endGroup = TFire::MaxGroups);
// Low luck: strength / 6 sure hits and one more with probability (strength mod 6) / 6.
THitDistribution LowLuckHitDistribution(int32_t strength);

// Fire steps already worked out, by their groups.
class THitCache {
public:
    const THitDistribution& Fire(const TFire& fire, int firstGroup = 0, int endGroup = TFire::MaxGroups);
    size_t Bytes() const { return Bytes_; }

private:
    struct TKey {
        int32_t Shots[TFire::MaxGroups];
        int32_t Value[TFire::MaxGroups];
        bool operator==(const TKey&) const = default;
    };
    struct THash {
        size_t operator()(const TKey& k) const;
    };
    std::unordered_map<TKey, THitDistribution, THash> Map_;
    size_t Bytes_ = 0;
};
