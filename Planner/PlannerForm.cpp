#include "Planner/PlannerForm.h"

#include <QFont>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include "Support/BattleHost.h"
#include "Support/LocalNumbers.h"
#include "format/Format.h"
#include "ui_PlannerForm.h"

namespace {

// Columns of the order table.
enum { OrderSide, OrderCurrent, OrderCurrentGoal, OrderBest, OrderBestGoal, OrderGain, OrderUse };

const char* SideName(bool attacker) { return attacker ? "Attacker" : "Defender"; }

// A table row of texts, bold when it is the table's best line.
void WriteRow(QTableWidget* table, int row, const QStringList& cells, bool bold)
{
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        QFont font = item->font();
        font.setBold(bold);
        item->setFont(font);
        if (c > 0 && !cells[c].isEmpty() && (cells[c][0].isDigit() || cells[c][0] == u'-'))
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(row, c, item);
    }
}

}  // namespace

TPlannerForm::TPlannerForm(QWidget* owner, TBattleHost& host)
    : QWidget(owner, Qt::Window), ui(new Ui::TPlannerForm), Host(host)
{
    ui->setupUi(this);
    ui->PlanProgressBar->setRange(0, PlanParts);
    for (QTableWidget* table : {ui->BringTable, ui->OrderTable, ui->RetreatTable}) {
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
        table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    }

    // The buttons stay for the window's life: a run that "Use" starts goes on
    // inside the click's handler while the tables are rewritten.
    for (const bool attacker : {true, false}) {
        auto* use = new QPushButton(QStringLiteral("Use"), ui->OrderTable);
        use->setObjectName(attacker ? QStringLiteral("UseAttOrderButton") : QStringLiteral("UseDefOrderButton"));
        use->setEnabled(false);
        ui->OrderTable->setCellWidget(attacker ? 0 : 1, OrderUse, use);
        UseButtons[attacker ? 0 : 1] = use;
    }
    connect(UseButtons[0], &QPushButton::clicked, this, &TPlannerForm::UseAttOrderButtonClick);
    connect(UseButtons[1], &QPushButton::clicked, this, &TPlannerForm::UseDefOrderButtonClick);
    connect(ui->TargetSpinEdit, &QDoubleSpinBox::valueChanged, this, &TPlannerForm::TargetSpinEditChange);
    connect(ui->CancelButton, &QPushButton::clicked, this, &TPlannerForm::CancelButtonClick);

    FollowSoon.setSingleShot(true);
    FollowSoon.setInterval(0);
    connect(&FollowSoon, &QTimer::timeout, this, &TPlannerForm::Follow);
    connect(&Worker, &TJobSignals::Updated, this, &TPlannerForm::PlanUpdated);
    connect(&Worker, &TJobSignals::Finished, this, &TPlannerForm::PlanFinished);
    ShowPlan();
}

TPlannerForm::~TPlannerForm()
{
    Worker.Stop();
    delete ui;
}

void TPlannerForm::BattleChanged() { FollowSoon.start(); }

void TPlannerForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    FollowSoon.start();
}

// A hidden planner works for no one; it plans afresh when shown again.
void TPlannerForm::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    Worker.CancelAll();
    Started = Working = false;
}

void TPlannerForm::TargetSpinEditChange() { FollowSoon.start(); }

void TPlannerForm::CancelButtonClick()
{
    if (!Working) return;
    Worker.CancelAll();
    Working = false;
    Cancelled = true;
    ShowPlan();
}

void TPlannerForm::UseAttOrderButtonClick() { UseOrder(true); }
void TPlannerForm::UseDefOrderButtonClick() { UseOrder(false); }

void TPlannerForm::UseOrder(bool attacker)
{
    if (!Plan || !(attacker ? Plan->Attacker : Plan->Defender).OrderDone) return;
    // A copy: the run that follows may bring a new plan while it goes on.
    const TOrderLine best = (attacker ? Plan->Attacker : Plan->Defender).BestOrder;
    Host.SetKillOrder(attacker, best.Ranks);
}

// Plans the main window's setup unless that very plan is under way or on show.
void TPlannerForm::Follow()
{
    if (!isVisible()) return;
    TBattleSetupRec setup;
    OrderBeingEdited = !Host.CurrentSetup(setup);
    if (OrderBeingEdited) {
        Worker.CancelAll();
        Started = Working = false;
        Plan.reset();
        ShowPlan();
        return;
    }
    const double target = ui->TargetSpinEdit->value() / 100;
    if (Started && setup == PlanSetup && target == PlanTarget) return;
    Started = true;
    PlanSetup = setup;
    PlanTarget = target;
    Plan.reset();
    Working = true;
    Cancelled = false;
    // The plan owns its copy of the setup; each finished part is posted.
    PlanId = Worker.Start([setup, target](const std::atomic<bool>& cancel, const TJobWorker<TBattlePlan>::TPost& post) {
        TPlanOptions options;
        options.Target = target;
        options.Progress = [&post](const TBattlePlan& plan) { post(TBattlePlan(plan)); };
        TBattlePlan plan = PlanBattle(setup, options, &cancel);
        return plan.Status == TPlanStatus::Cancelled ? std::nullopt : std::optional<TBattlePlan>(std::move(plan));
    });
    ShowPlan();
}

void TPlannerForm::PlanUpdated(quint64 id)
{
    if (id != PlanId || !Working) return;  // of an older setup, or cancelled
    if (std::optional<TBattlePlan> plan = Worker.Take(id)) {
        Plan = std::move(plan);
        ShowPlan();
    }
}

void TPlannerForm::PlanFinished(quint64 id)
{
    if (id != PlanId || !Working) return;
    if (std::optional<TBattlePlan> plan = Worker.Take(id)) Plan = std::move(plan);
    Working = false;
    ShowPlan();
}

// ---- The tables ------------------------------------------------------------------

void TPlannerForm::ShowPlan()
{
    const bool land = Plan ? Plan->Land : IsLandBattle(PlanSetup);
    ui->AttGoalLabel->setText(land ? QStringLiteral("Attacker: take the territory")
                                   : QStringLiteral("Attacker: win the battle"));
    ui->DefGoalLabel->setText(QStringLiteral("Defender: hold"));
    ui->PlanProgressBar->setValue(Plan ? Plan->PartsDone : 0);
    ui->CancelButton->setEnabled(Working);

    QString status;
    if (OrderBeingEdited) status = QStringLiteral("Waiting for the kill order");
    else if (Plan && Plan->Status == TPlanStatus::TooLarge) status = QStringLiteral("Too large to plan");
    else if (Cancelled) status = QStringLiteral("Cancelled");
    else if (Working) status = QStringLiteral("Planning...");
    else if (Started && PlanSetup.Empty()) status = QStringLiteral("No battle");
    ui->StatusLabel->setText(status);

    ShowBring();
    ShowOrders();
    ShowRetreat();
}

// Both sides, each cheapest first; the cheapest line of each side is bold.
void TPlannerForm::ShowBring()
{
    const TLocalSeparator separator;
    const char sep = separator.Byte();
    QTableWidget* table = ui->BringTable;
    table->setRowCount(0);
    if (!Plan) return;
    for (const bool attacker : {true, false}) {
        const TSidePlan& side = attacker ? Plan->Attacker : Plan->Defender;
        bool first = side.BringDone;  // the cheapest is known once every line is in
        for (const TBringLine& line : side.Bring) {
            const int row = table->rowCount();
            table->setRowCount(row + 1);
            const QString kind = QString::fromLatin1(UnitInfo(line.Kind).Code);
            if (line.Reached)
                WriteRow(table, row,
                         {QString::fromLatin1(SideName(attacker)), kind, QString::number(line.Count),
                          QString::number(line.IPC), separator.Text(FormatGeneral(line.Probability * 100, 3, sep))},
                         first);
            else
                WriteRow(table, row, {QString::fromLatin1(SideName(attacker)), kind, QStringLiteral("not reachable")},
                         false);
            first = false;
        }
    }
}

// One row a side; the row with the larger gain is bold.
void TPlannerForm::ShowOrders()
{
    const TLocalSeparator separator;
    const char sep = separator.Byte();
    auto percent = [&](double p) { return separator.Text(FormatGeneral(p * 100, 3, sep)); };
    QTableWidget* table = ui->OrderTable;
    double gains[2] = {0, 0};
    for (const bool attacker : {true, false}) {
        const int row = attacker ? 0 : 1;
        const TSidePlan* side = Plan ? &(attacker ? Plan->Attacker : Plan->Defender) : nullptr;
        const bool done = side && side->OrderDone;
        const bool changes =
            done && !std::equal(side->BestOrder.Ranks, side->BestOrder.Ranks + DefKinds, side->CurrentOrder.Ranks);
        UseButtons[row]->setEnabled(changes);
        if (!done) {
            WriteRow(table, row, {QString::fromLatin1(SideName(attacker))}, false);
            for (int c = OrderCurrent; c < OrderUse; ++c) table->setItem(row, c, nullptr);
            continue;
        }
        gains[row] = side->BestOrder.Probability - side->CurrentOrder.Probability;
        const QString best = QString::fromStdString(OrderText(attacker, side->BestOrder.Ranks)) +
                             (side->Exhaustive ? QString() : QStringLiteral(" (best found)"));
        WriteRow(table, row,
                 {QString::fromLatin1(SideName(attacker)), QString::fromStdString(OrderText(attacker, side->CurrentOrder.Ranks)),
                  percent(side->CurrentOrder.Probability), best, percent(side->BestOrder.Probability), percent(gains[row])},
                 false);
    }
    // Both rows in view, whatever the font.
    table->setFixedHeight(table->horizontalHeader()->sizeHint().height() + table->rowHeight(0) + table->rowHeight(1) +
                          table->horizontalScrollBar()->sizeHint().height() + 2 * table->frameWidth());
    const int bestRow = gains[1] > gains[0] ? 1 : 0;
    if (gains[bestRow] > 0)
        for (int c = 0; c < OrderUse; ++c)
            if (QTableWidgetItem* item = table->item(bestRow, c)) {
                QFont font = item->font();
                font.setBold(true);
                item->setFont(font);
            }
}

// The rounds listed so far, and fighting to the end once the table is
// complete; the line with the best swing is bold.
void TPlannerForm::ShowRetreat()
{
    const TLocalSeparator separator;
    const char sep = separator.Byte();
    auto percent = [&](double p) { return separator.Text(FormatGeneral(p * 100, 3, sep)); };
    auto swing = [&](double x) { return separator.Text(FormatGeneral(x, 3, sep)); };
    QTableWidget* table = ui->RetreatTable;
    table->setRowCount(0);
    if (!Plan) return;
    const bool done = Plan->RetreatDone;
    table->setRowCount(int(Plan->Retreat.size()) + (done ? 1 : 0));
    int row = 0;
    for (const TRetreatLine& line : Plan->Retreat)
        WriteRow(table, row++,
                 {QStringLiteral("round %1").arg(line.Round), percent(line.StillOn), percent(line.Probability),
                  swing(line.Swing)},
                 done && line.Round == Plan->BestRetreatRound);
    if (done)
        WriteRow(table, row, {QStringLiteral("fighting to the end"), QString(), percent(Plan->Attacker.Probability),
                              swing(Plan->EndSwing)},
                 Plan->BestRetreatRound == 0);
}
