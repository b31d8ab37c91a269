// The "Text Results" page: a report of the run on screen, to read and to paste
// into a message. The battle, the eight "Average Results" rows with the run's
// figure, its 95 % margin and the exact figure, and the most probable end
// states.
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <algorithm>
#include <numeric>

#include "Dizorivurad/LocalNumbers.h"
#include "Dizorivurad/ResultPages.h"
#include "engine/Format.h"
#include "ui_Dizorivurad.h"

const char* const OutcomeCategoryLabels[5] = {"ATT wins", "DEF wins", "Both dest.", "Both remain", "ATT with."};
const char* const ExactTooLargeText = "Exact odds: battle too large";

namespace {

constexpr int EndStatesListed = 10;

QString Code(bool attacker, int slot)
{
    return QString::fromLatin1(UnitInfo(attacker ? AttKindOrder[slot] : DefKindOrder[slot]).Code);
}

// "10 INF, 5 ARM": a side's counts by kind, kinds with 0 left out.
QString Units(const int32_t* counts, bool attacker)
{
    QStringList parts;
    const int kinds = attacker ? AttKinds : DefKinds;
    for (int k = 0; k < kinds; ++k)
        if (counts[k] != 0) parts << QStringLiteral("%1 %2").arg(counts[k]).arg(Code(attacker, k));
    return parts.isEmpty() ? QStringLiteral("none") : parts.join(QStringLiteral(", "));
}

QString EndState(const TBattleResultsRec& state)
{
    const QString victor = QString::fromLatin1(VictorText(state.Victor));
    switch (state.Victor) {
    case TVictor::ATT: return victor + QStringLiteral(": ") + Units(state.AttCount, true);
    case TVictor::DEF: return victor + QStringLiteral(": ") + Units(state.DefCount, false);
    case TVictor::With:
    case TVictor::RndLmt:
        return QStringLiteral("%1: ATT %2 / DEF %3").arg(victor, Units(state.AttCount, true), Units(state.DefCount, false));
    default: return victor;
    }
}

// A side's kill order, kinds from the first lost; empty when it is the default.
QString KillOrder(const int32_t* ranks, const int32_t* defaults, bool attacker)
{
    const int kinds = attacker ? AttKinds : DefKinds;
    if (std::equal(ranks, ranks + kinds, defaults)) return {};
    QStringList byRank;
    for (int rank = 1; rank <= kinds; ++rank)
        for (int k = 0; k < kinds; ++k)
            if (ranks[k] == rank) byRank << Code(attacker, k);
    return byRank.join(u' ');
}

QStringList Options(const TBattleSetupRec& s)
{
    QStringList on;
    if (s.HvyBomber) on << QStringLiteral("Hvy Bomber");
    if (s.AttValue[aSUB] == SuperSubAttack) on << QStringLiteral("Super Sub");
    if (s.TwoHitBB) on << QStringLiteral("2 Hit BB");
    if (std::equal(s.AttIPC, s.AttIPC + AttKinds, TechAttIPC)) on << QStringLiteral("ATT Industrial Technology");
    if (std::equal(s.DefIPC, s.DefIPC + DefKinds, TechDefIPC)) on << QStringLiteral("DEF Industrial Technology");
    if (s.AAGun) on << QStringLiteral("AA Gun");
    if (s.TakeWith) on << QStringLiteral("Take w/ ground");
    if (s.SaveAir) on << QStringLiteral("Save Air");
    if (s.AttWithSubsAirOnly) on << QStringLiteral("ATT subs retreat against air only");
    if (s.DefWithSubs1stRnd) on << QStringLiteral("DEF subs retreat after 1st round");
    if (s.DefWithSubsAirOnly) on << QStringLiteral("DEF subs retreat against air only");
    if (s.Withdrawal)
        on << QStringLiteral("Withdrawal (ATT Units <= %1, DEF Units >= %2, DEF Units <= %3)")
                  .arg(s.AttWith)
                  .arg(s.DefWith)
                  .arg(s.DefWithLess);
    if (!s.AllRounds) on << QStringLiteral("Rounds: %1").arg(s.Rounds);
    return on;
}

QString Battle(const TBattleSetupRec& s, bool manual)
{
    QStringList lines;
    lines << QStringLiteral("Attacker: ") + Units(s.AttCount, true);
    lines << QStringLiteral("Defender: ") + Units(s.DefCount, false);
    const QStringList options = Options(s);
    lines << QStringLiteral("Options: ") + (options.isEmpty() ? QStringLiteral("none") : options.join(QStringLiteral(", ")));
    const QString attOrder = KillOrder(s.AttOrder, DefaultAttOrder, true);
    const QString defOrder = KillOrder(s.DefOrder, DefaultDefOrder, false);
    if (!attOrder.isEmpty()) lines << QStringLiteral("ATT kill order: ") + attOrder;
    if (!defOrder.isEmpty()) lines << QStringLiteral("DEF kill order: ") + defOrder;
    lines << QStringLiteral("%1, %2").arg(manual ? QStringLiteral("Manual Rolling") : QStringLiteral("Auto Rolling"),
                                          s.LowLuck ? QStringLiteral("Low Luck Mode") : QStringLiteral("Regular Mode"));
    return lines.join(u'\n');
}

TPanelFigures ExactFigures(const TExactOdds& x)
{
    return {{x.AttWins * 100.0L, x.DefWins * 100.0L, x.BothDes * 100.0L, x.BothRemain * 100.0L,
             x.AttWithdraws * 100.0L, x.AvgAttIPCLoss, x.AvgDefIPCLoss, x.AvgRounds}};
}

QString Row(const QString& label, const QString& run, const QString& margin, const QString& exact)
{
    return QStringLiteral("%1%2%3%4").arg(label, -17).arg(run, 12).arg(margin, 9).arg(exact, 9).trimmed();
}

}  // namespace

QString TForm1::Report() const
{
    const TPagesState& p = *Pages;
    const TLocalSeparator separator;
    const char sep = separator.Byte();
    QStringList out;
    if (p.ShownKnown) out << Battle(p.ShownSetup, p.ShownManual) << QString();

    // The table: the run's figure, its margin, the exact figure.
    const TExactOdds* exact = p.ShownDone();
    const TPanelTexts run = PanelTexts(p.ShownTotals, sep);
    const TPanelFigures margins = PanelMargins(p.ShownTotals);
    TPanelTexts exactTexts;
    if (exact) exactTexts = PanelTexts(ExactFigures(*exact), sep);
    out << Row(QStringLiteral("Average Results"), QStringLiteral("Run (%1)").arg(p.ShownTotals.Battles),
               QStringLiteral("±95 %"), exact ? QStringLiteral("Exact") : QString());
    for (int row = 0; row < PanelRows; ++row) {
        const long double m = margins.Value[row];
        out << Row(QString::fromLatin1(PanelRowLabels[row]), separator.Text(run.Row[row]),
                   m < 0 ? QStringLiteral("n/a") : QStringLiteral("±") + separator.Text(FormatGeneral(m, 2, sep)),
                   exact ? separator.Text(exactTexts.Row[row]) : QString());
    }
    if (const TExactOdds* odds = p.ShownOdds(); odds && odds->Status == TExactStatus::TooLarge)
        out << QString::fromLatin1(ExactTooLargeText);
    else if (p.ShownOddsPending())
        out << QStringLiteral("Exact odds: being worked out");
    else if (exact && exact->Unresolved + exact->Pruned > 5e-7)
        out << QStringLiteral("Exact odds: %1 % of battles unresolved or dropped")
                   .arg(separator.Text(FormatGeneral((exact->Unresolved + exact->Pruned) * 100, 2, sep)));

    // The most probable end states, with the run's share of each.
    const std::vector<TBattleResultsRec>& seen = ShownOutcomeList().Entries();
    const long double battles = std::max<int32_t>(p.ShownTotals.Battles, 1);
    auto share = [&](long double fraction) { return separator.Text(FormatGeneral(fraction * 100, 3, sep)); };
    auto runShare = [&](const TBattleResultsRec& state) {
        for (const TBattleResultsRec& outcome : seen)
            if (outcome.SameOutcome(state)) return share(outcome.Instances / battles);
        return QStringLiteral("0");
    };
    out << QString() << QStringLiteral("Most probable end states");
    if (exact) {
        out << QStringLiteral("%1%2  End state").arg(QStringLiteral("Exact %"), 8).arg(QStringLiteral("Run %"), 8);
        const size_t n = std::min<size_t>(exact->Outcomes.size(), EndStatesListed);
        for (size_t i = 0; i < n; ++i) {
            const TExactOutcome& o = exact->Outcomes[i];
            out << QStringLiteral("%1%2  %3").arg(share(o.Probability), 8).arg(runShare(o.State), 8).arg(EndState(o.State));
        }
    } else {
        out << QStringLiteral("%1  End state").arg(QStringLiteral("Run %"), 8);
        std::vector<size_t> order(seen.size());
        std::iota(order.begin(), order.end(), size_t{0});
        const size_t n = std::min<size_t>(order.size(), EndStatesListed);
        std::partial_sort(order.begin(), order.begin() + ptrdiff_t(n), order.end(), [&](size_t a, size_t b) {
            return seen[a].Instances != seen[b].Instances ? seen[a].Instances > seen[b].Instances : a < b;
        });
        for (size_t i = 0; i < n; ++i)
            out << QStringLiteral("%1  %2").arg(share(seen[order[i]].Instances / battles), 8).arg(EndState(seen[order[i]]));
    }
    return out.join(u'\n');
}

void TForm1::WriteReport()
{
    Pages->ReportDirty = false;
    ++ReportWrites;
    QPlainTextEdit& view = *ui->TextResultsEdit;
    const int scrolled = view.verticalScrollBar()->value();
    view.setPlainText(Report());
    view.verticalScrollBar()->setValue(scrolled);  // a reader keeps their place during a run
}

void TForm1::CopyReportButtonClick()
{
    if (Pages->ReportDirty) WriteReport();
    QGuiApplication::clipboard()->setText(ui->TextResultsEdit->toPlainText());
}
