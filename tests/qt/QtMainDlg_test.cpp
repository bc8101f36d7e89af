// The desktop main dialog: its widgets, start-up, convert by Enter, drops, browsing and cancel.
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>
#include <memory>
#include <sstream>

#include "ScriptedPrompts.h"
#include "support/TempDir.h"
#include "pipeline/Conversion.h"
#include "app/CConverterApp.h"
#include "support/DialogCases.h"
#include "support/MemImage.h"
#include "cli/CliConverter.h"
#include "ui/qt/QtMainDlg.h"


namespace {
const QString kConverted = QStringLiteral("変換が終了しました。\nOKボタンを押して下さい。");
const QString kDropRefused =
    QStringLiteral("入力ファイルのファイルタイプが違います。\n拡張子[.mem]のファイルを選択して下さい。");

std::string TwoPointImage() {
    MemImage image;
    image.Use(0).Name(0, "Home").Reading(0, "home").Digits(0, "0312345678");
    image.Longitude(0, MemImage::Seconds(139, 45, 30), 128).Latitude(0, MemImage::Seconds(35, 40, 10), 64);
    image.Use(1).Name(1, "\x93\x8c\x8b\x9e").Digits(1, "");  // CP932 bytes, copied untouched
    image.Longitude(1, MemImage::Seconds(135, 30, 0), 0).Latitude(1, MemImage::Seconds(34, 41, 5), 255);
    return image.Bytes();
}

// What the core writes for the same input, without any window.
std::string DocumentWithoutDialog(const std::string& input, const std::string& output) {
    ConversionOptions options;
    options.recordForRecord = true;
    Conversion conversion(options);
    if (!conversion.Convert({CString(input)}, CString(output)).ok) return "conversion failed";
    return ReadFileBytes(output);
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

// Files dropped as the shell drops them: entering, then the drop, then the queued handling.
void DropOn(QtMainDlg& dlg, const QList<QUrl>& urls, QLineEdit* over) {
    QMimeData data;
    data.setUrls(urls);
    const QPointF at = over->mapTo(&dlg, QPoint(5, 5));
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &dropped);
    QVERIFY(dropped.isAccepted());
    QCoreApplication::processEvents();
}

QLineEdit* Box(QtMainDlg& dlg, const char* id) { return dlg.findChild<QLineEdit*>(QString::fromLatin1(id)); }
QPushButton* Button(QtMainDlg& dlg, const char* id) { return dlg.findChild<QPushButton*>(QString::fromLatin1(id)); }
}  // namespace

class TestQtMainDlg : public QObject {
    Q_OBJECT

private:
    const CConverterApp m_app{"/usr/bin/quorvel"};  // the caption of the application's boxes
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<QtMainDlg> m_dlg;

    QtMainDlg& Shown(const CString& cmdLine = "") {
        m_dlg->Start(cmdLine);
        m_dlg->show();
        if (!QTest::qWaitForWindowActive(m_dlg.get())) qWarning("dialog not active");
        return *m_dlg;
    }

private slots:
    void init() {
        m_prompts = std::make_unique<ScriptedPrompts>();
        m_dlg = std::make_unique<QtMainDlg>(*m_prompts, CMainDlg::Inputs::memPointFiles);
    }

    void cleanup() {
        m_dlg.reset();
        m_prompts.reset();
    }

    void controls_data() {
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QRect>("dialogUnits");
        QTest::addColumn<int>("tabPosition");  // -1: not a tab stop
        QTest::addColumn<bool>("isDefault");

        QTest::newRow("input box") << "1000"
                                   << "QLineEdit"
                                   << "" << QRect(19, 22, 154, 19) << 0 << false;
        QTest::newRow("output box") << "1001"
                                    << "QLineEdit"
                                    << "" << QRect(19, 70, 154, 19) << 1 << false;
        QTest::newRow("convert") << "1"
                                 << "QPushButton"
                                 << "変換" << QRect(133, 133, 50, 14) << 2 << true;
        QTest::newRow("cancel") << "2"
                                << "QPushButton"
                                << "ｷｬﾝｾﾙ" << QRect(202, 133, 50, 14) << 3 << false;
        QTest::newRow("browse input") << "1006"
                                      << "QPushButton"
                                      << "参照" << QRect(202, 22, 50, 14) << 4 << false;
        QTest::newRow("browse output") << "1007"
                                       << "QPushButton"
                                       << "参照" << QRect(202, 70, 50, 14) << 5 << false;
        QTest::newRow("input group")
            << "-1"
            << "QGroupBox"
            << "入力\u3000ファイル名\uFF08.mem\uFF09" << QRect(7, 7, 182, 42) << -1 << false;
        QTest::newRow("output group")
            << "-1"
            << "QGroupBox"
            << "出力\u3000ファイル名\uFF08.xml\uFF09" << QRect(7, 57, 182, 42) << -1 << false;
    }

    void controls() {
        QFETCH(QString, id);
        QFETCH(QString, className);
        QFETCH(QString, text);
        QFETCH(QRect, dialogUnits);
        QFETCH(int, tabPosition);
        QFETCH(bool, isDefault);
        QtMainDlg& dlg = Shown();

        QWidget* widget = nullptr;
        for (QWidget* candidate : dlg.Client()->findChildren<QWidget*>(id)) {
            const QString shown = qobject_cast<QGroupBox*>(candidate) ? qobject_cast<QGroupBox*>(candidate)->title()
                                  : qobject_cast<QPushButton*>(candidate)
                                      ? qobject_cast<QPushButton*>(candidate)->text()
                                      : qobject_cast<QLineEdit*>(candidate)->text();
            if (shown == text) widget = candidate;
        }
        QVERIFY2(widget, qPrintable(id + " " + text));
        QCOMPARE(widget->metaObject()->className(), className);

        // Dialog units from the dialog's own font: base units as Windows takes them.
        const QFontMetrics metrics(dlg.font());
        const double bx =
            std::floor(metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0 + 0.5);
        const double by = metrics.height();
        QVERIFY(bx > 0 && by > 0);
        const auto px = [](int du, double base, int per) { return int(std::floor(du * base / per + 0.5)); };
        QCOMPARE(widget->geometry(), QRect(px(dialogUnits.x(), bx, 4), px(dialogUnits.y(), by, 8),
                                           px(dialogUnits.width(), bx, 4), px(dialogUnits.height(), by, 8)));

        // Tab order: the chain of tab stops from the input box.
        QList<QWidget*> stops;
        QWidget* first = Box(dlg, "1000");
        QWidget* walker = first;
        do {
            if (walker->focusPolicy() & Qt::TabFocus) stops << walker;
            walker = walker->nextInFocusChain();
        } while (walker != first && stops.size() < 20);
        QCOMPARE(stops.indexOf(widget), tabPosition);
        QCOMPARE(stops.size(), 6);

        if (auto* button = qobject_cast<QPushButton*>(widget)) QCOMPARE(button->isDefault(), isDefault);
    }

    void window() {
        QtMainDlg& dlg = Shown();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Quorvel"));
        QCOMPARE(dlg.objectName(), QStringLiteral("102"));
        QVERIFY(!dlg.windowIcon().isNull());
        QVERIFY(dlg.acceptDrops());
        QCOMPARE(dlg.minimumSize(), dlg.maximumSize());
        QVERIFY(!(dlg.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(dlg.windowFlags() & Qt::WindowMinimizeButtonHint);
        QCOMPARE(dlg.pos(), QPoint(0, 0));
        // The template's 259 x 154 units are the client area, below the menu bar.
        QCOMPARE(dlg.Client()->size(), QSize(dlg.Units().ToPixelsX(259), dlg.Units().ToPixelsY(154)));
        QCOMPARE(dlg.Client()->y(), dlg.MenuBar()->height());
        QCOMPARE(dlg.height(), dlg.MenuBar()->height() + dlg.Client()->height());
        // The template's font, or a Japanese Gothic in its place, at 9 points.
        const QString family = QFontInfo(dlg.font()).family();
        QVERIFY2(QStringList({"ＭＳ Ｐゴシック", "IPAPGothic", "IPAGothic"}).contains(family), qPrintable(family));
        QCOMPARE(dlg.font().pointSize(), 9);

        const QList<QAction*> menus = dlg.MenuBar()->actions();
        QCOMPARE(menus.size(), 1);
        QCOMPARE(menus[0]->text(), QStringLiteral("ヘルプ"));
        QCOMPARE(menus[0]->menu()->actions().size(), 1);
        QCOMPARE(menus[0]->menu()->actions()[0]->text(), QStringLiteral("バーション"));
    }

    void startUp_data() {
        QTest::addColumn<QString>("cmdLine");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");

        QTest::newRow("none") << ""
                              << ""
                              << "";
        QTest::newRow("one name") << "/data/route.mem"
                                  << "/data/route.mem"
                                  << "/data/route.xml";
        QTest::newRow("quoted, with a space") << "\"/my data/route.mem\""
                                              << "/my data/route.mem"
                                              << "/my data/route.xml";
        QTest::newRow("comma ends the name") << "/a.mem,/b.xml"
                                             << "/a.mem"
                                             << "/a.xml";
        QTest::newRow("two names by a space") << "/a.mem /b.mem"
                                              << "/a.mem /b.mem"
                                              << "/a.mem /b.xml";
        QTest::newRow("other extension") << "/data/route.txt"
                                         << "/data/route.txt"
                                         << "/data/route.xml";
        QTest::newRow("non-ASCII folder") << "/データ/地点.mem"
                                          << "/データ/地点.mem"
                                          << "/データ/地点.xml";
    }

    void startUp() {
        QFETCH(QString, cmdLine);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QtMainDlg& dlg = Shown(FromQString(cmdLine));
        QCOMPARE(Box(dlg, "1000")->text(), input);
        QCOMPARE(Box(dlg, "1001")->text(), output);
        QCOMPARE(QApplication::focusWidget(), Box(dlg, "1000"));
        QCOMPARE(Box(dlg, "1000")->selectedText(), input);
        QVERIFY(m_prompts->messages.empty());
    }

    void convertByEnter_data() {
        QTest::addColumn<QString>("boxWithKey");
        QTest::addColumn<QString>("sample");  // bundled input with its expected document; empty: generated
        QTest::newRow("Enter in the input box") << "1000"
                                                << "";
        QTest::newRow("Enter in the output box") << "1001"
                                                 << "";
        const QDir samples(qEnvironmentVariable("QUORVEL_SOURCE_DIR") + "/samples");
        for (const QString& name : samples.entryList({"*.mem"}, QDir::Files)) {
            const QString base = samples.filePath(name.left(name.size() - 4));
            if (QFile::exists(base + ".xml")) QTest::newRow(qPrintable("sample " + name)) << "1000" << base;
        }
    }

    void convertByEnter() {
        QFETCH(QString, boxWithKey);
        QFETCH(QString, sample);
        TempDir dir;
        const std::string input = dir.File("route.mem");
        WriteFileBytes(input, sample.isEmpty() ? TwoPointImage() : ReadFileBytes((sample + ".mem").toStdString()));
        QtMainDlg& dlg = Shown(input.c_str());
        QLineEdit* box = dlg.findChild<QLineEdit*>(boxWithKey);
        box->setFocus();

        QTest::keyClick(box, Qt::Key_Return);

        QCOMPARE(m_prompts->messages.size(), size_t(1));
        QCOMPARE(m_prompts->messages[0].text, kConverted);
        QCOMPARE(m_prompts->messages[0].caption, QStringLiteral("終了"));
        QCOMPARE(m_prompts->messages[0].style, kMbOk);
        QCOMPARE(m_prompts->messages[0].owner, &dlg);
        QCOMPARE(dlg.result(), 1);  // IDOK
        QVERIFY(!dlg.isVisible());
        const std::string written = ReadFileBytes(dir.File("route.xml"));
        QVERIFY(!written.empty());
        if (sample.isEmpty()) QCOMPARE(written, DocumentWithoutDialog(input, dir.File("again.xml")));
        else QVERIFY(written == ReadFileBytes((sample + ".xml").toStdString()));
    }

    void convertRefused_data() {
        QTest::addColumn<QString>("inputName");  // in the temporary folder; empty: the box is empty
        QTest::addColumn<QString>("outputName");
        QTest::addColumn<int>("inputBytes");        // size of the file written as input
        QTest::addColumn<QStringList>("captions");  // message boxes in order
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("outputBoxAfter");

        // No map files wired: a name of no kind read gets the store's refusal. The cases every
        // front shares are dialogCases'.
        QTest::newRow("input not .mem") << "route.txt"
                                        << "route.xml" << 10804 << QStringList({"quorvel", "ERROR"})
                                        << "1000"
                                        << "route.xml";
        QTest::newRow("output empty") << "route.Mem"
                                      << "" << 10804 << QStringList() << "1001"
                                      << "route.xml";
    }

    void convertRefused() {
        QFETCH(QString, inputName);
        QFETCH(QString, outputName);
        QFETCH(int, inputBytes);
        QFETCH(QStringList, captions);
        QFETCH(QString, focus);
        QFETCH(QString, outputBoxAfter);
        TempDir dir;
        const QString folder = QString::fromStdString(dir.Path()) + '/';
        std::string bytes = TwoPointImage();
        bytes.resize(size_t(inputBytes));
        if (!inputName.isEmpty()) WriteFileBytes((folder + inputName).toStdString(), bytes);
        QtMainDlg& dlg = Shown();
        Box(dlg, "1000")->setText(inputName.isEmpty() ? QString() : folder + inputName);
        Box(dlg, "1001")->setText(outputName.isEmpty() ? QString() : folder + outputName);

        QTest::keyClick(Box(dlg, "1000"), Qt::Key_Return);

        QStringList shown;
        for (const PromptedMessage& message : m_prompts->messages) shown << message.caption;
        QCOMPARE(shown, captions);
        if (captions.contains("ERROR")) {
            QCOMPARE(m_prompts->messages.back().text,
                     QStringLiteral("ファイル %1 の読み込みに失敗しました").arg(folder + inputName));
            QCOMPARE(m_prompts->messages.back().style, kMbOk);
        }
        // The store's and the writer's own boxes carry the exclamation icon.
        if (!captions.isEmpty()) QCOMPARE(m_prompts->messages.front().style, kMbIconExclamation);
        QVERIFY(dlg.isVisible());
        if (!focus.isEmpty()) {
            QLineEdit* focused = dlg.findChild<QLineEdit*>(focus);
            QCOMPARE(QApplication::focusWidget(), focused);
            QCOMPARE(focused->selectedText(), focused->text());
        }
        QCOMPARE(Box(dlg, "1001")->text(), folder + outputBoxAfter);
        QVERIFY(!FileExists(dir.File("route.xml")));
    }

    // A phone's GPX dropped on the dialog and converted: the command line's document.
    void mapFileDropConverts() {
        TempDir dir, cliDir;
        const std::string gpx =
            "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"t\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n"
            "<wpt lat=\"35.6812\" lon=\"139.7671\"><name>東京駅</name></wpt>\n"
            "<wpt lat=\"34.7025\" lon=\"135.4959\"><name>Umeda</name></wpt>\n</gpx>\n";
        WriteFileBytes(dir.File("phone.gpx"), gpx);
        WriteFileBytes(cliDir.File("phone.gpx"), gpx);
        std::ostringstream out, err;
        QCOMPARE(CliConverter(out, err, "quorvel-cli").Run({cliDir.File("phone.gpx"), "--to", "glorie"}), 0);

        m_dlg = std::make_unique<QtMainDlg>(*m_prompts, CMainDlg::Inputs::all);
        QtMainDlg& dlg = Shown();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(dir.File("phone.gpx")))});
        const QPointF at = Box(dlg, "1000")->mapTo(&dlg, QPoint(5, 5));
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &enter);
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &dropped);
        QCoreApplication::processEvents();
        QCOMPARE(Box(dlg, "1001")->text(), QString::fromStdString(dir.File("phone.xml")));
        // The points under the output box, made for a map file only.
        const auto* line = dlg.Client()->findChild<QLabel*>(QStringLiteral("1008"));
        QVERIFY(line && line->isVisible());
        QCOMPARE(line->text(), QStringLiteral("2 地点を書き込みます"));
        QTest::keyClick(Box(dlg, "1000"), Qt::Key_Return);

        QCOMPARE(m_prompts->messages.size(), size_t(2));
        QCOMPARE(m_prompts->messages[0].caption, QStringLiteral("変換結果"));
        QCOMPARE(m_prompts->messages[0].text,
                 QStringLiteral("2 地点を書き込みました。\nフォルダ: %1\nphone.xml").arg(QString::fromStdString(dir.File(""))));
        QCOMPARE(m_prompts->messages[1].text, kConverted);
        QCOMPARE(dlg.result(), 1);
        QVERIFY(ReadFileBytes(dir.File("phone.xml")) == ReadFileBytes(cliDir.File("phone.xml")));
        m_dlg.reset();  // before the conversion it was given
    }

    void drop_data() {
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");

        QTest::newRow("last is .txt") << QStringList({"file:///d/a.mem", "file:///d/b.txt"}) << true << "/keep.mem"
                                      << "/keep.xml";
        QTest::newRow("folder without .mem") << QStringList({"file:///d/"}) << true << "/keep.mem"
                                             << "/keep.xml";
        QTest::newRow("web address") << QStringList({"https://example.org/x.txt"}) << true << "/keep.mem"
                                     << "/keep.xml";
        QTest::newRow("web address ending in .mem")
            << QStringList({"https://example.org/x.mem"}) << false << "https://example.org/x.mem"
            << "https://example.org/x.xml";
    }

    void drop() {
        QFETCH(QStringList, urls);
        QFETCH(bool, refused);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QtMainDlg& dlg = Shown("/keep.mem");
        QList<QUrl> list;
        for (const QString& url : urls) list << QUrl(url);
        DropOn(dlg, list, Box(dlg, "1000"));
        if (QTest::currentTestFailed()) return;

        if (refused) {
            QCOMPARE(m_prompts->messages.size(), size_t(1));
            QCOMPARE(m_prompts->messages[0].text, kDropRefused);
            QCOMPARE(m_prompts->messages[0].caption, QStringLiteral("Error"));
            QCOMPARE(m_prompts->messages[0].style, kMbIconExclamation);
        } else {
            QVERIFY(m_prompts->messages.empty());
        }
        QCOMPARE(Box(dlg, "1000")->text(), input);
        QCOMPARE(Box(dlg, "1001")->text(), output);
    }

    // The cases every front passes alike (support/DialogCases.h), with the map files wired as the
    // program has them; the user types, clicks and drops.
    void dialogCases_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < dialogcases::Cases().size(); ++i)
            QTest::newRow(dialogcases::Cases()[i].name) << static_cast<int>(i);
    }

    void dialogCases() {
        QFETCH(int, index);
        const dialogcases::Case& c = dialogcases::Cases()[static_cast<std::size_t>(index)];
        TempDir dir, reference;
        const std::string folder = dir.Path() + "/";
        const auto expand = [&folder](const char* pattern) { return Q(dialogcases::Expand(pattern, folder, '/')); };
        const std::string route = TwoPointImage();
        WriteFileBytes(dir.File("route.mem"), route);
        WriteFileBytes(dir.File("short.mem"), route.substr(1));
        WriteFileBytes(dir.File("route.dat"), route);
        WriteFileBytes(reference.File("route.mem"), route);
        std::ostringstream out, err;
        QCOMPARE(CliConverter(out, err, "quorvel-cli").Run({reference.File("route.mem")}), 0);
        const std::string document = ReadFileBytes(reference.File("route.xml"));

        m_dlg = std::make_unique<QtMainDlg>(*m_prompts, CMainDlg::Inputs::all);
        const QString start = expand(c.commandLine);
        QtMainDlg& dlg = Shown(FromQString(start));
        QCOMPARE(Box(dlg, "1000")->text(), start);
        QCOMPARE(Box(dlg, "1001")->text(), Q(dialogcases::ProposedOutput(start.toStdString())));
        for (const dialogcases::Step& step : c.steps) {
            const std::size_t before = m_prompts->messages.size();
            switch (step.act) {
            case dialogcases::Act::typeOutput: {
                QLineEdit* box = Box(dlg, "1001");
                box->setFocus();
                box->selectAll();
                QTest::keyClick(box, Qt::Key_Delete);
                QTest::keyClicks(box, expand(step.names));
                break;
            }
            case dialogcases::Act::convert: QTest::mouseClick(Button(dlg, "1"), Qt::LeftButton); break;
            case dialogcases::Act::drop: {
                QList<QUrl> urls;
                for (const std::string& name : dialogcases::ExpandList(step.names, folder, '/'))
                    urls << QUrl::fromLocalFile(Q(name));
                DropOn(dlg, urls, Box(dlg, "1000"));
                break;
            }
            case dialogcases::Act::cancel: QTest::mouseClick(Button(dlg, "2"), Qt::LeftButton); break;
            }
            QCOMPARE(m_prompts->messages.size() - before, step.boxes.size());
            for (std::size_t i = 0; i < step.boxes.size(); ++i) {
                const PromptedMessage& shown = m_prompts->messages[before + i];
                QCOMPARE(shown.caption, QString::fromUtf8(step.boxes[i].caption));
                QCOMPARE(shown.text, expand(step.boxes[i].text));
                QCOMPARE(shown.style, step.boxes[i].style);
                QCOMPARE(shown.owner, &dlg);
            }
        }
        if (c.endResult == 0) {
            QVERIFY(dlg.isVisible());
        } else {
            QVERIFY(!dlg.isVisible());
            QCOMPARE(dlg.result(), c.endResult);
        }
        if (c.inputBox) QCOMPARE(Box(dlg, "1000")->text(), expand(c.inputBox));
        if (c.outputBox) QCOMPARE(Box(dlg, "1001")->text(), expand(c.outputBox));
        if (c.focus) {
            QLineEdit* focused = dlg.findChild<QLineEdit*>(QString::number(c.focus));
            QCOMPARE(QApplication::focusWidget(), focused);
            QCOMPARE(focused->selectedText(), focused->text());
        }
        for (const char* name : c.written) QVERIFY2(ReadFileBytes(dir.File(name)) == document, name);
        for (const char* name : c.absent) QVERIFY2(!FileExists(dir.File(name)), name);
        m_dlg.reset();  // before the folder goes
    }

    void textDragIsNotTaken() {
        QtMainDlg& dlg = Shown();
        QMimeData data;
        data.setText("/d/a.mem");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&dlg, &enter);
        QVERIFY(!enter.isAccepted());
    }

    void browse_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("answer");  // empty: cancelled
        QTest::addColumn<bool>("open");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("defaultExt");
        QTest::addColumn<unsigned>("flags");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("focus");

        const QString inputFilter = "入力 ファイル (*.mem)|*.mem|すべてのファイル (*.*)|*.*||";
        const QString outputFilter = "出力 ファイル (*.xml)|*.xml|すべてのファイル (*.*)|*.*||";
        QTest::newRow("input, cancelled")
            << "1006" << QString() << true << "入力 ファイル指定" << inputFilter << "mem" << 0x6u
            << "/start/a.mem"
            << "/start/a.xml"
            << "1000";
        QTest::newRow("input, confirmed")
            << "1006" << QString("/data/route.mem") << true << "入力 ファイル指定" << inputFilter
            << "mem" << 0x6u << "/data/route.mem"
            << "/data/route.xml"
            << "1001";
        QTest::newRow("output, cancelled")
            << "1007" << QString() << false << "出力 ファイル指定" << outputFilter << "xml" << 0x806u
            << "/start/a.mem"
            << "/start/a.xml"
            << "1001";
        QTest::newRow("output, confirmed")
            << "1007" << QString("/out/b.xml") << false << "出力 ファイル指定" << outputFilter
            << "xml" << 0x806u << "/start/a.mem"
            << "/out/b.xml"
            << "1001";
    }

    void browse() {
        QFETCH(QString, button);
        QFETCH(QString, answer);
        QFETCH(bool, open);
        QFETCH(QString, title);
        QFETCH(QString, filter);
        QFETCH(QString, defaultExt);
        QFETCH(unsigned, flags);
        QFETCH(QString, input);
        QFETCH(QString, output);
        QFETCH(QString, focus);
        QtMainDlg& dlg = Shown("/start/a.mem");
        m_prompts->answers.push_back(answer);

        QTest::mouseClick(dlg.findChild<QPushButton*>(button), Qt::LeftButton);

        QCOMPARE(m_prompts->requests.size(), size_t(1));
        const FileDialogRequest& request = m_prompts->requests[0];
        QCOMPARE(request.bOpenFileDialog, open);
        QCOMPARE(ToQString(request.title), title);
        QCOMPARE(ToQString(request.filter), filter);
        QCOMPARE(ToQString(request.defaultExt), defaultExt);
        QCOMPARE(request.flags, flags);
        QCOMPARE(ToQString(request.initialDir), QStringLiteral("/start/"));
        QCOMPARE(Box(dlg, "1000")->text(), input);
        QCOMPARE(Box(dlg, "1001")->text(), output);
        QLineEdit* focused = dlg.findChild<QLineEdit*>(focus);
        QCOMPARE(QApplication::focusWidget(), focused);
        QCOMPARE(focused->selectedText(), focused->text());
        QVERIFY(m_prompts->messages.empty());
        QVERIFY(dlg.isVisible());
    }

    void cancel_data() {
        QTest::addColumn<int>("how");
        QTest::newRow("Escape") << 0;
        QTest::newRow("close box") << 1;
        QTest::newRow("cancel button") << 2;
    }

    void cancel() {
        QFETCH(int, how);
        QtMainDlg& dlg = Shown("/start/a.mem");
        if (how == 0) QTest::keyClick(Box(dlg, "1000"), Qt::Key_Escape);
        if (how == 1) QVERIFY(dlg.close());
        if (how == 2) QTest::mouseClick(Button(dlg, "2"), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), 2);  // IDCANCEL
        QVERIFY(m_prompts->messages.empty());
    }

    void aboutFromHelpMenu() {
        QtMainDlg& dlg = Shown("/start/a.mem");
        Box(dlg, "1001")->setFocus();
        QAction* item = dlg.MenuBar()->findChild<QAction*>("32774");
        QVERIFY(item);
        item->trigger();
        item->trigger();  // any number of times

        QCOMPARE(m_prompts->dialogs.size(), size_t(2));
        for (const RunDialogRecord& about : m_prompts->dialogs) {
            QCOMPARE(about.objectName, QStringLiteral("100"));
            QCOMPARE(about.title, QStringLiteral("Quorvelのﾊﾞｰｼﾞｮﾝ情報"));
            QCOMPARE(about.labels.value(0), QStringLiteral("Quorvel Version 1.100"));
            QVERIFY(about.labels.value(1).contains("2006"));
            QCOMPARE(about.okText, QStringLiteral("OK"));
            QVERIFY(about.okIsDefault);
            QVERIFY(about.hasIcon);
        }
        QCOMPARE(Box(dlg, "1000")->text(), QStringLiteral("/start/a.mem"));
        QCOMPARE(QApplication::focusWidget(), Box(dlg, "1001"));
        QVERIFY(dlg.isVisible());
    }
};

QTEST_MAIN(TestQtMainDlg)
#include "QtMainDlg_test.moc"
