#include "cli/OddsTool.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>
#include <optional>
#include <tbb/global_control.h>

#include "cli/PlanReport.h"

#include "cli/Batch.h"
#include "cli/BattleFileArgs.h"
#include "cli/OddsJson.h"
#include "engine/battle/Driver.h"
#include "engine/exact/Exact.h"
#include "format/Format.h"
#include "engine/battle/Outcomes.h"
#include "model/BattleFile.h"
#include "model/BattleSetup.h"

namespace {

constexpr int MaxBattles = 100000;

const char* const Usage =
    "Usage: varnholt-odds [options]\n"
    "Fights one battle many times and prints the odds.\n"
    "\n"
    "Forces (counts 0 to 999 by kind, kinds case-insensitive):\n"
    "  --att \"INF=3 ARM=1 FTR=2\"   attacker: INF ARM FTR BMR BB AC TRN SUB\n"
    "  --def \"INF=4 JFTR=1\"        defender: INF ARM FTR JFTR BMR BB AC TRN SUB\n"
    "Loss order, first lost first, every kind of the side exactly once:\n"
    "  --att-order \"INF ARM TRN SUB AC FTR BMR BB\"        (default)\n"
    "  --def-order \"INF ARM TRN SUB BMR FTR JFTR AC BB\"   (default)\n"
    "Variants and options:\n"
    "  --heavy-bombers  --super-subs  --two-hit-bb  --aa-gun\n"
    "  --take-with-ground  --save-air  --att-tech  --def-tech\n"
    "  --att-subs-retreat-vs-air  --def-subs-retreat-vs-air\n"
    "  --def-subs-retreat-after-first  --low-luck\n"
    "  --withdraw A,D,L   withdraw when attacker units <= A and defender units >= D,\n"
    "                     or defender units <= L (each 0 to 999)\n"
    "  --rounds R         stop every battle after R rounds (1 to 999; default: all rounds)\n"
    "Run:\n"
    "  --battles N        battles to fight (0 to 100000, default 100000)\n"
    "  --seed S           start state of the dice (0 to 4294967295; default: the clock)\n"
    "  --exact            print the exact odds, worked out state by state, instead of\n"
    "                     fighting a run (not with --battles or --seed)\n"
    "  --plan             plan the battle instead of fighting a run: what each side\n"
    "                     must bring to reach the target, the best kill orders, when\n"
    "                     the attacker does best to retreat (not with --battles,\n"
    "                     --seed or --exact)\n"
    "  --target P         the goal probability --plan aims at, in percent\n"
    "                     (1 to 99.9, default 90)\n"
    "  --threads N        work on at most N threads (1 to 1024; default: every core);\n"
    "                     the result is the same for any number\n"
    "  --json             print one JSON object instead of the report\n"
    "Battle files (*.vbattle):\n"
    "  --setup FILE       read the battle from a battle file instead of the force and\n"
    "                     option flags above\n"
    "  --save-setup FILE  also write the battle to a battle file\n"
    "  --batch FILE       odds of every battle of a JSON Lines file (- for standard\n"
    "                     input, one battle file object a line), one JSON line each,\n"
    "                     in input order: the exact odds, or where they are refused a\n"
    "                     run of --battles battles (--seed, default 1) with 95 % margins\n"
    "  --csv              with --batch: a table with a header row instead\n"
    "  --help             print this text\n"
    "  --version          print the version\n"
    "Options take their value as the next argument or after '=' (--battles=5000).\n"
    "With no unit on either side no battle is fought: every figure reads 0.\n"
    "Exit status: 0 on success, 2 for a malformed argument, a file that cannot be\n"
    "read or written, or a bad --batch line, 3 when a battle is too large for exact\n"
    "odds or to plan, 4 when the exact calculation failed its own checks.\n";

struct TBadArgument {
    std::string Message;
};

[[noreturn]] void Bad(std::string message) { throw TBadArgument{std::move(message)}; }

struct TOddsRequest {
    TBattleSetupRec Setup;
    int Battles = MaxBattles;
    bool SeedGiven = false;
    bool BattlesGiven = false;
    uint32_t Seed = 0;
    bool Json = false;
    bool Exact = false;
    bool Plan = false;
    bool TargetGiven = false;
    double Target = 90;  // percent
    int Threads = 0;     // 0: every core
    bool Csv = false;
    bool SetupFlagsGiven = false;  // a force or option flag
    std::string SetupFile, SaveSetupFile, BatchFile;
};

// ---- Values ---------------------------------------------------------------------

uint64_t ParseNumber(std::string_view option, std::string_view what, std::string_view text, uint64_t min,
                     uint64_t max)
{
    uint64_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (text.empty() || ec != std::errc() || ptr != last || value < min || value > max) {
        std::ostringstream msg;
        msg << option << ": " << what << " must be a whole number from " << min << " to " << max << ", got '"
            << text << "'";
        Bad(msg.str());
    }
    return value;
}

std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        const size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

bool SameCode(std::string_view word, const char* code)
{
    const std::string_view c(code);
    if (word.size() != c.size()) return false;
    for (size_t i = 0; i < c.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(word[i])) != c[i]) return false;
    return true;
}

// A side's kinds in slot order.
struct TSide {
    const char* Name;
    const TUnitKind* Kinds;
    int Count;

    std::string KindList() const
    {
        std::string list;
        for (int i = 0; i < Count; ++i) list += std::string(i ? " " : "") + UnitInfo(Kinds[i]).Code;
        return list;
    }
    int Slot(std::string_view option, std::string_view word) const
    {
        for (int i = 0; i < Count; ++i)
            if (SameCode(word, UnitInfo(Kinds[i]).Code)) return i;
        Bad(std::string(option) + ": unknown " + Name + " kind '" + std::string(word) + "' (kinds: " +
            KindList() + ")");
    }
};

constexpr TSide Attacker{"attacker", AttKindOrder, AttKinds};
constexpr TSide Defender{"defender", DefKindOrder, DefKinds};

void ParseCounts(std::string_view option, std::string_view text, const TSide& side, int32_t* counts)
{
    bool given[DefKinds] = {};
    for (int i = 0; i < side.Count; ++i) counts[i] = 0;
    for (std::string_view word : Words(text)) {
        const size_t eq = word.find('=');
        if (eq == std::string_view::npos)
            Bad(std::string(option) + ": expected KIND=COUNT, got '" + std::string(word) + "'");
        const int slot = side.Slot(option, word.substr(0, eq));
        if (given[slot]) Bad(std::string(option) + ": " + UnitInfo(side.Kinds[slot]).Code + " given twice");
        given[slot] = true;
        const std::string what = std::string("count of ") + UnitInfo(side.Kinds[slot]).Code;
        counts[slot] = static_cast<int32_t>(ParseNumber(option, what, word.substr(eq + 1), 0, MaxCount));
    }
}

// "INF ARM TRN ..." (first lost first) to ranks by slot.
void ParseOrder(std::string_view option, std::string_view text, const TSide& side, int32_t* ranks)
{
    const std::vector<std::string_view> words = Words(text);
    int32_t found[DefKinds] = {};
    bool ok = static_cast<int>(words.size()) == side.Count;
    for (size_t p = 0; ok && p < words.size(); ++p) {
        int slot = -1;
        for (int i = 0; i < side.Count; ++i)
            if (SameCode(words[p], UnitInfo(side.Kinds[i]).Code)) slot = i;
        ok = slot >= 0 && found[slot] == 0;
        if (ok) found[slot] = static_cast<int32_t>(p + 1);
    }
    if (!ok)
        Bad(std::string(option) + ": expected each of " + side.KindList() + " exactly once, got '" +
            std::string(text) + "'");
    std::copy(found, found + side.Count, ranks);
}

void ParseWithdraw(std::string_view option, std::string_view text, TBattleSetupRec& setup)
{
    std::string_view parts[3];
    std::string_view rest = text;
    for (int i = 0; i < 3; ++i) {
        const size_t comma = rest.find(',');
        if ((comma == std::string_view::npos) != (i == 2))
            Bad(std::string(option) + ": expected A,D,L (three numbers), got '" + std::string(text) + "'");
        parts[i] = rest.substr(0, comma);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    setup.Withdrawal = true;
    setup.AttWith = static_cast<int32_t>(ParseNumber(option, "A", parts[0], 0, MaxCount));
    setup.DefWith = static_cast<int32_t>(ParseNumber(option, "D", parts[1], 0, MaxCount));
    setup.DefWithLess = static_cast<int32_t>(ParseNumber(option, "L", parts[2], 0, MaxCount));
}

// ---- Arguments ------------------------------------------------------------------

struct TFlag {
    const char* Name;
    bool TBattleSetupRec::*Field;  // null: handled by name below
};

constexpr TFlag Flags[] = {
    {"--heavy-bombers", &TBattleSetupRec::HvyBomber},
    {"--two-hit-bb", &TBattleSetupRec::TwoHitBB},
    {"--aa-gun", &TBattleSetupRec::AAGun},
    {"--take-with-ground", &TBattleSetupRec::TakeWith},
    {"--save-air", &TBattleSetupRec::SaveAir},
    {"--att-subs-retreat-vs-air", &TBattleSetupRec::AttWithSubsAirOnly},
    {"--def-subs-retreat-vs-air", &TBattleSetupRec::DefWithSubsAirOnly},
    {"--def-subs-retreat-after-first", &TBattleSetupRec::DefWithSubs1stRnd},
    {"--low-luck", &TBattleSetupRec::LowLuck},
    {"--super-subs", nullptr},
    {"--att-tech", nullptr},
    {"--def-tech", nullptr},
    {"--json", nullptr},
    {"--exact", nullptr},
    {"--plan", nullptr},
    {"--csv", nullptr},
};

constexpr const char* ValueOptions[] = {"--att",    "--def",     "--att-order", "--def-order", "--withdraw",
                                        "--rounds", "--battles", "--seed",      "--target",    "--threads",
                                        "--setup",  "--save-setup", "--batch"};

void ApplyFlag(const TFlag& flag, TOddsRequest& request)
{
    const std::string_view name(flag.Name);
    if (flag.Field) request.Setup.*flag.Field = true;
    else if (name == "--super-subs") request.Setup.SetSuperSub(true);
    else if (name == "--att-tech") request.Setup.SetAttTech(true);
    else if (name == "--def-tech") request.Setup.SetDefTech(true);
    else if (name == "--json") request.Json = true;
    else if (name == "--exact") request.Exact = true;
    else if (name == "--plan") request.Plan = true;
    else if (name == "--csv") request.Csv = true;
    request.SetupFlagsGiven |= name != "--json" && name != "--exact" && name != "--csv" && name != "--plan";
}

// A percentage from 1 to 99.9, decimals allowed.
double ParseTarget(std::string_view option, std::string_view text)
{
    double value = 0;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, value);
    if (text.empty() || ec != std::errc() || ptr != last || !(value >= 1 && value <= 99.9))
        Bad(std::string(option) + ": the target must be a percentage from 1 to 99.9, got '" + std::string(text) + "'");
    return value;
}

std::string NonEmpty(std::string_view name, std::string_view value)
{
    if (value.empty()) Bad(std::string(name) + ": missing file name");
    return std::string(value);}

void ApplyValue(std::string_view name, std::string_view value, TOddsRequest& request)
{
    TBattleSetupRec& s = request.Setup;
    if (name == "--att") ParseCounts(name, value, Attacker, s.AttCount);
    else if (name == "--def") ParseCounts(name, value, Defender, s.DefCount);
    else if (name == "--att-order") ParseOrder(name, value, Attacker, s.AttOrder);
    else if (name == "--def-order") ParseOrder(name, value, Defender, s.DefOrder);
    else if (name == "--withdraw") ParseWithdraw(name, value, s);
    else if (name == "--rounds") {
        s.AllRounds = false;
        s.Rounds = static_cast<int32_t>(ParseNumber(name, "the round limit", value, 1, MaxCount));
    } else if (name == "--battles") {
        request.Battles = static_cast<int>(ParseNumber(name, "the number of battles", value, 0, MaxBattles));
        request.BattlesGiven = true;
    } else if (name == "--seed") {
        request.Seed = static_cast<uint32_t>(ParseNumber(name, "the seed", value, 0, UINT32_MAX));
        request.SeedGiven = true;
    } else if (name == "--target") {
        request.Target = ParseTarget(name, value);
        request.TargetGiven = true;
    } else if (name == "--threads") {
        request.Threads = static_cast<int>(ParseNumber(name, "the number of threads", value, 1, 1024));
    } else if (name == "--setup") {
        request.SetupFile = NonEmpty(name, value);
    } else if (name == "--save-setup") {
        request.SaveSetupFile = NonEmpty(name, value);
    } else if (name == "--batch") {
        request.BatchFile = NonEmpty(name, value);
    }
    request.SetupFlagsGiven |= name != "--battles" && name != "--seed" && name != "--setup" &&
                               name != "--save-setup" && name != "--batch" && name != "--target" &&
                               name != "--threads";
}

// A battle comes from one place: the flags, --setup or --batch's lines.
void CheckBattleFileOptions(TOddsRequest& r)
{
    const bool setup = !r.SetupFile.empty(), batch = !r.BatchFile.empty();
    if (setup && r.SetupFlagsGiven) Bad("--setup: cannot be combined with the force and option flags");
    if (batch && (r.SetupFlagsGiven || setup || !r.SaveSetupFile.empty()))
        Bad("--batch: cannot be combined with the force and option flags, --setup or --save-setup");
    if (batch && r.Exact) Bad("--batch: cannot be combined with --exact (it tries the exact odds first)");
    if (batch && r.Battles == 0) Bad("--battles: a batch needs at least 1 battle");
    if (r.Csv && !batch) Bad("--csv: only with --batch");
    if (r.Csv && r.Json) Bad("--csv: cannot be combined with --json");
    if (setup) {
        const TBattleFileRead read = ReadBattleFile(r.SetupFile);
        if (!read.Setup) Bad("--setup: " + r.SetupFile + ": " + read.Error);
        r.Setup = *read.Setup;
    }
}

TOddsRequest ParseArguments(int argc, const char* const* argv)
{
    TOddsRequest request;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        const size_t eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        const bool inlineValue = eq != std::string_view::npos;

        const TFlag* flag = nullptr;
        for (const TFlag& f : Flags)
            if (name == f.Name) flag = &f;
        if (flag) {
            if (inlineValue) Bad(std::string(name) + ": takes no value, got '" + std::string(arg) + "'");
            ApplyFlag(*flag, request);
            continue;
        }
        if (std::find(std::begin(ValueOptions), std::end(ValueOptions), name) == std::end(ValueOptions)) {
            if (name.substr(0, 1) == "-") Bad("unknown option '" + std::string(arg) + "' (see --help)");
            Bad("unexpected argument '" + std::string(arg) + "' (see --help)");
        }
        std::string_view value;
        if (inlineValue) {
            value = arg.substr(eq + 1);
        } else {
            // An option name in the value's place means the value was left out.
            if (i + 1 >= argc || std::string_view(argv[i + 1]).substr(0, 2) == "--")
                Bad(std::string(name) + ": missing value");
            value = argv[++i];
        }
        ApplyValue(name, value, request);
    }
    // Exact odds fight no battles: a battle count or a seed would mean nothing.
    if (request.Exact && request.BattlesGiven) Bad("--exact: cannot be combined with --battles");
    if (request.Exact && request.SeedGiven) Bad("--exact: cannot be combined with --seed");
    // A plan is worked out from exact odds alone.
    if (request.Plan && request.Exact) Bad("--plan: cannot be combined with --exact");
    if (request.Plan && request.BattlesGiven) Bad("--plan: cannot be combined with --battles");
    if (request.Plan && request.SeedGiven) Bad("--plan: cannot be combined with --seed");
    if (request.Plan && !request.BatchFile.empty()) Bad("--plan: cannot be combined with --batch");
    if (request.TargetGiven && !request.Plan) Bad("--target: only with --plan");
    CheckBattleFileOptions(request);
    return request;
}

// ---- The run --------------------------------------------------------------------

class TToolHost final : public TRunHost {
public:
    TToolHost(const TBattleSetupRec& setup, int battles, uint32_t seed)
        : Setup_(setup), Battles_(battles), Seed_(seed) {}

    RunTotals Totals;
    TOutcomeList Outcomes;

    int RunSize() override { return Battles_; }
    uint32_t RunSeed() override { return Seed_; }
    void ReadSetup(TBattleSetupRec& setup) override { setup = Setup_; }
    void RunStarting() override
    {
        Totals = RunTotals{};
        Outcomes.Clear();
    }
    void Publish(const RunTotals& totals, const TBattleResultsRec* batch, int count, bool) override
    {
        Totals = totals;
        Outcomes.AddBatch(batch, count);
    }

private:
    const TBattleSetupRec Setup_;
    const int Battles_;
    const uint32_t Seed_;
};

// ---- Output ---------------------------------------------------------------------

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

void WriteJson(std::ostream& out, const RunTotals& t, const TPanelTexts& panel, const TOutcomeList& outcomes)
{
    TJson j;
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

void WriteExactJson(std::ostream& out, const TExactOdds& e, const TPanelTexts& panel)
{
    TJson j;
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

void WriteReport(std::ostream& out, const TOddsRequest& request, uint32_t seed, const RunTotals& t,
                 const TPanelTexts& panel, const TOutcomeList& outcomes)
{
    out << "Battles: " << t.Battles << "   Seed: " << seed << '\n';
    if (request.Setup.Empty()) out << "No unit on either side: no battle fought.\n";
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

constexpr size_t ExactReportOutcomes = 20;

void WriteExactReport(std::ostream& out, const TOddsRequest& request, const TExactOdds& e, const TPanelTexts& panel)
{
    out << "Exact odds   Unresolved: " << FormatGeneral(e.Unresolved, 3)
        << "   Pruned: " << FormatGeneral(e.Pruned, 3) << '\n';
    if (request.Setup.Empty()) out << "No unit on either side: no battle.\n";
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

}  // namespace

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

int RunOddsTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            out << Usage;
            return OddsToolOk;
        }
        if (arg == "--version") {
            out << "varnholt-odds " VARNHOLT_VERSION "\n";
            return OddsToolOk;
        }
    }

    TOddsRequest request;
    try {
        request = ParseArguments(argc, argv);
    } catch (const TBadArgument& bad) {
        // The message quotes the argument; keep it to one line whatever it holds.
        err << "varnholt-odds: " << OneLine(bad.Message) << '\n';
        return OddsToolBadArgument;
    }

    std::optional<tbb::global_control> threads;
    if (request.Threads > 0) threads.emplace(tbb::global_control::max_allowed_parallelism, size_t(request.Threads));

    if (!request.BatchFile.empty())
        return RunBatch({request.BatchFile, request.Csv, request.Battles, request.SeedGiven ? request.Seed : 1u,
                         BatchProgressWanted(err)},
                        out, err);
    if (!request.SaveSetupFile.empty()) {
        const std::string error = SaveBattleFile(request.SaveSetupFile, request.Setup);
        if (!error.empty()) {
            err << "varnholt-odds: --save-setup: " << OneLine(request.SaveSetupFile + ": " + error) << '\n';
            return OddsToolBadArgument;
        }
    }
    if (request.Plan) return RunPlan(request.Setup, request.Target, request.Json, out, err);

    if (request.Exact) {
        TExactLimits limits;
        limits.Threads = request.Threads;
        // A test's way to check that a broken invariant is reported, never printed as odds.
        limits.InjectFault = std::getenv("VARNHOLT_EXACT_INJECT_FAULT") != nullptr;
        const TExactOdds odds = ComputeExactOdds(request.Setup, nullptr, limits);
        if (odds.Status == TExactStatus::Failed) {
            err << "varnholt-odds: exact odds failed: " << odds.Reason << '\n';
            return OddsToolFailed;
        }
        if (odds.Status != TExactStatus::Done) {
            err << "varnholt-odds: exact odds refused: " << odds.Reason << '\n';
            return OddsToolTooLarge;
        }
        const TPanelTexts panel = PanelTexts(ExactPanelFigures(odds));
        if (request.Json) WriteExactJson(out, odds, panel);
        else WriteExactReport(out, request, odds, panel);
        return OddsToolOk;
    }

    const uint32_t seed = request.SeedGiven ? request.Seed : ClockSeed();
    TToolHost host(request.Setup, request.Battles, seed);
    TRunControl control;
    // An empty setup ends the run before its first battle: the report then
    // shows zero battles and every figure "0".
    RunBattles(control, host);

    const TPanelTexts panel = PanelTexts(host.Totals);
    if (request.Json) WriteJson(out, host.Totals, panel, host.Outcomes);
    else WriteReport(out, request, seed, host.Totals, panel, host.Outcomes);
    return OddsToolOk;
}
