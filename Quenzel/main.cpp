// Start-up: the main window first (it becomes the application's main
// window), then the About box it writes into when it is first shown; a
// battle file named on the command line (`varnholt FILE`, as a file manager
// starts it) is opened once the window is up; a turn file (*.vturn) opens
// in the turn window.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "About/AboutForm.h"
#include "About/ProgramIcon.h"
#include "BattleFiles/BattleFiles.h"
#include "Dizorivurad/Dizorivurad.h"

namespace {

// Without a display the toolkit would abort with a long complaint; say it in one line instead.
bool DisplayAvailable(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
    return false;
}

const char* const Usage =
    "Usage: varnholt [FILE]\n"
    "Opens the Varnholt Combat Simulator window, and in it the battle file FILE\n"
    "(*.vbattle) if one is named.\n"
    "\n"
    "Options:\n"
    "  --help     print this text\n"
    "  --version  print the version\n"
    "The toolkit's own options (such as -platform) are taken too.\n";

}  // namespace

int main(int argc, char** argv)
{
    // Answered before any display is looked for, so that they work anywhere.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts("varnholt " VARNHOLT_VERSION);
            return 0;
        }
    }
    if (!DisplayAvailable(argc, argv)) {
        std::fputs("varnholt: no display available (neither DISPLAY nor WAYLAND_DISPLAY is set)\n", stderr);
        return 1;
    }
    QApplication application(argc, argv);
    // The icon of every window; the desktop file name lets a Wayland desktop
    // match the windows to the menu entry and its icon.
    QApplication::setWindowIcon(ProgramIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral(VARNHOLT_APP_ID));
    TForm1 Form1;
    TAboutForm AboutForm;
    Form1.SetAboutForm(&AboutForm);
    Form1.show();
    // The toolkit has taken its own options out of the arguments by now.
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i)
        if (!arguments[i].startsWith(u'-')) {
            const QString path = arguments[i];
            if (QFileInfo(path).suffix().compare(QStringLiteral("vturn"), Qt::CaseInsensitive) == 0)
                QTimer::singleShot(0, &Form1, [&Form1, path] { Form1.OpenTurnFile(path); });
            else Form1.Files->OpenLater(path);
            break;
        }
    return application.exec();
}
