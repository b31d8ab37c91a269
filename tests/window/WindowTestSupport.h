#pragma once
// Shared helpers of the window tests: a shown main window with its About
// box, message boxes recorded instead of shown, and look-ups of controls by
// name that fail hard when a control is missing.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "About/AboutForm.h"
#include "Dizorivurad/Dizorivurad.h"

// A message that TForm1::ShowWarning or ShowInformation would have shown.
struct TRecordedMessage {
    bool Warning = false;
    QString Text;
};

// The program's two windows as start-up creates them. The main window is
// shown (offscreen) and exposed; FormShow has run.
class TWindowFixture {
public:
    TWindowFixture();
    ~TWindowFixture();
    TWindowFixture(const TWindowFixture&) = delete;
    TWindowFixture& operator=(const TWindowFixture&) = delete;

    TForm1& Form() { return *Form_; }
    TAboutForm& About() { return *About_; }
    const std::vector<TRecordedMessage>& Messages() const { return Messages_; }
    void ClearMessages() { Messages_.clear(); }

    // Controls of the main window by object name; a missing control or one of
    // another type ends the test program at once.
    QSpinBox* Spin(const char* name) { return Find<QSpinBox>(name); }
    QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
    QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
    QCheckBox* Check(const char* name) { return Find<QCheckBox>(name); }
    QLabel* Label(const char* name) { return Find<QLabel>(name); }
    QAction* Action(const char* name) { return Find<QAction>(name); }

    template <class T>
    T* Find(const char* name);

    // Picks a menu item as the player does (the check mark is the handler's).
    void Choose(const char* actionName);
    // "Manual Rolling": input changes then start no runs of their own.
    void UseManualRolling() { Choose("ManualRolling"); }

private:
    std::unique_ptr<TForm1> Form_;
    std::unique_ptr<TAboutForm> About_;
    std::vector<TRecordedMessage> Messages_;
};

// Looks a child of root up by object name; ends the program if it is missing.
QObject* FindOrDie(QObject* root, const char* name, const QMetaObject& type);

// The same for any window or control.
template <class T>
T* Find(const QObject& root, const char* name)
{
    return static_cast<T*>(FindOrDie(const_cast<QObject*>(&root), name, T::staticMetaObject));
}

template <class T>
T* TWindowFixture::Find(const char* name)
{
    return static_cast<T*>(FindOrDie(Form_.get(), name, T::staticMetaObject));
}

// Runs action once the next modal dialog is open (checked every 10 ms for up to
// 5 s); the dialog is handed over. Use it before the call that opens the dialog.
void WhenModalOpens(std::function<void(QWidget* dialog)> action);

// The caption as displayed: "&" marks removed, "&&" shown as one "&".
QString DisplayedText(const QString& caption);

// ---- Kill orders, memory, options and resets ----------------------------------

#include <QStringList>
#include <QTimer>

// Posts a call that the next dispatch of events delivers: the wait of a
// kill-order edit, or a run's dispatch after its next battle. Post it before
// the click that starts the edit or the run. A call still pending when the
// window goes is dropped with it.
void Soon(TWindowFixture& window, std::function<void()> call);

// Object names of the hit-order buttons, top to bottom.
extern const char* const AttRankNames[AttKinds];
extern const char* const DefRankNames[DefKinds];
// Object names of the count fields, top to bottom.
extern const char* const AttCountNames[AttKinds];
extern const char* const DefCountNames[DefKinds];

// The captions of one side's hit-order buttons, top to bottom.
QStringList RankCaptions(TWindowFixture& window, bool attacker);
// The default ranks of one side as captions.
QStringList DefaultRankCaptions(bool attacker);

// A test case with a window of its own for every test function.
class TWindowTestCase : public QObject {
    Q_OBJECT

protected:
    TWindowFixture& F() { return *Fixture; }

private slots:
    void init() { Fixture = std::make_unique<TWindowFixture>(); }
    void cleanup() { Fixture.reset(); }

private:
    std::unique_ptr<TWindowFixture> Fixture;
};

// How long a test waits for an event that will come (a calculation, a plan,
// another process): long enough for a loaded machine under a sanitizer, so
// that only a hang ever reaches it.
constexpr int EventWaitMs = 10 * 60 * 1000;

// Counts the runs that start (restarts included) through the seed hook, with
// a fixed seed, and shortens automatic runs to `autoRuns` battles.
struct TRunCounter {
    TRunCounter(TForm1& form, int autoRuns);
    TRunCounter(const TRunCounter&) = delete;
    TRunCounter& operator=(const TRunCounter&) = delete;
    int Runs = 0;
};

// A failed check inside a posted call leaves the edit it was feeding waiting
// for clicks that never come. While a watchdog lives, an edit still waiting
// after `ms` is ended by the two "Default Kill Order" buttons, so that the
// test reports its failure instead of hanging.
class TEditWatchdog {
public:
    explicit TEditWatchdog(TWindowFixture& window, int ms = EventWaitMs);
    TEditWatchdog(const TEditWatchdog&) = delete;
    TEditWatchdog& operator=(const TEditWatchdog&) = delete;

private:
    QTimer Timer;
};

// The three withdrawal thresholds, top to bottom.
extern const char* const ThresholdNames[3];

// The inputs of the force panels and the battle options, with what follows
// from them (prices, the submarine's to-hit value, the availability and colour
// of the entry fields), as "name=value" lines, so that a difference names its
// control. The availability of the option boxes is left out: "Take w/ ground"
// is enabled only by a change of the attacker's ground units, so after a
// recall or a reset it can keep an availability that the rest no longer implies.
QStringList WindowContents(TWindowFixture& window);

// Gives a side a new basic kill order through an edit: the kinds (slots of
// the side) are clicked in the order given, fed by a posted call.
void EditKillOrder(TWindowFixture& window, bool attacker, std::vector<int> kinds);
