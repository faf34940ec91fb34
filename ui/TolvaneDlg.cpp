#include "TolvaneDlg.h"

#include "BoardLoop.h"
#include "ExitStatus.h"
#include "UpgradeSession.h"
#include "resource.h"

unsigned char bUpgradeReady = 0;

const wchar_t kUpgradeCompletedText[] = L"Upgrade is completed.\r\nPlease power cycle the hub.";

void CTolvaneDlg::InitDialogLogic()
{
    EnableControl(IDC_START_UPGRADE, false);
    // The list is read here only to show its signer before the first press;
    // each press reads it again, and the line then shows what that read.
    m_list = ListState();
    if (m_options.approved) {
        Approval approval;
        if (LoadApproval(m_options.Approval(), approval, m_list.error))
            m_list.signer = approval.signer;
    }
    ShowProtectionsLine();
    OnScanDevice();
    if (m_options.loop)
        StartLoop();
}

CTolvaneDlg::CTolvaneDlg(CHubUpgrader& upgrader) : m_upgrader(upgrader)
{}

CTolvaneDlg::~CTolvaneDlg() = default;

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

SessionOptions WindowSessionOptions(const WindowOptions& options)
{
    SessionOptions session;
    session.program = "Tolvane";
    session.version = TOLVANE_VERSION;
    session.history = options.history;
    session.verify = options.verify;
    session.station = options.station;
    session.lot = options.lot;
    if (options.approved)
        session.approval = options.Approval();
    return session;
}

namespace {
// Why a session whose Prepare failed did not start, in one sentence.
std::string NotStarted(const UpgradeSession& session)
{
    return session.Failure() == SessionFailure::Approval ? "not started, the approved list cannot be used."
                                                         : "not started, the history cannot be written.";
}

// How a session that ran ended, in one sentence.
std::string SessionEnd(const UpgradeSession& session)
{
    if (!session.Interruption().empty())
        return "interrupted (" + session.Interruption() + "), " + RunOutcomeSentence(session.Hubs());
    if (!session.Scanned())
        return "the scan failed, no hub programmed.";
    std::string sentence = RunOutcomeSentence(session.Hubs());
    if (session.Failure() == SessionFailure::History)
        sentence.insert(sentence.size() - 1, "; the history could not be kept");
    return sentence;
}
} // namespace

bool CTolvaneDlg::ScanAndUpgrade()
{
    if (!OptionsUsable())
        return false;
    UpgradeSession session(m_upgrader, WindowSessionOptions(m_options));
    bool passed = false;
    DriveSession(session, passed);
    return passed;
}

bool CTolvaneDlg::OptionsUsable()
{
    // A key or a signature without a list would check nothing: refused
    // rather than ignored.
    if (!m_options.approved && (!m_options.trust.empty() || m_options.signature)) {
        LogError(std::string("!!!Error ") + (m_options.trust.empty() ? "--signature" : "--trust") +
                 " needs --approved\r\n");
        NoteRunEnd(nullptr, "not started, the options are incomplete.");
        return false;
    }
    if (m_options.approved && m_options.signature && m_options.signature->empty()) {
        LogError("!!!Error cannot use the approved list " + *m_options.approved + ": --signature needs a file\r\n");
        NoteRunEnd(nullptr, "not started, the options are incomplete.");
        return false;
    }
    // --approved without a file names no list: no image is approved, so
    // nothing may be written rather than everything.
    if (m_options.approved && m_options.approved->empty()) {
        Approval none;
        std::string error;
        LoadApproval(ApprovalOptions{}, none, error);
        LogError("!!!Error cannot use the approved list : " + error + "\r\n");
        NoteRunEnd(nullptr, "not started, the options are incomplete.");
        return false;
    }
    return true;
}

int CTolvaneDlg::DriveSession(UpgradeSession& session, bool& passed)
{
    passed = false;
    if (!session.Prepare()) {
        LogSessionFailure(session);
        NoteRunEnd(&session, NotStarted(session));
        return session.Failure() == SessionFailure::Approval ? kExitUsage : kExitFailed;
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
    passed = session.Upgraded() && status == kExitDone && session.Failure() == SessionFailure::None;
    NoteRunEnd(&session, SessionEnd(session));
    if (const InterruptionGuard* guard = session.Guard())
        EndAsInterrupted(*guard);
    return status;
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

void CTolvaneDlg::NoteRunEnd(const UpgradeSession* session, const std::string& sentence)
{
    m_lastRun = sentence;
    // The line shows the list as the press read it.
    if (session && session->LoadedApproval()) {
        m_list.signer = session->LoadedApproval()->signer;
        m_list.error.clear();
    }
    if (session && session->Failure() == SessionFailure::Approval)
        m_list.error = session->Error();
    ShowProtectionsLine();
}

void CTolvaneDlg::ShowProtectionsLine()
{
    std::string line = ProtectionsSentence(m_options, m_list);
    if (!m_lastRun.empty())
        line += " Last upgrade: " + m_lastRun;
    if (!m_loopLine.empty())
        line += " " + m_loopLine;
    ShowProtections(WideFromUtf8(line));
}
