#pragma once
// What battle files and turn files share: the reader of a battle's "setup"
// object with its refusals, the pieces of their messages, the reading of a
// small file. One copy, so that a setup inside a turn file is read, and
// refused, exactly as a battle file's.
#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "model/BattleFile.h"
#include "model/BattleSetup.h"

namespace setup_json {

using TJson = nlohmann::ordered_json;

// A refusal: one line naming the member at fault.
struct TRefused {
    std::string Message;
};

// Throws "member: why" (just "why" for an empty member).
[[noreturn]] void Refuse(const std::string& member, const std::string& why);
// A name taken from a file, shortened for a message, never inside a character.
std::string Shortened(const std::string& text, size_t longest = 40);
// What a value is, in words: "a string", "an array", ...
std::string Kind(const TJson& v);
// A whole number as int64, those beyond any range clamped; nullopt for anything else.
std::optional<int64_t> Whole(const TJson& v);

// Checks the "format" and "version" members of a file's object: the format
// must be `format`, the version from 1 to `newest`. `what` names the file
// kind in messages ("a battle file").
void CheckHeader(const TJson& file, const char* format, int newest, const char* what);
// Reads the object of a "setup" member; `path` names it in refusals
// ("setup", "battles[2].setup").
TBattleSetupRec ReadSetupObject(const TJson& setup, const std::string& path);
// The members of a setup as a file lists them, one a line, each line begun
// with `indent`, separated by commas; no line break after the last.
std::string SetupMembersText(const TBattleSetupRec& setup, const std::string& indent);

// Parses a file's text; a member given twice is refused (TRefused) rather
// than one of the two kept silently.
TJson ParseRefusingTwice(std::string_view text);
// Parses text, refusing members given twice, and hands the JSON to `read`,
// which may refuse it; returns the message of a refusal or a parse error, one
// line, or an empty string.
template <class TRead>
std::string ReadJsonText(std::string_view text, TRead&& read);
// "not valid JSON: ..." for a parse error, without the library's tag.
std::string ParseErrorText(const TJson::parse_error& e);
// Reads a regular file of at most maxBytes into text; false with the reason
// in error ("it is a folder, not a file", "cannot be read: ...", tooLarge).
bool ReadSmallFile(const std::string& path, size_t maxBytes, const char* tooLarge, std::string& text,
                   std::string& error);

template <class TRead>
std::string ReadJsonText(std::string_view text, TRead&& read)
{
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return "the file is empty";
    std::string error;
    try {
        read(ParseRefusingTwice(text));
    } catch (const TJson::parse_error& e) {
        error = ParseErrorText(e);
    } catch (const TRefused& refused) {
        error = refused.Message;
    }
    return OneLine(error);
}

}  // namespace setup_json
