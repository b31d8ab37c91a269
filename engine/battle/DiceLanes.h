#pragma once
// The dice of a fire step drawn in vector lanes. The generator's sequence is
// serial, but state(n+k) = A_k * state(n) + C_k (mod 2^32), so a vector can
// hold the states of several consecutive draws and advance all of them at
// once by a fixed jump. A die hits on 1..v exactly when the state it comes
// from is below ceil(v * 2^32 / 6), so the hits of a group are a lane compare
// and a bit count: no division, no face. The draws are the serial
// generator's, one for one, on every path.
#include <cstdint>

#include "engine/battle/Fire.h"

namespace dice_lanes {

// The ways of drawing, the serial one first. The fastest one this processor
// has is chosen when the program starts.
enum class TPath { Serial, Avx2, Avx512 };

bool Supported(TPath path);
// Makes every later roll take the given path; false (and no change) when the
// processor lacks it. For tests and benchmarks.
bool UsePath(TPath path);

// The path in use. Serial until the choice is made at start-up, so that dice
// drawn by another static initializer are drawn right too.
extern TPath ActivePath;
inline TPath Path() { return ActivePath; }

// The paths: the step's hits per group into hits[0 .. Groups-1] from the
// generator state `state`; each returns the state after the step's last die.
uint32_t RollFireSerial(uint32_t state, const TFire& fire, int32_t* hits);
uint32_t RollFireAvx2(uint32_t state, const TFire& fire, int32_t* hits);
uint32_t RollFireAvx512(uint32_t state, const TFire& fire, int32_t* hits);

inline uint32_t RollFire(uint32_t state, const TFire& fire, int32_t* hits)
{
    switch (ActivePath) {
    case TPath::Avx512: return RollFireAvx512(state, fire, hits);
    case TPath::Avx2: return RollFireAvx2(state, fire, hits);
    case TPath::Serial: break;
    }
    return RollFireSerial(state, fire, hits);
}

// From this many dice in a row on, a single roll is drawn in lanes: the
// hits of `shots` dice against one value; `state` moves past them.
constexpr int32_t MinLaneDice = 6;
int32_t CountHits(uint32_t& state, int32_t shots, int32_t value);

}  // namespace dice_lanes
