// Qt's own texts in Japanese: the file dialog as the program builds it, with the system's
// translations of Qt installed as the program installs them.
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include "ScriptedPrompts.h"
#include "ui/qt/ModalPrompts.h"
#include "ui/qt/Translations.h"

class TestTranslations : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(InstallJapaneseQtTranslations(*QCoreApplication::instance())); }

    void fileDialogSpeaksJapanese_data() {
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("accept");
        QTest::newRow("input browse") << true << QStringLiteral("開く(&O)");
        QTest::newRow("output browse") << false << QStringLiteral("保存(&S)");
    }

    void fileDialogSpeaksJapanese() {
        QFETCH(bool, open);
        QFETCH(QString, accept);
        ScriptedPrompts refusals;
        FileDialogRequest request;
        request.bOpenFileDialog = open;
        request.filter = "入力 ファイル (*.mem)|*.mem||";
        request.title = "入力 ファイル指定";
        const auto dialog = BuildFileDialog(nullptr, request, refusals);
        dialog->show();
        const struct {
            const char* name;
            QString text;
        } labels[] = {
            {"lookInLabel", QStringLiteral("アドレス:")},
            {"fileNameLabel", QStringLiteral("ファイル名(&N):")},
            {"fileTypeLabel", QStringLiteral("ファイルの種類:")},
        };
        for (const auto& label : labels) {
            const auto* widget = dialog->findChild<QLabel*>(QString::fromLatin1(label.name));
            QVERIFY2(widget, label.name);
            QCOMPARE(widget->text(), label.text);
        }
        bool found = false;
        for (const QPushButton* button : dialog->findChildren<QPushButton*>()) {
            QVERIFY2(!button->text().contains(QStringLiteral("Cancel")), qPrintable(button->text()));
            found = found || button->text() == accept;
        }
        QVERIFY2(found, qPrintable(accept));
        dialog->hide();
    }

    // The message boxes' one button keeps the text "OK".
    void messageBoxButtonStaysOk() {
        const auto box = BuildMessageBox(nullptr, QStringLiteral("text"), QStringLiteral("ERROR"), 0);
        QCOMPARE(box->button(QMessageBox::Ok)->text(), QStringLiteral("OK"));
    }
};

QTEST_MAIN(TestTranslations)
#include "Translations_test.moc"
