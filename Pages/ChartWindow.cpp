#include "Pages/ChartWindow.h"

#include <QChartView>
#include <QVBoxLayout>

TChartWindow::TChartWindow(TChartKind kind, QWidget* owner) : QWidget(owner, Qt::Window)
{
    const QString title = ChartTitle(kind);
    setObjectName(QString(title).remove(u' ') + QStringLiteral("Window"));
    setWindowTitle(title);
    setAttribute(Qt::WA_DeleteOnClose);
    auto view = new QChartView(this);
    view->setObjectName(QStringLiteral("EnlargedChart"));
    auto layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    Chart_ = TResultChart::Make(kind, view, true);
    resize(720, 480);
}

TChartWindow::~TChartWindow() = default;
