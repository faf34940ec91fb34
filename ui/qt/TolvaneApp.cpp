#include "TolvaneApp.h"

#include "QtTolvaneDlg.h"

CTolvaneApp::CTolvaneApp(int& argc, char** argv) : m_app(argc, argv)
{
    QApplication::setApplicationName(QStringLiteral("Tolvane"));
}

int CTolvaneApp::Run()
{
    CQtTolvaneDlg dialog;
    QApplication::setWindowIcon(dialog.windowIcon());
    dialog.exec();
    return 0;
}
