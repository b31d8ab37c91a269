// Exact odds against slower references: the general pass alone (the linear
// pass switched off) on a grid of tiny battles under every option that
// changes their rules, every dice sequence of battles without a round limit,
// and the dice of the 2 Hit BB battles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/battle/BattleImpl.h"
#include "engine/exact/Exact.h"
#include "engine/battle/ScriptedDice.h"
#include "tests/engine/battle/BattleTestSupport.h"
#include "tests/engine/exact/ExactTestSupport.h"

namespace {

std::string Figure(const std::string& name, double a, double b = NAN)
{
    std::ostringstream text;
    text << std::setprecision(15) << name << ' ' << a;
    if (!std::isnan(b)) text << " against " << b;
    return text.str();
}

// The first invariant an exact calculation breaks, or "". Every figure lies
// within its bounds (rounding is clamped away), no two listed end states are
// the same, and the swing distribution holds the same mass and mean as the
// categories and the expected IPC losses.
std::string Broken(const TExactOdds& o, const TBattleSetupRec& setup)
{
    if (o.Status != TExactStatus::Done) return "not done: " + o.Reason;
    if (!(std::abs(Total(o) - 1) <= 1e-9)) return Figure("categories + Unresolved + Pruned =", Total(o));
    auto outside = [](double x, double hi) { return !(x >= 0 && x <= hi); };
    for (double p : {o.AttWins, o.DefWins, o.BothDes, o.BothRemain, o.AttWithdraws, o.Taken, o.Unresolved, o.Pruned,
                     o.OtherOutcomes})
        if (outside(p, 1)) return Figure("a probability of", p);
    std::map<TEndKey, int> rows;
    for (const TExactOutcome& e : o.Outcomes) {
        if (outside(e.Probability, 1)) return Figure("an end state with", e.Probability);
        if (++rows[KeyOf(e.State)] > 1) return "an end state listed twice: " + ::testing::PrintToString(KeyOf(e.State));
    }
    for (int k = 0; k < AttKinds; ++k)
        if (outside(o.AttLeft[k], setup.AttCount[k])) return Figure("attacker left", o.AttLeft[k], setup.AttCount[k]);
    for (int k = 0; k < DefKinds; ++k)
        if (outside(o.DefLeft[k], setup.DefCount[k])) return Figure("defender left", o.DefLeft[k], setup.DefCount[k]);
    for (double x : {o.AvgAttIPCLoss, o.AvgDefIPCLoss, o.AvgRounds})
        if (!(x >= 0)) return Figure("an expectation of", x);
    double mass = 0, mean = 0;
    for (size_t i = 0; i < o.Swing.size(); ++i) {
        if (i > 0 && !(o.Swing[i - 1].Swing < o.Swing[i].Swing)) return "the swing is not in increasing order";
        mass += o.Swing[i].Probability;
        mean += o.Swing[i].Probability * static_cast<double>(o.Swing[i].Swing);
    }
    if (!(std::abs(mass - (1 - o.Unresolved - o.Pruned)) <= 1e-9)) return Figure("the swing's mass", mass);
    const double expected = o.AvgDefIPCLoss - o.AvgAttIPCLoss;
    if (!(std::abs(mean - expected) <= 1e-9 * std::max(1.0, std::abs(expected))))
        return Figure("the swing's mean", mean, expected);
    return {};
}

// The first difference between the normal calculation and the reference, or "".
std::string Difference(const TBattleSetupRec& setup, const TExactOdds& fast, const TExactOdds& slow)
{
    if (std::string b = Broken(fast, setup); !b.empty()) return "normal: " + b;
    if (std::string b = Broken(slow, setup); !b.empty()) return "reference: " + b;
    auto differ = [](double a, double b, double tolerance) { return !(std::abs(a - b) <= tolerance); };
    const std::pair<const char*, double TExactOdds::*> probabilities[] = {
        {"ATT", &TExactOdds::AttWins},        {"DEF", &TExactOdds::DefWins},
        {"Both D.", &TExactOdds::BothDes},    {"Rnd Lmt", &TExactOdds::BothRemain},
        {"With.", &TExactOdds::AttWithdraws}, {"Taken", &TExactOdds::Taken},
        {"Unresolved", &TExactOdds::Unresolved}, {"Pruned", &TExactOdds::Pruned},
    };
    for (const auto& [name, field] : probabilities)
        if (differ(fast.*field, slow.*field, 1e-12)) return Figure(name, fast.*field, slow.*field);
    std::map<TEndKey, double> ends = EndStates(fast);
    const std::map<TEndKey, double> reference = EndStates(slow);
    for (const auto& [key, p] : reference) ends.try_emplace(key, 0);
    for (const auto& [key, p] : ends) {
        const auto it = reference.find(key);
        const double q = it == reference.end() ? 0 : it->second;
        if (differ(p, q, 1e-12)) {
            std::ostringstream state;
            state << "end state " << VictorText(static_cast<TVictor>(key[0]));
            for (size_t i = 1; i < key.size(); ++i) state << ' ' << key[i];
            return Figure(state.str(), p, q);
        }
    }
    // Expectations are sums over many end states in different orders.
    auto expectationDiffers = [&](double a, double b) { return differ(a, b, 1e-10 * std::max(1.0, std::abs(b))); };
    const std::pair<const char*, double TExactOdds::*> expectations[] = {
        {"average attacker loss", &TExactOdds::AvgAttIPCLoss},
        {"average defender loss", &TExactOdds::AvgDefIPCLoss},
        {"average rounds", &TExactOdds::AvgRounds},
    };
    for (const auto& [name, field] : expectations)
        if (expectationDiffers(fast.*field, slow.*field)) return Figure(name, fast.*field, slow.*field);
    for (int k = 0; k < AttKinds; ++k)
        if (expectationDiffers(fast.AttLeft[k], slow.AttLeft[k]))
            return Figure("attacker left", fast.AttLeft[k], slow.AttLeft[k]);
    for (int k = 0; k < DefKinds; ++k)
        if (expectationDiffers(fast.DefLeft[k], slow.DefLeft[k]))
            return Figure("defender left", fast.DefLeft[k], slow.DefLeft[k]);
    return {};
}

std::string DifferenceFromReference(const TBattleSetupRec& setup)
{
    TExactLimits reference;
    reference.LinearPass = false;
    return Difference(setup, ComputeExactOdds(setup), ComputeExactOdds(setup, nullptr, reference));
}

// ---- The grid ----------------------------------------------------------------------------

int32_t Air(const int32_t* att) { return att[aFTR] + att[aBMR]; }
int32_t Land(const int32_t* count) { return count[0] + count[1]; }  // INF and ARM, on either side

// Options that change the rules of a battle, each with the forces for which it
// can change anything. The others are left out for that battle: 2 Hit BB with
// land units present (it is off then) or without battleships; the AA gun, Take
// w/ ground and Save Air outside land battles with attacking aircraft (Take
// w/ ground and Save Air need a land unit beside them); heavy bombers without
// attacking bombers; super subs without attacking submarines; the submarine
// retreats without the submarines and the opponents they react to.
// Withdrawal, round limits, low luck and technology apply to every battle.
using TSetup = TBattleSetupRec;
struct TOption {
    bool (*Matters)(const TSetup&);
    void (*Set)(TSetup&);
};
const TOption Options[] = {
    {[](const TSetup& s) { return Land(s.AttCount) + Land(s.DefCount) == 0 && s.AttCount[aBB] + s.DefCount[dBB] > 0; },
     [](TSetup& s) { s.TwoHitBB = true; }},
    {[](const TSetup& s) { return Land(s.AttCount) > 0 && Air(s.AttCount) > 0; }, [](TSetup& s) { s.AAGun = true; }},
    {[](const TSetup& s) { return Land(s.AttCount) > 0 && Air(s.AttCount) > 0; }, [](TSetup& s) { s.TakeWith = true; }},
    {[](const TSetup& s) { return Land(s.AttCount) > 0 && Air(s.AttCount) > 0; }, [](TSetup& s) { s.SaveAir = true; }},
    {[](const TSetup& s) { return s.AttCount[aBMR] > 0; }, [](TSetup& s) { s.HvyBomber = true; }},
    {[](const TSetup& s) { return s.AttCount[aSUB] > 0; }, [](TSetup& s) { s.SetSuperSub(true); }},
    {[](const TSetup& s) { return s.AttCount[aSUB] > 0 && s.DefCount[dFTR] + s.DefCount[dJFTR] > 0; },
     [](TSetup& s) { s.AttWithSubsAirOnly = true; }},
    {[](const TSetup& s) { return s.DefCount[dSUB] > 0 && Air(s.AttCount) > 0; },
     [](TSetup& s) { s.DefWithSubsAirOnly = true; }},
    {[](const TSetup& s) { return s.DefCount[dSUB] > 0; }, [](TSetup& s) { s.DefWithSubs1stRnd = true; }},
    {[](const TSetup&) { return true; }, [](TSetup& s) { s.LowLuck = true; }},
    {[](const TSetup&) { return true; }, [](TSetup& s) { s.SetAttTech(true); }},
    {[](const TSetup&) { return true; }, [](TSetup& s) { s.SetDefTech(true); }},
};

TBattleSetupRec Reversed(TBattleSetupRec s)
{
    for (int32_t& r : s.AttOrder) r = AttKinds + 1 - r;
    for (int32_t& r : s.DefOrder) r = DefKinds + 1 - r;
    return s;
}

// Calls `visit` with every combination of the options that matter for the
// forces, each under no withdrawal and two small thresholds, with round
// limits 1, 2 and none, and, where a side has units of several kinds, with
// the default kill orders and both reversed.
void ForEachVariant(const TBattleSetupRec& forces, const std::function<void(const TBattleSetupRec&)>& visit)
{
    auto kinds = [](const int32_t* count, int n) { return n - std::count(count, count + n, 0); };
    const bool orders = kinds(forces.AttCount, AttKinds) > 1 || kinds(forces.DefCount, DefKinds) > 1;
    std::vector<const TOption*> matter;
    for (const TOption& o : Options)
        if (o.Matters(forces)) matter.push_back(&o);
    const struct {
        int32_t AttWith, DefWith, DefWithLess;
    } withdrawals[] = {{-1, 0, 0}, {1, 1, 0}, {0, 0, 1}};
    for (uint32_t mask = 0; mask < (1u << matter.size()); ++mask)
        for (const auto& w : withdrawals)
            for (int32_t rounds : {1, 2, 0}) {
                TBattleSetupRec s = forces;
                for (size_t i = 0; i < matter.size(); ++i)
                    if (mask >> i & 1) matter[i]->Set(s);
                if (w.AttWith >= 0) {
                    s.Withdrawal = true;
                    s.AttWith = w.AttWith;
                    s.DefWith = w.DefWith;
                    s.DefWithLess = w.DefWithLess;
                }
                if (rounds > 0) Limit(s, rounds);
                visit(s);
                if (orders) visit(Reversed(s));
            }
}

TEST(ExactGrid, LinearPassAgreesWithTheGeneralPassOnEveryTinyBattle)
{
    const TBattleSetupRec battles[] = {
        // land
        Forces({{aINF, 2}}, {{dINF, 1}, {dARM, 1}}),
        Forces({{aINF, 1}, {aARM, 1}, {aFTR, 1}}, {{dINF, 1}, {dJFTR, 1}}),
        Forces({{aARM, 1}, {aBMR, 1}}, {{dINF, 1}, {dFTR, 1}}),
        Forces({{aINF, 1}, {aFTR, 1}, {aBMR, 1}}, {{dARM, 1}, {dBMR, 1}}),
        Forces({{aINF, 1}}, {{dBMR, 1}}),
        // amphibious
        Forces({{aINF, 1}, {aBB, 1}}, {{dINF, 1}}),
        Forces({{aARM, 1}, {aFTR, 1}, {aBB, 2}}, {{dINF, 2}}),
        Forces({{aINF, 2}, {aBB, 1}}, {{dINF, 1}, {dJFTR, 1}}),
        // sea
        Forces({{aBB, 1}}, {{dBB, 1}}),
        Forces({{aFTR, 3}}, {{dBB, 1}}),
        Forces({{aAC, 1}}, {{dBB, 1}}),
        Forces({{aBB, 2}}, {{dBB, 1}, {dTRN, 1}}),
        Forces({{aBB, 1}, {aTRN, 1}}, {{dBB, 2}}),
        Forces({{aBB, 2}}, {{dFTR, 1}, {dAC, 1}}),
        Forces({{aSUB, 1}, {aBB, 1}}, {{dBB, 1}, {dSUB, 1}}),
        Forces({{aSUB, 2}}, {{dAC, 1}, {dTRN, 1}}),
        Forces({{aTRN, 1}, {aAC, 1}, {aFTR, 1}}, {{dSUB, 1}, {dFTR, 1}}),
        Forces({{aSUB, 1}, {aFTR, 1}}, {{dSUB, 1}, {dJFTR, 1}}),
        Forces({{aAC, 2}}, {{dTRN, 2}}),
        Forces({{aFTR, 1}, {aTRN, 1}}, {{dSUB, 3}}),  // in low luck enough to sink the transport outright
        Forces({{aBB, 1}, {aAC, 1}, {aSUB, 1}}, {{dBB, 1}, {dAC, 1}, {dSUB, 1}}),
        // aircraft against ships
        Forces({{aFTR, 1}, {aBMR, 1}}, {{dBB, 1}, {dTRN, 1}}),
        Forces({{aBMR, 2}}, {{dAC, 1}, {dSUB, 1}}),
        Forces({{aFTR, 2}}, {{dBB, 1}, {dAC, 1}}),
    };
    for (const TBattleSetupRec& forces : battles) {
        int cases = 0;
        std::vector<std::string> failures;
        ForEachVariant(forces, [&](const TBattleSetupRec& setup) {
            ++cases;
            if (std::string d = DifferenceFromReference(setup); !d.empty())
                failures.push_back(CommandLine(setup) + "\n      " + d);
        });
        if (failures.empty()) continue;
        std::string shown;
        for (size_t i = 0; i < std::min<size_t>(failures.size(), 4); ++i) shown += "\n    " + failures[i];
        ADD_FAILURE() << CommandLine(forces) << ": " << failures.size() << " of " << cases
                      << " cases differ from the general pass, for example" << shown;
    }
}

// ---- 2 Hit BB against a lone battleship -----------------------------------------------

TEST(ExactGrid, TwoHitBattleshipBattlesAgreeWithTheGeneralPassAndTheDice)
{
    TBattleSetupRec duel = Forces({{aBB, 1}}, {{dBB, 1}});
    TBattleSetupRec fighters = Forces({{aFTR, 3}}, {{dBB, 1}});
    TBattleSetupRec carrier = Forces({{aAC, 1}}, {{dBB, 1}});
    for (TBattleSetupRec* s : {&duel, &fighters, &carrier}) {
        s->TwoHitBB = true;
        EXPECT_EQ(DifferenceFromReference(*s), "") << CommandLine(*s);
    }

    // Worked out by hand: each battleship hits with 2/3 and sinks with the
    // second hit it takes; a round without a hit repeats.
    const TExactOdds odds = ComputeExactOdds(duel);
    EXPECT_NEAR(odds.AttWins, 11.0 / 32, 1e-12);
    EXPECT_NEAR(odds.DefWins, 11.0 / 32, 1e-12);
    EXPECT_NEAR(odds.BothDes, 10.0 / 32, 1e-12);

    ExpectAgreesWithDice(fighters, ComputeExactOdds(fighters), 200000, 14);
    ExpectAgreesWithDice(carrier, ComputeExactOdds(carrier), 200000, 15);
}

// ---- Every dice sequence of battles without a round limit ------------------------------
//
// Without a round limit a round that changes nothing repeats, and the exact
// calculation folds the repeats into a geometric series. Here every dice
// sequence of the battle start and of each round is replayed through the
// battle's own steps, round after round; sequences that reach the same battle
// state are merged, so the battle can be followed until the mass still
// fighting is negligible. The exact probability of an end state must lie
// between the mass that reached it and that plus the mass still fighting.

using TStateKey = std::vector<int32_t>;
TStateKey KeyOf(const battle::TState& s)
{
    TStateKey k(s.Att, s.Att + AttKinds);
    k.insert(k.end(), s.Def, s.Def + DefKinds);
    k.insert(k.end(), {s.Round, s.AttBBDamage, s.DefBBDamage, s.AttSubsRetreated, s.DefSubsRetreated});
    return k;
}

// Every dice sequence of one step (a battle start or a round) from `from`:
// visit(state after the step, probability of the sequence).
template <class Step, class Visit>
void EachSequence(const battle::TState& from, Step&& step, Visit&& visit, std::vector<int>& faces, long double p)
{
    battle::TState s = from;
    TScriptedDice dice(faces);
    step(s, dice);
    if (!dice.Exhausted()) {
        visit(s, p);
        return;
    }
    for (int face = 1; face <= 6; ++face) {
        faces.push_back(face);
        EachSequence(from, step, visit, faces, p / 6);
        faces.pop_back();
    }
}

struct TReplayed {
    std::map<TEndKey, long double> Ends;
    long double AttLoss = 0, DefLoss = 0, Rounds = 0;
    long double Fighting = 0;  // mass of the battles not over when the replay stopped
};

TReplayed ReplayEverySequence(const TBattleSetupRec& setup)
{
    battle::TRules rules;
    battle::MakeRules(setup, rules);
    TReplayed out;
    std::map<TStateKey, std::pair<battle::TState, long double>> fighting, next;
    auto arrive = [&](const battle::TState& s, long double p) {
        if (!s.Over) {
            auto [it, added] = next.try_emplace(KeyOf(s), s, 0.0L);
            it->second.second += p;
            return;
        }
        TBattleEnd end;
        battle::EndBattle(s, setup, end);
        out.Ends[KeyOf(end.State)] += p;
        out.AttLoss += p * end.AttIPCLoss;
        out.DefLoss += p * end.DefIPCLoss;
        out.Rounds += p * end.Rounds;
    };
    std::vector<int> faces;
    EachSequence(rules.Start, [&](battle::TState& s, TScriptedDice& d) { battle::StartBattle(s, setup, rules, d); },
                 arrive, faces, 1.0L);
    auto mass = [](const auto& states) {
        long double m = 0;
        for (const auto& [key, state] : states) m += state.second;
        return m;
    };
    auto round = [&](battle::TState& s, TScriptedDice& d) { battle::FightRound(s, setup, rules, d); };
    for (int rounds = 0; rounds < 1000 && mass(next) >= 1e-15L; ++rounds) {
        fighting.swap(next);
        next.clear();
        for (const auto& [key, state] : fighting) EachSequence(state.first, round, arrive, faces, state.second);
    }
    out.Fighting = mass(next);
    return out;
}

// Both the normal calculation and the general pass alone.
void ExpectWithinEveryDiceSequence(const TBattleSetupRec& setup)
{
    SCOPED_TRACE(CommandLine(setup));
    const TReplayed replay = ReplayEverySequence(setup);
    ASSERT_LT(replay.Fighting, 1e-14L);
    const double fighting = static_cast<double>(replay.Fighting);
    for (bool linear : {true, false}) {
        SCOPED_TRACE(linear ? "normal calculation" : "general pass alone");
        TExactLimits limits;
        limits.LinearPass = linear;
        const TExactOdds odds = ComputeExactOdds(setup, nullptr, limits);
        EXPECT_EQ(Broken(odds, setup), "");
        std::map<TEndKey, double> exact = EndStates(odds);
        for (const auto& [key, p] : replay.Ends) exact.try_emplace(key, 0);
        for (const auto& [key, p] : exact) {
            const auto it = replay.Ends.find(key);
            const double reached = it == replay.Ends.end() ? 0 : static_cast<double>(it->second);
            EXPECT_GE(p, reached - 1e-12) << "end state " << ::testing::PrintToString(key);
            EXPECT_LE(p, reached + fighting + 1e-12) << "end state " << ::testing::PrintToString(key);
        }
        // What is still fighting is too little to move the averages by the
        // tolerance unless it went on for some 1e5 more rounds.
        EXPECT_NEAR(odds.AvgAttIPCLoss, static_cast<double>(replay.AttLoss), 1e-9);
        EXPECT_NEAR(odds.AvgDefIPCLoss, static_cast<double>(replay.DefLoss), 1e-9);
        EXPECT_NEAR(odds.AvgRounds, static_cast<double>(replay.Rounds), 1e-9);
    }
}

TEST(ExactGrid, EqualsEveryDiceSequenceOfBattlesWithoutRoundLimit)
{
    // Rounds that change nothing: both sides miss; a submarine's strike that
    // misses; the defender's submarines firing at aircraft they cannot hit.
    ExpectWithinEveryDiceSequence(Forces({{aINF, 1}}, {{dINF, 1}}));
    ExpectWithinEveryDiceSequence(Forces({{aSUB, 1}, {aFTR, 1}}, {{dSUB, 1}, {dTRN, 1}}));
    // Hits that only wear down the 2 Hit BB pools: the state changes, the units do not.
    for (TBattleSetupRec s : {Forces({{aBB, 1}}, {{dBB, 1}}), Forces({{aFTR, 2}}, {{dBB, 1}}),
                              Forces({{aAC, 1}}, {{dBB, 1}}), Forces({{aSUB, 2}}, {{dBB, 1}}),
                              Forces({{aBB, 1}}, {{dFTR, 1}})}) {
        s.TwoHitBB = true;
        ExpectWithinEveryDiceSequence(s);
    }
    // Low luck with a remainder: the die of each step may miss, the one of an
    // empty submarine step included.
    TBattleSetupRec lowLuck = Forces({{aINF, 1}, {aARM, 1}}, {{dINF, 1}, {dARM, 1}});
    lowLuck.LowLuck = true;
    ExpectWithinEveryDiceSequence(lowLuck);
    TBattleSetupRec navalLowLuck = Forces({{aSUB, 1}, {aFTR, 1}}, {{dAC, 1}});
    navalLowLuck.LowLuck = true;
    ExpectWithinEveryDiceSequence(navalLowLuck);
    // The AA gun before round 1, Take w/ ground and Save Air.
    TBattleSetupRec land = Forces({{aINF, 1}, {aFTR, 1}}, {{dINF, 1}});
    land.AAGun = land.TakeWith = true;
    ExpectWithinEveryDiceSequence(land);
    land.TakeWith = false;
    land.SaveAir = true;
    ExpectWithinEveryDiceSequence(land);
    // Withdrawal, and submarines that retreat in a later round than their opponents'.
    TBattleSetupRec withdraw = Forces({{aINF, 2}}, {{dINF, 1}, {dARM, 1}});
    withdraw.Withdrawal = true;
    withdraw.AttWith = withdraw.DefWith = 1;
    ExpectWithinEveryDiceSequence(withdraw);
    TBattleSetupRec retreats = Forces({{aSUB, 1}, {aFTR, 1}}, {{dSUB, 1}, {dJFTR, 1}});
    retreats.AttWithSubsAirOnly = retreats.DefWithSubs1stRnd = true;
    ExpectWithinEveryDiceSequence(retreats);
}

}  // namespace
