#include "engine/battle/DiceLanes.h"

#include "engine/battle/Random.h"

namespace dice_lanes {

namespace {

bool ProcessorHas(TPath path)
{
#if defined(__x86_64__) || defined(__i386__)
    switch (path) {
    case TPath::Serial: return true;
    case TPath::Avx2: return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    case TPath::Avx512:
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vl");
    }
    return false;
#else
    return path == TPath::Serial;
#endif
}

TPath Fastest()
{
    if (ProcessorHas(TPath::Avx512)) return TPath::Avx512;
    if (ProcessorHas(TPath::Avx2)) return TPath::Avx2;
    return TPath::Serial;
}

}  // namespace

TPath ActivePath = Fastest();

bool Supported(TPath path) { return ProcessorHas(path); }

bool UsePath(TPath path)
{
    if (!ProcessorHas(path)) return false;
    ActivePath = path;
    return true;
}

uint32_t RollFireSerial(uint32_t state, const TFire& fire, int32_t* hits)
{
    TRandom dice(state);
    for (int g = 0; g < fire.Groups; ++g) hits[g] = dice.CountHitsSerial(fire.Shots[g], fire.Value[g]);
    return dice.State;
}

int32_t CountHits(uint32_t& state, int32_t shots, int32_t value)
{
    TFire fire;
    fire.Add(shots, value);
    int32_t hits;
    state = RollFire(state, fire, &hits);
    return hits;
}

}  // namespace dice_lanes
