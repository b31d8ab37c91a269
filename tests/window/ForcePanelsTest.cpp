// Force entry panels: the availability rules through their handler cascades,
// the unit variants and the Industrial Technology prices. Every test works in
// manual rolling, so no change starts a run.
#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include "Dizorivurad/Dizorivurad.h"
#include "tests/window/WindowTestSupport.h"

namespace {


struct TPanels {
    TForm1 form;
    explicit TPanels()
    {
        form.SeedHook = [] { return 20040306u; };
        Find<QAction>(form, "ManualRolling")->trigger();
    }
    QSpinBox* Count(const char* name) { return Find<QSpinBox>(form, name); }
    QCheckBox* Box(const char* name) { return Find<QCheckBox>(form, name); }
    QPushButton* Button(const char* name) { return Find<QPushButton>(form, name); }
    QLineEdit* Field(const char* name) { return Find<QLineEdit>(form, name); }
};

const char* const SeaOnly[] = {"AttACSpinEdit", "AttTrnSpinEdit", "AttSubSpinEdit", "DefACSpinEdit",
                               "DefTrnSpinEdit", "DefSubSpinEdit", "DefBBSpinEdit"};
const char* const LandOnly[] = {"AttInfSpinEdit", "AttArmSpinEdit", "DefInfSpinEdit", "DefArmSpinEdit",
                                "DefBmrSpinEdit"};
const char* const AllCounts[] = {"AttInfSpinEdit", "AttArmSpinEdit", "AttFtrSpinEdit", "AttBmrSpinEdit",
                                 "AttBBSpinEdit",  "AttACSpinEdit",  "AttTrnSpinEdit", "AttSubSpinEdit",
                                 "DefInfSpinEdit", "DefArmSpinEdit", "DefFtrSpinEdit", "DefJFtrSpinEdit",
                                 "DefBmrSpinEdit", "DefBBSpinEdit",  "DefACSpinEdit",  "DefTrnSpinEdit",
                                 "DefSubSpinEdit"};

uint32_t PaintedColour(bool entry)
{
    QSpinBox probe;
    TForm1::PaintField(&probe, entry);
    return TForm1::FieldColour(&probe);
}

// Enabled and painted to match, or disabled and greyed.
bool Available(QSpinBox* count)
{
    const uint32_t colour = TForm1::FieldColour(count);
    if (count->isEnabled() != (colour == PaintedColour(true)))
        qFatal("%s: enabled %d but painted %08x", qPrintable(count->objectName()), count->isEnabled(), colour);
    if (!count->isEnabled() && colour != PaintedColour(false))
        qFatal("%s: disabled but painted %08x", qPrintable(count->objectName()), colour);
    return count->isEnabled();
}

QStringList Texts(TPanels& p, const std::initializer_list<const char*>& names)
{
    QStringList texts;
    for (const char* name : names) texts << p.Field(name)->text();
    return texts;
}

}  // namespace

class ForcePanelsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TForm1::MessageHook = [](bool, const QString&) {};
        QVERIFY(PaintedColour(true) != PaintedColour(false));
    }

    void attackerInfantryMakesAndEndsLandBattle()
    {
        TPanels p;
        p.Count("AttInfSpinEdit")->setValue(1);
        for (const char* name : SeaOnly) QVERIFY2(!Available(p.Count(name)), name);
        for (const char* name : LandOnly) QVERIFY2(Available(p.Count(name)), name);
        QVERIFY(p.Box("TakeWithCheckBox")->isEnabled());

        p.Count("AttInfSpinEdit")->setValue(0);
        for (const char* name : SeaOnly) QVERIFY2(Available(p.Count(name)), name);
        QVERIFY(!p.Box("TakeWithCheckBox")->isEnabled());
        QVERIFY(!p.Box("TakeWithCheckBox")->isChecked());
    }

    void defenderInfantryKeepsLandBattle()
    {
        TPanels p;
        p.Count("AttInfSpinEdit")->setValue(2);
        p.Count("DefInfSpinEdit")->setValue(3);
        p.Count("AttInfSpinEdit")->setValue(0);
        for (const char* name : SeaOnly) QVERIFY2(!Available(p.Count(name)), name);
        QVERIFY(p.Box("TakeWithCheckBox")->isEnabled());
    }

    // Only the attacker's own ground counts offer "Take w/ ground".
    void defenderBomberOrAAGunAloneMakeLandBattle()
    {
        TPanels bomber;
        bomber.Count("DefBmrSpinEdit")->setValue(1);
        for (const char* name : SeaOnly) QVERIFY2(!Available(bomber.Count(name)), name);
        QVERIFY(!bomber.Box("TakeWithCheckBox")->isEnabled());
        bomber.Count("AttFtrSpinEdit")->setValue(2);
        QVERIFY(!bomber.Box("TakeWithCheckBox")->isEnabled());
        bomber.Count("AttArmSpinEdit")->setValue(1);
        QVERIFY(bomber.Box("TakeWithCheckBox")->isEnabled());

        TPanels gun;
        gun.Box("AACheckBox")->setChecked(true);
        for (const char* name : SeaOnly) QVERIFY2(!Available(gun.Count(name)), name);
        QVERIFY(!gun.Box("TakeWithCheckBox")->isEnabled());
        gun.Box("AACheckBox")->setChecked(false);
        for (const char* name : SeaOnly) QVERIFY2(Available(gun.Count(name)), name);
    }

    void seaCountLocksOutLandInputs()
    {
        TPanels p;
        p.Count("AttACSpinEdit")->setValue(1);
        for (const char* name : LandOnly) QVERIFY2(!Available(p.Count(name)), name);
        for (const char* name : SeaOnly) QVERIFY2(Available(p.Count(name)), name);
        QVERIFY(!p.Box("AACheckBox")->isEnabled());
        QVERIFY(!p.Box("TakeWithCheckBox")->isEnabled());

        p.Count("AttACSpinEdit")->setValue(0);
        for (const char* name : LandOnly) QVERIFY2(Available(p.Count(name)), name);
        QVERIFY(p.Box("AACheckBox")->isEnabled());
        QVERIFY(!p.Box("TakeWithCheckBox")->isEnabled());

        // Either side's sea units, the defender's battleship included.
        p.Count("DefBBSpinEdit")->setValue(2);
        for (const char* name : LandOnly) QVERIFY2(!Available(p.Count(name)), name);
        p.Count("DefBBSpinEdit")->setValue(0);
        for (const char* name : LandOnly) QVERIFY2(Available(p.Count(name)), name);
    }

    void unitsOfEitherDomainChangeNoAvailability()
    {
        TPanels p;
        for (const char* name : {"AttFtrSpinEdit", "AttBmrSpinEdit", "AttBBSpinEdit", "DefFtrSpinEdit",
                                 "DefJFtrSpinEdit"})
            p.Count(name)->setValue(3);
        for (const char* name : AllCounts) QVERIFY2(Available(p.Count(name)), name);
        QVERIFY(!p.Box("TakeWithCheckBox")->isEnabled());
        QVERIFY(p.Box("AACheckBox")->isEnabled());
        QVERIFY(!p.Box("DefWithSubs1stRndCheckBox")->isEnabled());
    }

    void saveAirNeedsGroundAndAir_data()
    {
        QTest::addColumn<QString>("ground");
        QTest::addColumn<QString>("air");
        QTest::addColumn<bool>("removeGround");
        QTest::newRow("last infantry") << "AttInfSpinEdit" << "AttFtrSpinEdit" << true;
        QTest::newRow("last armor") << "AttArmSpinEdit" << "AttBmrSpinEdit" << true;
        QTest::newRow("last fighter") << "AttInfSpinEdit" << "AttFtrSpinEdit" << false;
        QTest::newRow("last bomber") << "AttArmSpinEdit" << "AttBmrSpinEdit" << false;
    }

    void saveAirNeedsGroundAndAir()
    {
        QFETCH(QString, ground);
        QFETCH(QString, air);
        QFETCH(bool, removeGround);
        TPanels p;
        QCheckBox* saveAir = p.Box("SaveAirCheckBox");
        p.Count(qPrintable(ground))->setValue(2);
        QVERIFY(!saveAir->isEnabled());
        p.Count(qPrintable(air))->setValue(1);
        QVERIFY(saveAir->isEnabled());
        saveAir->setChecked(true);

        p.Count(qPrintable(removeGround ? ground : air))->setValue(0);
        QVERIFY(!saveAir->isEnabled());
        QVERIFY(!saveAir->isChecked());
    }

    void defenderSubsGovernRetreatOptions()
    {
        TPanels p;
        QCheckBox* firstRound = p.Box("DefWithSubs1stRndCheckBox");
        QCheckBox* airOnly = p.Box("DefWithSubsAirOnlyCheckBox");
        p.Count("DefSubSpinEdit")->setValue(2);
        QVERIFY(firstRound->isEnabled());
        QVERIFY(airOnly->isEnabled());
        firstRound->setChecked(true);
        airOnly->setChecked(true);

        // The jet fighter count shares the handler and finds nothing to change.
        p.Count("DefJFtrSpinEdit")->setValue(4);
        QVERIFY(firstRound->isChecked());
        QVERIFY(airOnly->isChecked());

        p.Count("DefSubSpinEdit")->setValue(0);
        QVERIFY(!firstRound->isEnabled() && !firstRound->isChecked());
        QVERIFY(!airOnly->isEnabled() && !airOnly->isChecked());
        QVERIFY(p.Box("AttWithSubsAirOnlyCheckBox")->isEnabled());
    }

    void variantButtons()
    {
        TPanels p;
        QPushButton* sub = p.Button("AttSubButton");
        sub->click();
        QCOMPARE(sub->text(), QStringLiteral("&Super Sub"));
        QCOMPARE(p.Field("AttSubEdit")->text(), QStringLiteral("3"));
        TBattleSetupRec setup;
        p.form.ReadSetup(setup);
        QCOMPARE(setup.AttValue[aSUB], 3);
        QCOMPARE(setup.DefValue[dSUB], 2);
        sub->click();
        QCOMPARE(sub->text(), QStringLiteral("&Submarine"));
        QCOMPARE(p.Field("AttSubEdit")->text(), QStringLiteral("2"));

        QPushButton* bomber = p.Button("AttBmrButton");
        bomber->click();
        QCOMPARE(bomber->text(), QStringLiteral("Hvy B&omber"));
        QCOMPARE(p.Field("AttBmrEdit")->text(), QStringLiteral("4"));
        QCOMPARE(p.Field("IPCValAttBmrEdit")->text(), QStringLiteral("15"));
        p.form.ReadSetup(setup);
        QVERIFY(setup.HvyBomber);
        bomber->click();
        QCOMPARE(bomber->text(), QStringLiteral("B&omber"));

        // Either battleship button switches both.
        p.Button("DefBBButton")->click();
        QCOMPARE(p.Button("AttBBButton")->text(), QStringLiteral("2 Hit &BB"));
        QCOMPARE(p.Button("DefBBButton")->text(), QStringLiteral("2 Hit &BB"));
        p.form.ReadSetup(setup);
        QVERIFY(setup.TwoHitBB);
        p.Button("AttBBButton")->click();
        QCOMPARE(p.Button("AttBBButton")->text(), QStringLiteral("&Battleship"));
        QCOMPARE(p.Button("DefBBButton")->text(), QStringLiteral("&Battleship"));
    }

    void industrialTechnologyPrices()
    {
        TPanels p;
        const auto def = {"IPCValDefInfEdit", "IPCValDefArmEdit", "IPCValDefFtrEdit",
                          "IPCValDefJFtrEdit", "IPCValDefBmrEdit", "IPCValDefBBEdit",
                          "IPCValDefACEdit",  "IPCValDefTrnEdit", "IPCValDefSubEdit"};
        const auto att = {"IPCValAttInfEdit", "IPCValAttArmEdit", "IPCValAttFtrEdit", "IPCValAttBmrEdit",
                          "IPCValAttBBEdit",  "IPCValAttACEdit",  "IPCValAttTrnEdit", "IPCValAttSubEdit"};
        const QStringList attList = {"3", "5", "12", "15", "24", "18", "8", "8"};

        p.Box("DefIndTechCheckBox")->setChecked(true);
        QCOMPARE(Texts(p, def), QStringList({"2", "4", "11", "11", "14", "23", "17", "7", "7"}));
        QCOMPARE(Texts(p, att), attList);
        TBattleSetupRec setup;
        p.form.ReadSetup(setup);
        QCOMPARE(setup.DefIPC[dJFTR], 11);
        QCOMPARE(setup.AttIPC[aFTR], 12);

        p.Box("DefIndTechCheckBox")->setChecked(false);
        QCOMPARE(Texts(p, def), QStringList({"3", "5", "12", "12", "15", "24", "18", "8", "8"}));

        p.Box("AttIndTechCheckBox")->setChecked(true);
        QCOMPARE(Texts(p, att), QStringList({"2", "4", "11", "14", "23", "17", "7", "7"}));
        QCOMPARE(Texts(p, def), QStringList({"3", "5", "12", "12", "15", "24", "18", "8", "8"}));
        p.Box("AttIndTechCheckBox")->setChecked(false);
        QCOMPARE(Texts(p, att), attList);
        // The to-hit values never move with the prices.
        QCOMPARE(p.Field("AttInfEdit")->text(), QStringLiteral("1"));
        QCOMPARE(p.Field("DefJFtrEdit")->text(), QStringLiteral("5"));
    }
};

QTEST_MAIN(ForcePanelsTest)
#include "ForcePanelsTest.moc"
