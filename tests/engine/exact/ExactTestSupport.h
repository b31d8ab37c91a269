#pragma once
// Shared helpers of the exact odds tests: end states as map keys, a setup as
// the odds tool's command line, and the check against a seeded run of the dice.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/battle/BattleImpl.h"
#include "engine/exact/Exact.h"
#include "engine/battle/Random.h"

inline double Total(const TExactOdds& o)
{
    return o.AttWins + o.DefWins + o.BothDes + o.BothRemain + o.AttWithdraws + o.Unresolved + o.Pruned;
}

// An end state as a key: the victor, then the counts left.
using TEndKey = std::vector<int32_t>;
inline TEndKey KeyOf(const TBattleResultsRec& r)
{
    TEndKey k{static_cast<int32_t>(r.Victor)};
    k.insert(k.end(), r.AttCount, r.AttCount + AttKinds);
    k.insert(k.end(), r.DefCount, r.DefCount + DefKinds);
    return k;
}

inline std::map<TEndKey, double> EndStates(const TExactOdds& odds)
{
    std::map<TEndKey, double> ends;
    for (const TExactOutcome& o : odds.Outcomes) ends[KeyOf(o.State)] += o.Probability;
    return ends;
}

// The setup as arguments of varnholt-odds (defaults left out), so that a
// failing case can be run by hand.
inline std::string CommandLine(const TBattleSetupRec& s)
{
    std::ostringstream line;
    auto counts = [&](const char* option, const int32_t* count, int n, const TUnitKind* kinds) {
        line << option << " \"";
        const char* gap = "";
        for (int k = 0; k < n; ++k)
            if (count[k] > 0) line << std::exchange(gap, " ") << UnitInfo(kinds[k]).Code << '=' << count[k];
        line << '"';
    };
    counts("--att", s.AttCount, AttKinds, AttKindOrder);
    counts(" --def", s.DefCount, DefKinds, DefKindOrder);
    const std::pair<bool, const char*> flags[] = {
        {s.TwoHitBB, "--two-hit-bb"},
        {s.AAGun, "--aa-gun"},
        {s.TakeWith, "--take-with-ground"},
        {s.SaveAir, "--save-air"},
        {s.AttWithSubsAirOnly, "--att-subs-retreat-vs-air"},
        {s.DefWithSubsAirOnly, "--def-subs-retreat-vs-air"},
        {s.DefWithSubs1stRnd, "--def-subs-retreat-after-first"},
        {s.LowLuck, "--low-luck"},
        {s.HvyBomber, "--heavy-bombers"},
        {s.AttValue[aSUB] == SuperSubAttack, "--super-subs"},
        {s.AttIPC[aINF] == TechAttIPC[aINF], "--att-tech"},
        {s.DefIPC[dINF] == TechDefIPC[dINF], "--def-tech"},
    };
    for (const auto& [on, flag] : flags)
        if (on) line << ' ' << flag;
    if (s.Withdrawal) line << " --withdraw " << s.AttWith << ',' << s.DefWith << ',' << s.DefWithLess;
    if (!s.AllRounds) line << " --rounds " << s.Rounds;
    auto order = [&](const char* option, const int32_t* rank, const int32_t* standard, int n, const TUnitKind* kinds) {
        if (std::equal(rank, rank + n, standard)) return;
        line << option << " \"";
        const char* gap = "";
        for (int r = 1; r <= n; ++r)
            for (int k = 0; k < n; ++k)
                if (rank[k] == r) line << std::exchange(gap, " ") << UnitInfo(kinds[k]).Code;
        line << '"';
    };
    order(" --att-order", s.AttOrder, DefaultAttOrder, AttKinds, AttKindOrder);
    order(" --def-order", s.DefOrder, DefaultDefOrder, DefKinds, DefKindOrder);
    return line.str();
}

// A seeded run of the engine's own dice agrees with the exact odds: each
// category and each average within 4.5 standard errors.
inline void ExpectAgreesWithDice(const TBattleSetupRec& setup, const TExactOdds& odds, int battles, uint32_t seed)
{
    SCOPED_TRACE(CommandLine(setup));
    battle::TRules rules;
    battle::MakeRules(setup, rules);
    TRandom dice(seed);
    TBattleEnd end;
    double category[5] = {};
    double sum[3] = {}, squares[3] = {};
    for (int b = 0; b < battles; ++b) {
        battle::Fight(setup, rules, dice, end);
        ++category[static_cast<int>(end.Outcome)];
        const double x[3] = {double(end.AttIPCLoss), double(end.DefIPCLoss), double(end.Rounds)};
        for (int i = 0; i < 3; ++i) sum[i] += x[i], squares[i] += x[i] * x[i];
    }
    const double exactCategory[5] = {odds.AttWins, odds.DefWins, odds.BothDes, odds.AttWithdraws, odds.BothRemain};
    for (int c = 0; c < 5; ++c) {
        const double p = exactCategory[c];
        const double se = std::sqrt(std::max(p * (1 - p), 1e-12) / battles);
        EXPECT_NEAR(category[c] / battles, p, 4.5 * se + 1e-9) << "category " << c;
    }
    const double exactMean[3] = {odds.AvgAttIPCLoss, odds.AvgDefIPCLoss, odds.AvgRounds};
    for (int i = 0; i < 3; ++i) {
        const double mean = sum[i] / battles;
        const double se = std::sqrt(std::max(squares[i] / battles - mean * mean, 0.0) / battles);
        EXPECT_NEAR(mean, exactMean[i], 4.5 * se + 1e-9) << "average " << i;
    }
}
