#pragma once
// The program's icon, from the resources built into the program; the
// application sets it as the icon of every window.
#include <QIcon>

QIcon ProgramIcon();
