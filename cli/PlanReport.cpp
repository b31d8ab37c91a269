#include "cli/PlanReport.h"

#include <cmath>
#include <iomanip>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/ExitCodes.h"
#include "engine/advice/Planner.h"
#include "format/Chance.h"

namespace {

using TJson = nlohmann::ordered_json;

// ---- JSON codes -------------------------------------------------------------------

const char* BringCode(TBringResult result)
{
    switch (result) {
    case TBringResult::Reached: return "reached";
    case TBringResult::NotWithin: return "not_within";
    case TBringResult::TooLarge: return "too_large";
    case TBringResult::OutOfTime: return "out_of_time";
    }
    return "";
}

const char* PartCode(TPartEnd end)
{
    switch (end) {
    case TPartEnd::Complete: return "complete";
    case TPartEnd::TooLarge: return "too_large";
    case TPartEnd::OutOfTime: return "out_of_time";
    }
    return "";
}

// ---- JSON -------------------------------------------------------------------------

TJson OrderJson(bool attacker, const TOrderLine& line)
{
    return TJson{{"order", OrderText(attacker, line.Ranks)}, {"probability", line.Probability}, {"swing", line.Swing}};
}

TJson SideJson(bool attacker, const TBattlePlan& plan)
{
    const TSidePlan& side = attacker ? plan.Attacker : plan.Defender;
    TJson bring = TJson::array();
    for (const TBringLine& line : side.Bring) {
        TJson item{{"kind", UnitInfo(line.Kind).Code}, {"result", BringCode(line.Result)},
                   {"count", nullptr}, {"ipc", nullptr}, {"probability", nullptr}};
        if (line.Reached()) {
            item["count"] = line.Count;
            item["ipc"] = line.IPC;
            item["probability"] = line.Probability;
        }
        if (line.Result == TBringResult::NotWithin) item["tried_up_to"] = line.Count;
        bring.push_back(std::move(item));
    }
    const bool complete = side.OrderEnd == TPartEnd::Complete;
    TJson best = complete ? OrderJson(attacker, side.BestOrder) : TJson(nullptr);
    if (complete) best["exhaustive"] = side.Exhaustive;
    return TJson{{"goal", attacker ? AttackerGoalName(plan.Land) : DefenderGoalName()},
                 {"probability", side.Probability},
                 {"target_met", side.TargetMet},
                 {"bring", std::move(bring)},
                 {"current_order", OrderJson(attacker, side.CurrentOrder)},
                 {"order_result", PartCode(side.OrderEnd)},
                 {"best_order", std::move(best)}};
}

void WriteJson(std::ostream& out, const TBattlePlan& plan, double targetPercent)
{
    TJson retreat = TJson::array();
    for (const TRetreatLine& line : plan.Retreat)
        retreat.push_back(
            {{"round", line.Round}, {"still_on", line.StillOn}, {"probability", line.Probability}, {"swing", line.Swing}});
    const bool complete = plan.RetreatEnd == TPartEnd::Complete;
    // A row of a complete table: a round, or null for fighting to the end.
    auto mark = [&](int32_t round) { return complete && round ? TJson(round) : TJson(nullptr); };
    TJson j;
    // A whole percentage is written as one: "target": 90.
    const TJson target = targetPercent == std::floor(targetPercent) ? TJson(int(targetPercent)) : TJson(targetPercent);
    j["plan"] = {{"target", target},
                 {"land", plan.Land},
                 {"attacker", SideJson(true, plan)},
                 {"defender", SideJson(false, plan)},
                 {"retreat", std::move(retreat)},
                 {"retreat_result", PartCode(plan.RetreatEnd)},
                 {"highest_chance_round", mark(plan.HighestChanceRound)},
                 {"least_loss_round", mark(plan.LeastLossRound)}};
    out << j.dump(2) << '\n';
}

// ---- Report -----------------------------------------------------------------------

void WriteSide(std::ostream& out, bool attacker, const TBattlePlan& plan)
{
    const TSidePlan& side = attacker ? plan.Attacker : plan.Defender;
    out << '\n'
        << (attacker ? "Attacker: " : "Defender: ") << (attacker ? AttackerGoalName(plan.Land) : DefenderGoalName())
        << ", now " << ChanceText(side.Probability) << '\n';
    out << "  What to bring\n";
    if (side.TargetMet) out << "  Target already met\n";
    for (const TBringLine& line : side.Bring) {
        out << "  " << std::left << std::setw(6) << UnitInfo(line.Kind).Code;
        if (line.Reached())
            out << std::setw(24) << BringText(line) << std::right << std::setw(6) << line.IPC << " IPC" << std::setw(12)
                << ChanceText(line.Probability);
        else
            out << BringText(line) << std::right;
        out << '\n';
    }
    auto order = [&](const char* label, const TOrderLine& line) {
        out << "  " << std::left << std::setw(16) << label << std::setw(38) << OrderText(attacker, line.Ranks)
            << std::right << std::setw(10) << ChanceText(line.Probability) << "   swing " << IpcText(line.Swing) << '\n';
    };
    out << "  Which units to lose first\n";
    order("Current order", side.CurrentOrder);
    if (side.OrderEnd == TPartEnd::Complete) order(side.Exhaustive ? "Best order" : "Best found", side.BestOrder);
    else out << "  " << std::left << std::setw(16) << "Best order" << PartEndText(side.OrderEnd) << std::right << '\n';
}

// Which marks a row of a complete retreat table carries.
std::string Marks(const TBattlePlan& plan, int32_t round)
{
    if (plan.RetreatEnd != TPartEnd::Complete) return {};
    std::string marks;
    if (plan.HighestChanceRound == round) marks = HighestChanceMark;
    if (plan.LeastLossRound == round) marks += (marks.empty() ? "" : ", ") + std::string(LeastLossMark);
    return marks.empty() ? marks : "   " + marks;
}

void WriteReport(std::ostream& out, const TBattlePlan& plan, double targetPercent)
{
    out << "Battle plan   Target: " << ChanceText(targetPercent / 100) << "   "
        << (plan.Land ? "Land battle" : "Not a land battle") << '\n';
    WriteSide(out, true, plan);
    WriteSide(out, false, plan);

    out << "\nWhen to retreat (attacker)\n";
    out << "  Pull back after    Still on        Goal     Swing\n";
    for (const TRetreatLine& line : plan.Retreat)
        out << "  round " << std::left << std::setw(10) << line.Round << std::right << std::setw(11)
            << ChanceText(line.StillOn) << std::setw(12) << ChanceText(line.Probability) << std::setw(10)
            << IpcText(line.Swing) << Marks(plan, line.Round) << '\n';
    if (plan.RetreatEnd != TPartEnd::Complete) out << "  " << PartEndText(plan.RetreatEnd) << '\n';
    out << "  " << std::left << std::setw(28) << "fight to the end" << std::right << std::setw(12)
        << ChanceText(plan.Attacker.Probability) << std::setw(10) << IpcText(plan.EndSwing) << Marks(plan, 0) << '\n';
}

}  // namespace

int RunPlan(const TBattleSetupRec& setup, double targetPercent, double seconds, bool json, std::ostream& out,
            std::ostream& err)
{
    TPlanOptions options;
    options.Target = targetPercent / 100;
    options.Seconds = seconds;
    const TBattlePlan plan = PlanBattle(setup, options);
    if (plan.Status == TPlanStatus::Failed) {
        err << "varnholt-odds: exact odds failed: " << plan.Reason << '\n';
        return OddsToolFailed;
    }
    if (plan.Status != TPlanStatus::Done) {
        err << "varnholt-odds: too large to plan: " << plan.Reason << '\n';
        return OddsToolTooLarge;
    }
    if (json) WriteJson(out, plan, targetPercent);
    else WriteReport(out, plan, targetPercent);
    return OddsToolOk;
}
