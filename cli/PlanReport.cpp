#include "cli/PlanReport.h"

#include <cmath>
#include <iomanip>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/ExitCodes.h"
#include "format/Format.h"
#include "engine/advice/Planner.h"

namespace {

using TJson = nlohmann::ordered_json;

std::string Percent(double p) { return FormatGeneral(p * 100, 3) + "%"; }
std::string Swing(double x) { return FormatGeneral(x, 3); }

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
        TJson item{{"kind", UnitInfo(line.Kind).Code}, {"count", nullptr}, {"ipc", nullptr}, {"probability", nullptr}};
        if (line.Reached) {
            item["count"] = line.Count;
            item["ipc"] = line.IPC;
            item["probability"] = line.Probability;
        }
        bring.push_back(std::move(item));
    }
    TJson best = OrderJson(attacker, side.BestOrder);
    best["exhaustive"] = side.Exhaustive;
    return TJson{{"goal", attacker ? AttackerGoalName(plan.Land) : DefenderGoalName()},
                 {"probability", side.Probability},
                 {"bring", std::move(bring)},
                 {"current_order", OrderJson(attacker, side.CurrentOrder)},
                 {"best_order", std::move(best)}};
}

void WriteJson(std::ostream& out, const TBattlePlan& plan, double targetPercent)
{
    TJson retreat = TJson::array();
    for (const TRetreatLine& line : plan.Retreat)
        retreat.push_back(
            {{"round", line.Round}, {"still_on", line.StillOn}, {"probability", line.Probability}, {"swing", line.Swing}});
    TJson j;
    // A whole percentage is written as one: "target": 90.
    const TJson target = targetPercent == std::floor(targetPercent) ? TJson(int(targetPercent)) : TJson(targetPercent);
    j["plan"] = {{"target", target},
                 {"land", plan.Land},
                 {"attacker", SideJson(true, plan)},
                 {"defender", SideJson(false, plan)},
                 {"retreat", std::move(retreat)},
                 {"best_retreat_round", plan.BestRetreatRound ? TJson(plan.BestRetreatRound) : TJson(nullptr)}};
    out << j.dump(2) << '\n';
}

// ---- Report -----------------------------------------------------------------------

void WriteSide(std::ostream& out, bool attacker, const TBattlePlan& plan)
{
    const TSidePlan& side = attacker ? plan.Attacker : plan.Defender;
    out << '\n'
        << (attacker ? "Attacker: " : "Defender: ") << (attacker ? AttackerGoalName(plan.Land) : DefenderGoalName())
        << ", now " << Percent(side.Probability) << '\n';
    out << "  What to bring     Extra       IPC   Reached\n";
    for (const TBringLine& line : side.Bring) {
        out << "  " << std::left << std::setw(14) << UnitInfo(line.Kind).Code << std::right;
        if (line.Reached)
            out << std::setw(8) << line.Count << std::setw(10) << line.IPC << std::setw(10) << Percent(line.Probability);
        else
            out << "   not reachable";
        out << '\n';
    }
    auto order = [&](const char* label, const TOrderLine& line) {
        out << "  " << std::left << std::setw(16) << label << std::setw(38) << OrderText(attacker, line.Ranks)
            << std::right << std::setw(8) << Percent(line.Probability) << "   swing " << Swing(line.Swing) << '\n';
    };
    out << "  Which units to lose first\n";
    order("Current order", side.CurrentOrder);
    order(side.Exhaustive ? "Best order" : "Best found", side.BestOrder);
}

void WriteReport(std::ostream& out, const TBattlePlan& plan, double targetPercent)
{
    out << "Battle plan   Target: " << FormatGeneral(targetPercent, 3) << "%   "
        << (plan.Land ? "Land battle" : "Not a land battle") << '\n';
    WriteSide(out, true, plan);
    WriteSide(out, false, plan);

    out << "\nWhen to retreat (attacker)\n";
    out << "  Pull back after   Still on      Goal     Swing\n";
    for (const TRetreatLine& line : plan.Retreat)
        out << "  round " << std::left << std::setw(10) << line.Round << std::right << std::setw(9)
            << Percent(line.StillOn) << std::setw(10) << Percent(line.Probability) << std::setw(10)
            << Swing(line.Swing) << (line.Round == plan.BestRetreatRound ? "   best" : "") << '\n';
    out << "  " << std::left << std::setw(25) << "fight to the end" << std::right << std::setw(10)
        << Percent(plan.Attacker.Probability) << std::setw(10) << Swing(plan.EndSwing)
        << (plan.BestRetreatRound == 0 ? "   best" : "") << '\n';
}

}  // namespace

int RunPlan(const TBattleSetupRec& setup, double targetPercent, bool json, std::ostream& out, std::ostream& err)
{
    TPlanOptions options;
    options.Target = targetPercent / 100;
    const TBattlePlan plan = PlanBattle(setup, options);
    if (plan.Status != TPlanStatus::Done) {
        err << "varnholt-odds: too large to plan: " << plan.Reason << '\n';
        return OddsToolTooLarge;
    }
    if (json) WriteJson(out, plan, targetPercent);
    else WriteReport(out, plan, targetPercent);
    return OddsToolOk;
}
