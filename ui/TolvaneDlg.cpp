#include "TolvaneDlg.h"

#include "ExitStatus.h"
#include "UpgradeSession.h"
#include "resource.h"

unsigned char bUpgradeReady = 0;

const wchar_t kUpgradeCompletedText[] = L"Upgrade is completed.\r\nPlease power cycle the hub.";

void CTolvaneDlg::InitDialogLogic()
{
    EnableControl(IDC_START_UPGRADE, false);
    OnScanDevice();
}

void CTolvaneDlg::OnScanDevice()
{
    ShowPressed(IDC_SCAN_DEVICE, true);
    SetProgressPos(0);
    FillLampWith(kLampYellow);
    if (m_upgrader.Scan(this)) {
        EnableControl(IDC_START_UPGRADE, true);
        FillLampWith(kLampGreen);
        bUpgradeReady = 1;
    } else {
        // A failed rescan keeps an earlier readiness: the upgrade scans again
        // before it touches a hub anyway.
        FillLampWith(kLampRed);
    }
    ShowPressed(IDC_SCAN_DEVICE, false);
}

void CTolvaneDlg::OnStartUpgrade()
{
    if (bUpgradeReady == 0)
        return;
    bUpgradeReady = 0;

    m_upgrader.m_strLog.clear();
    m_upgrader.m_strMsg.clear();
    ShowPressed(IDC_START_UPGRADE, true);
    EnableControl(IDC_START_UPGRADE, false);
    EnableControl(IDC_SCAN_DEVICE, false);
    FillLampWith(kLampYellow);

    if (ScanAndUpgrade()) {
        FillLampWith(kLampGreen);
        ShowCompletedMessage(kUpgradeCompletedText);
        SetProgressPos(0);
    } else {
        SetLamp(0);
        EnableControl(IDC_START_UPGRADE, false);
    }

    EnableControl(IDC_SCAN_DEVICE, true);
    ShowPressed(IDC_START_UPGRADE, false);
    EnableControl(IDC_START_UPGRADE, false);
}

void CTolvaneDlg::SetLamp(std::uint8_t state)
{
    switch (state) {
    case 0:
        FillLampWith(kLampRed);
        break;
    case 1:
        FillLampWith(kLampGreen);
        break;
    case 2:
        FillLampWith(kLampYellow);
        break;
    default:
        FillLamp(nullptr);
        break;
    }
}

namespace {
SessionOptions WindowSessionOptions(const WindowOptions& options)
{
    SessionOptions session;
    session.program = "Tolvane";
    session.version = TOLVANE_VERSION;
    session.history = options.history;
    session.verify = options.verify;
    if (options.approved) {
        session.approval.list = *options.approved;
        session.approval.trust = options.trust;
        if (options.signature)
            session.approval.signature = *options.signature;
    }
    return session;
}
} // namespace

bool CTolvaneDlg::ScanAndUpgrade()
{
    // A key or a signature without a list would check nothing: refused
    // rather than ignored.
    if (!m_options.approved && (!m_options.trust.empty() || m_options.signature)) {
        LogError(std::string("!!!Error ") + (m_options.trust.empty() ? "--signature" : "--trust") +
                 " needs --approved\r\n");
        return false;
    }
    if (m_options.approved && m_options.signature && m_options.signature->empty()) {
        LogError("!!!Error cannot use the approved list " + *m_options.approved + ": --signature needs a file\r\n");
        return false;
    }
    // --approved without a file names no list: no image is approved, so
    // nothing may be written rather than everything.
    if (m_options.approved && m_options.approved->empty()) {
        Approval none;
        std::string error;
        LoadApproval(ApprovalOptions{}, none, error);
        LogError("!!!Error cannot use the approved list : " + error + "\r\n");
        return false;
    }
    UpgradeSession session(m_upgrader, WindowSessionOptions(m_options));
    if (!session.Prepare()) {
        LogSessionFailure(session);
        return false;
    }
    session.Run(this);
    if (!session.VerifyLines().empty()) {
        m_upgrader.m_pDlg = this;
        m_upgrader.AppendLog(session.VerifyLines());
        m_upgrader.PushLog();
    }
    const int status = session.Status();
    session.Finish(status);
    // A line lost after the last write: the engine has not said so.
    if (session.Failure() == SessionFailure::History && session.Upgraded())
        LogSessionFailure(session);
    const bool passed = session.Upgraded() && status == kExitDone && session.Failure() == SessionFailure::None;
    if (const InterruptionGuard* guard = session.Guard())
        EndAsInterrupted(*guard);
    return passed;
}

void CTolvaneDlg::LogSessionFailure(const UpgradeSession& session)
{
    if (session.Failure() == SessionFailure::Approval)
        LogError("!!!Error cannot use the approved list " + *m_options.approved + ": " + session.Error() + "\r\n");
    else
        LogError("!!!Error cannot write the history to " + *m_options.history + ": " + session.Error() + "\r\n");
}

void CTolvaneDlg::LogError(const std::string& line)
{
    m_upgrader.m_pDlg = this;
    m_upgrader.AppendLog(line);
    m_upgrader.PushLog();
}
