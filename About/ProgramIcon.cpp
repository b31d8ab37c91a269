#include "About/ProgramIcon.h"

QIcon ProgramIcon()
{
    // The resource lives in a static library: without this call the linker
    // may leave it out of the program.
    Q_INIT_RESOURCE(varnholt);
    return QIcon(QStringLiteral(":/icons/varnholt.svg"));
}
