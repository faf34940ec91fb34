#include "TolvaneApp.h"

#include "QtTolvaneDlg.h"

#include <QStringList>

#include <string>
#include <vector>

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
    CQtTolvaneDlg dialog;
    dialog.SetOptions(ParseWindowOptions(args));
    QApplication::setWindowIcon(dialog.windowIcon());
    dialog.exec();
    return 0;
}
