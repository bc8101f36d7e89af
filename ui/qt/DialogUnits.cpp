#include "ui/qt/DialogUnits.h"

#include <QFontMetrics>
#include <cstdlib>

int MulDiv(int a, int b, int c) {
    if (c == 0) return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(c) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude = (std::llabs(product) + half) / std::llabs(c);
    return static_cast<int>(negative ? -magnitude : magnitude);
}

DialogUnits DialogUnits::FromFont(const QFont& font) {
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogUnits((width / 26 + 1) / 2, metrics.height());
}

int DialogUnits::ToPixelsX(int du) const { return MulDiv(du, m_baseX, 4); }

int DialogUnits::ToPixelsY(int du) const { return MulDiv(du, m_baseY, 8); }

QRect DialogUnits::ToPixels(int x, int y, int w, int h) const {
    // Position and size are mapped each on its own, as the dialog manager creates controls.
    return QRect(ToPixelsX(x), ToPixelsY(y), ToPixelsX(w), ToPixelsY(h));
}
