#include "engine/Exact.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <new>
#include <unordered_map>

#include "engine/BattleImpl.h"
#include "engine/HitDistribution.h"

// The battle is a Markov chain over battle states: a round takes a state to
// the next with probabilities that come only from the fire steps' hit counts.
// Two passes walk it:
//
// - The general pass holds every state by its full key and runs the round's
//   own steps (TakeSubStrike, Bombard, TakeDefenderFire, TakeAttackerFire,
//   EndOfRound) with each possible hit count. The attacker's losses depend on
//   the defender's hits only and the defender's on the attacker's only, so the
//   two sides are worked out apart and then paired.
// - The linear pass takes over states in which each side can only lose units
//   down one fixed order (no submarine strike that can land, no transports or
//   submarines defending, no 2 Hit BB left, no Take w/ ground choice, the
//   bombardment over): a side's state is then a place on its chain, the
//   states form a grid, and a state's probability spreads along a row by one
//   distribution and along the columns by the other.
//
// Without a round limit a state that a round leaves unchanged is folded into
// a geometric series, so every state is visited once; in topological order
// (fewer units or absorption left comes later), all of a state's probability
// has arrived before it is spread. With a round limit the states are visited
// round by round.

namespace {

using namespace battle;

// A step of the general pass (a state copied, casualties taken, an end test)
// costs about as much as this many steps of the linear pass's spread.
constexpr double GeneralStep = 250;

// States whose probability is below this are dropped and counted as pruned.
constexpr double StateFloor = 1e-15;
// A state's round spreads its probability over many states; shares below this
// are dropped (and counted as pruned) instead of being spread.
constexpr double SpreadFloor = 1e-18;

// ---- Keys ------------------------------------------------------------------------

// Everything of the battle state that can differ between two states of one
// battle; counts, pools and retreats never exceed 999, rounds 999.
struct TKey {
    int16_t V[24];
    bool operator==(const TKey& o) const { return std::memcmp(V, o.V, sizeof V) == 0; }
};
struct TKeyHash {
    size_t operator()(const TKey& k) const
    {
        uint64_t w[6];
        std::memcpy(w, k.V, sizeof w);
        uint64_t h = 0x9E3779B97F4A7C15ull;
        for (uint64_t x : w) h = (h ^ x) * 0xFF51AFD7ED558CCDull, h ^= h >> 32;
        return static_cast<size_t>(h);
    }
};

constexpr int KeyRound = 21;
constexpr int KeyOutcome = 22;

TKey KeyOf(const TState& s, bool withRound)
{
    TKey k{};
    for (int i = 0; i < AttKinds; ++i) k.V[i] = static_cast<int16_t>(s.Att[i]);
    for (int i = 0; i < DefKinds; ++i) k.V[AttKinds + i] = static_cast<int16_t>(s.Def[i]);
    k.V[17] = static_cast<int16_t>(s.AttBBDamage);
    k.V[18] = static_cast<int16_t>(s.DefBBDamage);
    k.V[19] = static_cast<int16_t>(s.AttSubsRetreated);
    k.V[20] = static_cast<int16_t>(s.DefSubsRetreated);
    k.V[KeyRound] = static_cast<int16_t>(withRound ? s.Round : 0);
    if (s.Over) k.V[KeyOutcome] = static_cast<int16_t>(1 + static_cast<int>(s.Outcome));
    return k;
}

TState StateOf(const TKey& k, const TState& start)
{
    TState s = start;
    for (int i = 0; i < AttKinds; ++i) s.Att[i] = k.V[i];
    for (int i = 0; i < DefKinds; ++i) s.Def[i] = k.V[AttKinds + i];
    s.AttBBDamage = k.V[17];
    s.DefBBDamage = k.V[18];
    s.AttSubsRetreated = k.V[19];
    s.DefSubsRetreated = k.V[20];
    s.Round = k.V[KeyRound];
    s.Over = k.V[KeyOutcome] != 0;
    if (s.Over) s.Outcome = static_cast<TOutcome>(k.V[KeyOutcome] - 1);
    return s;
}

// One side's part of a state as a key: its counts and its retreated submarines.
TKey AttackerKey(const TState& s)
{
    TKey k{};
    std::copy(s.Att, s.Att + AttKinds, k.V);
    k.V[AttKinds] = static_cast<int16_t>(s.AttSubsRetreated);
    return k;
}
TKey DefenderKey(const TState& s)
{
    TKey k{};
    std::copy(s.Def, s.Def + DefKinds, k.V);
    k.V[DefKinds] = static_cast<int16_t>(s.DefSubsRetreated);
    return k;
}

int32_t Potential(const TState& s) { return AttUnits(s) + DefUnits(s) + s.AttBBDamage + s.DefBBDamage; }

// One side's part of a state, as the round's casualty steps leave it.
struct TAttPart {
    int32_t Att[AttKinds];
    int32_t BBDamage;
    bool operator==(const TAttPart&) const = default;
};
struct TDefPart {
    int32_t Def[DefKinds];
    int32_t BBDamage;
    bool operator==(const TDefPart&) const = default;
};

template <class Part>
void AddPart(std::vector<std::pair<Part, double>>& parts, const Part& part, double p)
{
    for (auto& [q, mass] : parts)
        if (q == part) {
            mass += p;
            return;
        }
    parts.emplace_back(part, p);
}

// Hit counts from `cap` on all have the same effect (everything the hits can
// reach is gone): they are merged into one, so that each effect is worked out once.
template <class Visit>
void ForEachHits(const THitDistribution& d, int32_t cap, Visit&& visit)
{
    double tail = 0;
    for (size_t i = 0; i < d.P.size(); ++i) {
        const int32_t hits = d.Lo + static_cast<int32_t>(i);
        if (hits >= cap) tail += d.P[i];
        else if (d.P[i] > 0) visit(hits, d.P[i]);
    }
    if (tail > 0) visit(cap, tail);
}

// What is kept of a kernel for a share: the entries of at least 2^e, for the
// binary exponent e of the smallest entry worth spreading. Being one
// interval around the mode (the kernels are unimodal), it is worked out once
// per kernel and level.
constexpr int32_t LevelMin = -64;  // 2^-64 is below any entry a share can need
constexpr int32_t LevelMax = 1;
constexpr int32_t Levels = LevelMax - LevelMin + 1;

struct TKernelLevels {
    int32_t Lo[Levels];
    int32_t Hi[Levels];
    double Outside[Levels];  // the kernel's probability outside [Lo, Hi)
};

void MakeLevels(const THitDistribution& d, TKernelLevels& levels)
{
    const int32_t n = static_cast<int32_t>(d.P.size());
    const int32_t mode = static_cast<int32_t>(std::max_element(d.P.begin(), d.P.end()) - d.P.begin());
    std::vector<double> sum(static_cast<size_t>(n) + 1, 0.0);
    for (int32_t j = 0; j < n; ++j) sum[j + 1] = sum[j] + d.P[j];
    for (int32_t e = 0; e < Levels; ++e) {
        const double floor = std::ldexp(1.0, LevelMin + e);
        int32_t lo = mode, hi = mode;
        if (d.P[mode] >= floor) {
            while (lo > 0 && d.P[lo - 1] >= floor) --lo;
            while (hi < n && d.P[hi] >= floor) ++hi;
        }
        levels.Lo[e] = lo;
        levels.Hi[e] = hi;
        levels.Outside[e] = sum[lo] + (sum[n] - sum[hi]);
    }
}

// The level of a share: the binary exponent of the smallest entry it needs.
inline int32_t LevelOf(double need)
{
    uint64_t bits;
    std::memcpy(&bits, &need, sizeof bits);
    const int32_t e = static_cast<int32_t>((bits >> 52) & 0x7ff) - 1023;
    return std::clamp(e, LevelMin, LevelMax) - LevelMin;
}

// The spread of one state of the linear pass, the innermost work of the whole
// calculation, built twice: for the baseline and for AVX2 with FMA. The state's
// probability `mass` goes to row target[i] (after i attacker losses, by the
// defender's kernel onAtt) and along it from column firstCol on (by the
// attacker's kernel onDef); hits beyond the last column land on it. Shares
// below SpreadFloor are dropped and counted as pruned.
[[gnu::always_inline]] inline void SpreadSharesBody(double mass, const THitDistribution& onDef,
                                                    const TKernelLevels& levels, const THitDistribution& onAtt,
                                                    double* const* target, int32_t firstCol, int32_t lastCol,
                                                    double& prunedOut, double& workOut)
{
    const double* __restrict k = onDef.P.data();
    const int32_t room = lastCol - firstCol;
    double pruned = 0;
    double work = 0;
    for (size_t i = 0; i < onAtt.P.size(); ++i) {
        const double coef = mass * onAtt.P[i];
        const int32_t level = LevelOf(SpreadFloor / coef);
        const int32_t lo = levels.Lo[level];
        const int32_t hi = levels.Hi[level];
        pruned += coef * levels.Outside[level];
        if (lo == hi) continue;
        // Kernel entries from `room` on reach past the last column (a sure
        // hit count may even start there): they all land on it.
        double* __restrict row = target[i];
        const int32_t inRange = std::max(lo, std::min(hi, room));
        for (int32_t j = lo; j < inRange; ++j) row[firstCol + j] += coef * k[j];
        double tail = 0;
        for (int32_t j = inRange; j < hi; ++j) tail += k[j];
        row[lastCol] += coef * tail;
        work += 16 + (hi - lo);
    }
    prunedOut += pruned;
    workOut += work;
}

using TSpreadShares = void (*)(double, const THitDistribution&, const TKernelLevels&, const THitDistribution&,
                               double* const*, int32_t, int32_t, double&, double&);

void SpreadSharesBaseline(double mass, const THitDistribution& onDef, const TKernelLevels& levels,
                          const THitDistribution& onAtt, double* const* target, int32_t firstCol, int32_t lastCol,
                          double& pruned, double& work)
{
    SpreadSharesBody(mass, onDef, levels, onAtt, target, firstCol, lastCol, pruned, work);
}

#if defined(__x86_64__)
// Chosen at run time, not by an ifunc: a resolver runs before the sanitizers'
// run-time is ready.
[[gnu::target("avx2,fma")]] void SpreadSharesAvx2(double mass, const THitDistribution& onDef,
                                                  const TKernelLevels& levels, const THitDistribution& onAtt,
                                                  double* const* target, int32_t firstCol, int32_t lastCol,
                                                  double& pruned, double& work)
{
    SpreadSharesBody(mass, onDef, levels, onAtt, target, firstCol, lastCol, pruned, work);
}
#endif

TSpreadShares ChooseSpreadShares()
{
#if defined(__x86_64__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return SpreadSharesAvx2;
#endif
    return SpreadSharesBaseline;
}

struct TRefused {
    TExactStatus Status;
    std::string Reason;
};

// ---- The calculation ---------------------------------------------------------------

class TExact {
public:
    TExact(const TBattleSetupRec& setup, const std::atomic<bool>* cancel, const TExactLimits& limits)
        : Setup_(setup), Cancel_(cancel), Limits_(limits), Layered_(!setup.AllRounds)
    {
        MakeRules(setup, R_);
    }

    TExactOdds Run();

private:
    // -- bookkeeping
    void Poll()
    {
        if (Cancel_ && Cancel_->load(std::memory_order_relaxed)) throw TRefused{TExactStatus::Cancelled, {}};
        if (Bytes() > Limits_.MaxStateBytes)
            throw TRefused{TExactStatus::TooLarge, "the battle needs more than " +
                                                       std::to_string(Limits_.MaxStateBytes >> 20) +
                                                       " MiB of state memory"};
        if (Work_ > Limits_.MaxWork)
            throw TRefused{TExactStatus::TooLarge, "the battle takes more work than the exact odds allow"};
    }
    size_t Bytes() const
    {
        return PoolKeys_.capacity() * (sizeof(TKey) + sizeof(double) + 48) + Terminal_.size() * 64 +
               Hits_.Bytes() + GridBytes_;
    }

    void Estimate();
    void Start();
    void Expand(const TState& s, double mass, bool foldStay);
    void Emit(TState& s, double mass);
    void Arrive(const TState& s, double mass);
    void AddTerminal(const TState& s, double mass) { Terminal_[KeyOf(s, false)] += mass; }
    void GeneralBucket(size_t b);
    void RunGeneral();
    bool Linear(const TState& s) const;
    TExactOdds Collect();

    // -- linear pass
    struct TRow {
        TAttPart Part;
        int32_t SubsRetreated;
        int32_t Units;
        std::vector<int32_t> Next;  // row after i hits, i = 0..Units
        THitDistribution Fire;      // the attacker's hits on the defender
        TKernelLevels Levels;       // what of it is spread, by the share's size
        std::vector<double> Mass, Later;
    };
    struct TColumn {
        TDefPart Part;
        int32_t SubsRetreated;
        int32_t Units;
        THitDistribution Fire;  // the defender's hits on the attacker
    };
    void LinearSetUp(const TState& first);
    int32_t RowOf(const TState& s);
    int32_t ColumnOf(const TState& s) const;
    void Seed(const TState& s, double mass);
    TState CellState(const TRow& row, const TColumn& col, int32_t round) const;
    void SpreadCell(int32_t x, int32_t c, double mass, int32_t round, bool later);
    void SpreadRow(int32_t x, int32_t round, bool later);
    void RunLinearCollapsed();
    void LinearRound(int32_t round);

    const TBattleSetupRec& Setup_;
    const std::atomic<bool>* Cancel_;
    TExactLimits Limits_;
    bool Layered_;
    TRules R_;
    THitCache Hits_;
    double Work_ = 0;
    uint64_t Taken_ = 0;  // casualty steps of the expansion under way

    // pending states of the general pass, in buckets visited in order
    std::unordered_map<TKey, uint32_t, TKeyHash> PoolIndex_;
    std::vector<TKey> PoolKeys_;
    std::vector<double> PoolMass_;
    std::vector<std::vector<uint32_t>> Buckets_;
    int32_t TopPotential_ = 0;

    std::unordered_map<TKey, double, TKeyHash> Terminal_;
    double Pruned_ = 0;
    double Unresolved_ = 0;
    double Rounds_ = 0;

    // what one expansion emits, before a round that changes nothing is folded
    std::vector<std::pair<TState, double>> Emitted_;
    std::vector<std::pair<TAttPart, double>> AttParts_;
    std::vector<std::pair<TDefPart, double>> DefParts_;

    // linear pass
    bool LinearOn_ = false;
    std::vector<TRow> Rows_;
    std::unordered_map<TKey, int32_t, TKeyHash> RowIndex_;
    std::vector<TColumn> Cols_;
    std::unordered_map<TKey, int32_t, TKeyHash> ColIndex_;
    size_t GridBytes_ = 0;
    std::vector<double*> RowData_;
    std::vector<double*> Targets_;
    TSpreadShares SpreadShares_ = ChooseSpreadShares();  // where each row's spread lands: Mass, or Later with a round limit
    uint64_t Spread_ = 0;
};

// ---- Rough size of the work, before any of it is done ------------------------------

// A side that loses down one order has units + 1 states; one with several
// casualty orders (ships against submarines and transports, 2 Hit BB, Take w/
// ground) up to the product of its counts + 1. A round spreads a state over
// about as many hit counts as a few standard deviations of its fire.
void TExact::Estimate()
{
    const TState& s = R_.Start;
    // Low luck leaves one die a fire step: two hit counts, whatever the strength.
    const bool lowLuck = Setup_.LowLuck;
    auto spread = [&](double shots) { return lowLuck ? 2.0 : std::min(shots + 1, 1 + 8 * std::sqrt(shots * 0.25)); };
    double attStates = 1, defStates = 1, attShots = 0, defShots = 0;
    for (int k = 0; k < AttKinds; ++k) attShots += s.Att[k] * (k == aBMR && Setup_.HvyBomber ? 3 : 1);
    for (int k = 0; k < DefKinds; ++k) defShots += s.Def[k];
    const bool general = s.Def[dTRN] + s.Def[dSUB] > 0 || (s.Att[aSUB] > 0 && DefSea(s) > 0) || s.AttBBDamage > 0 ||
                         s.DefBBDamage > 0 || (Setup_.TakeWith && AttLand(s) > 0 && AttAir(s) > 0);
    if (general) {
        for (int k = 0; k < AttKinds; ++k) attStates *= s.Att[k] + 1;
        for (int k = 0; k < DefKinds; ++k) defStates *= s.Def[k] + 1;
        attStates *= s.AttBBDamage + 1;
        defStates *= s.DefBBDamage + 1;
    } else {
        attStates = AttUnits(s) + 1;
        defStates = DefUnits(s) + 1;
    }
    // Each AA outcome starts another attacker.
    if (Setup_.AAGun) attStates *= spread(AttAir(s));
    double rounds = 1;
    if (Layered_) rounds = std::min<double>(Setup_.Rounds, std::max(attShots, defShots) + 1);
    // The defender's transports and submarines fire as hit counts of their
    // own, so a state of the general pass meets their combinations too.
    const double ownCounts = lowLuck ? 1.0 : spread(s.Def[dTRN]) * spread(s.Def[dSUB]);
    const double work = attStates * defStates * rounds * spread(attShots) * spread(defShots) * ownCounts / 64;
    if (!(work <= Limits_.MaxWork))
        throw TRefused{TExactStatus::TooLarge, "the battle has too many states for exact odds"};
}

// ---- General pass ---------------------------------------------------------------------

bool TExact::Linear(const TState& s) const
{
    return Limits_.LinearPass && s.AttBBDamage == 0 && s.DefBBDamage == 0 && s.Def[dTRN] == 0 && s.Def[dSUB] == 0 &&
           (s.Att[aSUB] == 0 || DefSea(s) == 0) && !(Setup_.TakeWith && AttLand(s) > 0 && AttAir(s) > 0) &&
           (AttLand(s) == 0 || s.Att[aBB] == 0);
}

// The battle start: the AA gun's hits, each a start of its own.
void TExact::Start()
{
    TState s = R_.Start;
    if (!Setup_.AAGun) {
        Expand(s, 1.0, false);
        return;
    }
    THitDistribution aa;
    if (Setup_.LowLuck) {
        aa = LowLuckHitDistribution(AAStrength(s));
    } else {
        TFire f;
        CollectFire(f, [&](auto&& g) { AAGroups(s, g); });
        aa = FireHits(f);
    }
    std::map<int32_t, double> byHits;
    ForEachHits(aa, AttAir(s), [&](int32_t hits, double p) { byHits[Setup_.LowLuck ? AACap(s, hits) : hits] += p; });
    for (const auto& [hits, p] : byHits) {
        TState t = s;
        TakeAACasualties(t, R_, hits);
        Expand(t, p, false);
    }
}

// One round from state s, reached with probability `mass`. With foldStay the
// round that leaves s as it is repeats until something happens.
void TExact::Expand(const TState& s, double mass, bool foldStay)
{
    TState b = s;
    ++b.Round;
    const bool lowLuck = Setup_.LowLuck;

    TFire f;
    THitDistribution subStrike, attack;
    if (lowLuck) {
        subStrike = LowLuckHitDistribution(AttackerSubStrength(b, R_));
        attack = LowLuckHitDistribution(AttackerStrength(b, Setup_, R_));
    } else {
        CollectFire(f, [&](auto&& g) { AttackerSubGroups(b, R_, g); });
        subStrike = Hits_.Fire(f);
        CollectFire(f, [&](auto&& g) { AttackerGroups(b, Setup_, R_, g); });
        attack = Hits_.Fire(f);
    }

    Emitted_.clear();
    ForEachHits(subStrike, Eligible(b.Def, R_.DefVsAttSubs) + b.DefBBDamage, [&](int32_t h1, double q1) {
        TState s1 = b;
        TakeSubStrike(s1, R_, h1);
        Bombard(s1);

        DefParts_.clear();
        ForEachHits(attack, DefUnits(s1) + s1.DefBBDamage, [&](int32_t h2, double q2) {
            TState t = s1;
            TakeAttackerFire(t, R_, h2);
            ++Taken_;
            TDefPart part;
            std::copy(t.Def, t.Def + DefKinds, part.Def);
            part.BBDamage = t.DefBBDamage;
            AddPart(DefParts_, part, q2);
        });

        AttParts_.clear();
        auto addAtt = [&](const TState& t, double q) {
            TAttPart part;
            std::copy(t.Att, t.Att + AttKinds, part.Att);
            part.BBDamage = t.AttBBDamage;
            AddPart(AttParts_, part, q);
        };
        if (lowLuck) {
            TState t0 = s1;
            const int32_t strength = DefenderLowLuckStrength(t0, R_);
            ForEachHits(LowLuckHitDistribution(strength), INT32_MAX, [&](int32_t h, double q) {
                TState t = t0;
                TDefenderHits hits;
                hits.Other = DefenderLowLuckCap(t, h);
                TakeDefenderFire(t, Setup_, R_, hits);
                addAtt(t, q);
            });
        } else {
            CollectFire(f, [&](auto&& g) { DefenderGroups(s1, R_, g); });
            const THitDistribution trn = Hits_.Fire(f, DefTrnGroup, DefTrnGroup + 1);
            const THitDistribution sub = Hits_.Fire(f, DefSubGroup, DefSubGroup + 1);
            const THitDistribution& other = Hits_.Fire(f, DefOtherGroups);
            const int32_t pool = s1.AttBBDamage;
            ForEachHits(trn, Eligible(s1.Att, R_.AttVsDefTrns) + pool, [&](int32_t h3, double q3) {
                ForEachHits(sub, Eligible(s1.Att, R_.AttVsDefSubs) + pool, [&](int32_t h4, double q4) {
                    ForEachHits(other, AttUnits(s1) + pool, [&](int32_t h5, double q5) {
                        TState t = s1;
                        TakeDefenderFire(t, Setup_, R_, TDefenderHits{h3, h4, h5});
                        addAtt(t, q3 * q4 * q5);
                        ++Taken_;
                    });
                });
            });
        }

        Work_ += GeneralStep * static_cast<double>(AttParts_.size() * DefParts_.size() + Taken_);
        Taken_ = 0;
        Poll();
        for (const auto& [a, qa] : AttParts_)
            for (const auto& [d, qd] : DefParts_) {
                TState t = s1;
                std::copy(a.Att, a.Att + AttKinds, t.Att);
                t.AttBBDamage = a.BBDamage;
                std::copy(d.Def, d.Def + DefKinds, t.Def);
                t.DefBBDamage = d.BBDamage;
                EndOfRound(t, Setup_, R_);
                Emitted_.emplace_back(t, q1 * qa * qd);
            }
    });

    // A round that changes nothing repeats: from s the battle leaves with the
    // other outcomes' probabilities over 1 - stay, after 1 / (1 - stay) rounds.
    double stay = 0;
    double leave = 0;
    const TKey self = KeyOf(s, false);
    for (auto& [t, q] : Emitted_) {
        if (foldStay && !t.Over && KeyOf(t, false) == self) stay += q;
        else leave += q;
    }
    if (foldStay && stay > 0) {
        if (leave <= 0) {
            Unresolved_ += mass;
            return;
        }
        mass /= leave;
    }
    Rounds_ += mass;
    for (auto& [t, q] : Emitted_)
        if (!(foldStay && !t.Over && KeyOf(t, false) == self)) Emit(t, mass * q);
    Poll();
}

void TExact::Emit(TState& s, double mass)
{
    if (s.Over) {
        AddTerminal(s, mass);
        return;
    }
    Arrive(s, mass);
}

// A state after a round, not over: into the linear pass when it qualifies,
// else into the general pass's buckets.
void TExact::Arrive(const TState& s, double mass)
{
    if (Linear(s)) {
        // The defender's chain starts from its whole force when that can be
        // linear at all, so that every linear state lies on it.
        if (!LinearOn_) LinearSetUp(R_.Start.Def[dTRN] + R_.Start.Def[dSUB] == 0 ? R_.Start : s);
        if (ColumnOf(s) >= 0) {
            Seed(s, mass);
            return;
        }
    }
    const TKey key = KeyOf(s, Layered_);
    auto [it, added] = PoolIndex_.try_emplace(key, static_cast<uint32_t>(PoolKeys_.size()));
    if (added) {
        PoolKeys_.push_back(key);
        PoolMass_.push_back(mass);
        const size_t bucket = Layered_ ? static_cast<size_t>(s.Round) : static_cast<size_t>(TopPotential_ - Potential(s));
        if (Buckets_.size() <= bucket) Buckets_.resize(bucket + 1);
        Buckets_[bucket].push_back(it->second);
    } else {
        PoolMass_[it->second] += mass;
    }
}

void TExact::GeneralBucket(size_t b)
{
    if (b >= Buckets_.size()) return;
    std::vector<uint32_t> bucket = std::move(Buckets_[b]);
    Buckets_[b].clear();
    for (uint32_t i : bucket) {
        const double mass = PoolMass_[i];
        PoolIndex_.erase(PoolKeys_[i]);
        if (mass < StateFloor) {
            Pruned_ += mass;
            continue;
        }
        Expand(StateOf(PoolKeys_[i], R_.Start), mass, !Layered_);
    }
}

// ---- Linear pass ----------------------------------------------------------------------

// Columns: the defender's chain from the first linear state on, one unit lost
// at a time by the attacker's hits. Rows appear as the attackers that arrive.
void TExact::LinearSetUp(const TState& first)
{
    LinearOn_ = true;
    TState t = first;
    for (int32_t units = DefUnits(t);; --units) {
        TColumn col;
        std::copy(t.Def, t.Def + DefKinds, col.Part.Def);
        col.Part.BBDamage = 0;
        col.SubsRetreated = t.DefSubsRetreated;
        col.Units = units;
        if (Setup_.LowLuck) {
            TState u = t;
            col.Fire = LowLuckHitDistribution(DefenderLowLuckStrength(u, R_));
        } else {
            TFire f;
            CollectFire(f, [&](auto&& g) { DefenderGroups(t, R_, g); });
            col.Fire = Hits_.Fire(f, DefOtherGroups);
        }
        ColIndex_[DefenderKey(t)] = static_cast<int32_t>(Cols_.size());
        Cols_.push_back(std::move(col));
        if (units == 0) break;
        TakeAttackerFire(t, R_, 1);
    }
}

int32_t TExact::ColumnOf(const TState& s) const
{
    const auto it = ColIndex_.find(DefenderKey(s));
    return it == ColIndex_.end() ? -1 : it->second;
}

int32_t TExact::RowOf(const TState& s)
{
    const TKey key = AttackerKey(s);
    const auto found = RowIndex_.find(key);
    if (found != RowIndex_.end()) return found->second;

    const int32_t x = static_cast<int32_t>(Rows_.size());
    RowIndex_[key] = x;
    Rows_.emplace_back();
    TRow& row = Rows_.back();
    std::copy(s.Att, s.Att + AttKinds, row.Part.Att);
    row.Part.BBDamage = 0;
    row.SubsRetreated = s.AttSubsRetreated;
    row.Units = AttUnits(s);
    if (Setup_.LowLuck) {
        row.Fire = LowLuckHitDistribution(AttackerStrength(s, Setup_, R_));
    } else {
        TFire f;
        CollectFire(f, [&](auto&& g) { AttackerGroups(s, Setup_, R_, g); });
        row.Fire = Hits_.Fire(f);
    }
    MakeLevels(row.Fire, row.Levels);
    row.Mass.assign(Cols_.size(), 0.0);
    if (Layered_) row.Later.assign(Cols_.size(), 0.0);
    GridBytes_ += (row.Mass.size() + row.Later.size()) * sizeof(double) + sizeof(TRow) + 64;
    Poll();

    // The rows after every number of hits: the whole chain exists before the
    // row is spread.
    std::vector<int32_t> next(static_cast<size_t>(row.Units) + 1, x);
    for (int32_t i = 1; i <= Rows_[x].Units; ++i) {
        TState t = s;
        TakeDefenderFire(t, Setup_, R_, TDefenderHits{0, 0, i});
        next[i] = RowOf(t);
    }
    Rows_[x].Next = std::move(next);
    return x;
}

void TExact::Seed(const TState& s, double mass)
{
    const int32_t x = RowOf(s);
    const int32_t c = ColumnOf(s);
    TRow& row = Rows_[x];
    (Layered_ ? row.Later : row.Mass)[c] += mass;
}

TState TExact::CellState(const TRow& row, const TColumn& col, int32_t round) const
{
    TState s = R_.Start;
    std::copy(row.Part.Att, row.Part.Att + AttKinds, s.Att);
    std::copy(col.Part.Def, col.Part.Def + DefKinds, s.Def);
    s.AttBBDamage = s.DefBBDamage = 0;
    s.AttSubsRetreated = row.SubsRetreated;
    s.DefSubsRetreated = col.SubsRetreated;
    s.Round = round;
    s.Over = false;
    return s;
}

// The cell (x, c) after its round: its end test, then its round's spread.
void TExact::SpreadCell(int32_t x, int32_t c, double mass, int32_t round, bool later)
{
    {
        TState s = CellState(Rows_[x], Cols_[c], round);
        EndOfRound(s, Setup_, R_);
        if (s.Over) {
            AddTerminal(s, mass);
            return;
        }
    }
    const TRow& row = Rows_[x];
    const THitDistribution& onDef = row.Fire;
    const THitDistribution& onAtt = Cols_[c].Fire;
    const int32_t lastCol = static_cast<int32_t>(Cols_.size()) - 1;

    double stay = 0;
    if (!later && onDef.Lo == 0 && onAtt.Lo == 0) stay = onDef.P[0] * onAtt.P[0];
    if (stay > 0) {
        if (stay >= 1) {
            Unresolved_ += mass;
            return;
        }
        mass /= 1 - stay;
    }
    Rounds_ += mass;

    // The rows the attacker's losses lead to, for each of the defender's hit counts.
    Targets_.resize(onAtt.P.size());
    for (size_t i = 0; i < onAtt.P.size(); ++i)
        Targets_[i] = RowData_[row.Next[std::min(onAtt.Lo + static_cast<int32_t>(i), row.Units)]];
    double pruned = 0;
    double work = 0;
    SpreadShares_(mass, onDef, row.Levels, onAtt, Targets_.data(), c + onDef.Lo, lastCol, pruned, work);
    Pruned_ += pruned;
    Work_ += work;
    if (stay > 0) Rows_[x].Mass[c] = 0;
}

// Every cell of row x with probability on it: pruned, or on through a round.
void TExact::SpreadRow(int32_t x, int32_t round, bool later)
{
    for (int32_t c = 0; c < static_cast<int32_t>(Cols_.size()); ++c) {
        const double mass = Rows_[x].Mass[c];
        if (mass == 0) continue;
        Rows_[x].Mass[c] = 0;
        if (mass < StateFloor) {
            Pruned_ += mass;
            continue;
        }
        SpreadCell(x, c, mass, round, later);
        if (++Spread_ % 64 == 0) Poll();
    }
}

// Rows by units left, most first: a round only ever moves mass to a later
// row, or along its own row to a later column.
void TExact::RunLinearCollapsed()
{
    std::vector<int32_t> order(Rows_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int32_t>(i);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return Rows_[a].Units > Rows_[b].Units; });
    RowData_.clear();
    for (TRow& row : Rows_) RowData_.push_back(row.Mass.data());
    for (int32_t x : order) {
        SpreadRow(x, 1, false);
        std::vector<double>().swap(Rows_[x].Mass);
    }
}

// With a round limit: every state after `round` rounds goes one round on.
void TExact::LinearRound(int32_t round)
{
    RowData_.clear();
    for (TRow& row : Rows_) {
        std::swap(row.Mass, row.Later);
        RowData_.push_back(row.Later.data());
    }
    for (int32_t x = 0; x < static_cast<int32_t>(Rows_.size()); ++x) SpreadRow(x, round, true);
}

// ---- Driving both passes -----------------------------------------------------------------

void TExact::RunGeneral()
{
    if (!Layered_) {
        for (size_t b = 0; b < Buckets_.size(); ++b) GeneralBucket(b);
        if (LinearOn_) RunLinearCollapsed();
        return;
    }
    // Round by round: the general states of each round, then the linear ones.
    for (int32_t round = 1; round <= Setup_.Rounds; ++round) {
        if (LinearOn_) LinearRound(round);
        GeneralBucket(static_cast<size_t>(round));
    }
}

TExactOdds TExact::Collect()
{
    TExactOdds odds;
    std::map<std::vector<int32_t>, double> outcomes;  // Victor, then the counts: a fixed order for ties
    long double attLoss = 0, defLoss = 0;
    double category[5] = {};
    const bool land = IsLandBattle(Setup_);
    // Summed in key order so that the same battle always gives the same bits.
    std::vector<std::pair<TKey, double>> ends(Terminal_.begin(), Terminal_.end());
    std::sort(ends.begin(), ends.end(),
              [](const auto& a, const auto& b) { return std::memcmp(a.first.V, b.first.V, sizeof a.first.V) < 0; });
    for (const auto& [key, mass] : ends) {
        if (mass < StateFloor) {
            Pruned_ += mass;
            continue;
        }
        const TState s = StateOf(key, R_.Start);
        TBattleEnd end;
        EndBattle(s, Setup_, end);
        category[static_cast<int>(end.Outcome)] += mass;
        attLoss += static_cast<long double>(mass) * end.AttIPCLoss;
        defLoss += static_cast<long double>(mass) * end.DefIPCLoss;
        if (TakesTerritory(land, end.Outcome == TOutcome::AttWins, end.State.AttCount)) odds.Taken += mass;
        for (int k = 0; k < AttKinds; ++k) odds.AttLeft[k] += mass * end.State.AttCount[k];
        for (int k = 0; k < DefKinds; ++k) odds.DefLeft[k] += mass * end.State.DefCount[k];
        std::vector<int32_t> id{static_cast<int32_t>(end.State.Victor)};
        id.insert(id.end(), end.State.AttCount, end.State.AttCount + AttKinds);
        id.insert(id.end(), end.State.DefCount, end.State.DefCount + DefKinds);
        outcomes[id] += mass;
    }
    odds.AttWins = category[static_cast<int>(TOutcome::AttWins)];
    odds.DefWins = category[static_cast<int>(TOutcome::DefWins)];
    odds.BothDes = category[static_cast<int>(TOutcome::BothDes)];
    odds.AttWithdraws = category[static_cast<int>(TOutcome::AttWithdraws)];
    odds.BothRemain = category[static_cast<int>(TOutcome::BothRemain)];
    odds.AvgAttIPCLoss = static_cast<double>(attLoss);
    odds.AvgDefIPCLoss = static_cast<double>(defLoss);
    odds.AvgRounds = Rounds_;
    odds.Pruned = Pruned_;
    odds.Unresolved = Unresolved_;
    for (const auto& [id, mass] : outcomes) {
        TExactOutcome o;
        o.State.Victor = static_cast<TVictor>(id[0]);
        std::copy(id.begin() + 1, id.begin() + 1 + AttKinds, o.State.AttCount);
        std::copy(id.begin() + 1 + AttKinds, id.end(), o.State.DefCount);
        o.Probability = mass;
        odds.Outcomes.push_back(o);
    }
    std::stable_sort(odds.Outcomes.begin(), odds.Outcomes.end(),
                     [](const TExactOutcome& a, const TExactOutcome& b) { return a.Probability > b.Probability; });
    return odds;
}

TExactOdds TExact::Run()
{
    Estimate();
    TopPotential_ = Potential(R_.Start);
    Start();
    RunGeneral();
    return Collect();
}

}  // namespace

TExactOdds ComputeExactOdds(const TBattleSetupRec& setup, const std::atomic<bool>* cancel, const TExactLimits& limits)
{
    // No unit on either side is no battle: every figure stays 0, as for a run.
    if (setup.Empty()) return TExactOdds{};
    try {
        TExact exact(setup, cancel, limits);
        return exact.Run();
    } catch (const TRefused& refused) {
        TExactOdds odds;
        odds.Status = refused.Status;
        odds.Reason = refused.Reason;
        return odds;
    } catch (const std::bad_alloc&) {
        TExactOdds odds;
        odds.Status = TExactStatus::TooLarge;
        odds.Reason = "the battle needs more memory than there is";
        return odds;
    }
}
