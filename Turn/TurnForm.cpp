#include "Turn/TurnForm.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QStandardPaths>
#include <QTableWidget>
#include <algorithm>

#include "Support/BattleHost.h"
#include "Support/LocalNumbers.h"
#include "Support/SaveText.h"
#include "Turn/TurnCharts.h"
#include "format/Format.h"
#include "format/TurnTexts.h"
#include "engine/advice/Planner.h"
#include "model/BattleFile.h"
#include "ui_TurnForm.h"

std::function<QString(bool save)> TTurnForm::DialogHook;

namespace {

enum { NameColumn, ForcesColumn, GoalColumn, ChanceColumn, SwingColumn };

const QString Suffix = QStringLiteral("vturn");
const QString Filter = QStringLiteral("Turn files (*.vturn);;All files (*)");

QTableWidgetItem* Cell(const QString& text, bool editable, bool number)
{
    auto* item = new QTableWidgetItem(text);
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    if (editable) flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

}  // namespace

TTurnForm::TTurnForm(QWidget* owner, TBattleHost& host)
    : QWidget(owner, Qt::Window), ui(new Ui::TTurnForm), Host(host)
{
    ui->setupUi(this);
    ui->BattleTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ui->BattleTable->horizontalHeader()->setStretchLastSection(true);
    ui->BattleTable->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Charts = std::make_unique<TTurnCharts>(ui->GoalsChart, ui->SwingChart);

    connect(ui->AddButton, &QPushButton::clicked, this, &TTurnForm::AddButtonClick);
    connect(ui->ReplaceButton, &QPushButton::clicked, this, &TTurnForm::ReplaceButtonClick);
    connect(ui->ShowButton, &QPushButton::clicked, this, &TTurnForm::ShowButtonClick);
    connect(ui->RemoveButton, &QPushButton::clicked, this, &TTurnForm::RemoveButtonClick);
    connect(ui->OpenButton, &QPushButton::clicked, this, &TTurnForm::OpenButtonClick);
    connect(ui->SaveButton, &QPushButton::clicked, this, &TTurnForm::SaveButtonClick);
    connect(ui->BattleTable, &QTableWidget::cellChanged, this, &TTurnForm::NameEdited);
    connect(ui->BattleTable, &QTableWidget::itemSelectionChanged, this, &TTurnForm::WriteButtons);
    connect(&Worker, &TJobSignals::Finished, this, &TTurnForm::Finished);
    TurnChanged();
}

TTurnForm::~TTurnForm()
{
    Worker.Stop();
    delete ui;
}

// ---- The buttons ----------------------------------------------------------------------

void TTurnForm::AddButtonClick()
{
    if (Turn.size() >= MaxTurnBattles) return;
    Turn.push_back({"Battle " + std::to_string(Turn.size() + 1), Host.KeptBattle()});
    TurnChanged();
    ui->BattleTable->selectRow(static_cast<int>(Turn.size()) - 1);
}

void TTurnForm::ReplaceButtonClick()
{
    const int row = SelectedRow();
    if (row < 0) return;
    Turn[static_cast<size_t>(row)].Setup = Host.KeptBattle();
    TurnChanged();
    ui->BattleTable->selectRow(row);
}

// Through the main window's own handlers, as an opened battle file: the
// window's rules may adjust the battle, and one run follows.
void TTurnForm::ShowButtonClick()
{
    const int row = SelectedRow();
    if (row < 0) return;
    const TBattleSetupRec setup = Turn[static_cast<size_t>(row)].Setup;
    Host.WriteBattle(setup);
    Host.RequestRun();
}

void TTurnForm::RemoveButtonClick()
{
    const int row = SelectedRow();
    if (row < 0) return;
    Turn.erase(Turn.begin() + row);
    TurnChanged();
    if (!Turn.empty()) ui->BattleTable->selectRow(std::min(row, static_cast<int>(Turn.size()) - 1));
}

void TTurnForm::OpenButtonClick()
{
    const QString path = AskPath(false);
    if (!path.isEmpty()) Open(path);
}

void TTurnForm::SaveButtonClick()
{
    const QString path = AskPath(true);
    if (!path.isEmpty()) Save(path);
}

QString TTurnForm::AskPath(bool save)
{
    if (DialogHook) return DialogHook(save);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!save) return QFileDialog::getOpenFileName(this, QStringLiteral("Open Turn"), folder, Filter);
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Turn As"), folder, Filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += u'.' + Suffix;
    return path;
}

bool TTurnForm::Open(const QString& path)
{
    const TTurnFileRead read = ReadTurnFile(QFile::encodeName(path).toStdString());
    if (!read.Battles) {
        Host.ShowWarning(QStringLiteral("Cannot open the turn file \"%1\":\n%2")
                             .arg(QDir::toNativeSeparators(path), QString::fromStdString(read.Error)));
        return false;
    }
    Turn = *read.Battles;
    TurnChanged();
    return true;
}

bool TTurnForm::Save(const QString& path)
{
    const std::string text = TurnFileText(Turn);
    const QString error = SaveTextAtomically(path, text);
    if (error.isEmpty()) return true;
    Host.ShowWarning(QStringLiteral("Cannot save the turn to \"%1\":\n%2").arg(QDir::toNativeSeparators(path), error));
    return false;
}

// A name is the player's to edit; it changes no figure.
void TTurnForm::NameEdited(int row, int column)
{
    if (Writing || column != NameColumn || row < 0 || row >= static_cast<int>(Turn.size())) return;
    QTableWidgetItem* item = ui->BattleTable->item(row, column);
    const std::string name = ClippedName(item->text().toStdString());
    Turn[static_cast<size_t>(row)].Name = name;
    if (QString::fromStdString(name) != item->text()) {
        Writing = true;
        item->setText(QString::fromStdString(name));
        Writing = false;
    }
}

// ---- The figures ----------------------------------------------------------------------

const TBattleOddsOfTurn* TTurnForm::KnownOdds(const TBattleSetupRec& setup) const
{
    for (const auto& [known, odds] : Known)
        if (known == setup) return &odds;
    return nullptr;
}

// Every change of the turn: the table at once, the figures once worked out.
void TTurnForm::TurnChanged()
{
    Odds.reset();
    // What is worked out already goes with the job; the rest is worked out there.
    std::vector<TBattleSetupRec> setups;
    std::vector<std::optional<TBattleOddsOfTurn>> known;
    for (const TTurnBattle& b : Turn) {
        setups.push_back(b.Setup);
        const TBattleOddsOfTurn* k = KnownOdds(b.Setup);
        known.push_back(k ? std::optional<TBattleOddsOfTurn>(*k) : std::nullopt);
    }
    Busy = true;
    JobId = Worker.Start([setups = std::move(setups), known = std::move(known)](
                             const std::atomic<bool>& cancel, const TJobWorker<TTurnOdds>::TPost&) mutable {
        TTurnOdds turn = CompleteTurn(setups, std::move(known), &cancel);
        return turn.Status == TTurnStatus::Cancelled ? std::nullopt : std::optional<TTurnOdds>(std::move(turn));
    });
    WriteTable();
    WriteFigures();
    WriteButtons();
}

void TTurnForm::Finished(quint64 id)
{
    if (id != JobId) return;
    Busy = false;
    Odds = Worker.Take(id);
    if (Odds && Odds->Battles.size() == Turn.size()) {
        std::vector<std::pair<TBattleSetupRec, TBattleOddsOfTurn>> known;
        for (size_t i = 0; i < Turn.size(); ++i)
            if (Odds->Battles[i].Status == TTurnStatus::Done) known.emplace_back(Turn[i].Setup, Odds->Battles[i]);
        Known = std::move(known);
    }
    WriteTable();
    WriteFigures();
}

void TTurnForm::WriteTable()
{
    const TLocalSeparator separator;
    QTableWidget* table = ui->BattleTable;
    Writing = true;
    table->setRowCount(static_cast<int>(Turn.size()));
    for (size_t i = 0; i < Turn.size(); ++i) {
        const int row = static_cast<int>(i);
        const TTurnBattle& b = Turn[i];
        const TBattleOddsOfTurn* odds = KnownOdds(b.Setup);
        table->setItem(row, NameColumn, Cell(QString::fromStdString(b.Name), true, false));
        table->setItem(row, ForcesColumn, Cell(QString::fromStdString(ForcesText(b.Setup)), false, false));
        table->setItem(row, GoalColumn,
                       Cell(QString::fromLatin1(AttackerGoalName(IsLandBattle(b.Setup))), false, false));
        QString chance = QStringLiteral("..."), swing = QStringLiteral("...");
        if (odds) {
            chance = separator.Text(TurnPercent(odds->Probability, separator.Byte()));
            swing = separator.Text(SignedSwing(odds->SwingMean, separator.Byte()));
            if (odds->Method == TTurnMethod::Run) chance += QStringLiteral(" (run)");
        }
        table->setItem(row, ChanceColumn, Cell(chance, false, true));
        table->setItem(row, SwingColumn, Cell(swing, false, true));
    }
    Writing = false;
}

void TTurnForm::WriteFigures()
{
    const TLocalSeparator separator;
    const char sep = separator.Byte();
    const bool shown = Odds && Odds->Status == TTurnStatus::Done && !Turn.empty();
    Charts->Write(shown ? &*Odds : nullptr);
    QString status;
    if (Turn.empty()) status = QStringLiteral("Add the battles of the turn with \"Add Current Battle\".");
    else if (Busy) status = QStringLiteral("Working out the odds...");
    else if (Odds && Odds->Status == TTurnStatus::Failed)
        status = QStringLiteral("The odds of battle %1 failed their own checks: %2")
                     .arg(Odds->FailedBattle + 1)
                     .arg(QString::fromStdString(Odds->Reason));
    ui->StatusLabel->setText(status);
    ui->StatusLabel->setVisible(!status.isEmpty());
    for (QLabel* label : {ui->AllLabel, ui->AtLeastLabel, ui->SwingLabel, ui->RangeLabel, ui->LossLabel})
        label->setVisible(shown);
    if (!shown) return;
    const TTurnOdds& t = *Odds;
    ui->AllLabel->setText(QStringLiteral("All goals met: %1").arg(separator.Text(TurnPercent(t.All, sep))));
    QStringList atLeast;
    for (size_t k = 1; k < t.AtLeast.size(); ++k)
        atLeast << QStringLiteral("%1: %2").arg(k).arg(separator.Text(TurnPercent(t.AtLeast[k], sep)));
    ui->AtLeastLabel->setText(QStringLiteral("At least k goals met, for k = ") + atLeast.join(QStringLiteral("; ")));
    ui->SwingLabel->setText(separator.Text(ExpectedSwingWords(t, sep)));
    ui->RangeLabel->setText(QString::fromStdString(SwingRangeWords(t)));
    ui->LossLabel->setText(QStringLiteral("Expected IPC loss: attacker %1, defender %2")
                               .arg(separator.Text(FormatGeneral(t.AttIPCLoss, 3, sep)),
                                    separator.Text(FormatGeneral(t.DefIPCLoss, 3, sep))));
}

int TTurnForm::SelectedRow() const
{
    const QList<QTableWidgetItem*> items = ui->BattleTable->selectedItems();
    if (items.isEmpty()) return -1;
    const int row = items.front()->row();
    return row < static_cast<int>(Turn.size()) ? row : -1;
}

void TTurnForm::WriteButtons()
{
    const bool selected = SelectedRow() >= 0;
    ui->AddButton->setEnabled(Turn.size() < MaxTurnBattles);
    ui->ReplaceButton->setEnabled(selected);
    ui->ShowButton->setEnabled(selected);
    ui->RemoveButton->setEnabled(selected);
    ui->SaveButton->setEnabled(!Turn.empty());
}
