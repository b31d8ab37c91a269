#pragma once
// The dice. One 32-bit linear congruential state; a draw in 0..n-1 steps the
// state and takes the high half of state * n. Runs are reproducible roll for
// roll from their seed.
#include <cstdint>

#include "engine/battle/DiceLanes.h"
#include "engine/battle/Fire.h"

struct TRandom {
    static constexpr uint32_t Multiplier = 134775813u;
    uint32_t State = 0;

    explicit TRandom(uint32_t seed = 0) : State(seed) {}

    uint32_t Draw(uint32_t n)
    {
        State = State * Multiplier + 1u;
        return static_cast<uint32_t>((static_cast<uint64_t>(State) * n) >> 32);
    }
    int Die() { return static_cast<int>(Draw(6)) + 1; }

    // Die() <= value for a value in 0..6, drawn the same way: the face is
    // floor(State * 6 / 2^32) + 1, so it is at most value exactly when
    // State * 6 < value * 2^32. Saves turning the draw into a face.
    bool Hits(int32_t value)
    {
        State = State * Multiplier + 1u;
        return static_cast<uint64_t>(State) * 6u < (static_cast<uint64_t>(value) << 32);
    }

    // The hits of `shots` dice in a row against one value, the same draws as
    // `shots` calls of Hits. Rolls of more than a few dice are drawn in
    // vector lanes where the processor has them; the call to them is laid out
    // apart, so the short rolls' inlined serial code keeps its shape.
    int32_t CountHits(int32_t shots, int32_t value)
    {
        if (shots >= dice_lanes::MinLaneDice) [[unlikely]]
            return dice_lanes::CountHits(State, shots, value);
        return CountHitsSerial(shots, value);
    }

    // The hits of one fire step, group by group into hits[0 .. Groups-1]:
    // the same draws as CountHits for each group in turn, one pass over all
    // of the step's dice.
    void RollFire(const TFire& fire, int32_t* hits) { State = dice_lanes::RollFire(State, fire, hits); }
    // A step of fewer dice rolls faster group by group than through the lanes' set-up.
    static constexpr int32_t MinLaneStep = 16;

    // CountHits one die after the other, the reference of every faster path.
    // In long rolls two steps of the state are taken at once from the same
    // start (s2 = a*a*s + a + 1), so the multiply chain that bounds the speed
    // of every roll is half as long; short rolls are bound by their loop
    // exits instead and gain nothing from it.
    int32_t CountHitsSerial(int32_t shots, int32_t value)
    {
        const uint64_t limit = static_cast<uint64_t>(value) << 32;
        uint32_t s = State;
        int32_t hits = 0;
        int32_t i = 0;
        if (shots >= 8)
            for (; i + 2 <= shots; i += 2) {
                const uint32_t first = s * Multiplier + 1u;
                const uint32_t second = s * (Multiplier * Multiplier) + (Multiplier + 1u);
                hits += (static_cast<uint64_t>(first) * 6u < limit) + (static_cast<uint64_t>(second) * 6u < limit);
                s = second;
            }
        for (; i < shots; ++i) {
            s = s * Multiplier + 1u;
            hits += static_cast<uint64_t>(s) * 6u < limit;
        }
        State = s;
        return hits;
    }

};

// Time of day of the system clock in UTC, in milliseconds: the seed of every run.
uint32_t ClockSeed();
