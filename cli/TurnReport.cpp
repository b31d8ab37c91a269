#include "cli/TurnReport.h"

#include <iomanip>
#include <ostream>

#include <nlohmann/json.hpp>

#include "cli/ExitCodes.h"
#include "engine/advice/TurnOdds.h"
#include "format/Format.h"
#include "format/TurnTexts.h"
#include "model/BattleFile.h"
#include "model/TurnFile.h"

namespace {

using TJson = nlohmann::ordered_json;

const char* MethodName(const TBattleOddsOfTurn& b) { return b.Method == TTurnMethod::Run ? "run" : "exact"; }

void WriteJsonReport(std::ostream& out, const std::vector<TTurnBattle>& battles, const TTurnOdds& turn)
{
    TJson list = TJson::array();
    for (size_t i = 0; i < battles.size(); ++i) {
        const TBattleOddsOfTurn& b = turn.Battles[i];
        list.push_back({{"name", battles[i].Name},
                        {"goal", TurnGoalName(b)},
                        {"probability", b.Probability},
                        {"swing_mean", b.SwingMean},
                        {"method", MethodName(b)}});
    }
    TJson distribution = TJson::array();
    for (const TExactSwing& s : turn.Swing) distribution.push_back({s.Swing, s.Probability});
    const TJson j = {{"turn",
                      {{"battles", std::move(list)},
                       {"all", turn.All},
                       {"exactly", turn.Exactly},
                       {"at_least", turn.AtLeast},
                       {"att_ipc_loss", turn.AttIPCLoss},
                       {"def_ipc_loss", turn.DefIPCLoss},
                       {"swing",
                        {{"mean", turn.SwingMean},
                         {"sd", turn.SwingSd},
                         {"q05", turn.Q05},
                         {"q50", turn.Q50},
                         {"q95", turn.Q95},
                         {"distribution", std::move(distribution)},
                         {"pruned", turn.Pruned}}}}}};
    out << j.dump(2, ' ', false, TJson::error_handler_t::replace) << '\n';
}

void WriteTextReport(std::ostream& out, const std::vector<TTurnBattle>& battles, const TTurnOdds& turn)
{
    out << "Turn of " << battles.size() << (battles.size() == 1 ? " battle" : " battles") << "\n\n";
    for (size_t i = 0; i < battles.size(); ++i) {
        const TBattleOddsOfTurn& b = turn.Battles[i];
        out << std::setw(2) << i + 1 << ". " << OneLine(battles[i].Name.empty() ? "(no name)" : battles[i].Name) << '\n'
            << "    " << ForcesText(battles[i].Setup) << '\n'
            << "    " << TurnGoalName(b) << ": " << TurnPercent(b.Probability) << ", expected swing "
            << SignedSwing(b.SwingMean) << " IPC (" << MethodName(b) << ")\n";
    }
    out << "\nAll goals met: " << TurnPercent(turn.All) << '\n';
    out << std::left << std::setw(12) << "Goals met" << std::right << std::setw(9) << "exactly" << "  "
        << std::setw(9) << "at least" << '\n';
    for (size_t k = 0; k < turn.Exactly.size(); ++k)
        out << "  " << std::setw(2) << k << "        " << std::setw(9) << TurnPercent(turn.Exactly[k]) << "  "
            << std::setw(9) << TurnPercent(turn.AtLeast[k]) << '\n';
    out << "\nExpected IPC loss: attacker " << FormatGeneral(turn.AttIPCLoss, 3) << ", defender "
        << FormatGeneral(turn.DefIPCLoss, 3) << '\n'
        << ExpectedSwingWords(turn) << '\n'
        << "Swing quantiles: 5% " << SignedSwing(turn.Q05) << ", 50% " << SignedSwing(turn.Q50) << ", 95% "
        << SignedSwing(turn.Q95) << '\n'
        << SwingRangeWords(turn) << '\n';
    if (turn.Pruned > 0) out << "Pruned: " << FormatGeneral(turn.Pruned, 3) << '\n';
}

}  // namespace

int RunTurn(const std::string& path, bool json, bool injectFault, std::ostream& out, std::ostream& err)
{
    const TTurnFileRead read = ReadTurnFile(path);
    if (!read.Battles) {
        err << "varnholt-odds: --turn: " << OneLine(path + ": " + read.Error) << '\n';
        return OddsToolBadArgument;
    }
    std::vector<TBattleSetupRec> setups;
    for (const TTurnBattle& b : *read.Battles) setups.push_back(b.Setup);
    TExactLimits limits;
    limits.InjectFault = injectFault;
    const TTurnOdds turn = ComputeTurnOdds(setups, nullptr, limits);
    if (turn.Status != TTurnStatus::Done) {
        err << "varnholt-odds: exact odds failed: "
            << OneLine("battles[" + std::to_string(turn.FailedBattle) + "] (" +
                       (*read.Battles)[turn.FailedBattle].Name + "): " + turn.Reason)
            << '\n';
        return OddsToolFailed;
    }
    if (json) WriteJsonReport(out, *read.Battles, turn);
    else WriteTextReport(out, *read.Battles, turn);
    return OddsToolOk;
}
