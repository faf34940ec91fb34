#include "TolvaneDlg.h"

#include "HistoryWriter.h"
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
    std::unique_ptr<HistoryWriter> history;
    if (StartHistory(history) && ScanAndUpgrade(history.get())) {
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

bool CTolvaneDlg::ScanAndUpgrade(HistoryWriter* history)
{
    if (!history)
        return m_upgrader.Initialzation(this) && m_upgrader.RunUpgrade(this);
    m_upgrader.SetObserver(history);
    const bool scanned = m_upgrader.Initialzation(this);
    if (!scanned)
        history->ScanFailed();
    const bool upgraded = scanned && m_upgrader.RunUpgrade(this);
    m_upgrader.SetObserver(nullptr);
    history->Finish();
    // A line lost after the last write: the engine has not said so.
    if (upgraded && history->Failed())
        LogHistoryFailure(*history);
    return upgraded && !history->Failed();
}

void CTolvaneDlg::LogHistoryFailure(const HistoryWriter& history)
{
    m_upgrader.m_pDlg = this;
    m_upgrader.AppendLog("!!!Error cannot write the history to " + *m_options.history + ": " + history.Error() +
                         "\r\n");
    m_upgrader.PushLog();
}
