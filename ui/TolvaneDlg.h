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

class BoardLoop;
class UpgradeSession;
struct SessionOptions;

// What a press (and each board of the loop) hands the upgrade session.
SessionOptions WindowSessionOptions(const WindowOptions& options);

class CTolvaneDlg : public IUpgraderWindow {
public:
    explicit CTolvaneDlg(CHubUpgrader& upgrader = theHubUpgrader);

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

    // The production loop (--loop), started after the first scan: the
    // toolkit's timer calls OnLoopTick every LoopPollMs while Looping.
    bool Looping() const { return m_loop != nullptr; }
    std::uint32_t LoopPollMs() const;
    void OnLoopTick();
    // The stop control and the window's close: no board starts after it.
    void OnStopLoop();

protected:
    ~CTolvaneDlg() override;

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
    // The loop's timer, at LoopPollMs, on and off, and its stop control;
    // a window without them (a test's) calls OnLoopTick itself.
    virtual void RunLoopTimer(bool /*run*/) {}

private:
    void FillLampWith(ColourRef colour) { FillLamp(&colour); }
    // The press through the session; true when every hub was programmed,
    // kept in the history and, with --verify, shows its new firmware.
    bool ScanAndUpgrade();
    // The checks of the options a session cannot make; false, logged, when
    // one fails.
    bool OptionsUsable();
    // One press through session; passed as ScanAndUpgrade returns it.
    int DriveSession(UpgradeSession& session, bool& passed);
    void StartLoop();
    void RunDueBoard();
    void EndLoop();
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
    std::unique_ptr<BoardLoop> m_loop;
    bool m_loopWaitShown = false;
    std::string m_loopLine; // the last board and the counts, for the line
};

#endif
