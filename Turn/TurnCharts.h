#pragma once
// The turn window's two charts, in the style of the result pages: the goals
// met (a bar for each number k of goals, the chance that exactly k are met)
// and the distribution of the turn's IPC swing with its 5 % and 95 % marks.
class QChartView;
struct TTurnOdds;

class TTurnCharts {
public:
    TTurnCharts(QChartView* goals, QChartView* swing);
    ~TTurnCharts();
    TTurnCharts(const TTurnCharts&) = delete;
    TTurnCharts& operator=(const TTurnCharts&) = delete;

    // Null: nothing to show (no battle, or the figures are being worked out).
    void Write(const TTurnOdds* odds);

private:
    struct TParts;
    TParts* Parts;  // the series and axes; the charts' scenes own them
};
