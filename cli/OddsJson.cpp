#include "cli/OddsJson.h"

#include <ostream>
#include <vector>

// Doubles are written in the shortest form that reads back to the same value.
TJson ExactJson(const TExactOdds& e)
{
    return {{"AttWins", e.AttWins},
            {"DefWins", e.DefWins},
            {"BothDes", e.BothDes},
            {"BothRemain", e.BothRemain},
            {"AttWithdraws", e.AttWithdraws},
            {"AvgAttIPCLoss", e.AvgAttIPCLoss},
            {"AvgDefIPCLoss", e.AvgDefIPCLoss},
            {"AvgRounds", e.AvgRounds},
            {"Taken", e.Taken},
            {"AttLeft", std::vector<double>(e.AttLeft, e.AttLeft + AttKinds)},
            {"DefLeft", std::vector<double>(e.DefLeft, e.DefLeft + DefKinds)},
            {"Unresolved", e.Unresolved},
            {"Pruned", e.Pruned},
            {"OtherOutcomes", e.OtherOutcomes}};
}

TJson AdjustedJson(const std::vector<TAdjustment>& adjusted)
{
    TJson list = TJson::array();
    for (const TAdjustment& a : adjusted) {
        auto value = [&](int32_t v) { return a.Switch ? TJson(v != 0) : TJson(v); };
        list.push_back({{"Member", a.Member}, {"From", value(a.From)}, {"To", value(a.To)}, {"Why", a.Why}});
    }
    return list;
}

TJson PanelJson(const TPanelTexts& panel)
{
    TJson j = TJson::object();
    for (int r = 0; r < PanelRows; ++r) j[PanelRowLabels[r]] = panel.Row[r];
    return j;
}

TJson OutcomeJson(const TBattleResultsRec& o)
{
    return TJson{{"Victor", VictorText(o.Victor)},
                 {"AttCount", std::vector<int32_t>(o.AttCount, o.AttCount + AttKinds)},
                 {"DefCount", std::vector<int32_t>(o.DefCount, o.DefCount + DefKinds)}};
}

void WriteJson(std::ostream& out, const RunTotals& t, const TPanelTexts& panel, const TOutcomeList& outcomes,
               const std::vector<TAdjustment>& adjusted)
{
    TJson j;
    j["Adjusted"] = AdjustedJson(adjusted);
    j["totals"] = {{"AttWins", t.AttWins},         {"DefWins", t.DefWins},       {"BothDes", t.BothDes},
                   {"BothRemain", t.BothRemain},   {"AttWithdraws", t.AttWithdraws}, {"TotalRounds", t.TotalRounds},
                   {"AttIPCLoss", t.AttIPCLoss},   {"DefIPCLoss", t.DefIPCLoss}, {"Battles", t.Battles}};
    j["panel"] = PanelJson(panel);
    j["outcomes"] = TJson::array();
    for (size_t i = 0; i < outcomes.Size(); ++i) {
        TJson o = OutcomeJson(outcomes[i]);
        o["Instances"] = outcomes[i].Instances;
        j["outcomes"].push_back(std::move(o));
    }
    out << j.dump(2) << '\n';
}

void WriteExactJson(std::ostream& out, const TExactOdds& e, const TPanelTexts& panel,
                    const std::vector<TAdjustment>& adjusted)
{
    TJson j;
    j["Adjusted"] = AdjustedJson(adjusted);
    j["exact"] = ExactJson(e);
    j["panel"] = PanelJson(panel);
    j["outcomes"] = TJson::array();
    for (const TExactOutcome& o : e.Outcomes) {
        TJson item = OutcomeJson(o.State);
        item["Probability"] = o.Probability;
        j["outcomes"].push_back(std::move(item));
    }
    out << j.dump(2) << '\n';
}
