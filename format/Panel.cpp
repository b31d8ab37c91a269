#include "format/Panel.h"

TPanelFigures ExactPanelFigures(const TExactOdds& o)
{
    return TPanelFigures{{100.0L * o.AttWins, 100.0L * o.DefWins, 100.0L * o.BothDes, 100.0L * o.BothRemain,
                          100.0L * o.AttWithdraws, o.AvgAttIPCLoss, o.AvgDefIPCLoss, o.AvgRounds}};
}

TPanelTexts PanelTexts(const RunTotals& totals, char separator)
{
    if (totals.Battles <= 0) {
        TPanelTexts t;
        for (std::string& row : t.Row) row.assign(1, '0');
        return t;
    }
    const long double battles = totals.Battles;
    auto share = [&](int64_t count) { return static_cast<long double>(count) / battles * 100; };
    auto mean = [&](int64_t sum) { return static_cast<long double>(sum) / battles; };
    return PanelTexts(TPanelFigures{{share(totals.AttWins), share(totals.DefWins), share(totals.BothDes),
                                     share(totals.BothRemain), share(totals.AttWithdraws), mean(totals.AttIPCLoss),
                                     mean(totals.DefIPCLoss), mean(totals.TotalRounds)}},
                      separator);
}

TPanelFigures PanelMargins(const RunTotals& totals)
{
    TPanelFigures m{};
    const int64_t n = totals.Battles;
    const int64_t counts[5] = {totals.AttWins, totals.DefWins, totals.BothDes, totals.BothRemain,
                               totals.AttWithdraws};
    for (int i = 0; i < 5; ++i) {
        const TInterval w = WilsonInterval(counts[i], n);
        m.Value[i] = n < 2 ? -1 : (w.High - w.Low) / 2 * 100;
    }
    const int64_t sums[3] = {totals.AttIPCLoss, totals.DefIPCLoss, totals.TotalRounds};
    const int64_t squares[3] = {totals.AttIPCLossSquares, totals.DefIPCLossSquares, totals.RoundsSquares};
    for (int i = 0; i < 3; ++i)
        m.Value[5 + i] = MeanMargin(static_cast<long double>(sums[i]), static_cast<long double>(squares[i]),
                                    static_cast<long double>(n));
    return m;
}
