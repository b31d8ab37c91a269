#include "engine/exact/ExactGeneral.h"

#include "engine/exact/ExactSpread.h"

#include <algorithm>

#include <mutex>

namespace exact {

using namespace battle;

namespace {

// A step of the general pass (a state copied, casualties taken, an end test)
// costs about as much as this many steps of the linear pass's spread.
constexpr double GeneralStep = 250;

// One side's part of a state, as the round's casualty steps leave it: its
// counts and its battleship pool.
template <int Kinds>
struct TPart {
    int32_t Units[Kinds];
    int32_t Pool;
    bool operator==(const TPart&) const = default;
};
using TAttPart = TPart<AttKinds>;
using TDefPart = TPart<DefKinds>;

// Adds probability p to the part with these counts and pool (equal parts are one).
template <int Kinds>
void AddPart(std::vector<std::pair<TPart<Kinds>, double>>& parts, const int32_t* units, int32_t pool, double p)
{
    TPart<Kinds> part;
    std::copy(units, units + Kinds, part.Units);
    part.Pool = pool;
    for (auto& [q, mass] : parts)
        if (q == part) {
            mass += p;
            return;
        }
    parts.emplace_back(part, p);
}

// Hit counts from `cap` on all have the same effect (the rules cap them there,
// or everything the hits can reach is gone): they are taken as one.
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

}  // namespace

// What one thread needs to take states on.
struct TExpander {
    TStepHits Hits;
    std::vector<std::pair<TAttPart, double>> AttParts;
    std::vector<std::pair<TDefPart, double>> DefParts;
    std::vector<double> Suffix;
    double Work = 0;
    double Pruned = 0;
};

namespace {

// The exact odds as the round's source of hit counts: it goes on with every
// count, carrying the probability of the branch under way in Weight.
class TEveryCount {
public:
    TEveryCount(TExpander& x, const TShared& shared) : X_(x), S_(shared) {}
    double Weight = 1;

    template <class Step, class Go>
    void Fire(TState& s, const Step& step, Go&& go)
    {
        const THitDistribution& d = X_.Hits.Of(step);
        const TState before = s;
        const double w = Weight;
        ForEachHits(d, std::min(step.Cap(), step.Saturation()), [&](int32_t hits, double q) {
            if (w * q < SpreadFloor) {
                X_.Pruned += w * q;
                return;
            }
            s = before;
            Weight = w * q;
            go(s, hits);
        });
        s = before;
        Weight = w;
    }

    // The attacker's losses depend on the defender's hits alone and the
    // defender's on the attacker's alone: each side's are worked out apart,
    // then every pair ends the round.
    template <class Prepare, class OnAttacker, class OnDefender, class Done>
    void Exchange(TState& s, const TAttackStep& attack, Prepare&& prepare, OnAttacker&& onAttacker,
                  OnDefender&& onDefender, Done&& done)
    {
        const THitDistribution& attackHits = X_.Hits.Of(attack);
        const int32_t attackCap = std::min(attack.Cap(), attack.Saturation());
        TState ready = s;
        const TDefenderStep defender = prepare(ready);
        uint64_t steps = 0;

        auto& defParts = X_.DefParts;
        defParts.clear();
        ForEachHits(attackHits, attackCap, [&](int32_t hits, double q) {
            TState t = ready;
            onDefender(t, hits);
            AddPart(defParts, t.Def, t.DefBBDamage, q);
            ++steps;
        });

        auto& attParts = X_.AttParts;
        attParts.clear();
        auto attacker = [&](const TDefenderHits& hits, double q) {
            TState t = ready;
            onAttacker(t, hits);
            AddPart(attParts, t.Att, t.AttBBDamage, q);
            ++steps;
        };
        if (defender.LowLuck()) {
            ForEachHits(X_.Hits.LowLuck(defender.LowLuckStrength),
                        std::min(defender.LowLuckCap, defender.Saturation(DefOtherGroups)),
                        [&](int32_t hits, double q) { attacker(TDefenderHits{0, 0, hits}, q); });
        } else {
            const THitDistribution& trn = X_.Hits.Of(defender, DefTrnGroup, DefTrnGroup + 1);
            const THitDistribution& sub = X_.Hits.Of(defender, DefSubGroup, DefSubGroup + 1);
            const THitDistribution& other = X_.Hits.Of(defender, DefOtherGroups, TFire::MaxGroups);
            ForEachHits(trn, defender.Saturation(DefTrnGroup), [&](int32_t h3, double q3) {
                ForEachHits(sub, defender.Saturation(DefSubGroup), [&](int32_t h4, double q4) {
                    ForEachHits(other, defender.Saturation(DefOtherGroups), [&](int32_t h5, double q5) {
                        attacker(TDefenderHits{h3, h4, h5}, q3 * q4 * q5);
                    });
                });
            });
        }

        // Where some pair may be too small to go on (its share is pruned),
        // most probable first, so that such pairs end each row of pairs.
        auto byMass = [](const auto& a, const auto& b) { return a.second > b.second; };
        auto least = [](const auto& parts) {
            double q = 1;
            for (const auto& part : parts) q = std::min(q, part.second);
            return q;
        };
        if (Weight * least(attParts) * least(defParts) < SpreadFloor) {
            std::stable_sort(attParts.begin(), attParts.end(), byMass);
            std::stable_sort(defParts.begin(), defParts.end(), byMass);
        }
        std::vector<double>& rest = X_.Suffix;
        rest.assign(defParts.size() + 1, 0.0);
        for (size_t i = defParts.size(); i-- > 0;) rest[i] = rest[i + 1] + defParts[i].second;
        const double w = Weight;
        for (const auto& [a, qa] : attParts)
            for (size_t i = 0; i < defParts.size(); ++i) {
                const auto& [d, qd] = defParts[i];
                if (w * qa * qd < SpreadFloor) {
                    X_.Pruned += w * qa * rest[i];
                    break;
                }
                if (++steps % 256 == 0) S_.Poll();  // a large battle's round takes a while
                TState t = ready;
                std::copy(a.Units, a.Units + AttKinds, t.Att);
                t.AttBBDamage = a.Pool;
                std::copy(d.Units, d.Units + DefKinds, t.Def);
                t.DefBBDamage = d.Pool;
                Weight = w * qa * qd;
                done(t);
            }
        Weight = w;
        X_.Work += GeneralStep * static_cast<double>(steps);
    }

private:
    TExpander& X_;
    const TShared& S_;
};

}  // namespace

// The scratch of taking states on, one per task under way: kept for the whole
// calculation (with the hit distributions it has worked out) and lent out
// under a lock. A plain pool, so that ThreadSanitizer sees every hand-over.
struct TGeneralPass::TLocals {
    std::mutex Lock;
    std::vector<std::unique_ptr<TExpander>> All;
    std::vector<TExpander*> Free;
};

class TGeneralPass::TLent {
public:
    explicit TLent(TLocals& pool) : Pool_(pool)
    {
        const std::lock_guard<std::mutex> lock(Pool_.Lock);
        if (Pool_.Free.empty()) {
            Pool_.All.push_back(std::make_unique<TExpander>());
            X_ = Pool_.All.back().get();
        } else {
            X_ = Pool_.Free.back();
            Pool_.Free.pop_back();
        }
    }
    ~TLent()
    {
        const std::lock_guard<std::mutex> lock(Pool_.Lock);
        Pool_.Free.push_back(X_);
    }
    TLent(const TLent&) = delete;
    TLent& operator=(const TLent&) = delete;
    TExpander& operator*() const { return *X_; }

private:
    TLocals& Pool_;
    TExpander* X_;
};

TGeneralPass::TGeneralPass(TShared& shared)
    : S_(shared), TopPotential_(Potential(shared.R.Start)), Locals_(std::make_unique<TLocals>())
{
}

TGeneralPass::~TGeneralPass() = default;

TGeneralPass::TLent TGeneralPass::Local() { return TLent(*Locals_); }

// One round from state s, reached with probability `mass`. With `fold` a
// round that leaves s as it is repeats until something happens: from s the
// battle leaves with the other outcomes' probabilities over 1 - stay, after
// 1 / (1 - stay) rounds.
void TGeneralPass::Expand(TExpander& x, const TState& s, double mass, bool fold, TExpansion& out)
{
    x.Pruned = 0;
    TEveryCount src(x, S_);
    TState b = s;
    const size_t first = out.Reached.size();
    PlayRound(b, S_.Setup, S_.R, src, [&](TState& t) { out.Reached.emplace_back(t, src.Weight); });

    auto stays = [&](const TState& t) {
        return fold && !t.Over && std::equal(t.Att, t.Att + AttKinds, s.Att) &&
               std::equal(t.Def, t.Def + DefKinds, s.Def) && t.AttBBDamage == s.AttBBDamage &&
               t.DefBBDamage == s.DefBBDamage && t.AttSubsRetreated == s.AttSubsRetreated &&
               t.DefSubsRetreated == s.DefSubsRetreated;
    };
    double stay = 0;
    double leave = x.Pruned;  // pruned shares leave like any other outcome
    size_t kept = first;
    for (size_t i = first; i < out.Reached.size(); ++i) {
        auto& [t, q] = out.Reached[i];
        if (stays(t)) {
            stay += q;
            continue;
        }
        leave += q;
        if (kept != i) out.Reached[kept] = out.Reached[i];
        ++kept;
    }
    out.Reached.resize(kept);
    if (stay > 0) {
        if (leave <= 0) {
            out.Tally.Unresolved += mass;
            out.Reached.resize(first);
            return;
        }
        mass /= leave;
    }
    out.Tally.Rounds += mass;
    out.Tally.Pruned += mass * x.Pruned;
    for (size_t i = first; i < out.Reached.size(); ++i) out.Reached[i].second *= mass;
}

void TGeneralPass::Deliver(TExpansion& e, const TArrive& arrive)
{
    S_.Add(e.Tally);
    size_t n = 0;
    for (auto& [t, mass] : e.Reached) {
        arrive(t, mass);
        if (++n % 4096 == 0) S_.Poll();
    }
}

void TGeneralPass::Start(const TArrive& arrive)
{
    const TLent lent = Local();
    TExpander& x = *lent;
    TEveryCount src(x, S_);
    TState s;
    std::vector<std::pair<TState, double>> starts;
    PlayStart(s, S_.Setup, S_.R, src, [&](TState& t) { starts.emplace_back(t, src.Weight); });
    for (const auto& [t, p] : starts) {
        TExpansion e;
        Expand(x, t, p, false, e);
        S_.Poll();
        Deliver(e, arrive);
    }
    S_.AddWork(x.Work);
    x.Work = 0;
    S_.Poll();
}

void TGeneralPass::Add(const TState& s, double mass)
{
    const size_t bucket = S_.RoundByRound ? static_cast<size_t>(s.Round) : static_cast<size_t>(TopPotential_ - Potential(s));
    if (Buckets_.size() <= bucket) Buckets_.resize(bucket + 1);
    std::vector<TPending>& pending = Buckets_[bucket];
    const TKey key = KeyOf(s);
    const auto [it, added] = Index_.try_emplace(key, static_cast<uint32_t>(pending.size()));
    if (!added) {
        pending[it->second].Mass += mass;
        return;
    }
    pending.push_back({key, mass});
    ++Pending_;
}

bool TGeneralPass::RunBucket(size_t b, const TArrive& arrive)
{
    if (b >= Buckets_.size() || Buckets_[b].empty()) return false;
    std::vector<TPending> states;
    states.swap(Buckets_[b]);
    for (const TPending& p : states) Index_.erase(p.Key);
    Pending_ -= states.size();
    const int32_t round = S_.RoundByRound ? static_cast<int32_t>(b) : 0;

    // A block at a time, its states on all threads, what they reach delivered
    // in the block's order; a small block, so that what they reach is still
    // in the cache when it is delivered. Alone, one state at a time.
    const size_t Block = S_.Threads ? 16 : 1;
    std::vector<TExpansion>& done = Done_;  // kept, with its vectors' room, from block to block
    for (size_t first = 0; first < states.size(); first += Block) {
        const size_t n = std::min(Block, states.size() - first);
        if (done.size() < n) done.resize(n);
        for (size_t i = 0; i < n; ++i) {
            done[i].Reached.clear();
            done[i].Tally = {};
        }
        ForEachIndex(n, S_.Threads, [&](size_t i) {
            const TPending& p = states[first + i];
            if (p.Mass < StateFloor) {
                done[i].Tally.Pruned += p.Mass;
                return;
            }
            const TLent lent = Local();
            TExpander& x = *lent;
            Expand(x, StateOf(p.Key, S_.R.Start, round), p.Mass, !S_.RoundByRound, done[i]);
            S_.AddWork(x.Work);
            x.Work = 0;
            S_.Poll();
        });
        for (size_t i = 0; i < n; ++i) Deliver(done[i], arrive);

        size_t hits = 0;
        for (const auto& x : Locals_->All) hits += x->Hits.Bytes();
        S_.Hold(THolder::Hits, hits);
        S_.Hold(THolder::Pool, Pending_ * (sizeof(TPending) + EntryBytes<decltype(Index_)>()) +
                                   Buckets_.size() * sizeof(Buckets_[0]));
        S_.Poll();
    }
    return true;
}

}  // namespace exact
