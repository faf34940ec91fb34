// The first watcher of an upgrade that checks or records the image's bytes:
// once a hub's image is chosen, it reads that image whole, once per run, and
// hands the engine those bytes, on which the engine judges the fit, the
// version and the layout again. The approval check, the run's record and the
// history take the digest of the same bytes, and the library gets a private
// copy of them, so nothing opens the image folder's file again, and a file
// renamed over the image after this read never reaches the hub.
#ifndef TOLVANE_RUN_IMAGETAKE_H
#define TOLVANE_RUN_IMAGETAKE_H

#include "FileDigest.h"
#include "PrivateCopy.h"
#include "UpgradeObserver.h"

#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>

class ImageTake : public IUpgradeObserver {
public:
    // Larger than any SPI flash the hubs carry: no image is refused for its
    // size, and a huge file in the image folder is never read into memory.
    static constexpr std::uint64_t kMaxImageBytes = 64u << 20;
    // The images a run keeps read: more are read again when their turn
    // comes, so memory stays bounded when every hub takes another image.
    static constexpr std::uint64_t kKeptBytes = 256u << 20;

    // copies: a run hands the library a private copy; a plan writes nothing.
    explicit ImageTake(bool copies = true) : m_copies(copies) {}

    // Runs just before an image is read, with its path: where a test swaps
    // the file between the choice and the read.
    void SetBeforeRead(std::function<void(const std::string& imagePath)> hook) { m_beforeRead = std::move(hook); }

    // The chosen image's bytes, read now unless this run read them already.
    ImageTaking OnImageTaking(const std::string& imagePath) override;
    // Proceed with the copy's path for the library, else Refuse with the log
    // line and the reason.
    WriteDecision OnWriteStarting(const std::string& imagePath) override;
    void OnHubStart(unsigned /*entry*/, const HubInfo& /*hub*/) override { m_current = nullptr; }

    // The digest of the bytes taken for imagePath in the hub's turn, hashed
    // once per image and run; false when the hub at hand took no such image.
    bool DigestOf(const std::string& imagePath, tolvane::platform::FileDigest& digest, std::string& error);
    // For the other watchers.
    tolvane::platform::DigestSource Digests();
    // Where the library reads the current hub's copy; empty before a write.
    std::string CopyPath() const;
    // Drops every image read and removes every copy: the run has ended.
    void Release();

private:
    struct Taken {
        std::string path;
        std::shared_ptr<const std::string> bytes;
        std::optional<tolvane::platform::FileDigest> digest;
        tolvane::platform::PrivateCopy copy;
    };
    Taken* Find(const std::string& imagePath);
    void MakeRoomFor(std::uint64_t size);

    bool m_copies;
    std::function<void(const std::string&)> m_beforeRead;
    std::list<Taken> m_taken; // oldest first
    Taken* m_current = nullptr;
};

#endif
