#pragma once
// Turn files (*.vturn): the battles of one turn, each with a name, as
//   {"format": "varnholt-turn", "version": 1,
//    "battles": [{"name": "...", "setup": {...}}, ...]}
// where each "setup" is a battle file's, read by the same code with the same
// refusals, the message naming the battle ("battles[2].setup.AttOrder: ...").
// A file is read completely or not at all.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/BattleSetup.h"

constexpr int TurnFileVersion = 1;
constexpr size_t MaxTurnBattles = 32;
constexpr size_t MaxTurnNameLength = 40;  // characters
constexpr size_t MaxTurnFileBytes = 4 << 20;

struct TTurnBattle {
    std::string Name;
    TBattleSetupRec Setup;

    bool operator==(const TTurnBattle&) const = default;
};

struct TTurnFileRead {
    std::optional<std::vector<TTurnBattle>> Battles;  // set exactly when the file was read
    std::string Error;                                // one line, naming the member at fault
};

TTurnFileRead ParseTurnFile(std::string_view text);
// Reads a turn file from disk; a path that cannot be read is refused with the reason.
TTurnFileRead ReadTurnFile(const std::string& path);
// The turn file of the battles, pretty-printed, ending in a line break.
std::string TurnFileText(const std::vector<TTurnBattle>& battles);

// Characters of a name (UTF-8 code points).
size_t NameLength(std::string_view name);
// The name cut to MaxTurnNameLength characters.
std::string ClippedName(std::string_view name);
