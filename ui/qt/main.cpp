// The Linux desktop program: the main dialog, run modally; the program ends when it closes.
#include <QApplication>

#include "app/CConverterApp.h"
#include "ui/qt/ModalPrompts.h"
#include "ui/qt/ProgramIcon.h"
#include "ui/qt/QtMainDlg.h"
#include "ui/qt/Translations.h"

int main(int argc, char* argv[]) {
    // The platform hands the arguments split; the dialog takes the first token of the joined line.
    const CString strCmdLine = CConverterApp::CommandLineFromArguments(argc, argv);
    const CConverterApp theApp(argv[0]);

    QApplication application(argc, argv);
    QApplication::setWindowIcon(ProgramIcon());
    InstallJapaneseQtTranslations(application);  // without them Qt's own few texts stay English

    QtModalPrompts prompts;
    QtMainDlg dialog(prompts, CMainDlg::Inputs::all);
    dialog.Start(strCmdLine);
    dialog.exec();
    // The dialog's result makes no difference: converted or cancelled, the program ends normally.
    return 0;
}
