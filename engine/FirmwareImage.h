// Reads the few fields of one firmware image that the engine needs, from its
// file or from bytes already read. Every read is positioned; bytes beyond
// the end are absent, and a test that needs an absent byte fails.
#ifndef TOLVANE_ENGINE_FIRMWAREIMAGE_H
#define TOLVANE_ENGINE_FIRMWAREIMAGE_H

#include "ImageFormat.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tolvane::platform {
class ReadOnlyFile;
}

class FirmwareImage {
public:
    FirmwareImage();
    ~FirmwareImage();
    FirmwareImage(const FirmwareImage&) = delete;
    FirmwareImage& operator=(const FirmwareImage&) = delete;

    // Opens the file for reading and learns its size and header.
    bool Open(const std::string& path);
    // The same, with the system's reason in error when it fails.
    bool Open(const std::string& path, std::string& error);
    // Reads the image from bytes read once before, which it shares: the fit
    // judged on them is the fit of exactly what is written.
    void OpenBytes(std::shared_ptr<const std::string> bytes);
    void Close();

    std::uint64_t Size() const { return m_size; }
    // Header bytes present, 0 to 4.
    std::size_t HeaderBytes() const { return m_headerBytes; }
    bool HasTargetId() const { return m_headerBytes >= 2; }
    std::uint16_t TargetId() const;
    bool HasFlags() const { return m_headerBytes > image_format::kFlagsOffset; }
    std::uint8_t Flags() const { return m_header[image_format::kFlagsOffset]; }
    // Layout A or B from the flags; only meaningful when HasFlags().
    const image_format::Layout& Layout() const { return image_format::LayoutOf(Flags()); }

    // The size rule: only images for target 0x0D12 must have the exact size
    // of their layout.
    bool IsLegal() const;
    // What an upgrade run asks before the library may write the image: the
    // size rule, and the version word of its layout present.
    bool IsWritable() const;

    // Reads up to length bytes at offset; returns the count present.
    std::size_t ReadField(std::uint64_t offset, std::uint8_t* out, std::size_t length) const;
    // The little-endian word at offset; false when fewer than 2 bytes remain.
    bool ReadWord(std::uint64_t offset, std::uint16_t& value) const;
    // Version word of the image's layout plus its version step, in 16 bits.
    bool ReadFirmwareVersion(std::uint16_t& version) const;

private:
    std::unique_ptr<tolvane::platform::ReadOnlyFile> m_file;
    std::shared_ptr<const std::string> m_bytes;
    std::uint64_t m_size = 0;
    std::uint8_t m_header[image_format::kHeaderSize] = {};
    std::size_t m_headerBytes = 0;
};

#endif
