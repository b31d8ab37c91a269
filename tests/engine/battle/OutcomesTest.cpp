#include "engine/battle/Outcomes.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>
#include <vector>

namespace {

TBattleResultsRec Outcome(TVictor victor, int attInf, int defInf = 0)
{
    TBattleResultsRec r;
    r.Victor = victor;
    r.AttCount[aINF] = attInf;
    r.DefCount[dINF] = defInf;
    return r;
}

TEST(OutcomeList, GroupsInOrderOfFirstAppearance)
{
    TOutcomeList list;
    const TBattleResultsRec batch[] = {
        Outcome(TVictor::DEF, 0, 2), Outcome(TVictor::ATT, 3), Outcome(TVictor::DEF, 0, 2),
        Outcome(TVictor::ATT, 1),    Outcome(TVictor::ATT, 3), Outcome(TVictor::DEF, 0, 2),
    };
    list.AddBatch(batch, 6);
    ASSERT_EQ(list.Size(), 3u);
    EXPECT_EQ(list[0].Victor, TVictor::DEF);
    EXPECT_EQ(list[0].Instances, 3);
    EXPECT_EQ(list[1].AttCount[aINF], 3);
    EXPECT_EQ(list[1].Instances, 2);
    EXPECT_EQ(list[2].AttCount[aINF], 1);
    EXPECT_EQ(list[2].Instances, 1);
}

TEST(OutcomeList, VictorAndEveryCountTellOutcomesApart)
{
    TOutcomeList list;
    // Same counts, different victors: "With." and "Rnd Lmt" both keep both sides.
    list.Add(Outcome(TVictor::With, 2, 2));
    list.Add(Outcome(TVictor::RndLmt, 2, 2));
    // Differing only in the last defender kind, or only in the last attacker kind.
    TBattleResultsRec lastDef = Outcome(TVictor::With, 2, 2);
    lastDef.DefCount[dSUB] = 1;
    TBattleResultsRec lastAtt = Outcome(TVictor::With, 2, 2);
    lastAtt.AttCount[aSUB] = 1;
    list.Add(lastDef);
    list.Add(lastAtt);
    list.Add(lastAtt);
    ASSERT_EQ(list.Size(), 4u);
    EXPECT_EQ(list[3].Instances, 2);
    // A per-battle record's own Instances does not matter.
    TBattleResultsRec stray = Outcome(TVictor::With, 2, 2);
    stray.Instances = 7;
    list.Add(stray);
    EXPECT_EQ(list[0].Instances, 2);
}

TEST(OutcomeList, ManyOutcomesAgreeWithAPlainCount)
{
    TOutcomeList list;
    std::map<std::tuple<int, int, int>, int> expected;
    std::vector<std::tuple<int, int, int>> firstSeen;
    uint32_t state = 12345;
    for (int i = 0; i < 60000; ++i) {
        state = state * 134775813u + 1u;
        const int v = static_cast<int>(state >> 30);  // 0..3
        const int a = static_cast<int>((state >> 10) % 97);
        const int d = static_cast<int>((state >> 20) % 89);
        TBattleResultsRec r;
        r.Victor = static_cast<TVictor>(v + 1);
        r.AttCount[aFTR] = a;
        r.DefCount[dJFTR] = d;
        list.Add(r);
        if (expected[{v, a, d}]++ == 0) firstSeen.push_back({v, a, d});
    }
    ASSERT_EQ(list.Size(), firstSeen.size());
    EXPECT_GT(list.Size(), 10000u);
    for (size_t i = 0; i < list.Size(); ++i) {
        const auto [v, a, d] = firstSeen[i];
        EXPECT_EQ(static_cast<int>(list[i].Victor), v + 1);
        EXPECT_EQ(list[i].AttCount[aFTR], a);
        EXPECT_EQ(list[i].DefCount[dJFTR], d);
        EXPECT_EQ(list[i].Instances, (expected[{v, a, d}]));
    }
}

TEST(OutcomeList, ClearStartsAfresh)
{
    TOutcomeList list;
    for (int i = 0; i < 500; ++i) list.Add(Outcome(TVictor::ATT, i));
    list.Clear();
    EXPECT_EQ(list.Size(), 0u);
    list.Add(Outcome(TVictor::ATT, 499));
    list.Add(Outcome(TVictor::ATT, 7));
    list.Add(Outcome(TVictor::ATT, 499));
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list[0].AttCount[aINF], 499);
    EXPECT_EQ(list[0].Instances, 2);
    EXPECT_EQ(list[1].Instances, 1);
}

}  // namespace
