// Publication of a run's figures: "Runs:", the average results panel, Store Results.
#include <QLineEdit>
#include <array>

#include "Dizorivurad/Dizorivurad.h"
#include "Pages/ResultPages.h"
#include "Support/LocalNumbers.h"
#include "format/Panel.h"
#include "ui_Dizorivurad.h"

namespace {

constexpr int PanelColumns = 4;
using TPanelFields = std::array<std::array<QLineEdit*, PanelColumns>, PanelRows>;

// Rows in the order of PanelRowLabels; column 0 is the current run, 1 to 3
// the stored results.
TPanelFields PanelFields(const Ui::TForm1& ui)
{
    return {{
        {ui.ProbAttWins1, ui.ProbAttWins2, ui.ProbAttWins3, ui.ProbAttWins4},
        {ui.ProbDefWins1, ui.ProbDefWins2, ui.ProbDefWins3, ui.ProbDefWins4},
        {ui.ProbBothDes1, ui.ProbBothDes2, ui.ProbBothDes3, ui.ProbBothDes4},
        {ui.ProbBothRemain1, ui.ProbBothRemain2, ui.ProbBothRemain3, ui.ProbBothRemain4},
        {ui.ProbAttWithdraws1, ui.ProbAttWithdraws2, ui.ProbAttWithdraws3, ui.ProbAttWithdraws4},
        {ui.AvgAttIPCLoss1, ui.AvgAttIPCLoss2, ui.AvgAttIPCLoss3, ui.AvgAttIPCLoss4},
        {ui.AvgDefIPCLoss1, ui.AvgDefIPCLoss2, ui.AvgDefIPCLoss3, ui.AvgDefIPCLoss4},
        {ui.AvgRounds1, ui.AvgRounds2, ui.AvgRounds3, ui.AvgRounds4},
    }};
}

// Column 1 of the panel in the user's decimal separator.
std::array<QString, PanelRows> PanelColumn1(const RunTotals& totals)
{
    const TLocalSeparator separator;
    const TPanelTexts texts = PanelTexts(totals, separator.Byte());
    std::array<QString, PanelRows> column;
    for (int row = 0; row < PanelRows; ++row) column[size_t(row)] = separator.Text(texts.Row[row]);
    return column;
}

}  // namespace

void TForm1::Publish(const RunTotals& totals, const TBattleResultsRec* batch, int count, bool last)
{
    ui->RunsLabel->setText(QStringLiteral("Runs: ") + QString::number(totals.Battles));

    const std::array<QString, PanelRows> column = PanelColumn1(totals);
    const TPanelFields fields = PanelFields(*ui);
    // A figure that reads as before is left alone: no repaint for it.
    for (int row = 0; row < PanelRows; ++row) {
        QLineEdit& field = *fields[size_t(row)][0];
        if (field.text() != column[size_t(row)]) field.setText(column[size_t(row)]);
    }

    OutcomeList.AddBatch(batch, count);
    // Each new outcome earns the grid one more rewrite; once a run stops
    // finding new ones the grid rests until the run's final figures.
    if (GridRewrites < static_cast<int>(OutcomeList.Size()) || last) {
        RewriteGrid(totals.Battles);
        ++GridRewrites;
    }
    Pages->Published(totals, last);
}

void TForm1::RunStarting()
{
    // The panel and the grid keep the previous figures until this run publishes.
    Pages->RunStarting();
    OutcomeList.Clear();
    GridRewrites = 0;
}

void TForm1::Button1Click()
{
    for (const auto& row : PanelFields(*ui)) {
        row[3]->setText(row[2]->text());
        row[2]->setText(row[1]->text());
        row[1]->setText(row[0]->text());
    }
}
