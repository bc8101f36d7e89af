// Message boxes and file dialogs as the program builds them, and the application box host.
#include <QFileDialog>
#include <QMessageBox>
#include <QtTest>

#include "ScriptedPrompts.h"
#include "app/CConverterApp.h"
#include "ui/qt/ModalPrompts.h"
#include "ui/qt/QtMainDlg.h"
#include "ui/qt/QtMainDlg.h"

class TestModalPrompts : public QObject {
    Q_OBJECT

private slots:
    void nameFilters_data() {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QStringList>("filters");
        QTest::newRow("input files") << "入力 ファイル (*.mem)|*.mem|すべてのファイル (*.*)|*.*||"
                                     << QStringList({"入力 ファイル (*.mem)", "すべてのファイル (*.*)"});
        QTest::newRow("pattern not in the description")
            << "Points|*.mem||" << QStringList({"Points (*.mem)"});
        QTest::newRow("several patterns") << "Text|*.txt;*.TXT||" << QStringList({"Text (*.txt *.TXT)"});
        QTest::newRow("empty list") << "" << QStringList();
        QTest::newRow("no closing bar") << "A|*.a|B|*.b" << QStringList({"A (*.a)", "B (*.b)"});
        QTest::newRow("description without pattern") << "A|*.a|B" << QStringList({"A (*.a)"});
    }

    void nameFilters() {
        QFETCH(QString, list);
        QFETCH(QStringList, filters);
        QCOMPARE(NameFiltersFromList(list), filters);
    }

    void messageBox_data() {
        QTest::addColumn<unsigned>("style");
        QTest::addColumn<int>("icon");
        QTest::newRow("no icon") << 0x0u << int(QMessageBox::NoIcon);
        QTest::newRow("exclamation") << 0x30u << int(QMessageBox::Warning);
        QTest::newRow("stop") << 0x10u << int(QMessageBox::Critical);
        QTest::newRow("question") << 0x20u << int(QMessageBox::Question);
        QTest::newRow("information") << 0x40u << int(QMessageBox::Information);
        QTest::newRow("exclamation, button bits set") << 0x31u << int(QMessageBox::Warning);
    }

    void messageBox() {
        QFETCH(unsigned, style);
        QFETCH(int, icon);
        QWidget owner;
        const QString text = QStringLiteral("ファイル <a&b>.mem の読み込みに失敗しました\n二行目");
        auto box = BuildMessageBox(&owner, text, QStringLiteral("ERROR"), style);
        QCOMPARE(int(box->icon()), icon);
        QCOMPARE(box->windowTitle(), QStringLiteral("ERROR"));
        QCOMPARE(box->text(), text);
        QCOMPARE(box->textFormat(), Qt::PlainText);
        QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box->defaultButton(), box->button(QMessageBox::Ok));
        QCOMPARE(box->parentWidget(), &owner);
        QVERIFY(box->windowModality() != Qt::NonModal);
    }

    void fileDialog_data() {
        QTest::addColumn<bool>("open");
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QStringList>("nameFilters");
        QTest::addColumn<bool>("confirmsOverwrite");

        QTest::newRow("open") << true << 0x6u << "入力 ファイル (*.mem)|*.mem|すべてのファイル (*.*)|*.*||"
                              << "/tmp"
                              << QStringList({"入力 ファイル (*.mem)", "すべてのファイル (*.*)"}) << false;
        QTest::newRow("save") << false << 0x806u << "出力 ファイル (*.xml)|*.xml|すべてのファイル (*.*)|*.*||"
                              << "/" << QStringList({"出力 ファイル (*.xml)", "すべてのファイル (*.*)"}) << true;
        QTest::newRow("save without prompt") << false << 0x4u << "X|*.xml||"
                                             << "/tmp" << QStringList({"X (*.xml)"})
                                             << false;
    }

    void fileDialog() {
        QFETCH(bool, open);
        QFETCH(unsigned, flags);
        QFETCH(QString, filter);
        QFETCH(QString, dir);
        QFETCH(QStringList, nameFilters);
        QFETCH(bool, confirmsOverwrite);
        FileDialogRequest request;
        request.bOpenFileDialog = open;
        request.defaultExt = open ? "mem" : "xml";
        request.flags = flags;
        request.filter = FromQString(filter);
        request.title = open ? "入力 ファイル指定" : "出力 ファイル指定";
        request.initialDir = FromQString(dir);
        QWidget owner;

        ScriptedPrompts refusals;
        auto dialog = BuildFileDialog(&owner, request, refusals);

        QCOMPARE(dialog->windowTitle(), ToQString(request.title));
        QCOMPARE(dialog->acceptMode(), open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
        QCOMPARE(dialog->defaultSuffix(), ToQString(request.defaultExt));
        QCOMPARE(dialog->nameFilters(), nameFilters);
        QCOMPARE(dialog->selectedNameFilter(), nameFilters.first());
        QCOMPARE(dialog->directory().absolutePath(), QDir(dir).absolutePath());
        QCOMPARE(!dialog->testOption(QFileDialog::DontConfirmOverwrite), confirmsOverwrite);
        QCOMPARE(dialog->parentWidget(), &owner);
    }

    void saveFolderMustExist_data() {
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<QString>("typed");  // under a fresh folder
        QTest::addColumn<bool>("accepted");
        QTest::newRow("folder exists") << 0x806u << "b.xml" << true;
        QTest::newRow("folder missing") << 0x806u << "missing/b.xml" << false;
        QTest::newRow("folder missing, no rule") << 0x6u << "missing/b.xml" << true;
    }

    void saveFolderMustExist() {
        QFETCH(unsigned, flags);
        QFETCH(QString, typed);
        QFETCH(bool, accepted);
        QTemporaryDir folder;
        FileDialogRequest request;
        request.bOpenFileDialog = false;
        request.defaultExt = "xml";
        request.flags = flags;
        request.filter = "出力 ファイル (*.xml)|*.xml||";
        request.title = "出力 ファイル指定";
        request.initialDir = FromQString(folder.path());
        ScriptedPrompts refusals;
        auto dialog = BuildFileDialog(nullptr, request, refusals);
        dialog->selectFile(folder.filePath(typed));

        QVERIFY(QMetaObject::invokeMethod(dialog.get(), "accept", Qt::DirectConnection));

        QCOMPARE(dialog->result() == QDialog::Accepted, accepted);
        QCOMPARE(refusals.messages.size(), size_t(accepted ? 0 : 1));
        if (!accepted) {
            QCOMPARE(refusals.messages[0].caption, QStringLiteral("出力 ファイル指定"));
            QVERIFY(refusals.messages[0].text.contains(folder.filePath("missing")));
            QCOMPARE(refusals.messages[0].style, kMbIconExclamation);
        }
    }

    void applicationBox_data() {
        QTest::addColumn<unsigned>("style");
        QTest::addColumn<unsigned>("shownStyle");
        QTest::newRow("no icon asked") << 0x0u << 0x30u;
        QTest::newRow("stop") << 0x10u << 0x10u;
    }

    void applicationBox() {
        QFETCH(unsigned, style);
        QFETCH(unsigned, shownStyle);
        ScriptedPrompts prompts;
        const CConverterApp app("/usr/local/bin/quorvel");
        QtMainDlg dlg(prompts);
        AfxMessageBox(dlg, "ファイルが見つかりません", style);
        QCOMPARE(prompts.messages.size(), size_t(1));
        QCOMPARE(prompts.messages[0].owner, &dlg);  // owned by the dialog, as its own boxes are
        QCOMPARE(prompts.messages[0].text, QStringLiteral("ファイルが見つかりません"));
        QCOMPARE(prompts.messages[0].caption, QStringLiteral("quorvel"));
        QCOMPARE(prompts.messages[0].style, shownStyle);
    }
};

QTEST_MAIN(TestModalPrompts)
#include "ModalPrompts_test.moc"
