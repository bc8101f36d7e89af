// Dialog units, the fallback font and the about box built from its template.
#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

#include "ui/qt/DialogFont.h"
#include "ui/qt/DialogUnits.h"
#include "ui/qt/QtAboutDlg.h"

class TestDialogLayout : public QObject {
    Q_OBJECT

private slots:
    void mulDiv_data() {
        QTest::addColumn<int>("a");
        QTest::addColumn<int>("b");
        QTest::addColumn<int>("c");
        QTest::addColumn<int>("result");
        QTest::newRow("exact") << 8 << 6 << 4 << 12;
        QTest::newRow("half rounds up") << 19 << 6 << 4 << 29;
        QTest::newRow("below half") << 21 << 5 << 4 << 26;
        QTest::newRow("negative half") << -19 << 6 << 4 << -29;
        QTest::newRow("zero divisor") << 3 << 4 << 0 << -1;
        QTest::newRow("large product") << 2000000000 << 3 << 4 << 1500000000;
    }

    void mulDiv() {
        QFETCH(int, a);
        QFETCH(int, b);
        QFETCH(int, c);
        QFETCH(int, result);
        QCOMPARE(MulDiv(a, b, c), result);
    }

    void toPixels_data() {
        QTest::addColumn<int>("baseX");
        QTest::addColumn<int>("baseY");
        QTest::addColumn<QRect>("units");
        QTest::addColumn<QRect>("pixels");
        QTest::newRow("input box, 6 x 12") << 6 << 12 << QRect(19, 22, 154, 19) << QRect(29, 33, 231, 29);
        QTest::newRow("button, 6 x 12") << 6 << 12 << QRect(133, 133, 50, 14) << QRect(200, 200, 75, 21);
        QTest::newRow("button, 7 x 15") << 7 << 15 << QRect(202, 70, 50, 14) << QRect(354, 131, 88, 26);
        QTest::newRow("dialog, 5 x 13") << 5 << 13 << QRect(0, 0, 259, 154) << QRect(0, 0, 324, 250);
    }

    void toPixels() {
        QFETCH(int, baseX);
        QFETCH(int, baseY);
        QFETCH(QRect, units);
        QFETCH(QRect, pixels);
        const DialogUnits du(baseX, baseY);
        QCOMPARE(du.ToPixels(units.x(), units.y(), units.width(), units.height()), pixels);
    }

    void baseUnitsFromFont() {
        const QFont font = DialogFont("ＭＳ Ｐゴシック", 9);
        const DialogUnits du = DialogUnits::FromFont(font);
        const QFontMetrics metrics(font);
        const int width = metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        QVERIFY(width > 52);
        QVERIFY(qAbs(du.BaseX() * 52 - width) <= 26);  // rounded average
        QCOMPARE(du.BaseY(), metrics.ascent() + metrics.descent());
        // A larger font gives larger units.
        const DialogUnits larger = DialogUnits::FromFont(DialogFont("ＭＳ Ｐゴシック", 18));
        QVERIFY(larger.BaseX() > du.BaseX());
        QVERIFY(larger.BaseY() > du.BaseY());
    }

    void fallbackFont() {
        const QFont font = DialogFont("No Such Family 12345", 9);
        QCOMPARE(font.pointSize(), 9);
        const QStringList installed = QFontDatabase::families();
        if (installed.contains("IPAPGothic")) QCOMPARE(font.family(), QStringLiteral("IPAPGothic"));
        QCOMPARE(DialogFontFamilies("ＭＳ Ｐゴシック").first(), QStringLiteral("ＭＳ Ｐゴシック"));
    }

    void aboutBox_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("units");
        QTest::newRow("version") << "label"
                                 << "Quorvel Version 1.100" << QRect(40, 10, 119, 8);
        QTest::newRow("OK") << "button"
                            << "OK" << QRect(178, 7, 50, 14);
    }

    void aboutBox() {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QRect, units);
        QWidget owner;
        QtAboutDlg about(&owner);
        QCOMPARE(about.windowTitle(), QStringLiteral("Quorvelのﾊﾞｰｼﾞｮﾝ情報"));
        QCOMPARE(about.size(), QSize(about.Units().ToPixelsX(235), about.Units().ToPixelsY(55)));
        QCOMPARE(about.minimumSize(), about.maximumSize());
        QWidget* found = nullptr;
        if (kind == "label") {
            for (QLabel* label : about.findChildren<QLabel*>())
                if (label->text() == text) found = label;
        } else {
            auto* button = about.findChild<QPushButton*>("1");
            QVERIFY(button);
            QCOMPARE(button->text(), text);
            QVERIFY(button->isDefault());
            found = button;
        }
        QVERIFY(found);
        QCOMPARE(found->geometry(),
                 about.Units().ToPixels(units.x(), units.y(), units.width(), units.height()));

        // The icon control keeps its position and takes the icon's size.
        QLabel* icon = nullptr;
        for (QLabel* label : about.findChildren<QLabel*>())
            if (!label->pixmap().isNull()) icon = label;
        QVERIFY(icon);
        QCOMPARE(icon->geometry(), QRect(about.Units().ToPixelsX(11), about.Units().ToPixelsY(17), 32, 32));
    }

    void aboutBoxEnds_data() {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }

    void aboutBoxEnds() {
        QFETCH(int, key);
        QWidget owner;
        QtAboutDlg about(&owner);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::keyClick(&about, Qt::Key(key));
        QVERIFY(!about.isVisible());
    }
};

QTEST_MAIN(TestDialogLayout)
#include "DialogLayout_test.moc"
