#include "TolvaneApp.h"

#include "ExitStatus.h"
#include "QtTolvaneDlg.h"
#include "WindowOptions.h"

#include <QMessageBox>
#include <QStringList>

#include <cstdio>

CTolvaneApp::CTolvaneApp(int& argc, char** argv) : m_app(argc, argv)
{
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
}

int CTolvaneApp::Run()
{
    // Qt has taken the words meant for it.
    std::vector<std::string> args;
    const QStringList words = QApplication::arguments();
    for (qsizetype i = 1; i < words.size(); ++i)
        args.push_back(words[i].toLocal8Bit().toStdString());
    return RunTolvaneWindow(args, theHubUpgrader);
}

int RunTolvaneWindow(const std::vector<std::string>& args, CHubUpgrader& upgrader)
{
    WindowOptions options;
    std::string error;
    if (!ParseWindowOptions(args, options, error)) {
        // Standard error too, for whoever started the window from a script.
        const std::string text = RefusedCommandLineText(error);
        std::fputs(text.c_str(), stderr);
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Tolvane"), QString::fromStdString(text),
                        QMessageBox::Ok);
        box.setTextFormat(Qt::PlainText);
        box.exec();
        return kExitUsage;
    }
    CQtTolvaneDlg dialog(upgrader);
    dialog.SetOptions(options);
    QApplication::setWindowIcon(dialog.windowIcon());
    dialog.exec();
    return 0;
}
