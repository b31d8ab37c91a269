// The "Text Results" page: a report of the run on screen, to read and to paste
// into a message. The exact odds' status, the battle, the territory figure,
// the panel's rows and each side's units left with the run's figure, its
// 95 % margin and the exact figure, and the most probable end states.
#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <numeric>

#include "Support/LocalNumbers.h"
#include "Pages/ResultPages.h"
#include "format/Format.h"

const char* const OutcomeCategoryLabels[5] = {"ATT wins", "DEF wins", "Both dest.", "Both remain", "ATT with."};
const char* const TakenLabel = "Taken";

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

// An end state under the category names of the table above it.
QString EndState(const TBattleResultsRec& state)
{
    auto category = [](int i) { return QString::fromLatin1(OutcomeCategoryLabels[i]); };
    const QString both = QStringLiteral(": ATT %1 / DEF %2").arg(Units(state.AttCount, true), Units(state.DefCount, false));
    switch (state.Victor) {
    case TVictor::ATT: return category(0) + QStringLiteral(": ") + Units(state.AttCount, true);
    case TVictor::DEF: return category(1) + QStringLiteral(": ") + Units(state.DefCount, false);
    case TVictor::BothD: return category(2);
    case TVictor::RndLmt: return category(3) + both;
    case TVictor::With: return category(4) + both;
    default: return QString::fromLatin1(VictorText(state.Victor));
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


// Three cells of a row: the run's figure, its margin, the exact figure.
struct TCells {
    QString Run, Margin, Exact;
};

class TCellWriter {
public:
    // Percent of `k` battles out of `n`, its Wilson margin ("≤" / "≥" the
    // interval's end when none or all), beside `exact` (a fraction; null: none).
    TCells Share(int64_t k, int64_t n, const double* exact) const
    {
        const long double run = n > 0 ? 100.0L * k / n : 0;
        const long double x = exact ? 100.0L * *exact : 0;
        TCells cells;
        if (n < 2) {
            cells = Unmarked(run, x, exact != nullptr);
        } else {
            const TInterval w = WilsonInterval(k, n);
            const long double half = (w.High - w.Low) / 2 * 100;
            QString margin = k == 0   ? QStringLiteral("≤") + Fixed(100 * w.High, half)
                             : k == n ? QStringLiteral("≥") + Fixed(100 * w.Low, half)
                                      : QStringLiteral("±") + Fixed(half, half);
            cells = {Fixed(run, half), margin, exact ? Fixed(x, half) : QString()};
        }
        cells.Run = Chance(run, cells.Run);
        if (exact) cells.Exact = Chance(x, cells.Exact);
        return cells;
    }
    // A chance in percent: its fixed text, unless it is a speck off 0 or 100
    // ("<0.01", ">99.99": a cell of the table is one word, as "≤0.38" is).
    QString Chance(long double percent, const QString& fixed) const
    {
        const bool speck = (percent > 0 && percent < 0.01L) || (percent > 99.99L && percent < 100);
        return speck ? Separator.Text(PercentFigure(percent, Separator.Byte())).remove(u' ') : fixed;
    }
    // The mean of `n` values from their sum and sum of squares.
    TCells Mean(long double sum, long double squares, int64_t n, const double* exact) const
    {
        const long double margin = MeanMargin(sum, squares, static_cast<long double>(n));
        const long double mean = n > 0 ? sum / n : 0;
        if (margin <= 0) return Unmarked(mean, exact ? *exact : 0, exact != nullptr, margin == 0);
        return {Fixed(mean, margin), QStringLiteral("±") + Fixed(margin, margin), exact ? Fixed(*exact, margin) : QString()};
    }
    QString Fixed(long double v, long double margin) const
    {
        return Separator.Text(FixedBesideMargin(v, margin, Separator.Byte()));
    }

private:
    // Without a margin both figures to the same decimals: three digits of the
    // exact figure's, or where every battle was alike (margin 0) of the run's,
    // so that a speck of probability does not read 0.000000.
    TCells Unmarked(long double run, long double exact, bool hasExact, bool alike = false) const
    {
        const long double reference = hasExact && !alike && exact != 0 ? exact : run;
        const long double scale = reference != 0 ? std::fabs(reference) / 10 : 10;
        return {Fixed(run, scale), alike ? QStringLiteral("±0") : QStringLiteral("n/a"),
                hasExact ? Fixed(exact, scale) : QString()};
    }
    TLocalSeparator Separator;
};

QString Row(const QString& label, const TCells& c)
{
    return QStringLiteral("%1%2 %3 %4").arg(label, -16).arg(c.Run, 9).arg(c.Margin, 8).arg(c.Exact, 9).trimmed();
}

// What the report reads from the run's end states: the battles that took
// the territory, and each side's units left by kind (sums and squares).
struct TRunSummary {
    int64_t Taken = 0;
    long double AttSum[AttKinds] = {}, AttSquares[AttKinds] = {};
    long double DefSum[DefKinds] = {}, DefSquares[DefKinds] = {};
};

TRunSummary Summarize(const std::vector<TBattleResultsRec>& outcomes, bool land)
{
    TRunSummary r;
    for (const TBattleResultsRec& o : outcomes) {
        const long double n = o.Instances;
        if (TakesTerritory(land, o.Victor == TVictor::ATT, o.AttCount)) r.Taken += o.Instances;
        for (int k = 0; k < AttKinds; ++k) {
            r.AttSum[k] += n * o.AttCount[k];
            r.AttSquares[k] += n * o.AttCount[k] * o.AttCount[k];
        }
        for (int k = 0; k < DefKinds; ++k) {
            r.DefSum[k] += n * o.DefCount[k];
            r.DefSquares[k] += n * o.DefCount[k] * o.DefCount[k];
        }
    }
    return r;
}

}  // namespace

QString TResultPages::StatusText() const
{
    switch (ExactState()) {
    case TExactState::Pending: return QStringLiteral("Exact odds: being worked out");
    case TExactState::TooLarge: return QStringLiteral("Exact odds: battle too large");
    case TExactState::Failed: return QStringLiteral("Exact odds: not available");
    case TExactState::Done: {
        const double lost = Odds->Unresolved + Odds->Pruned;
        if (lost <= 5e-7) return QStringLiteral("Exact odds: worked out");
        const TLocalSeparator separator;
        return QStringLiteral("Exact odds: worked out; %1 % of battles unresolved or dropped")
            .arg(separator.Text(FixedBesideMargin(lost * 100, -1, separator.Byte())));
    }
    default: return {};
    }
}

QString TResultPages::Report() const
{
    if (NoBattle) return QStringLiteral("No battle\n\nNeither side has a unit. The figures come back with the next battle's run.\n");
    if (!ShownKnown) return {};
    const TExactOdds* exact = ShownDone();
    const TExactState state = ExactState();
    const TCellWriter cells;
    const RunTotals& t = ShownTotals;
    const std::vector<TBattleResultsRec>& seen = ShownOutcomes().Entries();
    const bool land = IsLandBattle(Shown);
    const TRunSummary run = Summarize(seen, land);
    QStringList out;
    if (const QString status = StatusText(); !status.isEmpty()) out << status;
    out << Battle(Shown, ShownManual) << QString();

    // The headline: what the attacker is there for, in two lines that fit
    // the page's width.
    const TCells taken = cells.Share(run.Taken, t.Battles, exact ? &exact->Taken : nullptr);
    out << QStringLiteral("%1: %2 % (%3)")
               .arg(land ? QStringLiteral("Attacker takes the territory") : QStringLiteral("Attacker wins the battle"),
                    exact ? taken.Exact : taken.Run, exact ? QStringLiteral("exact") : QStringLiteral("run"))
        << QStringLiteral("  run: %1 % %2 (%3 %4)")
               .arg(taken.Run, taken.Margin)
               .arg(t.Battles)
               .arg(t.Battles == 1 ? QStringLiteral("battle") : QStringLiteral("battles"))
        << QString();

    // The table: the run's figure, its margin, the exact figure.
    const QString exactHeader = state == TExactState::Done       ? QStringLiteral("Exact")
                                : state == TExactState::Pending  ? QStringLiteral("Exact: working")
                                : state == TExactState::TooLarge ? QStringLiteral("Exact: too large")
                                : state == TExactState::Failed   ? QStringLiteral("Exact: not available")
                                                                 : QString();
    const QString marginHeader = QStringLiteral("±95 %");
    out << Row(QStringLiteral("Average Results"), {QStringLiteral("Run"), marginHeader, exactHeader});
    // At sea there is no territory: the row would repeat "ATT wins".
    if (land) out << Row(QString::fromLatin1(TakenLabel) + QStringLiteral(" %"), taken);
    const int32_t counts[5] = {t.AttWins, t.DefWins, t.BothDes, t.BothRemain, t.AttWithdraws};
    const double* exactShares[5] = {};
    if (exact) {
        const double* shares[5] = {&exact->AttWins, &exact->DefWins, &exact->BothDes, &exact->BothRemain,
                                   &exact->AttWithdraws};
        std::copy(shares, shares + 5, exactShares);
    }
    for (int row = 0; row < 5; ++row)
        out << Row(QString::fromLatin1(PanelRowLabels[row]), cells.Share(counts[row], t.Battles, exactShares[row]));
    const int64_t sums[3] = {t.AttIPCLoss, t.DefIPCLoss, t.TotalRounds};
    const int64_t squares[3] = {t.AttIPCLossSquares, t.DefIPCLossSquares, t.RoundsSquares};
    const double* exactMeans[3] = {exact ? &exact->AvgAttIPCLoss : nullptr, exact ? &exact->AvgDefIPCLoss : nullptr,
                                   exact ? &exact->AvgRounds : nullptr};
    for (int row = 0; row < 3; ++row)
        out << Row(QString::fromLatin1(PanelRowLabels[5 + row]),
                   cells.Mean(static_cast<long double>(sums[row]), static_cast<long double>(squares[row]), t.Battles,
                              exactMeans[row]));

    // Each side's units left by kind, the kinds it started with.
    out << QString()
        << Row(QStringLiteral("Units left"),
               {QStringLiteral("Run"), marginHeader, exact ? QStringLiteral("Exact") : QString()});
    for (int k = 0; k < AttKinds; ++k)
        if (Shown.AttCount[k] > 0)
            out << Row(QStringLiteral("ATT ") + Code(true, k),
                       cells.Mean(run.AttSum[k], run.AttSquares[k], t.Battles, exact ? &exact->AttLeft[k] : nullptr));
    for (int k = 0; k < DefKinds; ++k)
        if (Shown.DefCount[k] > 0)
            out << Row(QStringLiteral("DEF ") + Code(false, k),
                       cells.Mean(run.DefSum[k], run.DefSquares[k], t.Battles, exact ? &exact->DefLeft[k] : nullptr));

    // The most probable end states, with the run's share of each.
    const long double battles = std::max<int32_t>(t.Battles, 1);
    auto share = [&](long double fraction) { return cells.Chance(fraction * 100, cells.Fixed(fraction * 100, -1)); };
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
    // A text file's last line ends with a newline, also when pasted.
    return out.join(u'\n') + u'\n';
}

void TResultPages::WriteReport()
{
    ReportDirty = false;
    ++ReportWrites;
    QPlainTextEdit& view = *Form.Report;
    const int down = view.verticalScrollBar()->value();
    const int across = view.horizontalScrollBar()->value();
    view.setPlainText(Report());
    view.setToolTip(StatusReason());
    // A reader keeps their place during a run.
    view.verticalScrollBar()->setValue(down);
    view.horizontalScrollBar()->setValue(across);
}

void TResultPages::CopyReport()
{
    if (ReportDirty) WriteReport();
    QGuiApplication::clipboard()->setText(Form.Report->toPlainText());
}
