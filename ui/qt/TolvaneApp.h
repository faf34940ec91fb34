// The program object of the Linux window: sets up Qt, runs the dialog
// modally and returns when the operator closes it.
#ifndef TOLVANE_UI_QT_TOLVANEAPP_H
#define TOLVANE_UI_QT_TOLVANEAPP_H

#include <QApplication>

class CTolvaneApp {
public:
    CTolvaneApp(int& argc, char** argv);

    // The process's exit status once the dialog has ended, however it ended.
    int Run();

private:
    QApplication m_app;
};

#endif
