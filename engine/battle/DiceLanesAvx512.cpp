// The lane pass with AVX-512: 16 draws to a register. This file alone is
// built for AVX-512F/BW/VL; it runs only where the processor has them.
#include "engine/battle/DiceLanes.h"

#if defined(__AVX512F__) && defined(__AVX512BW__) && defined(__AVX512VL__) && defined(__POPCNT__)
#include <immintrin.h>

#include "engine/battle/DiceLanesPass.h"

namespace {

struct TAvx512Lanes {
    static constexpr int Width = 16;
    using TVector = __m512i;

    static TVector Start(uint32_t state)
    {
        return _mm512_add_epi32(_mm512_mullo_epi32(_mm512_set1_epi32(int(state)), _mm512_load_si512(Jumps.A)),
                                _mm512_load_si512(Jumps.C));
    }
    static TVector Advance(TVector s, int dice)
    {
        return _mm512_add_epi32(_mm512_mullo_epi32(s, _mm512_set1_epi32(int(Jumps.A[dice - 1]))),
                                _mm512_set1_epi32(int(Jumps.C[dice - 1])));
    }
    static uint64_t AtMost(TVector s, uint32_t value)
    {
        return _mm512_cmple_epu32_mask(s, _mm512_set1_epi32(int(LimitOf(value))));
    }
};

}  // namespace
#endif

// Without the instruction set (another processor family) the path is never
// chosen; it still links.
uint32_t dice_lanes::RollFireAvx512(uint32_t state, const TFire& fire, int32_t* hits)
{
#if defined(__AVX512F__) && defined(__AVX512BW__) && defined(__AVX512VL__) && defined(__POPCNT__)
    return RollInLanes<TAvx512Lanes>(state, fire, hits);
#else
    return RollFireSerial(state, fire, hits);
#endif
}
