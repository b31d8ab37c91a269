#include "engine/battle/Outcomes.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr size_t MinSlots = 64;

uint64_t Mix(uint64_t h, uint64_t x)
{
    h ^= x + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDull;
}

// Hash over the victor and the 17 counts: exactly what decides equality.
uint64_t OutcomeHash(const TBattleResultsRec& r)
{
    uint64_t h = static_cast<uint64_t>(r.Victor);
    for (int32_t c : r.AttCount) h = Mix(h, static_cast<uint32_t>(c));
    for (int32_t c : r.DefCount) h = Mix(h, static_cast<uint32_t>(c));
    return h ^ (h >> 29);
}

}  // namespace

void TOutcomeList::Clear()
{
    Entries_.clear();
    std::fill(Slots_.begin(), Slots_.end(), -1);
}

void TOutcomeList::Add(const TBattleResultsRec& battle)
{
    // Keep the table at most half full so probe runs stay short.
    if ((Entries_.size() + 1) * 2 > Slots_.size()) Grow();

    const size_t mask = Slots_.size() - 1;
    size_t i = OutcomeHash(battle) & mask;
    for (; Slots_[i] >= 0; i = (i + 1) & mask) {
        TBattleResultsRec& entry = Entries_[static_cast<size_t>(Slots_[i])];
        if (entry.SameOutcome(battle)) {
            ++entry.Instances;
            return;
        }
    }
    Slots_[i] = static_cast<int32_t>(Entries_.size());
    Entries_.push_back(battle);
    Entries_.back().Instances = 1;
}

void TOutcomeList::Grow()
{
    const size_t size = std::max(MinSlots, Slots_.size() * 2);
    Slots_.assign(size, -1);
    const size_t mask = size - 1;
    for (size_t e = 0; e < Entries_.size(); ++e) {
        size_t i = OutcomeHash(Entries_[e]) & mask;
        while (Slots_[i] >= 0) i = (i + 1) & mask;
        Slots_[i] = static_cast<int32_t>(e);
    }
}
