#include "model/BattleFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <unistd.h>
#include <vector>

#include "model/SetupJson.h"

namespace setup_json {
namespace {

constexpr const char* Format = "varnholt-battle";

// The switches behind the derived values; the setup itself holds the values.
struct TSwitches {
    bool AttTech = false;
    bool DefTech = false;
    bool SuperSub = false;
};

// One member of "setup": a switch (Flag), a number (Count 0) or an array of
// Count numbers, each within [Min, Max]; an Order array must hold each rank
// from 1 to Count exactly once.
struct TField {
    const char* Name;
    bool* Flag;
    int32_t* Numbers;
    int Count;
    int32_t Min;
    int32_t Max;
    bool Order;
};

constexpr size_t FieldCount = 22;

// The members in the order a file lists them, bound to s and w. The ranges
// are those of the window's controls.
std::array<TField, FieldCount> Fields(TBattleSetupRec& s, TSwitches& w)
{
    auto flag = [](const char* name, bool& b) { return TField{name, &b, nullptr, 0, 0, 0, false}; };
    auto number = [](const char* name, int32_t& n, int32_t min) {
        return TField{name, nullptr, &n, 0, min, MaxCount, false};
    };
    return {{
        {"AttCount", nullptr, s.AttCount, AttKinds, 0, MaxCount, false},
        {"DefCount", nullptr, s.DefCount, DefKinds, 0, MaxCount, false},
        {"AttOrder", nullptr, s.AttOrder, AttKinds, 1, AttKinds, true},
        {"DefOrder", nullptr, s.DefOrder, DefKinds, 1, DefKinds, true},
        flag("HvyBomber", s.HvyBomber),
        flag("SuperSub", w.SuperSub),
        flag("TwoHitBB", s.TwoHitBB),
        flag("AttIndTech", w.AttTech),
        flag("DefIndTech", w.DefTech),
        flag("AAGun", s.AAGun),
        flag("TakeWith", s.TakeWith),
        flag("SaveAir", s.SaveAir),
        flag("AttWithSubsAirOnly", s.AttWithSubsAirOnly),
        flag("DefWithSubsAirOnly", s.DefWithSubsAirOnly),
        flag("DefWithSubs1stRnd", s.DefWithSubs1stRnd),
        flag("Withdrawal", s.Withdrawal),
        flag("AllRounds", s.AllRounds),
        flag("LowLuck", s.LowLuck),
        number("AttWith", s.AttWith, 0),
        number("DefWith", s.DefWith, 0),
        number("DefWithLess", s.DefWithLess, 0),
        number("Rounds", s.Rounds, 1),
    }};
}

}  // namespace

[[noreturn]] void Refuse(const std::string& member, const std::string& why)
{
    throw TRefused{member.empty() ? why : member + ": " + why};
}

// Names taken from the file are shortened, never inside a character; OneLine
// makes them printable.
std::string Shortened(const std::string& text, size_t longest)
{
    if (text.size() <= longest) return text;
    size_t cut = longest;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return text.substr(0, cut) + "...";
}

// Refuses a member given twice: the file would otherwise say two things and
// the reader keep one of them silently. Keeps, for each object or array being
// read, the names seen so far (objects), the element's index (arrays) and the
// path that leads to it ("battles[2].setup.").
class TDuplicateCheck {
public:
    bool operator()(int, TJson::parse_event_t event, TJson& parsed)
    {
        using E = TJson::parse_event_t;
        // Past a few levels, which no file of ours holds, only the depth is
        // counted, so that a deep nesting costs no memory.
        if (event == E::object_start || event == E::array_start) {
            if (Open.size() >= MaxDepth) ++Deeper;
            else Open.push_back({event == E::array_start, ChildPath(), {}, {}, 0});
        } else if (Deeper > 0) {
            if (event == E::object_end || event == E::array_end) --Deeper;
        } else if (event == E::object_end || event == E::array_end) {
            if (!Open.empty()) Open.pop_back();
            if (!Open.empty() && Open.back().Array) ++Open.back().Index;
        } else if (event == E::key && !Open.empty()) {
            const std::string key = parsed.get<std::string>();
            if (!Open.back().Names.insert(key).second) Refuse(Open.back().Path + Shortened(key), "given twice");
            Open.back().Last = key;
        } else if (event == E::value && !Open.empty() && Open.back().Array) {
            ++Open.back().Index;
        }
        return true;
    }

private:
    struct TOpen {
        bool Array;
        std::string Path;  // "", "setup.", "battles[2].", ...
        std::set<std::string> Names;
        std::string Last;
        size_t Index;
    };
    static constexpr size_t MaxDepth = 8;
    std::vector<TOpen> Open;
    size_t Deeper = 0;
    std::string ChildPath() const
    {
        if (Open.empty()) return {};
        const TOpen& parent = Open.back();
        if (parent.Array) {
            std::string path = parent.Path;
            if (!path.empty() && path.back() == '.') path.pop_back();
            return path + "[" + std::to_string(parent.Index) + "].";
        }
        return parent.Path + Shortened(parent.Last) + ".";
    }
};

std::string Kind(const TJson& v)
{
    switch (v.type()) {
    case TJson::value_t::string: return "a string";
    case TJson::value_t::boolean: return "true or false";
    case TJson::value_t::null: return "null";
    case TJson::value_t::array: return "an array";
    case TJson::value_t::object: return "an object";
    case TJson::value_t::number_float: return "a fraction";
    default: return "a whole number";
    }
}

// A whole number as int64, those beyond any range clamped; nullopt for anything else.
std::optional<int64_t> Whole(const TJson& v)
{
    if (v.is_number_unsigned()) return static_cast<int64_t>(std::min<uint64_t>(v.get<uint64_t>(), INT32_MAX + 1ull));
    if (v.is_number_integer()) return std::max<int64_t>(v.get<int64_t>(), INT32_MIN - 1ll);
    return std::nullopt;
}

namespace {

int32_t ReadNumber(const TJson& v, const std::string& member, int32_t min, int32_t max)
{
    const std::optional<int64_t> n = Whole(v);
    if (!n) Refuse(member, "expected a whole number, got " + Kind(v));
    if (*n < min || *n > max)
        Refuse(member, v.dump() + " is out of range (" + std::to_string(min) + " to " + std::to_string(max) + ")");
    return static_cast<int32_t>(*n);
}

void ReadField(const TField& f, const TJson& v, const std::string& path)
{
    const std::string member = path + "." + f.Name;
    if (f.Flag) {
        if (!v.is_boolean()) Refuse(member, "expected true or false, got " + Kind(v));
        *f.Flag = v.get<bool>();
        return;
    }
    if (f.Count == 0) {
        *f.Numbers = ReadNumber(v, member, f.Min, f.Max);
        return;
    }
    const std::string expected = "expected an array of " + std::to_string(f.Count) + " whole numbers";
    if (!v.is_array()) Refuse(member, expected + ", got " + Kind(v));
    if (v.size() != static_cast<size_t>(f.Count))
        Refuse(member, expected + ", got " + std::to_string(v.size()));
    int32_t read[DefKinds] = {};
    for (int i = 0; i < f.Count; ++i)
        read[i] = ReadNumber(v[static_cast<size_t>(i)], member + "[" + std::to_string(i) + "]", f.Min, f.Max);
    if (f.Order && !IsKillOrder(read, f.Count))
        Refuse(member, "not a kill order: each rank from 1 to " + std::to_string(f.Count) + " must appear once");
    std::copy(read, read + f.Count, f.Numbers);
}

}  // namespace

void CheckHeader(const TJson& file, const char* format, int newest, const char* what)
{
    if (!file.is_object()) Refuse("", std::string("not ") + what + " (expected a JSON object)");
    const auto f = file.find("format");
    if (f == file.end() || !f->is_string() || f->get<std::string>() != format)
        Refuse("format", std::string("not ") + what + " (expected \"" + format + "\")");
    const auto version = file.find("version");
    if (version == file.end()) Refuse("version", "missing");
    const std::optional<int64_t> v = Whole(*version);
    if (!v) Refuse("version", "expected a whole number, got " + Kind(*version));
    if (*v > newest)
        Refuse("version", "made by a newer version of the program (file version " + version->dump() +
                              ", this program reads version " + std::to_string(newest) + ")");
    if (*v < 1) Refuse("version", "expected a version from 1, got " + version->dump());
}

TBattleSetupRec ReadSetupObject(const TJson& setup, const std::string& path)
{
    if (!setup.is_object()) Refuse(path, "expected an object, got " + Kind(setup));
    TBattleSetupRec s;  // the window's start-up values
    TSwitches w;
    const std::array<TField, FieldCount> fields = Fields(s, w);
    for (const auto& [key, value] : setup.items()) {
        const auto f = std::find_if(fields.begin(), fields.end(), [&](const TField& f) { return key == f.Name; });
        if (f == fields.end()) Refuse(path + "." + Shortened(key), "unknown member");
        ReadField(*f, value, path);
    }
    s.SetAttTech(w.AttTech);
    s.SetDefTech(w.DefTech);
    s.SetSuperSub(w.SuperSub);
    return s;
}

std::string SetupMembersText(const TBattleSetupRec& setup, const std::string& indent)
{
    TBattleSetupRec s = setup;
    TSwitches w{HasAttTech(setup), HasDefTech(setup), HasSuperSub(setup)};
    std::string text;
    const std::array<TField, FieldCount> fields = Fields(s, w);
    for (size_t i = 0; i < fields.size(); ++i) {
        const TField& f = fields[i];
        TJson value;
        if (f.Flag) value = *f.Flag;
        else if (f.Count == 0) value = *f.Numbers;
        else value = std::vector<int32_t>(f.Numbers, f.Numbers + f.Count);
        text += indent + "\"" + f.Name + "\": " + value.dump() + (i + 1 < fields.size() ? ",\n" : "");
    }
    return text;
}

std::string ParseErrorText(const TJson::parse_error& e)
{
    // "[json.exception.parse_error.101] parse error at line 1, column 3: ..." without its tag;
    // the text it quotes may be long.
    std::string what = e.what();
    const size_t tag = what.find("] ");
    return "not valid JSON: " + Shortened(tag == std::string::npos ? what : what.substr(tag + 2), 300);
}

TJson ParseRefusingTwice(std::string_view text)
{
    return TJson::parse(text, TDuplicateCheck());
}

bool ReadSmallFile(const std::string& path, size_t maxBytes, const char* tooLarge, std::string& text,
                   std::string& error)
{
    // A pipe or a device could block the reader or never end.
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(path, ec);
    if (std::filesystem::is_directory(status)) {
        error = "it is a folder, not a file";
        return false;
    }
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        error = "not a regular file";
        return false;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    text.assign(maxBytes + 1, '\0');
    const size_t got = std::fread(text.data(), 1, text.size(), file.get());
    if (std::ferror(file.get())) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (got > maxBytes) {
        error = tooLarge;
        return false;
    }
    text.resize(got);
    return true;
}

namespace {

TBattleSetupRec ReadSetup(const TJson& file)
{
    CheckHeader(file, Format, BattleFileVersion, "a battle file");
    for (const auto& [key, value] : file.items())
        if (key != "format" && key != "version" && key != "setup") Refuse(Shortened(key), "unknown member");
    const auto setup = file.find("setup");
    if (setup == file.end()) Refuse("setup", "missing");
    return ReadSetupObject(*setup, "setup");
}

}  // namespace
}  // namespace setup_json

using namespace setup_json;

namespace {

// The length of the well-formed UTF-8 character at text[i], or 0.
size_t CharLength(std::string_view text, size_t i)
{
    const auto byte = [&](size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u; };
    const unsigned c = byte(i);
    if (c < 0x80) return 1;
    auto cont = [&](size_t k, unsigned lo = 0x80, unsigned hi = 0xBF) { return byte(k) >= lo && byte(k) <= hi; };
    if (c >= 0xC2 && c <= 0xDF) return cont(i + 1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) {
        const unsigned lo = c == 0xE0 ? 0xA0 : 0x80, hi = c == 0xED ? 0x9F : 0xBF;
        return cont(i + 1, lo, hi) && cont(i + 2) ? 3 : 0;
    }
    if (c >= 0xF0 && c <= 0xF4) {
        const unsigned lo = c == 0xF0 ? 0x90 : 0x80, hi = c == 0xF4 ? 0x8F : 0xBF;
        return cont(i + 1, lo, hi) && cont(i + 2) && cont(i + 3) ? 4 : 0;
    }
    return 0;
}

}  // namespace

std::string OneLine(std::string_view text)
{
    static const char Hex[] = "0123456789ABCDEF";
    std::string line;
    line.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t n = CharLength(text, i);
        if (n == 0) {
            line += "\\x";
            line += Hex[c >> 4];
            line += Hex[c & 15];
            ++i;
        } else {
            if (n == 1 && (c < 0x20 || c == 0x7f)) line += '?';
            else line.append(text.substr(i, n));
            i += n;
        }
    }
    return line;
}

bool HasAttTech(const TBattleSetupRec& s) { return std::equal(s.AttIPC, s.AttIPC + AttKinds, TechAttIPC); }
bool HasDefTech(const TBattleSetupRec& s) { return std::equal(s.DefIPC, s.DefIPC + DefKinds, TechDefIPC); }
bool HasSuperSub(const TBattleSetupRec& s) { return s.AttValue[aSUB] == SuperSubAttack; }

TBattleFileRead ParseBattleFile(std::string_view text)
{
    TBattleFileRead read;
    read.Error = ReadJsonText(text, [&](const TJson& file) { read.Setup = ReadSetup(file); });
    return read;
}

TBattleFileRead ReadBattleFile(const std::string& path)
{
    TBattleFileRead read;
    std::string text;
    if (!ReadSmallFile(path, MaxBattleFileBytes, "too large to be a battle file", text, read.Error)) return read;
    return ParseBattleFile(text);
}

// Indented like dump(2), but with each member on one line: a count array
// reads at a glance.
std::string BattleFileText(const TBattleSetupRec& setup)
{
    return std::string("{\n  \"format\": \"") + Format + "\",\n  \"version\": " +
           std::to_string(BattleFileVersion) + ",\n  \"setup\": {\n" + SetupMembersText(setup, "    ") +
           "\n  }\n}\n";
}

std::string BattleFileName(const TBattleSetupRec& s)
{
    auto side = [](const int32_t* counts, const TUnitKind* kinds, int n) {
        std::string text;
        for (int i = 0; i < n; ++i)
            if (counts[i] > 0) {
                if (!text.empty()) text += ' ';
                text += std::to_string(counts[i]);
                text += ' ';
                text += UnitInfo(kinds[i]).Code;
            }
        return text.empty() ? std::string("nothing") : text;
    };
    if (s.Empty()) return "Battle";
    return side(s.AttCount, AttKindOrder, AttKinds) + " v " + side(s.DefCount, DefKindOrder, DefKinds);
}

std::string WriteAllTo(int fd, std::string_view text)
{
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::string("cannot write the file: ") + (n < 0 ? std::strerror(errno) : "nothing written");
        done += static_cast<size_t>(n);
    }
    return {};
}
