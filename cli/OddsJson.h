#pragma once
// The JSON pieces of the odds tool that more than one of its modes writes.
#include <nlohmann/json.hpp>

#include "engine/exact/Exact.h"

using TJson = nlohmann::ordered_json;

// The "exact" object of --exact --json: the figures of the exact odds.
TJson ExactJson(const TExactOdds& odds);
