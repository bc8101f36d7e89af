#pragma once
// The font a dialog template names, or a Japanese proportional Gothic from the system's fonts
// when that family is not installed.
#include <QFont>
#include <QString>
#include <QStringList>

// The families tried, the template's first.
QStringList DialogFontFamilies(const char* templateFamily);
// The first of the families that is installed, with the template's point size.
QFont DialogFont(const char* templateFamily, int pointSize);
