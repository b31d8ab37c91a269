#include "cli/Arguments.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>
#include <string_view>
#include <vector>

#include "model/BattleFile.h"

const char* const OddsToolUsage =
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
    "  --plan-seconds S   the time a plan may take (0.1 to 3600, default 10); what\n"
    "                     is not worked out by then says so\n"
    "  --threads N        work on at most N threads (1 to 1024; default: every core);\n"
    "                     the result is the same for any number\n"
    "  --json             print one JSON object instead of the report\n"
    "Battle files (*.vbattle):\n"
    "  --setup FILE       read the battle from a battle file instead of the force and\n"
    "                     option flags above\n"
    "  --save-setup FILE  write the battle to a battle file; nothing else is done\n"
    "                     unless --exact, --plan, --json, --battles or --seed asks\n"
    "                     for a calculation too\n"
    "  --batch FILE       odds of every battle of a JSON Lines file (- for standard\n"
    "                     input, one battle file object a line), one JSON line each,\n"
    "                     in input order: the exact odds, or where they are refused a\n"
    "                     run of --battles battles (--seed, default 1) with 95 % margins\n"
    "  --csv              with --batch: a table with a header row instead\n"
    "Turns (*.vturn):\n"
    "  --turn FILE        odds of a turn: each battle of the turn file with its goal\n"
    "                     (the territory taken in a land battle, the attacker's win\n"
    "                     otherwise), its chance and expected IPC swing, then the\n"
    "                     chance that all, exactly k or at least k goals are met and\n"
    "                     the distribution of the turn's IPC swing (with --json: one\n"
    "                     JSON object); a battle too large for exact odds is measured\n"
    "                     by a run of 100000 battles from seed 1\n"
    "  --help             print this text\n"
    "  --version          print the version\n"
    "Options take their value as the next argument or after '=' (--battles=5000).\n"
    "With no unit on either side no battle is fought: every figure reads 0.\n"
    "A battle is taken as the window would hold it: an option the battle cannot\n"
    "use is cleared and a withdrawal threshold is limited to its side's units;\n"
    "each such change is one line on standard error and in \"Adjusted\" in JSON.\n"
    "Exit status: 0 on success, 2 for a malformed argument, a file that cannot be\n"
    "read or written, a bad --batch line or a bad turn file, 3 when a battle is too\n"
    "large for exact odds or to plan, 4 when the exact calculation (of any --batch\n"
    "line or battle of a turn) failed its own checks.\n";

namespace {

[[noreturn]] void Bad(std::string message) { throw TBadArgument{std::move(message)}; }

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

constexpr const char* ValueOptions[] = {"--att",    "--def",     "--att-order", "--def-order",    "--withdraw",
                                        "--rounds", "--battles", "--seed",      "--target",       "--plan-seconds",
                                        "--threads", "--setup",  "--save-setup", "--batch", "--turn"};

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

// Seconds from 0.1 to 3600, decimals allowed.
double ParseSeconds(std::string_view option, std::string_view text)
{
    double value = 0;
    const char* last = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), last, value);
    if (text.empty() || ec != std::errc() || ptr != last || !(value >= 0.1 && value <= 3600))
        Bad(std::string(option) + ": the time must be a number of seconds from 0.1 to 3600, got '" +
            std::string(text) + "'");
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
    } else if (name == "--plan-seconds") {
        request.PlanSeconds = ParseSeconds(name, value);
        request.PlanSecondsGiven = true;
    } else if (name == "--threads") {
        request.Threads = static_cast<int>(ParseNumber(name, "the number of threads", value, 1, 1024));
    } else if (name == "--setup") {
        request.SetupFile = NonEmpty(name, value);
    } else if (name == "--save-setup") {
        request.SaveSetupFile = NonEmpty(name, value);
    } else if (name == "--batch") {
        request.BatchFile = NonEmpty(name, value);
    } else if (name == "--turn") {
        request.TurnFile = NonEmpty(name, value);
    }
    request.SetupFlagsGiven |= name != "--battles" && name != "--seed" && name != "--setup" &&
                               name != "--save-setup" && name != "--batch" && name != "--turn" && name != "--target" &&
                               name != "--plan-seconds" &&
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
    if (!r.TurnFile.empty() && (r.SetupFlagsGiven || setup || batch || !r.SaveSetupFile.empty() || r.Exact ||
                                r.Plan || r.BattlesGiven || r.SeedGiven || r.Csv))
        Bad("--turn: only with --json and --threads (the turn file holds the battles)");
    if (r.Csv && !batch) Bad("--csv: only with --batch");
    if (r.Csv && r.Json) Bad("--csv: cannot be combined with --json");
    if (setup) {
        const TBattleFileRead read = ReadBattleFile(r.SetupFile);
        if (!read.Setup) Bad("--setup: " + r.SetupFile + ": " + read.Error);
        r.Setup = *read.Setup;
    }
}

}  // namespace

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
    if (request.PlanSecondsGiven && !request.Plan) Bad("--plan-seconds: only with --plan");
    CheckBattleFileOptions(request);
    return request;
}
