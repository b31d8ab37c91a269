// The lane pass with AVX2: 8 draws to a register, two registers side by
// side. This file alone is built for AVX2; it runs only where the processor
// has it.
#include "engine/battle/DiceLanes.h"

#if defined(__AVX2__) && defined(__POPCNT__)
#include <immintrin.h>

#include "engine/battle/DiceLanesPass.h"

namespace {

struct TAvx2Lanes {
    static constexpr int Registers = 2;
    static constexpr int Width = 8 * Registers;
    struct TVector {
        __m256i R[Registers];
    };

    static TVector Start(uint32_t state)
    {
        const __m256i s = _mm256_set1_epi32(int(state));
        const auto* a = reinterpret_cast<const __m256i*>(Jumps.A);
        const auto* c = reinterpret_cast<const __m256i*>(Jumps.C);
        TVector v;
        for (int r = 0; r < Registers; ++r)
            v.R[r] = _mm256_add_epi32(_mm256_mullo_epi32(s, _mm256_load_si256(a + r)), _mm256_load_si256(c + r));
        return v;
    }
    static TVector Advance(TVector v, int dice)
    {
        const __m256i a = _mm256_set1_epi32(int(Jumps.A[dice - 1]));
        const __m256i c = _mm256_set1_epi32(int(Jumps.C[dice - 1]));
        for (int r = 0; r < Registers; ++r) v.R[r] = _mm256_add_epi32(_mm256_mullo_epi32(v.R[r], a), c);
        return v;
    }
    // Unsigned s <= limit is min(s, limit) == s.
    static uint64_t AtMost(const TVector& v, uint32_t value)
    {
        const __m256i limit = _mm256_set1_epi32(int(LimitOf(value)));
        uint64_t mask = 0;
        for (int r = 0; r < Registers; ++r) {
            const __m256i at = _mm256_cmpeq_epi32(_mm256_min_epu32(v.R[r], limit), v.R[r]);
            mask |= uint64_t(uint32_t(_mm256_movemask_ps(_mm256_castsi256_ps(at)))) << (8 * r);
        }
        return mask;
    }
};

}  // namespace
#endif

// Without the instruction set (another processor family) the path is never
// chosen; it still links.
uint32_t dice_lanes::RollFireAvx2(uint32_t state, const TFire& fire, int32_t* hits)
{
#if defined(__AVX2__) && defined(__POPCNT__)
    return RollInLanes<TAvx2Lanes>(state, fire, hits);
#else
    return RollFireSerial(state, fire, hits);
#endif
}
