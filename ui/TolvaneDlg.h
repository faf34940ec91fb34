// The main dialog's logic, the same on every platform: the automatic scan,
// the two buttons, the status lamp and the rule that an upgrade needs a
// passing scan. It drives the window only through the operations below; the
// Windows dialog and the Qt window implement them.
#ifndef TOLVANE_UI_TOLVANEDLG_H
#define TOLVANE_UI_TOLVANEDLG_H

#include "HubUpgrader.h"
#include "LampColours.h"
#include "ProtectionsLine.h"
#include "UpgraderWindow.h"
#include "WindowOptions.h"

#include <cstdint>
#include <memory>
#include <string>

// Set by a passing scan, cleared by every upgrade attempt: "Start Upgrade"
// runs only right after a scan found hubs. One per process.
extern unsigned char bUpgradeReady;

extern const wchar_t kUpgradeCompletedText[];

class UpgradeSession;

class CTolvaneDlg : public IUpgraderWindow {
public:
    explicit CTolvaneDlg(CHubUpgrader& upgrader = theHubUpgrader) : m_upgrader(upgrader) {}

    // The part of the dialog's initialisation that is not the toolkit's:
    // "Start Upgrade" off, the protections line, then a scan, before the
    // window is first shown.
    void InitDialogLogic();
    void OnScanDevice();
    void OnStartUpgrade();
    // 0 red (failure), 1 green (ready), 2 yellow (busy); any other number
    // fills the lamp again with its current colour.
    void SetLamp(std::uint8_t state);
    // After the window's own painting: the lamp keeps its colour.
    void RepaintLamp() { FillLamp(nullptr); }
    // From the program's command line, before the first press.
    void SetOptions(const WindowOptions& options) { m_options = options; }

protected:
    ~CTolvaneDlg() override = default;

    virtual void EnableControl(int id, bool enable) = 0;
    // The pressed look of a push button, without clicking it.
    virtual void ShowPressed(int id, bool pressed) = 0;
    // Fills the lamp at once, outside the paint cycle; null: with the colour
    // it has now.
    virtual void FillLamp(const ColourRef* colour) = 0;
    // The success box: the text, an empty title, one OK button; returns when
    // the operator has closed it.
    virtual void ShowCompletedMessage(const std::wstring& text) = 0;
    // The line under the controls that says what protects the run; shown
    // at once, as the log is.
    virtual void ShowProtections(const std::wstring& text) = 0;

private:
    void FillLampWith(ColourRef colour) { FillLamp(&colour); }
    // The press through the session; true when every hub was programmed,
    // kept in the history and, with --verify, shows its new firmware.
    bool ScanAndUpgrade();
    // Why the session could not start or keep its history, as one log line.
    void LogSessionFailure(const UpgradeSession& session);
    void LogError(const std::string& line);
    // The protections line anew, with lastRun after it when not empty.
    void ShowProtectionsLine();
    // How the press ended (sentence), and the list as session read it (null
    // when it never started), for the protections line.
    void NoteRunEnd(const UpgradeSession* session, const std::string& sentence);

    CHubUpgrader& m_upgrader;
    WindowOptions m_options;
    ListState m_list;
    std::string m_lastRun;
};

#endif
