#pragma once
// Qt's own texts (the file dialog's "Look in", "File name", the message boxes' buttons) in
// Japanese, as every other text of the program: Qt's translations as the system installed them.
#include <QCoreApplication>

// False when the system has no Japanese translation of Qt (the package qt6-translations-l10n):
// Qt's texts then stay English.
bool InstallJapaneseQtTranslations(QCoreApplication& application);
