// The About box: the program's name, its edition and a note to the players.
#include "About/AboutForm.h"

#include "ui_AboutForm.h"

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent), ui(new Ui::TAboutForm)
{
    ui->setupUi(this);
    setFixedSize(434, 303);
    // A plain modal box: title bar with a close box, nothing to resize or maximize.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    connect(ui->Button1, &QPushButton::clicked, this, &TAboutForm::Button1Click);
}

TAboutForm::~TAboutForm()
{
    delete ui;
}

QLabel* TAboutForm::VersionLabel() const
{
    return ui->VersionLabel;
}

void TAboutForm::Button1Click()
{
    accept();
}
