#include "TolvaneDlg.h"

#include "Approval.h"
#include "ApprovalGate.h"
#include "HistoryWriter.h"
#include "ObserverChain.h"
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
    m_upgrader.m_strLog.clear();
    m_upgrader.m_strMsg.clear();
    ShowPressed(IDC_SCAN_DEVICE, true);
    SetProgressPos(0);
    FillLampWith(kLampYellow);
    if (m_upgrader.Initialzation(this)) {
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

    // Settings and hubs are read anew in the same press, so the run never
    // works on a table that an earlier scan left behind.
    ApprovedList approved;
    std::unique_ptr<HistoryWriter> history;
    if (LoadApproved(approved) && StartHistory(history) && ScanAndUpgrade(approved, history.get())) {
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

bool CTolvaneDlg::StartHistory(std::unique_ptr<HistoryWriter>& history)
{
    if (!m_options.history)
        return true;
    history = std::make_unique<HistoryWriter>("Tolvane", TOLVANE_VERSION);
    if (history->Start(*m_options.history))
        return true;
    LogHistoryFailure(*history);
    return false;
}

bool CTolvaneDlg::LoadApproved(ApprovedList& approved)
{
    if (!m_options.approved) {
        if (m_options.trust.empty() && !m_options.signature)
            return true;
        LogError(std::string("!!!Error ") + (m_options.trust.empty() ? "--signature" : "--trust") +
                 " needs --approved\r\n");
        return false;
    }
    const ApprovalOptions options{*m_options.approved, m_options.trust, m_options.signature.value_or("")};
    Approval approval;
    std::string error;
    if (m_options.signature && m_options.signature->empty())
        error = "--signature needs a file";
    else if (LoadApproval(options, approval, error)) {
        approved = std::move(approval.list);
        return true;
    }
    LogError("!!!Error cannot use the approved list " + *m_options.approved + ": " + error + "\r\n");
    return false;
}

bool CTolvaneDlg::ScanAndUpgrade(const ApprovedList& approved, HistoryWriter* history)
{
    if (!history && !m_options.approved)
        return m_upgrader.Initialzation(this) && m_upgrader.RunUpgrade(this);
    // The check of the image comes first, so that a refused image is never
    // recorded as a write that started.
    ApprovalGate gate(approved);
    ObserverChain watchers;
    watchers.Add(m_options.approved ? &gate : nullptr);
    watchers.Add(history);
    m_upgrader.SetObserver(&watchers);
    const bool scanned = m_upgrader.Initialzation(this);
    if (!scanned && history)
        history->ScanFailed();
    const bool upgraded = scanned && m_upgrader.RunUpgrade(this);
    m_upgrader.SetObserver(nullptr);
    if (!history)
        return upgraded;
    history->Finish();
    // A line lost after the last write: the engine has not said so.
    if (upgraded && history->Failed())
        LogHistoryFailure(*history);
    return upgraded && !history->Failed();
}

void CTolvaneDlg::LogHistoryFailure(const HistoryWriter& history)
{
    LogError("!!!Error cannot write the history to " + *m_options.history + ": " + history.Error() + "\r\n");
}

void CTolvaneDlg::LogError(const std::string& line)
{
    m_upgrader.m_pDlg = this;
    m_upgrader.AppendLog(line);
    m_upgrader.PushLog();
}
