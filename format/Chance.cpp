#include "format/Chance.h"

#include <charconv>
#include <cmath>

#include "format/Format.h"

namespace {

// Fixed notation with `decimals`, trailing zeros (and a bare point) dropped.
std::string Fixed(double v, int decimals, char separator)
{
    // to_chars: the same text whatever the process's locale.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, decimals);
    std::string text(buffer, result.ptr);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0') text.pop_back();
        if (text.back() == '.') text.pop_back();
    }
    for (char& c : text)
        if (c == '.') c = separator;
    if (text == "-0") text = "0";
    return text;
}

}  // namespace

std::string ChanceText(double probability, char separator)
{
    const double v = probability * 100;
    if (std::string end; PercentEnd(v, separator, end)) return end.append(" %");
    // Three significant digits; near 100 as many decimals as keep it below.
    int decimals = v >= 10 ? 1 : v >= 1 ? 2 : v >= 0.1 ? 3 : 4;
    while (decimals < 2 && Fixed(v, decimals, '.') == "100") ++decimals;
    return Fixed(v, decimals, separator) + " %";
}

std::string IpcText(double value, char separator)
{
    const double a = std::fabs(value);
    return Fixed(value, a >= 100 ? 0 : a >= 10 ? 1 : 2, separator);
}
