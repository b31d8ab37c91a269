// Flip-flop of the two sides: the two refusals, the exchange of counts, the
// jet fighters that have no attacker row, and the closing run request.
#include <QTest>
#include <array>

#include "tests/window/WindowTestSupport.h"

namespace {

struct TForces {
    std::array<int, AttKinds> Att{};
    std::array<int, DefKinds> Def{};
    bool operator==(const TForces&) const = default;
};

TForces Counts(TWindowFixture& w)
{
    TForces forces;
    for (int k = 0; k < AttKinds; ++k) forces.Att[k] = w.Spin(AttCountNames[k])->value();
    for (int k = 0; k < DefKinds; ++k) forces.Def[k] = w.Spin(DefCountNames[k])->value();
    return forces;
}

void Enter(TWindowFixture& w, const TForces& forces)
{
    for (int k = 0; k < AttKinds; ++k) w.Spin(AttCountNames[k])->setValue(forces.Att[k]);
    for (int k = 0; k < DefKinds; ++k) w.Spin(DefCountNames[k])->setValue(forces.Def[k]);
}

TForces Forces(std::initializer_list<std::pair<int, int>> att, std::initializer_list<std::pair<int, int>> def)
{
    TForces forces;
    for (auto [slot, count] : att) forces.Att[slot] = count;
    for (auto [slot, count] : def) forces.Def[slot] = count;
    return forces;
}

void Flip(TWindowFixture& w) { w.Button("FlipFlopButton")->click(); }

}  // namespace

class FlipFlopTest : public QObject {
    Q_OBJECT

private slots:
    void refusalsKeepCountsAndStillAskForRun_data();
    void refusalsKeepCountsAndStillAskForRun();
    void exchangeSwapsCountsOnly();
    void jetFightersAreDropped();
    void flipTwiceGivesBackCounts();
    void flipDuringRunRestartsItOnce();
};

void FlipFlopTest::refusalsKeepCountsAndStillAskForRun_data()
{
    QTest::addColumn<int>("inf");
    QTest::addColumn<int>("bb");
    QTest::addColumn<int>("bmr");
    QTest::addColumn<int>("trn");
    QTest::addColumn<QString>("message");
    const QString land = "Unable to flip/flop land units and a battleship.";
    const QString sea = "Unable to flip/flop sea units and a bomber.";
    QTest::newRow("ground units and a battleship") << 2 << 1 << 0 << 0 << land;
    QTest::newRow("battleship and bomber") << 0 << 1 << 1 << 0 << sea;
    QTest::newRow("transport and bomber") << 0 << 0 << 1 << 1 << sea;
    QTest::newRow("all three: land message only") << 1 << 1 << 1 << 0 << land;
}

void FlipFlopTest::refusalsKeepCountsAndStillAskForRun()
{
    QFETCH(int, inf);
    QFETCH(int, bb);
    QFETCH(int, bmr);
    QFETCH(int, trn);
    QFETCH(QString, message);
    TWindowFixture w;
    TRunCounter counter(w.Form(), 5);
    w.UseManualRolling();
    const TForces forces = Forces({{aINF, inf}, {aBB, bb}, {aBMR, bmr}, {aTRN, trn}}, {{dFTR, 2}, {dJFTR, 1}});
    Enter(w, forces);
    w.Choose("AutoRolling");
    const int runs = counter.Runs;
    w.ClearMessages();

    Flip(w);
    QVERIFY(Counts(w) == forces);
    QCOMPARE(w.Messages().size(), size_t(1));
    QVERIFY(w.Messages()[0].Warning);
    QCOMPARE(w.Messages()[0].Text, message);
    QCOMPARE(counter.Runs, runs + 1);
}

void FlipFlopTest::exchangeSwapsCountsOnly()
{
    TWindowFixture w;
    w.UseManualRolling();
    Enter(w, Forces({{aINF, 3}, {aBMR, 1}}, {{dINF, 4}, {dFTR, 1}}));
    w.Check("AttIndTechCheckBox")->setChecked(true);
    w.Check("AACheckBox")->setChecked(true);
    w.Button("AttBmrButton")->click();
    EditKillOrder(w, true, {aFTR, aINF, aARM, aBMR, aBB, aAC, aTRN, aSUB});
    const QStringList attRanks = RankCaptions(w, true);
    w.ClearMessages();

    Flip(w);
    QVERIFY(Counts(w) == Forces({{aINF, 4}, {aFTR, 1}}, {{dINF, 3}, {dBMR, 1}}));
    QVERIFY(w.Messages().empty());
    // Everything but the counts stays with its side.
    QCOMPARE(RankCaptions(w, true), attRanks);
    QCOMPARE(RankCaptions(w, false), DefaultRankCaptions(false));
    QVERIFY(w.Check("AttIndTechCheckBox")->isChecked());
    QVERIFY(!w.Check("DefIndTechCheckBox")->isChecked());
    QCOMPARE(w.Edit("IPCValAttInfEdit")->text(), QString("2"));
    QCOMPARE(w.Edit("IPCValDefBmrEdit")->text(), QString("15"));
    QVERIFY(w.Check("AACheckBox")->isChecked());
    QCOMPARE(w.Button("AttBmrButton")->text(), QString("Hvy B&omber"));
}

void FlipFlopTest::jetFightersAreDropped()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 5);
    w.UseManualRolling();
    Enter(w, Forces({{aARM, 5}}, {{dINF, 2}, {dJFTR, 2}}));
    w.ClearMessages();
    const int runs = counter.Runs;
    Flip(w);
    QVERIFY(Counts(w) == Forces({{aINF, 2}}, {{dARM, 5}}));
    QCOMPARE(w.Messages().size(), size_t(1));
    QVERIFY(!w.Messages()[0].Warning);
    QCOMPARE(w.Messages()[0].Text, QString("Defensive jet fighters have been set to zero."));
    QCOMPARE(counter.Runs, runs);  // manual rolling: the requests start nothing
}

void FlipFlopTest::flipTwiceGivesBackCounts()
{
    TWindowFixture w;
    w.UseManualRolling();
    const TForces sea = Forces({{aFTR, 2}, {aAC, 1}, {aSUB, 2}}, {{dFTR, 1}, {dBB, 1}, {dTRN, 3}, {dSUB, 1}});
    Enter(w, sea);
    const QStringList contents = WindowContents(w);
    Flip(w);
    QVERIFY(Counts(w) == Forces({{aFTR, 1}, {aBB, 1}, {aTRN, 3}, {aSUB, 1}}, {{dFTR, 2}, {dAC, 1}, {dSUB, 2}}));
    Flip(w);
    QVERIFY(Counts(w) == sea);
    QCOMPARE(WindowContents(w), contents);
}

// Pressed while an automatic run yields, the flip's requests only mark the
// run, which starts over once, on the exchanged forces.
void FlipFlopTest::flipDuringRunRestartsItOnce()
{
    TWindowFixture w;
    TRunCounter counter(w.Form(), 300);
    w.UseManualRolling();
    Enter(w, Forces({{aINF, 1}}, {{dARM, 6}}));
    w.Choose("AutoRolling");
    QCOMPARE(w.Edit("ProbDefWins1")->text(), QString("100"));
    const int runs = counter.Runs;

    Soon(w, [&] { Flip(w); });
    w.Check("AttIndTechCheckBox")->setChecked(true);
    QVERIFY(Counts(w) == Forces({{aARM, 6}}, {{dINF, 1}}));
    QCOMPARE(counter.Runs, runs + 2);
    QCOMPARE(w.Label("RunsLabel")->text(), QString("Runs: 300"));
    QCOMPARE(w.Edit("ProbAttWins1")->text(), QString("100"));
}

QTEST_MAIN(FlipFlopTest)
#include "FlipFlopTest.moc"
