#include "engine/battle/Random.h"

#include <chrono>

uint32_t ClockSeed()
{
    using namespace std::chrono;
    const auto now = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<uint32_t>(now % (24LL * 60 * 60 * 1000));
}
