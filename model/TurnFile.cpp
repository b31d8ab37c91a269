#include "model/TurnFile.h"

#include "model/BattleFile.h"
#include "model/SetupJson.h"

using namespace setup_json;

namespace {

constexpr const char* Format = "varnholt-turn";

std::vector<TTurnBattle> ReadTurn(const TJson& file)
{
    CheckHeader(file, Format, TurnFileVersion, "a turn file");
    for (const auto& [key, value] : file.items())
        if (key != "format" && key != "version" && key != "battles") Refuse(Shortened(key), "unknown member");
    const auto battles = file.find("battles");
    if (battles == file.end()) Refuse("battles", "missing");
    if (!battles->is_array()) Refuse("battles", "expected an array, got " + Kind(*battles));
    if (battles->size() > MaxTurnBattles)
        Refuse("battles", "a turn holds at most " + std::to_string(MaxTurnBattles) + " battles, got " +
                              std::to_string(battles->size()));
    std::vector<TTurnBattle> turn;
    for (size_t i = 0; i < battles->size(); ++i) {
        const std::string path = "battles[" + std::to_string(i) + "]";
        const TJson& b = (*battles)[i];
        if (!b.is_object()) Refuse(path, "expected an object, got " + Kind(b));
        for (const auto& [key, value] : b.items())
            if (key != "name" && key != "setup") Refuse(path + "." + Shortened(key), "unknown member");
        TTurnBattle battle;
        const auto name = b.find("name");
        if (name != b.end()) {
            if (!name->is_string()) Refuse(path + ".name", "expected a string, got " + Kind(*name));
            battle.Name = name->get<std::string>();
            if (NameLength(battle.Name) > MaxTurnNameLength)
                Refuse(path + ".name", "longer than " + std::to_string(MaxTurnNameLength) + " characters");
        }
        const auto setup = b.find("setup");
        if (setup == b.end()) Refuse(path + ".setup", "missing");
        battle.Setup = ReadSetupObject(*setup, path + ".setup");
        turn.push_back(std::move(battle));
    }
    return turn;
}

}  // namespace

size_t NameLength(std::string_view name)
{
    size_t n = 0;
    for (char c : name) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

std::string ClippedName(std::string_view name)
{
    size_t n = 0;
    for (size_t i = 0; i < name.size(); ++i)
        if ((static_cast<unsigned char>(name[i]) & 0xC0) != 0x80 && ++n > MaxTurnNameLength)
            return std::string(name.substr(0, i));
    return std::string(name);
}

TTurnFileRead ParseTurnFile(std::string_view text)
{
    TTurnFileRead read;
    read.Error = ReadJsonText(text, [&](const TJson& file) { read.Battles = ReadTurn(file); });
    return read;
}

TTurnFileRead ReadTurnFile(const std::string& path)
{
    TTurnFileRead read;
    std::string text;
    if (!ReadSmallFile(path, MaxTurnFileBytes, "too large to be a turn file", text, read.Error)) return read;
    return ParseTurnFile(text);
}

std::string TurnFileText(const std::vector<TTurnBattle>& battles)
{
    std::string text = std::string("{\n  \"format\": \"") + Format + "\",\n  \"version\": " +
                       std::to_string(TurnFileVersion) + ",\n  \"battles\": [";
    for (size_t i = 0; i < battles.size(); ++i) {
        text += std::string(i ? "," : "") + "\n    {\n      \"name\": " +
                TJson(battles[i].Name).dump(-1, ' ', false, TJson::error_handler_t::replace) +
                ",\n      \"setup\": {\n" + SetupMembersText(battles[i].Setup, "        ") + "\n      }\n    }";
    }
    return text + (battles.empty() ? "]\n}\n" : "\n  ]\n}\n");
}
