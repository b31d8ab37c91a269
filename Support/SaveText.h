#pragma once
// Saving a file's text in one step, for battle and turn files.
#include <QString>
#include <string>

// Writes text to path atomically (a new file beside it replaces it only once
// whole): a failed save leaves any old file as it was. Returns why it failed,
// or an empty string.
QString SaveTextAtomically(const QString& path, const std::string& text);
