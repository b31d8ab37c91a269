#include "tests/window/WindowTestSupport.h"

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <memory>

TWindowFixture::TWindowFixture()
{
    TForm1::MessageHook = [this](bool warning, const QString& text) { Messages_.push_back({warning, text}); };
    Form_ = std::make_unique<TForm1>();
    About_ = std::make_unique<TAboutForm>();
    Form_->SetAboutForm(About_.get());
    Form_->show();
    if (!QTest::qWaitForWindowExposed(Form_.get())) qFatal("main window was not exposed");
}

TWindowFixture::~TWindowFixture()
{
    Form_.reset();
    About_.reset();
    TForm1::MessageHook = nullptr;
}

void TWindowFixture::Choose(const char* actionName)
{
    Action(actionName)->trigger();
}

QObject* FindOrDie(QObject* root, const char* name, const QMetaObject& type)
{
    QObject* found = root->findChild<QObject*>(QString::fromLatin1(name));
    if (!found) qFatal("control %s is missing", name);
    if (!type.cast(found))
        qFatal("control %s is a %s, not a %s", name, found->metaObject()->className(), type.className());
    return found;
}

void WhenModalOpens(std::function<void(QWidget* dialog)> action)
{
    auto timer = new QTimer(qApp);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, tries, action = std::move(action)] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog && ++*tries < 500) return;
        timer->stop();
        timer->deleteLater();
        if (dialog) action(dialog);
    });
    timer->start(10);
}

QString DisplayedText(const QString& caption)
{
    QString shown;
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] == u'&' && ++i == caption.size()) break;  // "&x" shows x, "&&" shows one "&"
        shown += caption[i];
    }
    return shown;
}

void Soon(TWindowFixture& window, std::function<void()> call)
{
    QTimer::singleShot(0, &window.Form(), std::move(call));
}

const char* const AttRankNames[AttKinds] = {
    "AttInfHitOrderButton", "AttArmHitOrderButton", "AttFtrHitOrderButton", "AttBmrHitOrderButton",
    "AttBBHitOrderButton",  "AttACHitOrderButton",  "AttTrnHitOrderButton", "AttSubHitOrderButton"};
const char* const DefRankNames[DefKinds] = {
    "DefInfHitOrderButton", "DefArmHitOrderButton", "DefFtrHitOrderButton", "DefJFtrHitOrderButton",
    "DefBmrHitOrderButton", "DefBBHitOrderButton",  "DefACHitOrderButton",  "DefTrnHitOrderButton",
    "DefSubHitOrderButton"};
const char* const AttCountNames[AttKinds] = {"AttInfSpinEdit", "AttArmSpinEdit", "AttFtrSpinEdit",
                                             "AttBmrSpinEdit", "AttBBSpinEdit",  "AttACSpinEdit",
                                             "AttTrnSpinEdit", "AttSubSpinEdit"};
const char* const DefCountNames[DefKinds] = {"DefInfSpinEdit", "DefArmSpinEdit", "DefFtrSpinEdit",
                                             "DefJFtrSpinEdit", "DefBmrSpinEdit", "DefBBSpinEdit",
                                             "DefACSpinEdit",  "DefTrnSpinEdit", "DefSubSpinEdit"};

QStringList RankCaptions(TWindowFixture& window, bool attacker)
{
    QStringList captions;
    const int kinds = attacker ? AttKinds : DefKinds;
    for (int slot = 0; slot < kinds; ++slot)
        captions << window.Button(attacker ? AttRankNames[slot] : DefRankNames[slot])->text();
    return captions;
}

QStringList DefaultRankCaptions(bool attacker)
{
    QStringList captions;
    if (attacker)
        for (int32_t rank : DefaultAttOrder) captions << QString::number(rank);
    else
        for (int32_t rank : DefaultDefOrder) captions << QString::number(rank);
    return captions;
}

TRunCounter::TRunCounter(TForm1& form, int autoRuns)
{
    form.AutoRollingRuns = autoRuns;
    form.SeedHook = [this] {
        ++Runs;
        return uint32_t(20040306);
    };
}

TEditWatchdog::TEditWatchdog(TWindowFixture& window, int ms)
{
    Timer.setSingleShot(true);
    QObject::connect(&Timer, &QTimer::timeout, [&window] {
        if (!window.Form().KillOrderIncomplete()) return;
        window.Button("DefaultAttKillOrderButton")->click();
        window.Button("DefaultDefKillOrderButton")->click();
    });
    Timer.start(ms);
}

const char* const ThresholdNames[3] = {"AttWithSpinEdit", "DefWithSpinEdit", "DefWithLessSpinEdit"};

QStringList WindowContents(TWindowFixture& window)
{
    static const char* const optionBoxes[] = {
        "TakeWithCheckBox", "AttIndTechCheckBox",        "AttWithSubsAirOnlyCheckBox", "SaveAirCheckBox",
        "AACheckBox",       "DefIndTechCheckBox",        "DefWithSubs1stRndCheckBox",  "DefWithSubsAirOnlyCheckBox",
        "AllRoundsCheckBox"};
    static const char* const variants[] = {"AttBmrButton", "AttSubButton", "AttBBButton", "DefBBButton"};
    static const char* const readOnlyFields[] = {
        "AttSubEdit",       "IPCValAttInfEdit", "IPCValAttArmEdit",  "IPCValAttFtrEdit", "IPCValAttBmrEdit",
        "IPCValAttBBEdit",  "IPCValAttACEdit",  "IPCValAttTrnEdit",  "IPCValAttSubEdit", "IPCValDefInfEdit",
        "IPCValDefArmEdit", "IPCValDefFtrEdit", "IPCValDefJFtrEdit", "IPCValDefBmrEdit", "IPCValDefBBEdit",
        "IPCValDefACEdit",  "IPCValDefTrnEdit", "IPCValDefSubEdit"};

    QStringList lines;
    auto spin = [&](const char* name) {
        QSpinBox* field = window.Spin(name);
        lines << QStringLiteral("%1=%2 enabled=%3 colour=%4")
                     .arg(name)
                     .arg(field->value())
                     .arg(field->isEnabled())
                     .arg(TForm1::FieldColour(field), 8, 16);
    };
    auto caption = [&](const char* name) { lines << QStringLiteral("%1=%2").arg(name, window.Button(name)->text()); };
    for (const char* name : AttCountNames) spin(name);
    for (const char* name : DefCountNames) spin(name);
    for (const char* name : ThresholdNames) spin(name);
    spin("RoundsSpinEdit");
    for (const char* name : optionBoxes) lines << QStringLiteral("%1=%2").arg(name).arg(window.Check(name)->isChecked());
    for (const char* name : AttRankNames) caption(name);
    for (const char* name : DefRankNames) caption(name);
    for (const char* name : variants) caption(name);
    caption("WithdrawalButton");
    for (const char* name : readOnlyFields) lines << QStringLiteral("%1=%2").arg(name, window.Edit(name)->text());
    return lines;
}

void EditKillOrder(TWindowFixture& window, bool attacker, std::vector<int> kinds)
{
    Soon(window, [&window, attacker, kinds] {
        for (int slot : kinds) window.Button(attacker ? AttRankNames[slot] : DefRankNames[slot])->click();
    });
    window.Button(attacker ? "EditAttKillOrderButton" : "EditDefKillOrderButton")->click();
}
