#include "cli/Reports.h"

#include <algorithm>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr size_t ExactReportOutcomes = 20;

// The nine unit cells of an outcome row, in the defender's kind order: the
// winner's survivors; both sides as "att/def" when both remain.
void UnitCells(const TBattleResultsRec& o, std::string (&cells)[DefKinds])
{
    for (int d = 0; d < DefKinds; ++d) {
        int a = -1;  // attacker slot of the same kind, -1 for JFTR
        for (int s = 0; s < AttKinds; ++s)
            if (AttKindOrder[s] == DefKindOrder[d]) a = s;
        const int att = a >= 0 ? o.AttCount[a] : 0;
        const int def = o.DefCount[d];
        switch (o.Victor) {
        case TVictor::ATT: cells[d] = std::to_string(att); break;
        case TVictor::DEF: cells[d] = std::to_string(def); break;
        case TVictor::With:
        case TVictor::RndLmt: cells[d] = (a >= 0 ? std::to_string(att) : "0") + "/" + std::to_string(def); break;
        default: cells[d].assign(1, '0'); break;
        }
    }
}

void WriteAverageResults(std::ostream& out, const TPanelTexts& panel)
{
    out << "\nAverage Results\n";
    for (int r = 0; r < PanelRows; ++r)
        out << "  " << std::left << std::setw(18) << PanelRowLabels[r] << std::right << std::setw(8)
            << panel.Row[r] << '\n';
}

// The outcome table: a header, then a row per outcome with its last columns.
template <class Outcome, class Tail>
void WriteOutcomeTable(std::ostream& out, const std::vector<Outcome>& rows, const char* tailHeader, Tail&& tail)
{
    out << std::left << std::setw(8) << "Victor" << std::right;
    for (TUnitKind k : DefKindOrder) out << std::setw(8) << UnitInfo(k).Code;
    out << tailHeader << '\n';
    std::string cells[DefKinds];
    for (const Outcome& o : rows) {
        const TBattleResultsRec& state = tail.State(o);
        UnitCells(state, cells);
        out << std::left << std::setw(8) << VictorText(state.Victor) << std::right;
        for (const std::string& c : cells) out << std::setw(8) << c;
        tail.Write(out, o);
        out << '\n';
    }
}

}  // namespace

void WriteReport(std::ostream& out, const TBattleSetupRec& setup, uint32_t seed, const RunTotals& t,
                 const TPanelTexts& panel, const TOutcomeList& outcomes)
{
    out << "Battles: " << t.Battles << "   Seed: " << seed << '\n';
    if (setup.Empty()) out << "No unit on either side: no battle fought.\n";
    WriteAverageResults(out, panel);

    out << "\nOutcomes: " << outcomes.Size() << " distinct, by frequency\n";
    if (outcomes.Size() == 0) return;
    std::vector<TBattleResultsRec> rows(outcomes.Entries());
    std::stable_sort(rows.begin(), rows.end(),
                     [](const TBattleResultsRec& x, const TBattleResultsRec& y) { return x.Instances > y.Instances; });
    struct {
        int64_t Battles;
        const TBattleResultsRec& State(const TBattleResultsRec& o) const { return o; }
        void Write(std::ostream& out, const TBattleResultsRec& o) const
        {
            out << std::setw(6) << ShareText(o.Instances, Battles) << std::setw(11) << o.Instances;
        }
    } tail{t.Battles};
    std::ostringstream header;
    header << std::setw(6) << "%" << std::setw(11) << "Instances";
    WriteOutcomeTable(out, rows, header.str().c_str(), tail);
}

void WriteExactReport(std::ostream& out, const TBattleSetupRec& setup, const TExactOdds& e, const TPanelTexts& panel)
{
    out << "Exact odds   Unresolved: " << FormatGeneral(e.Unresolved, 3)
        << "   Pruned: " << FormatGeneral(e.Pruned, 3) << '\n';
    if (setup.Empty()) out << "No unit on either side: no battle.\n";
    WriteAverageResults(out, panel);

    const size_t shown = std::min(e.Outcomes.size(), ExactReportOutcomes);
    out << "\nOutcomes: " << e.Outcomes.size() << " distinct, the " << shown << " most probable\n";
    if (shown == 0) return;
    const std::vector<TExactOutcome> rows(e.Outcomes.begin(), e.Outcomes.begin() + static_cast<std::ptrdiff_t>(shown));
    struct {
        const TBattleResultsRec& State(const TExactOutcome& o) const { return o.State; }
        void Write(std::ostream& out, const TExactOutcome& o) const
        {
            out << std::setw(14) << FormatGeneral(o.Probability * 100, 6) + "%";
        }
    } tail;
    std::ostringstream header;
    header << std::setw(14) << "Probability";
    WriteOutcomeTable(out, rows, header.str().c_str(), tail);
    if (e.OtherOutcomes > 0)
        out << "Other end states (beyond the " << e.Outcomes.size()
            << " kept): " << FormatGeneral(e.OtherOutcomes * 100, 6) << "%\n";
}
