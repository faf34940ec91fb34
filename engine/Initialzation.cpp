#include "HubUpgrader.h"

#include "LibraryReport.h"
#include "Platform.h"
#include "ZQ460API.h"

bool CHubUpgrader::Scan(IUpgraderWindow* dialog)
{
    m_strLog.clear();
    m_strMsg.clear();
    return Initialzation(dialog);
}

bool CHubUpgrader::Initialzation(IUpgraderWindow* dialog)
{
    m_pDlg = dialog;
    m_bScanPassed = false;
    ReplaceLog("1. Initialzation()\r\n");
    PushLog();

    ScanStep("GetDllInfo");
    GetDllInfo();
    ScanStep("LoadSettingFromIni");
    if (!LoadSettingFromIni())
        return false;
    ScanStep("IsDriverInstallNeeded");
    if (IsDriverInstallNeeded())
        return false;

    // The step lines give way to the search; a passing search leaves only
    // the device list behind.
    ReplaceLog("1. Initialzation()  Success\r\n");
    AppendLog("Start Search HUB\r\n");
    PushLog();
    ScanStep("SearchHub");
    return SearchHub();
}

void CHubUpgrader::ScanStep(const char* step)
{
    if (m_pObserver)
        m_pObserver->OnScanStep(step);
}

void CHubUpgrader::GetDllInfo()
{
    AppendLog("\t1.1 GetDllInfo()\t");
    PushLog();

    std::uint32_t version = 0;
    RX_GetDllVersion(&version);
    if (m_pObserver)
        m_pObserver->OnDllVersion(version);
    AppendLog("API Version: " + Format("%x", static_cast<unsigned>(version)) + "\r\n");
    PushLog();
}

bool CHubUpgrader::IsDriverInstallNeeded()
{
    AppendLog("\t1.3 IsDriverInstallNeeded()");
    PushLog();

    // Any failure to open the service key, access errors included, means the
    // filter driver is missing: without it the library cannot reach the hubs.
    if (FilterDriverInstalled()) {
        AppendLog("\t Success\r\n");
        PushLog();
        return false;
    }
    FormatMsg("!!!Error Filter Driver not found!!\r\n");
    LogMsg();
    return true;
}
