#include "Planner/PlannerForm.h"

#include <QFont>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableWidget>

#include "Support/BattleHost.h"
#include "Support/LocalNumbers.h"
#include "format/Chance.h"
#include "ui_PlannerForm.h"

namespace {

// Columns of the tables.
enum { BringSide, BringKind, BringExtra, BringIPC, BringReached, BringColumns };
enum { OrderSide, OrderCurrent, OrderCurrentGoal, OrderCurrentSwing, OrderBest, OrderBestGoal, OrderBestSwing, OrderUse };
enum { RetreatRound, RetreatStillOn, RetreatGoal, RetreatSwing, RetreatMarks };

const char* SideName(bool attacker) { return attacker ? "Attacker" : "Defender"; }

// A table row of texts, bold when it is the table's best line.
void WriteRow(QTableWidget* table, int row, const QStringList& cells, bool bold)
{
    for (int c = 0; c < cells.size(); ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        QFont font = item->font();
        font.setBold(bold);
        item->setFont(font);
        if (c > 0 && !cells[c].isEmpty() && (cells[c][0].isDigit() || cells[c][0] == u'-' || cells[c][0] == u'<' ||
                                              cells[c][0] == u'>'))
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
    // Tab goes from table to table (not from cell to cell) and to every button.
    setTabOrder(ui->TargetSpinEdit, ui->CancelButton);
    setTabOrder(ui->CancelButton, ui->BringTable);
    setTabOrder(ui->BringTable, ui->OrderTable);
    setTabOrder(ui->OrderTable, UseButtons[0]);
    setTabOrder(UseButtons[0], UseButtons[1]);
    setTabOrder(UseButtons[1], ui->RetreatTable);
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

void TPlannerForm::SetTimeBudget(double seconds)
{
    Seconds = seconds;
    Started = false;
    FollowSoon.start();
}

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
    if (!Plan || Plan->Status != TPlanStatus::Done) return;
    const TSidePlan& side = attacker ? Plan->Attacker : Plan->Defender;
    if (!side.OrderDone || side.OrderEnd != TPartEnd::Complete) return;
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
    if (setup.Empty()) {
        // No battle: nothing to plan, and no figures of the last one.
        Worker.CancelAll();
        Started = true;
        PlanSetup = setup;
        PlanTarget = target;
        Working = Cancelled = false;
        Plan.reset();
        ShowPlan();
        return;
    }
    Started = true;
    PlanSetup = setup;
    PlanTarget = target;
    Plan.reset();
    Working = true;
    Cancelled = false;
    // The plan owns its copy of the setup; each finished part is posted.
    PlanId = Worker.Start([setup, target, seconds = Seconds](const std::atomic<bool>& cancel,
                                                             const TJobWorker<TBattlePlan>::TPost& post) {
        TPlanOptions options;
        options.Target = target;
        options.Seconds = seconds;
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
    else if (Started && PlanSetup.Empty()) status = QStringLiteral("No battle");
    else if (Plan && Plan->Status == TPlanStatus::Failed)
        status = QStringLiteral("Not available: ") + QString::fromStdString(Plan->Reason);
    else if (Plan && Plan->Status == TPlanStatus::TooLarge) status = QStringLiteral("Too large to plan");
    else if (Cancelled) status = QStringLiteral("Cancelled");
    else if (Working) status = QStringLiteral("Planning...");
    ui->StatusLabel->setText(status);
    ui->StatusLabel->setToolTip(status);

    // Only the figures of a plan that stands are shown.
    const TBattlePlan* shown = Plan && Plan->Status == TPlanStatus::Done ? &*Plan : nullptr;
    ShowBring(shown);
    ShowOrders(shown);
    ShowRetreat(shown);
}

// Both sides, each cheapest first; the cheapest line of each side is bold.
void TPlannerForm::ShowBring(const TBattlePlan* plan)
{
    const TLocalSeparator separator;
    QTableWidget* table = ui->BringTable;
    table->clearSpans();
    table->setRowCount(0);
    if (!plan) return;
    for (const bool attacker : {true, false}) {
        const TSidePlan& side = attacker ? plan->Attacker : plan->Defender;
        const QString name = QString::fromLatin1(SideName(attacker));
        if (side.TargetMet) {
            const int row = table->rowCount();
            table->setRowCount(row + 1);
            WriteRow(table, row, {name, QStringLiteral("Target already met")}, false);
            table->setSpan(row, BringKind, 1, BringColumns - BringKind);
            continue;
        }
        bool first = side.BringDone;  // the cheapest is known once every line is in
        for (const TBringLine& line : side.Bring) {
            const int row = table->rowCount();
            table->setRowCount(row + 1);
            const QString kind = QString::fromLatin1(UnitInfo(line.Kind).Code);
            const QString words = QString::fromStdString(BringText(line));
            if (line.Reached()) {
                WriteRow(table, row,
                         {name, kind, words, QString::number(line.IPC),
                          separator.Text(ChanceText(line.Probability, separator.Byte()))},
                         first);
            } else {
                WriteRow(table, row, {name, kind, words}, false);
                table->setSpan(row, BringExtra, 1, BringColumns - BringExtra);
            }
            first = false;
        }
    }
}

// One row a side; a row whose best order differs from the current one is bold.
void TPlannerForm::ShowOrders(const TBattlePlan* plan)
{
    const TLocalSeparator separator;
    auto chance = [&](double p) { return separator.Text(ChanceText(p, separator.Byte())); };
    auto swing = [&](double x) { return separator.Text(IpcText(x, separator.Byte())); };
    QTableWidget* table = ui->OrderTable;
    table->clearSpans();
    for (const bool attacker : {true, false}) {
        const int row = attacker ? 0 : 1;
        const TSidePlan* side = plan ? &(attacker ? plan->Attacker : plan->Defender) : nullptr;
        const bool done = side && side->OrderDone;
        const bool complete = done && side->OrderEnd == TPartEnd::Complete;
        const bool changes = complete && !std::equal(side->BestOrder.Ranks, side->BestOrder.Ranks + DefKinds,
                                                     side->CurrentOrder.Ranks);
        UseButtons[row]->setEnabled(changes);
        for (int c = OrderCurrent; c < OrderUse; ++c) table->setItem(row, c, nullptr);
        if (!done) {
            WriteRow(table, row, {QString::fromLatin1(SideName(attacker))}, false);
            continue;
        }
        QStringList cells{QString::fromLatin1(SideName(attacker)),
                          QString::fromStdString(OrderText(attacker, side->CurrentOrder.Ranks)),
                          chance(side->CurrentOrder.Probability), swing(side->CurrentOrder.Swing)};
        if (complete)
            cells << QString::fromStdString(OrderText(attacker, side->BestOrder.Ranks)) +
                         (side->Exhaustive ? QString() : QStringLiteral(" (best found)"))
                  << chance(side->BestOrder.Probability) << swing(side->BestOrder.Swing);
        else
            cells << QString::fromLatin1(PartEndText(side->OrderEnd));
        WriteRow(table, row, cells, changes);
        if (!complete) table->setSpan(row, OrderBest, 1, OrderUse - OrderBest);
    }
    // Both rows in view, whatever the font.
    table->setFixedHeight(table->horizontalHeader()->sizeHint().height() + table->rowHeight(0) + table->rowHeight(1) +
                          table->horizontalScrollBar()->sizeHint().height() + 2 * table->frameWidth());
}

// The rounds listed so far, and fighting to the end once the table is
// settled; a complete table marks the row with the highest chance and the
// row with the least IPC lost, in bold.
void TPlannerForm::ShowRetreat(const TBattlePlan* plan)
{
    const TLocalSeparator separator;
    auto chance = [&](double p) { return separator.Text(ChanceText(p, separator.Byte())); };
    auto swing = [&](double x) { return separator.Text(IpcText(x, separator.Byte())); };
    QTableWidget* table = ui->RetreatTable;
    table->clearSpans();
    table->setRowCount(0);
    if (!plan) return;
    const bool done = plan->RetreatDone;
    const bool complete = done && plan->RetreatEnd == TPartEnd::Complete;
    auto marks = [&](int32_t round) {
        QStringList m;
        if (complete && plan->HighestChanceRound == round) m << QString::fromLatin1(HighestChanceMark);
        if (complete && plan->LeastLossRound == round) m << QString::fromLatin1(LeastLossMark);
        return m.join(QStringLiteral(", "));
    };
    const bool cut = done && !complete;
    table->setRowCount(int(plan->Retreat.size()) + (cut ? 1 : 0) + (done ? 1 : 0));
    int row = 0;
    for (const TRetreatLine& line : plan->Retreat) {
        const QString m = marks(line.Round);
        WriteRow(table, row++,
                 {QStringLiteral("round %1").arg(line.Round), chance(line.StillOn), chance(line.Probability),
                  swing(line.Swing), m},
                 !m.isEmpty());
    }
    if (cut) {
        WriteRow(table, row, {QString(), QString::fromLatin1(PartEndText(plan->RetreatEnd))}, false);
        table->setSpan(row++, RetreatStillOn, 1, RetreatMarks - RetreatStillOn + 1);
    }
    if (done) {
        const QString m = marks(0);
        WriteRow(table, row,
                 {QStringLiteral("fighting to the end"), QString(), chance(plan->Attacker.Probability),
                  swing(plan->EndSwing), m},
                 !m.isEmpty());
    }
}
