#pragma once
// The dice. One 32-bit linear congruential state; a draw in 0..n-1 steps the
// state and takes the high half of state * n. Runs are reproducible roll for
// roll from their seed.
#include <cstdint>

struct TRandom {
    uint32_t State = 0;

    explicit TRandom(uint32_t seed = 0) : State(seed) {}

    uint32_t Draw(uint32_t n)
    {
        State = State * 134775813u + 1u;
        return static_cast<uint32_t>((static_cast<uint64_t>(State) * n) >> 32);
    }
    int Die() { return static_cast<int>(Draw(6)) + 1; }
};

// Time of day of the system clock in UTC, in milliseconds: the seed of every run.
uint32_t ClockSeed();
