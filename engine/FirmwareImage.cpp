#include "FirmwareImage.h"

#include "Platform.h"

#include <algorithm>
#include <cstring>
#include <utility>

FirmwareImage::FirmwareImage() = default;
FirmwareImage::~FirmwareImage() = default;

bool FirmwareImage::Open(const std::string& path)
{
    std::string ignored;
    return Open(path, ignored);
}

bool FirmwareImage::Open(const std::string& path, std::string& error)
{
    Close();
    m_file = tolvane::platform::OpenReadOnly(path, error);
    if (!m_file)
        return false;
    // The size the opening learnt: the tests of one entry see one file.
    m_size = m_file->OpenedSize();
    m_headerBytes = m_file->ReadAt(0, m_header, sizeof m_header);
    return true;
}

void FirmwareImage::OpenBytes(std::shared_ptr<const std::string> bytes)
{
    Close();
    m_bytes = std::move(bytes);
    if (!m_bytes)
        return;
    m_size = m_bytes->size();
    m_headerBytes = ReadField(0, m_header, sizeof m_header);
}

void FirmwareImage::Close()
{
    m_file.reset();
    m_bytes.reset();
    m_size = 0;
    m_headerBytes = 0;
}

std::uint16_t FirmwareImage::TargetId() const
{
    return static_cast<std::uint16_t>(m_header[0] << 8 | m_header[1]);
}

bool FirmwareImage::IsLegal() const
{
    if (!HasTargetId() || TargetId() != image_format::kSizeCheckedTarget)
        return true;
    // Without its flags byte the file is shorter than either legal size.
    return HasFlags() && m_size == Layout().legalSize;
}

bool FirmwareImage::IsWritable() const
{
    std::uint16_t version = 0;
    return IsLegal() && ReadFirmwareVersion(version);
}

std::size_t FirmwareImage::ReadField(std::uint64_t offset, std::uint8_t* out, std::size_t length) const
{
    if (m_bytes) {
        if (offset >= m_bytes->size())
            return 0;
        const std::size_t present = static_cast<std::size_t>(std::min<std::uint64_t>(length, m_bytes->size() - offset));
        std::memcpy(out, m_bytes->data() + offset, present);
        return present;
    }
    return m_file ? m_file->ReadAt(offset, out, length) : 0;
}

bool FirmwareImage::ReadWord(std::uint64_t offset, std::uint16_t& value) const
{
    std::uint8_t bytes[2];
    if (ReadField(offset, bytes, sizeof bytes) != sizeof bytes)
        return false;
    value = static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
    return true;
}

bool FirmwareImage::ReadFirmwareVersion(std::uint16_t& version) const
{
    std::uint16_t word = 0;
    if (!HasFlags() || !ReadWord(Layout().versionWord, word))
        return false;
    version = image_format::FirmwareVersion(word, Flags());
    return true;
}
