// The upgrade run: for every hub of the table, from the last entry to the
// first, skip it when its firmware is current, choose its image, and have the
// ISP library program it. The run never retries; it stops early only when a
// watcher asks (an interruption, or a record that cannot be written ahead).
#include "HubUpgrader.h"

#include "FirmwareImage.h"
#include "Platform.h"
#include "ZQ460API.h"

#include <chrono>
#include <cstring>

namespace {
// The three digits that the device list shows as V2.19: bits 4 to 7, 0 to 3
// and 12 to 15 of the version word.
std::uint16_t PackedVersion(std::uint16_t v)
{
    return static_cast<std::uint16_t>((v & 0x00FFu) << 4 | v >> 12);
}

const char* FileNameOf(const char* path)
{
    const char* separator = std::strrchr(path, tolvane::platform::kPathSeparator);
    return separator ? separator + 1 : path;
}
} // namespace

void CHubUpgrader::SetProgressPos(int position)
{
    if (m_pDlg)
        m_pDlg->SetProgressPos(position);
    if (m_pObserver)
        m_pObserver->OnProgress(position);
}

void CHubUpgrader::LogHubCurrent(unsigned hubNumber)
{
    AppendLog(Format("Device(%u) firmware version is at the same as this updater.\r\n Update is unnecessary.\n\n",
                     hubNumber));
    PushLog();
}

void CHubUpgrader::LogHubFailed(unsigned hubNumber)
{
    FormatMsg("!!!Error Device(%u):=> Upgrade failed\r\n", hubNumber);
    LogMsg();
}

// Only a passing scan leads to a run, and it guarantees 1 to 32 hubs; anything
// else would divide by zero or address entries the table does not have. A
// failed scan may have left any table behind, or an older one.
bool CHubUpgrader::TakeScannedTable()
{
    const unsigned hubs = m_EnumInfo.hubCount;
    if (!m_bScanPassed || hubs == 0 || hubs > kMaxHubs) {
        AppendLog("!!!Error no hub table to upgrade, scan first!\r\n");
        PushLog();
        return false;
    }
    return true;
}

bool CHubUpgrader::RunUpgrade(IUpgraderWindow* dialog)
{
    m_pDlg = dialog;
    if (m_pDlg)
        m_pDlg->SetProgressRange(0, kProgressMaximum);
    SetProgressPos(0);

    const bool usable = TakeScannedTable();
    m_bScanPassed = false;
    if (!usable)
        return false;
    const unsigned hubs = m_EnumInfo.hubCount;
    const int step = static_cast<int>(kProgressMaximum / (2 * hubs));
    int position = 0;
    unsigned upgraded = 0;
    for (unsigned entry = hubs; entry-- > 0;) {
        if (m_pObserver && !m_pObserver->ContinueRun()) {
            m_pObserver->OnRunStopped(entry);
            break;
        }
        const WriteDecision::Kind kind = UpgradeHub(entry, step, position, upgraded);
        if (kind == WriteDecision::Kind::NotStarted) {
            m_pObserver->OnRunStopped(entry);
            break;
        }
        if (kind == WriteDecision::Kind::StopRun) {
            if (m_pObserver && entry > 0)
                m_pObserver->OnRunStopped(entry - 1);
            break;
        }
    }

    if (upgraded != hubs)
        return false;
    SetProgressPos(kProgressMaximum);
    return true;
}

bool CHubUpgrader::PlanUpgrade(IUpgraderWindow* dialog)
{
    m_pDlg = dialog;
    if (!TakeScannedTable())
        return false;
    for (unsigned entry = m_EnumInfo.hubCount; entry-- > 0;) {
        char path[kImagePathSize] = {};
        WriteDecision held;
        const HubDecision decision = DecideHub(entry, path, held);
        if (decision == HubDecision::Program && m_pObserver)
            held = m_pObserver->OnWriteStarting(path);
        // A plan writes nothing, so the watchers that would hold the write
        // say so as they would in the run; the log is the selection's.
        if (m_pObserver && (decision == HubDecision::Held || decision == HubDecision::Program) &&
            held.kind != WriteDecision::Kind::Proceed && held.kind != WriteDecision::Kind::NotStarted)
            m_pObserver->OnWriteHeld(held);
    }
    return true;
}

namespace {
WriteDecision ChangedAfterChoice(const char* name, const std::string& what)
{
    WriteDecision decision;
    decision.kind = WriteDecision::Kind::Refuse;
    decision.logLine = std::string("!!!Error ") + name + " changed after it was chosen, not written\r\n";
    decision.reason = std::string(name) + " changed after it was chosen: " + what;
    return decision;
}
} // namespace

bool CHubUpgrader::OpenChosenImage(std::uint32_t vidPid, const HubInfo& hub, const char* path,
                                   const ImageVerdict& chosen, FirmwareImage& image, WriteDecision& held)
{
    const ImageTaking taking = m_pObserver ? m_pObserver->OnImageTaking(path) : ImageTaking{};
    if (taking.kind == ImageTaking::Kind::Refused) {
        held = taking.refusal;
        return false;
    }
    if (taking.kind == ImageTaking::Kind::NotTaken) {
        image.Open(path);
        return true;
    }
    image.OpenBytes(taking.bytes);
    const std::string change = ChangeSinceChoice(vidPid, hub, chosen, image);
    if (change.empty())
        return true;
    held = ChangedAfterChoice(FileNameOf(path), change);
    return false;
}

CHubUpgrader::HubDecision CHubUpgrader::DecideHub(unsigned entry, char* path, WriteDecision& held)
{
    const HubInfo& hub = m_EnumInfo.hubs[entry];
    const unsigned hubNumber = entry + 1;
    const std::uint32_t vidPid = static_cast<std::uint32_t>(hub.descriptor.idVendor) << 16 | hub.descriptor.idProduct;
    const std::uint16_t version = hub.descriptor.bcdDevice;
    const bool special = IsSpecialHubModel(vidPid);
    if (m_pObserver)
        m_pObserver->OnHubStart(entry, hub);

    if (m_nCheckHubFw != 0 && special && PackedVersion(version) == m_wFwVersion) {
        LogHubCurrent(hubNumber);
        if (m_pObserver)
            m_pObserver->OnHubCurrent(CurrentCheck::ReferenceVersion, version, m_wFwVersion);
        return HubDecision::Current;
    }
    ImageVerdict chosen;
    if (!SelectImage(vidPid, hub, path, chosen)) {
        m_strMsg = tolvane::platform::WidenAnsi(
            "  !!!Error. Either the FW not found\r\n  Or FW is incorrect for HUB chip version\r\n");
        LogMsg();
        LogHubFailed(hubNumber);
        if (m_pObserver)
            m_pObserver->OnNoImage();
        return HubDecision::NoImage;
    }
    // From here on the image is read where a watcher took it: the version,
    // the layout and the write all come from the bytes judged.
    FirmwareImage image;
    if (!OpenChosenImage(vidPid, hub, path, chosen, image, held))
        return HubDecision::Held;
    // An image that ends before its version word is cut short, whatever the
    // selection let through (only the size-checked target has a size rule),
    // and with the firmware check its version could not be shown to differ
    // from the hub's. It never reaches the library; the hub has failed.
    // inspect calls an image legal by the same test.
    std::uint16_t imageVersion = 0;
    if (!image.IsWritable() || !image.ReadFirmwareVersion(imageVersion)) {
        LogHubFailed(hubNumber);
        if (m_pObserver)
            m_pObserver->OnImageUnreadable();
        return HubDecision::Failed;
    }
    const char layout = image_format::IsLayoutA(image.Flags()) ? 'A' : 'B';
    image.Close();
    if (m_pObserver)
        m_pObserver->OnImageChosen(FileNameOf(path), layout, imageVersion);
    if (m_nCheckHubFw != 0 && !special && imageVersion == version) {
        LogHubCurrent(hubNumber);
        if (m_pObserver)
            m_pObserver->OnHubCurrent(CurrentCheck::ImageVersion, version, imageVersion);
        return HubDecision::Current;
    }
    return HubDecision::Program;
}

WriteDecision::Kind CHubUpgrader::UpgradeHub(unsigned entry, int step, int& position, unsigned& upgraded)
{
    const unsigned hubNumber = entry + 1;
    char path[kImagePathSize] = {};
    WriteDecision decision;
    const HubDecision hubDecision = DecideHub(entry, path, decision);
    if (hubDecision != HubDecision::Program && hubDecision != HubDecision::Held)
        return WriteDecision::Kind::Proceed;
    if (m_pObserver) {
        if (hubDecision == HubDecision::Program)
            decision = m_pObserver->OnWriteStarting(path);
        if (decision.kind == WriteDecision::Kind::NotStarted)
            return decision.kind;
        if (decision.kind != WriteDecision::Kind::Proceed) {
            m_pObserver->OnWriteHeld(decision);
            if (!decision.logLine.empty())
                AppendLog(decision.logLine);
            LogHubFailed(hubNumber);
            return decision.kind;
        }
    }

    AppendLog(Format("ISP in device(%u) is being upgraded.\r\n", hubNumber));
    PushLog();
    position += step;
    SetProgressPos(position);
    const auto started = std::chrono::steady_clock::now();
    const char* libraryPath = decision.libraryPath.empty() ? path : decision.libraryPath.c_str();
    const std::int32_t result = RX_UpdateISP(static_cast<std::uint8_t>(entry), libraryPath, 0);
    if (m_pObserver) {
        const auto taken = std::chrono::steady_clock::now() - started;
        m_pObserver->OnLibraryResult(
            result, static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(taken).count()));
    }
    if (result != 0) {
        LogHubFailed(hubNumber);
        return WriteDecision::Kind::Proceed;
    }
    FormatMsg("Device(%u): %s\r\n   =>Upgrade successful\r\n", hubNumber, FileNameOf(path));
    LogMsg();
    ++upgraded;
    position += step;
    SetProgressPos(position);
    return WriteDecision::Kind::Proceed;
}
