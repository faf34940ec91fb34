// What the engine tells a watcher about each decision of an upgrade run and of
// an image selection, so that reports for scripts and explanations for people
// come from the very choices that the log describes. Every notification has
// an empty default; a watcher implements the ones it needs.
#ifndef TOLVANE_ENGINE_UPGRADEOBSERVER_H
#define TOLVANE_ENGINE_UPGRADEOBSERVER_H

#include "IspRecords.h"

#include <cstdint>
#include <memory>
#include <string>

// Which check found a hub's firmware current.
enum class CurrentCheck {
    ReferenceVersion, // a special model whose packed version equals FWVersion
    ImageVersion,     // the chosen image carries the hub's version word
};

// The tests an image meets for one hub, in the order they run. Fits: it
// passed them all.
enum class ImageTest { Fits, Unopenable, Illegal, TargetId, FlagsAbsent, Manufacturer, Product, Compatibility, Name };

// One image as the selection judged it, with the values the failing test
// compared. Fields past the failing test are left as they were found.
struct ImageVerdict {
    ImageTest test = ImageTest::Fits;
    std::wstring name; // as the folder listing gives it
    std::string name8; // 8-bit name; empty when it does not convert
    bool converted = false;
    std::string openError; // Unopenable: the system's reason, when it gave one
    std::uint64_t size = 0;
    bool hasTargetId = false;
    std::uint16_t targetId = 0;
    bool hasFlags = false;
    std::uint8_t flags = 0;
    std::string wanted;       // the name configured for the hub's place
    std::string manufacturer; // the image's compared bytes, as present
    std::string product1, product2;
    bool markerRead = false; // the word at 0x1F6C, read only when a rule asks
    std::uint16_t marker = 0;
};

// What a watcher decides as the library is about to write a hub.
struct WriteDecision {
    enum class Kind {
        Proceed, // the library is called
        Refuse,  // the hub is not written and has failed; the run goes on
        StopRun, // the hub is not written and has failed; no later hub starts
        // The hub's write never began, and it has not failed: the run ends
        // before it, and it counts among the hubs not started (see
        // OnRunStopped). Nothing is logged and OnWriteHeld is not told.
        NotStarted,
    };
    Kind kind = Kind::Proceed;
    // Refuse and StopRun: the line the log shows before the hub's failure,
    // in the log's own form (ending in "\r\n"); empty shows none.
    std::string logLine;
    // Refuse and StopRun: the same in a few words for reports and records.
    std::string reason;
    // Proceed: the file the library reads instead of the chosen image (a
    // private copy of the very bytes that were checked); empty for the
    // chosen image's own path. The log keeps naming the chosen image.
    std::string libraryPath;
};

// What a watcher answers when a hub's image has been chosen: whether it read
// the image once for the rest of the hub's turn. The engine then judges the
// fit, the version and the layout again on exactly those bytes, and the
// watchers check, record and hand the library those bytes too.
struct ImageTaking {
    enum class Kind {
        NotTaken, // no watcher reads images: the engine keeps to the file
        Taken,    // bytes hold the image as read once
        Refused,  // it could not be read; the hub is not written (refusal)
    };
    Kind kind = Kind::NotTaken;
    std::shared_ptr<const std::string> bytes;
    WriteDecision refusal; // Refused: a Refuse decision with its log line and reason
};

class IUpgradeObserver {
public:
    virtual ~IUpgradeObserver() = default;

    // What the library reported as its version during the scan.
    virtual void OnDllVersion(std::uint32_t /*version*/) {}
    // The scan begins one of its steps, named as its log names it
    // ("GetDllInfo", "LoadSettingFromIni", "IsDriverInstallNeeded",
    // "SearchHub"): a failed scan stopped in the last step begun.
    virtual void OnScanStep(const char* /*step*/) {}

    // A hub's turn begins; every later notification concerns this hub until
    // the next OnHubStart. entry is its index in the hub table.
    virtual void OnHubStart(unsigned /*entry*/, const HubInfo& /*hub*/) {}
    // hubVersion: the hub's version word; compared: what it was found equal
    // to (FWVersion, or the chosen image's version).
    virtual void OnHubCurrent(CurrentCheck /*check*/, std::uint16_t /*hubVersion*/, std::uint16_t /*compared*/) {}

    // Selection: the hub's identity is in no target-ID entry.
    virtual void OnHubUnsupported(std::uint32_t /*vidPid*/) {}
    // Selection: no [HUBModule] node matches the hub's place.
    virtual void OnHubModuleMissing() {}
    virtual void OnTargetFound(const TargetIdEntry& /*target*/) {}
    virtual void OnNoImageFolder() {}
    // afterChoice: an earlier image was already chosen; this one was judged
    // only because the watcher asked for every image.
    virtual void OnImageConsidered(const ImageVerdict& /*verdict*/, bool /*afterChoice*/) {}
    virtual bool WantsEveryImage() const { return false; }

    // The run: no image fits the hub.
    virtual void OnNoImage() {}
    // The chosen image, its layout ('A' or 'B') and its firmware version.
    virtual void OnImageChosen(const std::string& /*name*/, char /*layout*/, std::uint16_t /*version*/) {}
    // An image was chosen at imagePath (as the engine passes it to
    // RX_UpdateISP); a watcher that reads images once answers with the bytes.
    virtual ImageTaking OnImageTaking(const std::string& /*imagePath*/) { return {}; }
    // The chosen image's version could not be read again; the hub has failed.
    virtual void OnImageUnreadable() {}
    // The library is about to write the image at imagePath (as the engine
    // passes it to RX_UpdateISP) into the hub. Records written ahead and
    // checks of the image's contents go here; anything but Proceed keeps the
    // library from being called.
    virtual WriteDecision OnWriteStarting(const std::string& /*imagePath*/) { return {}; }
    // Asked before each hub's turn of an upgrade run; false ends the run
    // there, and the hubs not yet served are not touched.
    virtual bool ContinueRun() { return true; }
    // A watcher's OnWriteStarting kept the hub from being written, for this
    // reason; every watcher hears it, the one that decided too.
    virtual void OnWriteHeld(const WriteDecision& /*decision*/) {}
    // The run ended before the hub of this entry and those after it were
    // served (see ContinueRun and WriteDecision::Kind::StopRun).
    virtual void OnRunStopped(unsigned /*nextEntry*/) {}
    // What RX_UpdateISP returned and how long it took.
    virtual void OnLibraryResult(std::int32_t /*result*/, std::uint64_t /*milliseconds*/) {}
    virtual void OnProgress(int /*position*/) {}
};

#endif
