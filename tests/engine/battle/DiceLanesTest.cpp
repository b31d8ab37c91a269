// Every way of drawing a fire step's dice draws exactly what the generator
// draws one die at a time: the same hits per group and the same final state.
#include <gtest/gtest.h>

#include <random>

#include "engine/battle/DiceLanes.h"
#include "engine/battle/Random.h"

namespace {

using dice_lanes::TPath;

// Up to 9 groups at values 0..6; mostly short groups, some of up to 1100 dice.
TFire RandomStep(std::mt19937& pick)
{
    TFire fire;
    const int groups = int(pick() % (TFire::MaxGroups + 1));
    for (int g = 0; g < groups; ++g) {
        const int32_t shots = int32_t(pick() % 2 ? pick() % 41 : pick() % 1101);
        fire.Add(shots, int32_t(pick() % 7));
    }
    return fire;
}

class DiceLanes : public testing::TestWithParam<TPath> {
protected:
    void SetUp() override
    {
        if (!dice_lanes::Supported(GetParam())) GTEST_SKIP() << "this processor lacks the path";
        ASSERT_TRUE(dice_lanes::UsePath(GetParam()));
    }
    void TearDown() override { dice_lanes::UsePath(Before); }

    const TPath Before = dice_lanes::Path();
};

TEST_P(DiceLanes, FireStepsDrawWhatSingleDiceDraw)
{
    std::mt19937 pick(20240601u);
    for (int step = 0; step < 2000; ++step) {
        const TFire fire = RandomStep(pick);
        const uint32_t seed = pick();
        TRandom single(seed);
        int32_t expected[TFire::MaxGroups];
        for (int g = 0; g < fire.Groups; ++g) {
            expected[g] = 0;
            for (int32_t i = 0; i < fire.Shots[g]; ++i) expected[g] += single.Hits(fire.Value[g]);
        }

        TRandom lanes(seed);
        int32_t hits[TFire::MaxGroups];
        lanes.RollFire(fire, hits);
        for (int g = 0; g < fire.Groups; ++g) ASSERT_EQ(hits[g], expected[g]) << "step " << step << " group " << g;
        ASSERT_EQ(lanes.State, single.State) << "step " << step;

        // A single long roll goes through the same lanes.
        TRandom one(seed);
        if (fire.Groups > 0) {
            ASSERT_EQ(one.CountHits(fire.Shots[0], fire.Value[0]), expected[0]);
        }
    }
}

// Random states miss a hit limit that is off by one; here the state of one
// die lies right at either side of each value's limit, in the first chunk
// of lanes and in later ones.
TEST_P(DiceLanes, DiceOnTheEdgeOfAHit)
{
    uint32_t inverse = TRandom::Multiplier;  // of the multiplier, mod 2^32
    for (int i = 0; i < 5; ++i) inverse *= 2u - TRandom::Multiplier * inverse;
    for (int32_t value = 1; value <= 5; ++value) {
        const uint32_t firstMiss = uint32_t(((uint64_t(value) << 32) + 5) / 6);
        for (uint32_t edge : {firstMiss - 1, firstMiss}) {
            for (int32_t die : {0, 17, 40}) {
                uint32_t seed = edge;  // `die + 1` draws before the edge
                for (int32_t i = 0; i <= die; ++i) seed = (seed - 1u) * inverse;
                TFire fire;
                fire.Add(die + 1, value);
                TRandom single(seed);
                int32_t expected = 0;
                for (int32_t i = 0; i <= die; ++i) expected += single.Hits(value);
                ASSERT_EQ(single.State, edge);
                TRandom lanes(seed);
                int32_t hits = -1;
                lanes.RollFire(fire, &hits);
                ASSERT_EQ(hits, expected) << "value " << value << ", state " << edge << ", die " << die;
            }
        }
    }
}

std::string PathName(const testing::TestParamInfo<TPath>& path)
{
    static const char* const names[] = {"Serial", "Avx2", "Avx512"};
    return names[int(path.param)];
}

INSTANTIATE_TEST_SUITE_P(EveryPath, DiceLanes, testing::Values(TPath::Serial, TPath::Avx2, TPath::Avx512), PathName);

}  // namespace
