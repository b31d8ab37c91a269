#include "model/Normalise.h"

namespace {

void Clear(bool& option, const char* member, const std::string& why, std::vector<TAdjustment>& list)
{
    if (!option) return;
    option = false;
    list.push_back({member, true, 1, 0, why});
}

// Thresholds count only while withdrawal is on; the window limits each as it
// is entered, so a battle coming in is limited by its own totals.
void Limit(int32_t& threshold, const char* member, int32_t total, const char* side, std::vector<TAdjustment>& list)
{
    if (threshold <= total) return;
    list.push_back({member, false, threshold, total,
                    std::string("limited to the ") + side + "'s " + std::to_string(total) + " unit" +
                        (total == 1 ? "" : "s")});
    threshold = total;
}

}  // namespace

bool SaveAirAvailable(const TBattleSetupRec& s)
{
    return s.AttCount[aINF] + s.AttCount[aARM] > 0 && s.AttCount[aFTR] + s.AttCount[aBMR] > 0;
}

bool DefSubRetreatAvailable(const TBattleSetupRec& s) { return s.DefCount[dSUB] > 0; }

int32_t SideTotal(const TBattleSetupRec& s, bool attacker)
{
    int32_t total = 0;
    if (attacker)
        for (int32_t c : s.AttCount) total += c;
    else
        for (int32_t c : s.DefCount) total += c;
    return total;
}

TNormalisedBattle NormaliseBattle(const TBattleSetupRec& setup)
{
    TNormalisedBattle n{setup, {}};
    TBattleSetupRec& s = n.Setup;
    if (!SaveAirAvailable(s))
        Clear(s.SaveAir, "SaveAir",
              "needs attacking infantry or armor to lose and fighters or bombers to save", n.Adjustments);
    if (!DefSubRetreatAvailable(s)) {
        Clear(s.DefWithSubs1stRnd, "DefWithSubs1stRnd", "the defender has no submarines", n.Adjustments);
        Clear(s.DefWithSubsAirOnly, "DefWithSubsAirOnly", "the defender has no submarines", n.Adjustments);
    }
    if (s.Withdrawal) {
        Limit(s.AttWith, "AttWith", SideTotal(s, true), "attacker", n.Adjustments);
        Limit(s.DefWith, "DefWith", SideTotal(s, false), "defender", n.Adjustments);
        Limit(s.DefWithLess, "DefWithLess", SideTotal(s, false), "defender", n.Adjustments);
    }
    return n;
}

std::string AdjustmentText(const TAdjustment& a)
{
    auto value = [&](int32_t v) { return a.Switch ? std::string(v ? "true" : "false") : std::to_string(v); };
    return std::string(a.Member) + " from " + value(a.From) + " to " + value(a.To) + ": " + a.Why;
}
