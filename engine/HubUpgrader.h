// The upgrade engine: settings from SpiFlash.ini, the hub table that the ISP
// library reports, the log text the operator reads, and the operations that
// scan and upgrade the hubs. Exactly one engine object lives per process
// (theHubUpgrader); every operation returns true or false and explains a
// failure in the log text.
#ifndef TOLVANE_ENGINE_HUBUPGRADER_H
#define TOLVANE_ENGINE_HUBUPGRADER_H

#include "IspRecords.h"
#include "UpgradeObserver.h"
#include "UpgraderWindow.h"

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(__GNUC__)
#define TOLVANE_PRINTF_LIKE(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define TOLVANE_PRINTF_LIKE(fmt, args)
#endif

// One hub of the configured chain, from [HUBModule].
struct HubModule {
    std::uint8_t depth = 0;
    std::uint8_t portIndex = 0;
    char binFile[262] = {}; // wanted image file name, zero-terminated
    HubModule* pNext = nullptr;
};

class FirmwareImage;
struct FwCheckLines;
class HubKeyIndex;
struct HubNumberLines;
struct SettingsSections;
struct TargetIdLines;

// Two hub models (vendor 0x3C5E, products 0x0460 and 0x0461) skip the string
// and compatibility tests and compare their firmware with FWVersion.
constexpr std::uint16_t kSpecialVendor = 0x3C5E;

inline bool IsSpecialProduct(std::uint16_t idProduct)
{
    return idProduct == 0x0460 || idProduct == 0x0461;
}

inline bool IsSpecialHubModel(std::uint32_t vidPid)
{
    return (vidPid >> 16) == kSpecialVendor && IsSpecialProduct(static_cast<std::uint16_t>(vidPid & 0xFFFFu));
}

// The hub's firmware version as the device list shows it: "V2.19" for the
// products 0x0460 and 0x0461, else the four digits of the version word.
std::string ListedFirmwareVersion(const HubInfo& hub);

// The line, without its line end, that stops the scan when the library
// reports more hubs than the table holds; the hub listing quotes it.
std::string TooManyHubsLine(unsigned hubs);

class CHubUpgrader {
public:
    static constexpr std::uint32_t kDefaultSettleMs = 2000;
    // The caller's buffer for an image path: the folder, a name of up to 259
    // characters and the terminating zero fit with room to spare.
    static constexpr std::size_t kImagePathSize = 272;

    CHubUpgrader() = default;
    ~CHubUpgrader();
    CHubUpgrader(const CHubUpgrader&) = delete;
    CHubUpgrader& operator=(const CHubUpgrader&) = delete;

    // The scan sequence: library version, settings, filter driver, hub search.
    bool Initialzation(IUpgraderWindow* dialog);
    // What both buttons run: the log and message texts emptied, then
    // Initialzation.
    bool Scan(IUpgraderWindow* dialog);
    // Tells the watcher which step of the scan begins (IUpgradeObserver).
    void ScanStep(const char* step);
    void GetDllInfo();
    bool LoadSettingFromIni();
    bool ReadHubModuleKey(const char* fileName, const char* key, void* destination, bool numeric);
    // True when the hub filter driver is missing.
    bool IsDriverInstallNeeded();
    bool SearchHub();
    void ListDevices();

    // The upgrade: every hub of the table, from the last entry to the first.
    bool RunUpgrade(IUpgraderWindow* dialog);
    // A dry run over the table of the latest passing scan: every decision of
    // RunUpgrade up to the library call, which is never made. Leaves the
    // table for a later run. False when there is no table to plan on.
    bool PlanUpgrade(IUpgraderWindow* dialog);
    // Writes the path of the first image in the image folder that fits the
    // hub into path (kImagePathSize bytes); path is untouched on false.
    bool SelectImage(std::uint32_t vidPid, const HubInfo& hub, char* path);

    // The pause before the enumeration lets freshly attached hubs settle.
    // Windows keep the default; the command line may shorten it.
    void SetSettleMs(std::uint32_t milliseconds) { m_nSettleMs = milliseconds; }
    std::uint32_t SettleMs() const { return m_nSettleMs; }
    // The watcher told of every decision; null for none.
    void SetObserver(IUpgradeObserver* observer) { m_pObserver = observer; }

    // Log operations. 8-bit texts are widened as they enter the log.
    void AppendLog(const std::string& text);
    void AppendLog(const std::wstring& text);
    void ReplaceLog(const std::string& text);
    void FormatMsg(const char* format, ...) TOLVANE_PRINTF_LIKE(2, 3);
    void AppendMsg() { m_strLog += m_strMsg; }
    // Appends m_strMsg and shows the log: how every message reaches the box.
    void LogMsg()
    {
        AppendMsg();
        PushLog();
    }
    // Shows the whole log text in the window's log box; when the log has
    // only grown since the box last received it, only the new text travels.
    void PushLog();
    static std::string Format(const char* format, ...) TOLVANE_PRINTF_LIKE(1, 2);
    // Writes 8-bit text to the process's standard output.
    static void PrintOut(const char* format, ...) TOLVANE_PRINTF_LIKE(1, 2);

    IUpgraderWindow* m_pDlg = nullptr;
    std::wstring m_strLog;
    std::wstring m_strMsg;
    IniInfo m_IniInfo{};
    EnumInfo m_EnumInfo{};
    std::int32_t m_nStringCompare = 0;
    std::uint8_t m_nHubNumber = 0;
    HubModule* m_pHubModule = nullptr;
    std::int32_t m_nCheckHubFw = 0;
    std::uint16_t m_wFwVersion = 0;

private:
    void ApplyTargetIdSection(const TargetIdLines& section, std::uint8_t usbPart, unsigned& count,
                              bool& overflowReported);
    void ApplyMiscSection(const SettingsSections& sections);
    // False when a chain lacks a key, which ends the load.
    bool ApplyHubNumbers(const HubNumberLines& lines, const HubKeyIndex& keys);
    bool TakeChain(unsigned count, const HubKeyIndex& keys, bool logged);
    // True when the key is present; its value then fills destination.
    bool TakeHubModuleKey(const HubKeyIndex& keys, unsigned hub, int kind, void* destination, bool logged);
    void StoreHubModuleValue(const char* key, const char* value, void* destination, bool numeric, bool logged);
    void ApplyFwCheckSection(const FwCheckLines& check);
    void LogSettingsNotFound();
    void BuildHubModules(unsigned count);
    void ReleaseHubModules();
    bool FailSearch(const std::string& line);
    bool LogOnlyGrewSinceShown() const;
    void RememberShownLog();

    std::string WantedImageName(const HubInfo& hub);
    const TargetIdEntry* FindTargetId(std::uint32_t vidPid) const;
    bool SelectImage(std::uint32_t vidPid, const HubInfo& hub, char* path, ImageVerdict& chosen);
    ImageVerdict CheckImage(std::uint32_t vidPid, const HubInfo& hub, std::uint16_t targetId, const std::string& wanted,
                            const std::wstring& name) const;
    // The tests of an opened image; verdict names it and says what it wants.
    void JudgeImage(std::uint32_t vidPid, const HubInfo& hub, std::uint16_t targetId, FirmwareImage& image,
                    ImageVerdict& verdict) const;
    // The chosen image's bytes as a watcher read them once, judged again:
    // empty when they are the image that was chosen and still fit, else
    // what changed.
    std::string ChangeSinceChoice(std::uint32_t vidPid, const HubInfo& hub, const ImageVerdict& chosen,
                                  FirmwareImage& taken) const;
    ImageTest StringTest(const FirmwareImage& image, const HubInfo& hub, ImageVerdict& verdict) const;
    void LogVerdict(const ImageVerdict& verdict);
    bool TakeScannedTable();
    enum class HubDecision { Current, NoImage, Failed, Held, Program };
    // Everything the run decides for one hub before the library call; Held
    // leaves in held why a watcher kept the image from the hub.
    HubDecision DecideHub(unsigned entry, char* path, WriteDecision& held);
    // The chosen image as the hub's turn uses it: the bytes a watcher read
    // once, judged again, or else the file. False with held set when the
    // hub must not be written.
    bool OpenChosenImage(std::uint32_t vidPid, const HubInfo& hub, const char* path, const ImageVerdict& chosen,
                         FirmwareImage& image, WriteDecision& held);
    // What a watcher decided before the write; Proceed when none was asked.
    WriteDecision::Kind UpgradeHub(unsigned entry, int step, int& position, unsigned& upgraded);
    void LogHubCurrent(unsigned hubNumber);
    void LogHubFailed(unsigned hubNumber);
    void SetProgressPos(int position);

    std::uint32_t m_nSettleMs = kDefaultSettleMs;
    // The hub table is that of the latest scan, and that scan passed. A run
    // uses it up: programmed hubs restart and enumerate anew.
    bool m_bScanPassed = false;
    // What the log box holds: the window it was pushed to, how much of the
    // log, and the last characters of it. A replacement of the log, or a
    // caller that rewrote m_strLog directly, makes the next push a whole one.
    IUpgraderWindow* m_pShownIn = nullptr;
    std::size_t m_nShownLength = 0;
    std::wstring m_strShownTail;
    bool m_bLogReplaced = true;
    IUpgradeObserver* m_pObserver = nullptr;
};

extern CHubUpgrader theHubUpgrader;

#endif
