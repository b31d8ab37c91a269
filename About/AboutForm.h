#pragma once
// TAboutForm: the About box, shown modally from the main window's menu.
#include <QDialog>

class QLabel;

namespace Ui {
class TAboutForm;
}

class TAboutForm : public QDialog {
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

    // The edition line; the main window writes the edition into it when it is first shown.
    QLabel* VersionLabel() const;

    Ui::TAboutForm* ui;

public slots:
    void Button1Click();  // "&OK"
};
