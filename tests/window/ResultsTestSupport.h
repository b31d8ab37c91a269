#pragma once
// Helpers of the results tests: outcome records, publications made the way
// the run driver makes them, and reading the grid, the panel and the labels.
#include <QAbstractItemModel>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "Dizorivurad/Dizorivurad.h"
#include "tests/window/WindowTestSupport.h"


// An end state with the given survivors, each side's counts in its slot order.
inline TBattleResultsRec Outcome(TVictor victor, std::initializer_list<int> att = {},
                                 std::initializer_list<int> def = {})
{
    TBattleResultsRec r;
    r.Victor = victor;
    int slot = 0;
    for (int n : att) r.AttCount[slot++] = n;
    slot = 0;
    for (int n : def) r.DefCount[slot++] = n;
    return r;
}

inline TBattleResultsRec Att(int inf) { return Outcome(TVictor::ATT, {inf}); }
inline TBattleResultsRec Def(int inf) { return Outcome(TVictor::DEF, {}, {inf}); }

// Hands the form publications as the run driver does: totals that grow with
// every battle, the end states since the previous publication.
class TPublisher {
public:
    explicit TPublisher(TForm1& form) : Form(form) {}

    void StartRun()
    {
        Totals = RunTotals();
        static_cast<TRunHost&>(Form).RunStarting();
    }

    // Adds `count` battles ending in `outcome` to the next publication.
    TPublisher& Fight(const TBattleResultsRec& outcome, int count = 1)
    {
        for (int i = 0; i < count; ++i) {
            Batch.push_back(outcome);
            TBattleEnd end;
            end.Outcome = OutcomeOf(outcome.Victor);
            end.Rounds = 1;
            Totals.Add(end);
        }
        return *this;
    }

    void Publish(bool last = false)
    {
        static_cast<TRunHost&>(Form).Publish(Totals, Batch.data(), int(Batch.size()), last);
        Batch.clear();
    }

    TForm1& Form;
    RunTotals Totals;

private:
    static TOutcome OutcomeOf(TVictor v)
    {
        switch (v) {
        case TVictor::ATT: return TOutcome::AttWins;
        case TVictor::DEF: return TOutcome::DefWins;
        case TVictor::With: return TOutcome::AttWithdraws;
        case TVictor::RndLmt: return TOutcome::BothRemain;
        default: return TOutcome::BothDes;
        }
    }
    std::vector<TBattleResultsRec> Batch;
};

inline QTableView* Grid(const TForm1& form) { return Find<QTableView>(form, "StringGrid1"); }
inline int GridRows(const TForm1& form) { return Grid(form)->model()->rowCount(); }

inline QString Cell(const TForm1& form, int row, int column)
{
    const QAbstractItemModel* model = Grid(form)->model();
    return model->index(row, column).data().toString();
}

inline QStringList GridColumn(const TForm1& form, int column)
{
    QStringList texts;
    for (int row = 0; row < GridRows(form); ++row) texts << Cell(form, row, column);
    return texts;
}

inline QStringList GridRow(const TForm1& form, int row)
{
    QStringList texts;
    for (int column = 0; column < 13; ++column) texts << Cell(form, row, column);
    return texts;
}

// Sum of the hidden "Instances" column: the battles the grid accounts for.
inline qint64 GridBattles(const TForm1& form)
{
    qint64 sum = 0;
    for (const QString& n : GridColumn(form, 12)) sum += n.toLongLong();
    return sum;
}

inline QString GridLabel(const TForm1& form) { return Find<QLabel>(form, "GridResultsLabel")->text(); }
inline QString RunsLabel(const TForm1& form) { return Find<QLabel>(form, "RunsLabel")->text(); }

// The eight panel rows of one column (1 to 4), top to bottom.
inline QStringList PanelColumn(const TForm1& form, int column)
{
    static const char* const rows[] = {"ProbAttWins",    "ProbDefWins",   "ProbBothDes",   "ProbBothRemain",
                                       "ProbAttWithdraws", "AvgAttIPCLoss", "AvgDefIPCLoss", "AvgRounds"};
    QStringList texts;
    for (const char* row : rows) {
        const QByteArray name = QByteArray(row) + QByteArray::number(column);
        texts << Find<QLineEdit>(form, name.constData())->text();
    }
    return texts;
}

// Calls `call` in every dispatch of events a run makes (one per battle)
// until it returns false.
inline void EveryBattle(std::function<bool()> call)
{
    auto tick = std::make_shared<std::function<void()>>();
    *tick = [tick, call] {
        if (call())
            QTimer::singleShot(0, *tick);
        else
            *tick = nullptr;  // break the cycle
    };
    QTimer::singleShot(0, *tick);
}
