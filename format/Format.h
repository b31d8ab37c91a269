#pragma once
// Number formats of the results: the general format with N significant
// digits, the percentage and average rules of the panel, and the share texts
// of the outcome grid. Shared by the window and the command-line tool; the
// panel's figures of the engine's results are in Panel.h.
#include <cstdint>
#include <string>


// General format: 18 significant digits first, then N, halves up; fixed
// notation when the exponent allows, else scientific ("1.23E3", "1E-5").
std::string FormatGeneral(long double v, int digits, char separator = '.');

// > 10: 3 digits; 0: "0"; < 1: "<1"; else 2 digits.
std::string PercentRule(long double v, char separator = '.');
// > 10: 3 digits; >= 1: 2 digits; else 1 digit.
std::string AverageRule(long double v, char separator = '.');

// Rounds to the nearest integer, an exact half to the even neighbour.
int64_t RoundHalfEven(long double v);

// Column "%" of the grid: "<1%" below 1 %, else the rounded percentage and "%".
std::string ShareText(int64_t instances, int64_t battles);

constexpr int PanelRows = 8;
// Row labels of the "Average Results" panel, top to bottom.
extern const char* const PanelRowLabels[PanelRows];

struct TPanelTexts {
    std::string Row[PanelRows];
};
// The eight figures of the panel, top to bottom: five percentages (0 to 100)
// and three averages.
struct TPanelFigures {
    long double Value[PanelRows];
};
TPanelTexts PanelTexts(const TPanelFigures& figures, char separator = '.');

// The 95 % Wilson score interval of `k` battles out of `n`, as fractions.
// Unlike 1.96 standard errors of k / n it does not shrink to nothing when k
// is 0 or n.
struct TInterval {
    long double Low = 0;
    long double High = 0;
};
TInterval WilsonInterval(int64_t k, int64_t n);

// The 95 % margin of a mean of `n` values from their sum and sum of squares
// (1.96 standard errors from the sample variance); negative below 2 values.
long double MeanMargin(long double sum, long double squares, long double n);

// The report's number beside a margin: fixed notation, down to the decimal
// one place finer than the margin's leading digit (736.50 beside 0.31), so
// that two figures within the margin of each other still read apart. Without
// a margin (margin <= 0) three significant digits. Never scientific, never
// "<1", at most 6 decimals.
std::string FixedBesideMargin(long double v, long double margin, char separator = '.');

// A chance in percent as the charts label it, the same for a run's figure and
// an exact one: two decimals ("1.91", "16.50"), "0" and "100" when it is
// exactly that, "< 0.01" and "> 99.99" for what two decimals would round to
// 0.00 or 100.00; never scientific.
// The ends every percentage text shares: "0" and "100" only when exact,
// "< 0.01" below 0.01 and "> 99.99" above 99.99, never scientific notation;
// false when the percentage lies between, for the caller's own digits.
bool PercentEnd(long double percent, char separator, std::string& text);
std::string PercentFigure(long double percent, char separator = '.');
