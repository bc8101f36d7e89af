#pragma once
// The program icon, embedded in the program.
#include <QIcon>

QIcon ProgramIcon();
