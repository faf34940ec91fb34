// The program object of the Linux window: sets up Qt, runs the dialog
// modally and returns when the operator closes it.
#ifndef TOLVANE_UI_QT_TOLVANEAPP_H
#define TOLVANE_UI_QT_TOLVANEAPP_H

#include "HubUpgrader.h"

#include <QApplication>

#include <string>
#include <vector>

class CTolvaneApp {
public:
    CTolvaneApp(int& argc, char** argv);

    // The process's exit status once the dialog has ended, however it ended.
    int Run();

private:
    QApplication m_app;
};

// The window on upgrader for the words after the program's name: the dialog
// until the operator ends it, and 0; or, for a command line it does not
// understand, no dialog and no scan, the refusal on standard error and in a
// message box, and the usage error's status.
int RunTolvaneWindow(const std::vector<std::string>& args, CHubUpgrader& upgrader);

#endif
