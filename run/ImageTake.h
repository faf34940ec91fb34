// The first watcher of an upgrade that checks or records the image's bytes:
// as a write starts, it reads the chosen image once, hashes that read, and
// hands the library a private copy of exactly those bytes. The approval
// check, the run's record and the history take the digest from here, so
// nothing opens the image folder's file again, and a file renamed over the
// image after this read never reaches the hub.
#ifndef TOLVANE_RUN_IMAGETAKE_H
#define TOLVANE_RUN_IMAGETAKE_H

#include "FileDigest.h"
#include "PrivateCopy.h"
#include "UpgradeObserver.h"

#include <cstdint>
#include <string>

class ImageTake : public IUpgradeObserver {
public:
    // Larger than any SPI flash the hubs carry: no image is refused for its
    // size, and a huge file in the image folder is never read into memory.
    static constexpr std::uint64_t kMaxImageBytes = 64u << 20;

    // Reads and copies the image: Proceed with the copy's path for the
    // library, else Refuse with the log line and the reason.
    WriteDecision OnWriteStarting(const std::string& imagePath) override;
    // The copy goes as soon as the library returns, or when the write does
    // not happen after all; the digest stays for the hub's records until
    // the next hub's turn.
    void OnHubStart(unsigned /*entry*/, const HubInfo& /*hub*/) override { Drop(); }
    void OnWriteHeld(const WriteDecision& /*decision*/) override { m_copy.Remove(); }
    void OnRunStopped(unsigned /*nextEntry*/) override { Drop(); }
    void OnLibraryResult(std::int32_t /*result*/, std::uint64_t /*milliseconds*/) override { m_copy.Remove(); }

    // The digest of the bytes taken for imagePath; false when the hub at
    // hand took no such image.
    bool DigestOf(const std::string& imagePath, tolvane::platform::FileDigest& digest, std::string& error) const;
    // For the other watchers.
    tolvane::platform::DigestSource Digests() const;
    // Where the library reads the copy now; empty outside a write.
    const std::string& CopyPath() const { return m_copy.Path(); }

private:
    void Drop();

    std::string m_imagePath;
    tolvane::platform::FileDigest m_digest;
    tolvane::platform::PrivateCopy m_copy;
};

#endif
