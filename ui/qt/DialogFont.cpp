#include "ui/qt/DialogFont.h"

#include <QFontDatabase>

QStringList DialogFontFamilies(const char* templateFamily) {
    return {QString::fromUtf8(templateFamily), QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
}

QFont DialogFont(const char* templateFamily, int pointSize) {
    const QStringList candidates = DialogFontFamilies(templateFamily);
    const QStringList installed = QFontDatabase::families();
    QString family = candidates.first();
    for (const QString& candidate : candidates) {
        if (installed.contains(candidate, Qt::CaseInsensitive)) {
            family = candidate;
            break;
        }
    }
    QFont font(family);
    font.setPointSize(pointSize);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}
