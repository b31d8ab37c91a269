#pragma once
// Battle files (*.vbattle): one battle setup as a JSON object
//   {"format": "varnholt-battle", "version": 1, "setup": {...}}
// The setup holds what a player sets, under the names of TBattleSetupRec;
// the combat and IPC values that follow from the variants and Industrial
// Technology are derived on reading, never stored. A member left out takes
// the window's start-up value. Anything else that is not what the window
// could hold is refused with a message naming the member: a file is either
// read completely or not at all.
#include <optional>
#include <string>
#include <string_view>

#include "model/BattleSetup.h"

constexpr int BattleFileVersion = 1;
// Battle files are a few hundred bytes; anything far larger is not one.
constexpr size_t MaxBattleFileBytes = 1 << 20;

struct TBattleFileRead {
    std::optional<TBattleSetupRec> Setup;  // set exactly when the file was read
    std::string Error;                     // one line, naming the member at fault
};

// Reads a battle file's text (one object; a JSON Lines line is one too).
TBattleFileRead ParseBattleFile(std::string_view text);
// Reads a battle file from disk; a path that cannot be read is refused with the reason.
TBattleFileRead ReadBattleFile(const std::string& path);
// The battle file of a setup, pretty-printed, ending in a line break.
std::string BattleFileText(const TBattleSetupRec& setup);

// A file name for a battle, without the suffix: "10 INF 5 ARM v 14 INF"
// ("Battle" when neither side has a unit).
std::string BattleFileName(const TBattleSetupRec& setup);

// The switches a setup's derived values stand for.
bool HasAttTech(const TBattleSetupRec& setup);
bool HasDefTech(const TBattleSetupRec& setup);
bool HasSuperSub(const TBattleSetupRec& setup);

// A message that quotes a file or an argument, on one line and valid UTF-8:
// control characters become '?', a byte that is not part of a well-formed
// UTF-8 character becomes "\xNN".
std::string OneLine(std::string_view text);

// Writes all of text to an open file descriptor, as often as a short write
// needs. Returns the reason of a failure ("File too large", "No space left on
// device"), or an empty string.
std::string WriteAllTo(int fd, std::string_view text);
