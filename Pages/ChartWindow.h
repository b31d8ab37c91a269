#pragma once
// TChartWindow: one chart of the "Graph Results" page enlarged in a window of
// its own, resizable and non-modal. The pages write it as they write their
// own charts, so it follows the shown results; closing it deletes it.
#include <QWidget>
#include <memory>

#include "Pages/ResultCharts.h"

class TChartWindow : public QWidget {
    Q_OBJECT

public:
    // A top-level window that `owner` (the main window) keeps and closes with itself.
    TChartWindow(TChartKind kind, QWidget* owner);
    ~TChartWindow() override;

    TResultChart& Chart() { return *Chart_; }

private:
    std::unique_ptr<TResultChart> Chart_;
};
