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

    // Die() <= value for a value in 0..6, drawn the same way: the face is
    // floor(State * 6 / 2^32) + 1, so it is at most value exactly when
    // State * 6 < value * 2^32. Saves turning the draw into a face.
    bool Hits(int32_t value)
    {
        State = State * 134775813u + 1u;
        return static_cast<uint64_t>(State) * 6u < (static_cast<uint64_t>(value) << 32);
    }
};

// Time of day of the system clock in UTC, in milliseconds: the seed of every run.
uint32_t ClockSeed();
