#include "cli/Batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>


#include "cli/OddsJson.h"
#include "cli/ExitCodes.h"
#include "engine/battle/Driver.h"
#include "engine/exact/Exact.h"
#include "format/Panel.h"
#include "engine/parallel/Parallel.h"
#include "model/BattleFile.h"
#include "model/Normalise.h"

namespace {

struct TLine {
    size_t Number;  // 1-based, blank lines counted
    std::string Text;
    bool TooLong = false;  // over MaxBattleFileBytes: Text holds nothing of it
};

constexpr const char* FailedPrefix = "exact odds failed a self-check: ";

// A run that keeps only its totals.
class TTotalsHost final : public TRunHost {
public:
    TTotalsHost(const TBattleSetupRec& setup, int battles, uint32_t seed)
        : Setup_(setup), Battles_(battles), Seed_(seed) {}
    RunTotals Totals;

    int RunSize() override { return Battles_; }
    uint32_t RunSeed() override { return Seed_; }
    void ReadSetup(TBattleSetupRec& setup) override { setup = Setup_; }
    void RunStarting() override { Totals = RunTotals{}; }
    void Publish(const RunTotals& totals, const TBattleResultsRec*, int, bool) override { Totals = totals; }

private:
    const TBattleSetupRec Setup_;
    const int Battles_;
    const uint32_t Seed_;
};

constexpr const char* FigureNames[PanelRows] = {"AttWins",       "DefWins",       "BothDes",  "BothRemain",
                                                "AttWithdraws",  "AvgAttIPCLoss", "AvgDefIPCLoss", "AvgRounds"};
constexpr int Shares = 5;  // the first five figures are shares of the battles

// A run's figures in the units of the exact odds (shares from 0 to 1), each
// with its 95 % margin (null where one battle is too few to estimate it).
TJson RunJson(const RunTotals& t, uint32_t seed)
{
    const int64_t counts[PanelRows] = {t.AttWins,    t.DefWins,    t.BothDes,    t.BothRemain,
                                       t.AttWithdraws, t.AttIPCLoss, t.DefIPCLoss, t.TotalRounds};
    const TPanelFigures margins = PanelMargins(t);
    TJson j;
    for (int r = 0; r < PanelRows; ++r)
        j[FigureNames[r]] = t.Battles > 0 ? static_cast<double>(counts[r]) / t.Battles : 0.0;
    for (int r = 0; r < PanelRows; ++r) {
        const long double m = margins.Value[r];
        j[std::string(FigureNames[r]) + "Margin"] =
            m < 0 ? TJson() : TJson(static_cast<double>(r < Shares ? m / 100 : m));
    }
    j["Battles"] = t.Battles;
    j["Seed"] = seed;
    return j;
}

TJson LineJson(const TLine& line, const TBatchRequest& request)
{
    TJson j = {{"line", line.Number}};
    if (line.TooLong) {
        j["error"] = "too large to be a battle file";
        return j;
    }
    const TBattleFileRead read = ParseBattleFile(line.Text);
    if (!read.Setup) {
        j["error"] = read.Error;
        return j;
    }
    const TNormalisedBattle battle = NormaliseBattle(*read.Setup);
    TExactLimits limits;
    const TExactOdds exact = ComputeExactOdds(battle.Setup, nullptr, limits);
    // A failed calculation is a fault to report, not a battle to measure another way.
    if (exact.Status == TExactStatus::Failed) {
        j["error"] = OneLine(FailedPrefix + exact.Reason);
        return j;
    }
    if (exact.Status == TExactStatus::Done) {
        j["method"] = "exact";
        j.update(ExactJson(exact));
        j["Adjusted"] = AdjustedJson(battle.Adjustments);
        return j;
    }
    // Too large: a run measures what the calculation could not.
    TTotalsHost host(battle.Setup, request.Battles, request.Seed);
    TRunControl control;
    RunBattles(control, host);
    j["method"] = "run";
    j["ExactRefused"] = exact.Reason;
    j.update(RunJson(host.Totals, request.Seed));
    j["Adjusted"] = AdjustedJson(battle.Adjustments);
    return j;
}

// ---- CSV ------------------------------------------------------------------------

// A line's cells by column name; an array takes one column per element, "name.i".
std::vector<std::pair<std::string, TJson>> Cells(const TJson& line)
{
    std::vector<std::pair<std::string, TJson>> cells;
    for (const auto& [key, value] : line.items()) {
        if (key == "Adjusted" && value.is_array()) {  // one cell: the adjustments' texts
            std::string text;
            for (const TJson& a : value)
                text += (text.empty() ? "" : "; ") + a["Member"].get<std::string>() + " from " + a["From"].dump() +
                        " to " + a["To"].dump() + ": " + a["Why"].get<std::string>();
            cells.emplace_back(key, text);
            continue;
        }
        if (!value.is_array()) {
            cells.emplace_back(key, value);
            continue;
        }
        for (size_t i = 0; i < value.size(); ++i) cells.emplace_back(key + "." + std::to_string(i), value[i]);
    }
    return cells;
}

// Every column an exact line, a run line or an error line can have.
std::vector<std::string> Columns()
{
    TJson exact = {{"line", 0}, {"method", ""}};
    exact.update(ExactJson(TExactOdds{}));
    exact["Adjusted"] = TJson::array();
    TJson run = {{"line", 0}, {"method", ""}, {"ExactRefused", ""}};
    run.update(RunJson(RunTotals{}, 0));
    run["Adjusted"] = TJson::array();
    std::vector<std::string> columns;
    for (const TJson* line : {&exact, &run})
        for (const auto& cell : Cells(*line))
            if (std::find(columns.begin(), columns.end(), cell.first) == columns.end())
                columns.push_back(cell.first);
    columns.push_back("error");
    return columns;
}

std::string CsvText(const TJson& value)
{
    if (value.is_null()) return {};
    if (!value.is_string()) return value.dump();
    const std::string text = value.get<std::string>();
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

void WriteCsv(std::ostream& out, const std::vector<TJson>& lines)
{
    const std::vector<std::string> columns = Columns();
    for (size_t c = 0; c < columns.size(); ++c) out << (c ? "," : "") << columns[c];
    out << '\n';
    for (const TJson& line : lines) {
        const auto cells = Cells(line);
        for (size_t c = 0; c < columns.size(); ++c) {
            const auto cell = std::find_if(cells.begin(), cells.end(), [&](const auto& x) { return x.first == columns[c]; });
            out << (c ? "," : "") << (cell == cells.end() ? std::string() : CsvText(cell->second));
        }
        out << '\n';
    }
}

// ---- Input and progress -----------------------------------------------------------

// The battle lines, each cut off after MaxBattleFileBytes (the rest of a
// longer line is skipped unread, and the line is marked too long).
bool ReadLines(std::istream& in, std::vector<TLine>& lines)
{
    std::streambuf* const buffer = in.rdbuf();
    if (!buffer) return false;
    TLine line{1, {}};
    auto finish = [&] {
        if (line.TooLong || line.Text.find_first_not_of(" \t\r") != std::string::npos) lines.push_back(std::move(line));
        line = TLine{line.Number + 1, {}};
    };
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) break;
        if (c == '\n') {
            finish();
            continue;
        }
        if (line.TooLong) continue;
        line.Text += static_cast<char>(c);
        if (line.Text.size() > MaxBattleFileBytes) {
            line.TooLong = true;
            line.Text = std::string();
        }
    }
    if (line.TooLong || !line.Text.empty()) finish();
    return !in.bad();
}

class TProgress {
public:
    TProgress(std::ostream& err, bool shown, size_t total) : Err(err), Shown(shown), Total(total) {}
    ~TProgress()
    {
        if (Shown && Written) Err << '\r' << std::string(Width, ' ') << '\r' << std::flush;
    }
    void LineDone()
    {
        const size_t done = ++Done;
        if (!Shown) return;
        const std::lock_guard<std::mutex> lock(Mutex);
        const auto now = std::chrono::steady_clock::now();
        if (Written && done < Total && now - Last < std::chrono::milliseconds(100)) return;
        Last = now;
        Written = true;
        const std::string text = "varnholt-odds: " + std::to_string(done) + " of " + std::to_string(Total) + " battles";
        Width = std::max(Width, text.size());
        Err << '\r' << text << std::flush;
    }

private:
    std::ostream& Err;
    const bool Shown;
    const size_t Total;
    std::atomic<size_t> Done{0};
    std::mutex Mutex;
    std::chrono::steady_clock::time_point Last;
    bool Written = false;
    size_t Width = 0;
};

}  // namespace

bool BatchProgressWanted(const std::ostream& err) { return &err == &std::cerr && ::isatty(STDERR_FILENO); }

int RunBatch(const TBatchRequest& request, std::ostream& out, std::ostream& err)
{
    std::vector<TLine> lines;
    bool readable = false;
    std::error_code ec;
    if (request.File == "-") {
        readable = ReadLines(std::cin, lines);
    } else if (!std::filesystem::is_directory(request.File, ec)) {
        std::ifstream in(request.File, std::ios::binary);
        readable = in.is_open() && ReadLines(in, lines);
    }
    if (!readable) {
        err << "varnholt-odds: --batch: " << OneLine(request.File) << ": cannot be read\n";
        return OddsToolBadArgument;
    }

    std::vector<TJson> results(lines.size());
    {
        TProgress progress(err, request.Progress, lines.size());
        ForEachIndex(lines.size(), true, [&](size_t i) {
            results[i] = LineJson(lines[i], request);
            progress.LineDone();
        });
    }

    if (request.Csv) WriteCsv(out, results);
    else  // every text in a line is valid UTF-8 already; a slip must not cost the other lines
        for (const TJson& line : results) out << line.dump(-1, ' ', false, TJson::error_handler_t::replace) << '\n';
    auto has = [&](auto test) { return std::any_of(results.begin(), results.end(), test); };
    if (has([](const TJson& line) {
            const auto e = line.find("error");
            return e != line.end() && e->get<std::string>().rfind(FailedPrefix, 0) == 0;
        }))
        return OddsToolFailed;
    return has([](const TJson& line) { return line.contains("error"); }) ? OddsToolBadArgument : OddsToolOk;
}
