#pragma once
// Dialog units to pixels, with the base units Windows takes from a dialog's font, so that the
// Qt dialogs keep the proportions of their templates.
#include <QFont>
#include <QRect>

class DialogUnits {
public:
    DialogUnits(int baseX, int baseY) : m_baseX(baseX), m_baseY(baseY) {}

    // Horizontal base unit: the rounded average width of the 52 ASCII letters; vertical: the
    // font's height (ascent plus descent).
    static DialogUnits FromFont(const QFont& font);

    int BaseX() const { return m_baseX; }
    int BaseY() const { return m_baseY; }
    int ToPixelsX(int du) const;
    int ToPixelsY(int du) const;
    QRect ToPixels(int x, int y, int w, int h) const;

private:
    int m_baseX;
    int m_baseY;
};

// a * b / c rounded half away from zero, as the Windows MulDiv.
int MulDiv(int a, int b, int c);
