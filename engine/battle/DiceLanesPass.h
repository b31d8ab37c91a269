#pragma once
// The lane pass shared by the vector paths. Included only by the files that
// are built for one instruction set each; everything here has internal
// linkage, so no function built for a wider instruction set can stand in for
// one of another file.
#include <cstdint>

#include "engine/battle/Fire.h"

namespace {

constexpr uint32_t LcgMultiplier = 134775813u;

// A_k and C_k of state(n+k) = A_k * state(n) + C_k, for k = 1 .. JumpTable,
// at index k-1.
constexpr int JumpTable = 64;
struct TJumps {
    uint32_t A[JumpTable];
    uint32_t C[JumpTable];
    constexpr TJumps() : A(), C()
    {
        uint32_t a = 1, c = 0;
        for (int k = 0; k < JumpTable; ++k) {
            a *= LcgMultiplier;
            c = c * LcgMultiplier + 1u;
            A[k] = a;
            C[k] = c;
        }
    }
};
alignas(64) constexpr TJumps Jumps{};

// The largest state that still hits for the values 1..6: ceil(v * 2^32 / 6) - 1.
// A value of 0 never hits (and is never compared); the draws of larger ones,
// and of negative ones as the serial test reads them, always do.
constexpr uint32_t HitLimit(uint32_t value)
{
    return value >= 6 ? 0xFFFFFFFFu : uint32_t(((uint64_t(value) << 32) + 5) / 6 - 1);
}
constexpr uint32_t HitLimits[7] = {0, HitLimit(1), HitLimit(2), HitLimit(3), HitLimit(4), HitLimit(5), HitLimit(6)};
inline uint32_t LimitOf(uint32_t value) { return value < 6 ? HitLimits[value] : HitLimits[6]; }

// Lanes of the die indices lo .. hi-1 of a chunk (hi < 64).
constexpr uint64_t LaneRange(int lo, int hi) { return (uint64_t(1) << hi) - (uint64_t(1) << lo); }

// The state `dice` draws after `state`, in a few multiply-adds: the step's
// last state follows from its first and its length alone, so the next step
// need not wait for the lanes.
inline uint32_t Jump(uint32_t state, int32_t dice)
{
    for (; dice > JumpTable; dice -= JumpTable) state = state * Jumps.A[JumpTable - 1] + Jumps.C[JumpTable - 1];
    return dice > 0 ? state * Jumps.A[dice - 1] + Jumps.C[dice - 1] : state;
}

// One pass over the step's dice. Lanes (a vector of Width consecutive states,
// 2 * Width <= JumpTable) provides Start(state): the states of the next Width
// draws; Advance(s, k): the states k draws later; AtMost(s, value): the bit
// mask of the lanes whose state is at most the value's hit limit. The chunk
// in the lanes only ever moves forward, so each die's state is made once,
// whichever group it belongs to. The multiply of Advance is the chain that
// bounds a long group, so the chunks it fills whole are taken two at a time
// on two chains side by side.
template <class Lanes>
inline uint32_t RollInLanes(uint32_t state, const TFire& fire, int32_t* hits)
{
    constexpr int Width = Lanes::Width;
    static_assert(2 * Width <= JumpTable && Width < 64);
    typename Lanes::TVector s = Lanes::Start(state);
    int32_t base = 0;  // the die in lane 0
    int32_t die = 0;   // the first die of the group
    for (int g = 0; g < fire.Groups; ++g) {
        const int32_t end = die + (fire.Shots[g] > 0 ? fire.Shots[g] : 0);
        const uint32_t value = uint32_t(fire.Value[g]);
        if (value == 0 || end == die) {
            hits[g] = 0;
            die = end;
            continue;
        }
        while (die - base >= Width) {  // past the dice of groups that never hit
            s = Lanes::Advance(s, Width);
            base += Width;
        }
        int32_t count = 0;
        while (end - base > Width) {  // the group goes on past this chunk
            count += __builtin_popcountll(Lanes::AtMost(s, value) & LaneRange(die - base, Width));
            s = Lanes::Advance(s, Width);
            base += Width;
            die = base;
            if (end - base > 2 * Width) {
                typename Lanes::TVector next = Lanes::Advance(s, Width);
                do {
                    count += __builtin_popcountll(Lanes::AtMost(s, value));
                    count += __builtin_popcountll(Lanes::AtMost(next, value));
                    s = Lanes::Advance(s, 2 * Width);
                    next = Lanes::Advance(next, 2 * Width);
                    base += 2 * Width;
                } while (end - base > 2 * Width);
                die = base;
            }
        }
        hits[g] = count + __builtin_popcountll(Lanes::AtMost(s, value) & LaneRange(die - base, end - base));
        die = end;
    }
    return Jump(state, die);
}

}  // namespace
