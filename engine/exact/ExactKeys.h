#pragma once
// Keys of the exact odds' states: everything of a battle state that can differ
// between two states of one battle, packed for hashing and ordering. Counts,
// pools and retreats never exceed 999. The round is no part of a key: without
// a round limit it does not matter, with one the states are held round by
// round.
#include <cstdint>
#include <cstring>

#include "engine/battle/BattleImpl.h"

namespace exact {

using battle::TState;

// Slots of a whole state's key.
constexpr int SlotAtt = 0;                    // the attacker's 8 counts
constexpr int SlotDef = SlotAtt + AttKinds;   // the defender's 9 counts
constexpr int SlotAttPool = SlotDef + DefKinds;
constexpr int SlotDefPool = SlotAttPool + 1;
constexpr int SlotAttRetreated = SlotDefPool + 1;
constexpr int SlotDefRetreated = SlotAttRetreated + 1;
constexpr int SlotOutcome = SlotDefRetreated + 1;  // 0 while the battle goes on, else 1 + the category
constexpr int KeySlots = 24;                       // padded to whole 64-bit words
static_assert(SlotOutcome < KeySlots);

struct TKey {
    int16_t V[KeySlots];
    bool operator==(const TKey& o) const { return std::memcmp(V, o.V, sizeof V) == 0; }
    bool operator<(const TKey& o) const { return std::memcmp(V, o.V, sizeof V) < 0; }
};

struct TKeyHash {
    size_t operator()(const TKey& k) const
    {
        uint64_t w[KeySlots / 4];
        std::memcpy(w, k.V, sizeof w);
        uint64_t h = 0x9E3779B97F4A7C15ull;
        for (uint64_t x : w) h = (h ^ x) * 0xFF51AFD7ED558CCDull, h ^= h >> 32;
        return static_cast<size_t>(h);
    }
};

inline TKey KeyOf(const TState& s)
{
    TKey k{};
    for (int i = 0; i < AttKinds; ++i) k.V[SlotAtt + i] = static_cast<int16_t>(s.Att[i]);
    for (int i = 0; i < DefKinds; ++i) k.V[SlotDef + i] = static_cast<int16_t>(s.Def[i]);
    k.V[SlotAttPool] = static_cast<int16_t>(s.AttBBDamage);
    k.V[SlotDefPool] = static_cast<int16_t>(s.DefBBDamage);
    k.V[SlotAttRetreated] = static_cast<int16_t>(s.AttSubsRetreated);
    k.V[SlotDefRetreated] = static_cast<int16_t>(s.DefSubsRetreated);
    if (s.Over) k.V[SlotOutcome] = static_cast<int16_t>(1 + static_cast<int>(s.Outcome));
    return k;
}

// The state of a key, on top of the battle's start (which holds what no key
// does: the stakes) at the given round.
inline TState StateOf(const TKey& k, const TState& start, int32_t round)
{
    TState s = start;
    for (int i = 0; i < AttKinds; ++i) s.Att[i] = k.V[SlotAtt + i];
    for (int i = 0; i < DefKinds; ++i) s.Def[i] = k.V[SlotDef + i];
    s.AttBBDamage = k.V[SlotAttPool];
    s.DefBBDamage = k.V[SlotDefPool];
    s.AttSubsRetreated = k.V[SlotAttRetreated];
    s.DefSubsRetreated = k.V[SlotDefRetreated];
    s.Round = round;
    s.Over = k.V[SlotOutcome] != 0;
    if (s.Over) s.Outcome = static_cast<TOutcome>(k.V[SlotOutcome] - 1);
    return s;
}

// One side's part of a state: its counts and its retreated submarines (slots
// of the side's own kind order, then the retreats).
inline TKey AttackerKey(const TState& s)
{
    TKey k{};
    for (int i = 0; i < AttKinds; ++i) k.V[i] = static_cast<int16_t>(s.Att[i]);
    k.V[AttKinds] = static_cast<int16_t>(s.AttSubsRetreated);
    return k;
}
inline TKey DefenderKey(const TState& s)
{
    TKey k{};
    for (int i = 0; i < DefKinds; ++i) k.V[i] = static_cast<int16_t>(s.Def[i]);
    k.V[DefKinds] = static_cast<int16_t>(s.DefSubsRetreated);
    return k;
}

// A state's distance from the end: units and pools left. A round never raises it.
inline int32_t Potential(const TState& s)
{
    return battle::AttUnits(s) + battle::DefUnits(s) + s.AttBBDamage + s.DefBBDamage;
}

}  // namespace exact
