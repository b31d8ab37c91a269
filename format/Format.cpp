#include "format/Format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int WorkDigits = 18;

// The significant digits of |v| (no leading zero) and the position E of the
// decimal point: |v| = 0.d1d2... x 10^E.
struct TDigits {
    char D[WorkDigits + 2] = {};
    int Count = 0;
    int E = 0;
};

// 18 significant digits, rounded to nearest by the C library, then rounded
// again to the requested count with a half going up. The two steps are the
// point: 35 / 100 in extended precision reads 0.350000000000000000 at 18
// digits and so becomes 0.4 at one digit, where a single rounding of the
// binary value would give 0.3.
TDigits SignificantDigits(long double magnitude, int digits)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*Le", WorkDigits - 1, magnitude);  // d.ddd...e+XX

    TDigits r;
    char all[WorkDigits];
    int n = 0;
    const char* p = text;
    for (; *p != 'e' && *p != '\0'; ++p)
        if (*p >= '0' && *p <= '9' && n < WorkDigits) all[n++] = *p;
    const int exp10 = (*p == 'e') ? std::atoi(p + 1) : 0;
    r.E = exp10 + 1;

    for (int i = 0; i < digits; ++i) r.D[i] = all[i];
    r.Count = digits;
    if (digits < n && all[digits] >= '5') {
        int i = digits - 1;
        while (i >= 0 && r.D[i] == '9') r.D[i--] = '0';
        if (i >= 0) {
            ++r.D[i];
        } else {  // 9.96 -> 10: the carry adds a digit in front
            r.D[0] = '1';
            for (int k = 1; k < digits; ++k) r.D[k] = '0';
            ++r.E;
        }
    }
    while (r.Count > 1 && r.D[r.Count - 1] == '0') --r.Count;
    r.D[r.Count] = '\0';
    return r;
}

}  // namespace

std::string FormatGeneral(long double v, int digits, char separator)
{
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (v == 0) return "0";
    if (digits < 1) digits = 1;
    if (digits > WorkDigits) digits = WorkDigits;

    const TDigits d = SignificantDigits(std::fabs(v), digits);
    std::string out = v < 0 ? "-" : "";

    if (d.E >= -3 && d.E <= digits) {
        if (d.E <= 0) {
            out += '0';
            out += separator;
            out.append(static_cast<size_t>(-d.E), '0');
            out.append(d.D, static_cast<size_t>(d.Count));
        } else {
            for (int i = 0; i < d.E; ++i) out += i < d.Count ? d.D[i] : '0';
            if (d.Count > d.E) {
                out += separator;
                out.append(d.D + d.E, static_cast<size_t>(d.Count - d.E));
            }
        }
        return out;
    }

    out += d.D[0];
    if (d.Count > 1) {
        out += separator;
        out.append(d.D + 1, static_cast<size_t>(d.Count - 1));
    }
    out += 'E';
    out += std::to_string(d.E - 1);
    return out;
}

std::string PercentRule(long double v, char separator)
{
    if (v > 10) return FormatGeneral(v, 3, separator);
    if (v == 0) return "0";
    if (v < 1) return "<1";
    return FormatGeneral(v, 2, separator);
}

std::string AverageRule(long double v, char separator)
{
    if (v > 10) return FormatGeneral(v, 3, separator);
    if (v >= 1) return FormatGeneral(v, 2, separator);
    return FormatGeneral(v, 1, separator);
}

int64_t RoundHalfEven(long double v)
{
    const long double below = std::floor(v);
    const long double fraction = v - below;
    auto whole = static_cast<int64_t>(below);
    if (fraction > 0.5L || (fraction == 0.5L && (whole % 2 != 0))) ++whole;
    return whole;
}

std::string ShareText(int64_t instances, int64_t battles)
{
    const long double p =
        battles > 0 ? static_cast<long double>(instances) / static_cast<long double>(battles) * 100 : 0;
    if (p < 1) return "<1%";
    return std::to_string(RoundHalfEven(p)) + "%";
}

const char* const PanelRowLabels[PanelRows] = {
    "ATT wins %",       "DEF wins %",       "Both dest. %",  "Both remain %",
    "ATT with. %",      "Avg Att IPC Loss", "Avg Def IPC Loss", "Average Rounds",
};

TPanelTexts PanelTexts(const TPanelFigures& f, char separator)
{
    TPanelTexts t;
    for (int i = 0; i < 5; ++i) t.Row[i] = PercentRule(f.Value[i], separator);
    // The attacker's loss deliberately reads "<1" when small; the defender's
    // loss and the rounds show their first digit instead.
    t.Row[5] = PercentRule(f.Value[5], separator);
    t.Row[6] = AverageRule(f.Value[6], separator);
    t.Row[7] = AverageRule(f.Value[7], separator);
    return t;
}



TInterval WilsonInterval(int64_t k, int64_t n)
{
    if (n <= 0) return {0, 1};
    constexpr long double Z = 1.96L;
    const long double nn = static_cast<long double>(n);
    const long double p = static_cast<long double>(k) / nn;
    const long double z2n = Z * Z / nn;
    const long double centre = (p + z2n / 2) / (1 + z2n);
    const long double half = Z / (1 + z2n) * std::sqrt(p * (1 - p) / nn + z2n / (4 * nn));
    // At k = 0 (k = n) the low (high) end is 0 (1) in exact arithmetic.
    return {k == 0 ? 0 : std::max(0.0L, centre - half), k == n ? 1 : std::min(1.0L, centre + half)};
}

long double MeanMargin(long double sum, long double squares, long double n)
{
    if (n < 2) return -1;
    // Rounding can leave a tiny negative for a constant sample.
    const long double variance = std::max(0.0L, (squares - sum * sum / n) / (n - 1));
    return 1.96L * std::sqrt(variance / n);
}


std::string FixedBesideMargin(long double v, long double margin, char separator)
{
    constexpr int MaxDecimals = 6;
    if (!std::isfinite(v)) return FormatGeneral(v, 3, separator);
    int decimals = 0;
    if (margin > 0 && std::isfinite(margin))
        decimals = 1 - static_cast<int>(std::floor(std::log10(margin)));
    else if (v != 0)
        decimals = 2 - static_cast<int>(std::floor(std::log10(std::fabs(v))));
    decimals = std::clamp(decimals, 0, MaxDecimals);
    char text[96];
    std::snprintf(text, sizeof text, "%.*Lf", decimals, v);
    std::string out = text;
    // The C library writes the locale's decimal point.
    for (char& c : out)
        if (c != '-' && (c < '0' || c > '9')) c = separator;
    if (out[0] == '-' && out.find_first_not_of("-0" + std::string(1, separator)) == std::string::npos)
        out.erase(0, 1);  // no "-0.00"
    return out;
}

bool PercentEnd(long double percent, char separator, std::string& text)
{
    const std::string point(1, separator);
    if (!(percent > 0)) text = "0";
    else if (percent >= 100) text = "100";
    else if (percent < 0.01L) text = "< 0" + point + "01";
    else if (percent > 99.99L) text = "> 99" + point + "99";
    else return false;
    return true;
}

std::string PercentFigure(long double percent, char separator)
{
    std::string out;
    if (PercentEnd(percent, separator, out)) return out;
    char text[32];
    std::snprintf(text, sizeof text, "%.2Lf", percent);
    out = text;
    for (char& c : out)
        if (c < '0' || c > '9') c = separator;
    return out;
}
