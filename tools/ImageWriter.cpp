#include "ImageWriter.h"

#include "ImageFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace fmt = image_format;

namespace {
// Bytes that differ from the fill, placed at an offset that may lie partly or
// wholly beyond the end of a short file.
struct Patch {
    std::uint64_t offset;
    std::string bytes;
};

std::string Le16(std::uint16_t word)
{
    return {static_cast<char>(word & 0xFF), static_cast<char>(word >> 8)};
}

std::string Hex16(std::uint16_t word)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(word));
    return text;
}

bool AddText(std::vector<Patch>& patches, const char* name, const std::string& text, std::uint64_t offset,
             std::size_t width, bool layoutA, std::string& error)
{
    if (text.size() > width) {
        error = std::string(name) + " text is " + std::to_string(text.size()) + " bytes; at most " +
                std::to_string(width) + " fit in layout " + (layoutA ? "A" : "B");
        return false;
    }
    std::string field = text;
    field.resize(width, '\0');
    patches.push_back({offset, field});
    return true;
}

bool Plan(const ImageParams& params, std::vector<Patch>& patches, std::string& error)
{
    const bool layoutA = fmt::IsLayoutA(params.imageFlags);
    const fmt::Layout& layout = fmt::LayoutOf(params.imageFlags);

    const bool shared = layout.versionWord == fmt::kMarkerOffset;
    if (params.markerWord && *params.markerWord != params.versionWord && shared) {
        error = "marker word " + Hex16(*params.markerWord) + " conflicts with version word " +
                Hex16(params.versionWord) + ": in layout B both are the word at " + Hex16(fmt::kMarkerOffset);
        return false;
    }

    patches.clear();
    // Byte 3 is unused and keeps the fill, like any other byte nothing sets.
    patches.push_back({0,
                       {static_cast<char>(params.targetId >> 8), static_cast<char>(params.targetId & 0xFF),
                        static_cast<char>(params.imageFlags)}});
    patches.push_back({layout.versionWord, Le16(params.versionWord)});
    if (params.markerWord)
        patches.push_back({fmt::kMarkerOffset, Le16(*params.markerWord)});

    // Layout B packs its fields so tightly that each one's compared bytes end
    // where the next begins; padding any further would overwrite the next.
    const std::size_t manufacturerWidth = layoutA ? fmt::kTextFieldSize : fmt::kManufacturerCompared;
    const std::size_t productWidth = layoutA ? fmt::kTextFieldSize : fmt::kProductCompared;
    return AddText(patches, "manufacturer", params.manufacturer, layout.manufacturer, manufacturerWidth, layoutA,
                   error) &&
           AddText(patches, "product", params.product1, layout.product1, productWidth, layoutA, error) &&
           AddText(patches, "product2", params.product2, layout.product2, productWidth, layoutA, error);
}

// Lays the patches onto window, which holds the file's bytes from start on.
void Apply(const std::vector<Patch>& patches, std::uint64_t start, char* window, std::size_t length)
{
    const std::uint64_t end = start + length;
    for (const Patch& patch : patches) {
        const std::uint64_t from = std::max(patch.offset, start);
        const std::uint64_t to = std::min(patch.offset + patch.bytes.size(), end);
        if (from < to)
            std::memcpy(window + (from - start), patch.bytes.data() + (from - patch.offset),
                        static_cast<std::size_t>(to - from));
    }
}
} // namespace

std::uint64_t ImageSize(const ImageParams& params)
{
    return params.size ? *params.size : fmt::LayoutOf(params.imageFlags).legalSize;
}

bool CheckImageParams(const ImageParams& params, std::string& error)
{
    std::vector<Patch> patches;
    return Plan(params, patches, error);
}

bool BuildImage(const ImageParams& params, std::string& bytes, std::string& error)
{
    std::vector<Patch> patches;
    if (!Plan(params, patches, error))
        return false;
    const std::uint64_t size = ImageSize(params);
    if (size > bytes.max_size()) {
        error = "an image of " + std::to_string(size) + " bytes does not fit in memory";
        return false;
    }
    bytes.assign(static_cast<std::size_t>(size), static_cast<char>(params.fill));
    Apply(patches, 0, bytes.data(), bytes.size());
    return true;
}

bool WriteImage(const std::string& path, const ImageParams& params, std::string& error)
{
    std::vector<Patch> patches;
    if (!Plan(params, patches, error))
        return false;

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    constexpr std::size_t kChunk = 1 << 20;
    const std::uint64_t size = ImageSize(params);
    std::vector<char> chunk(static_cast<std::size_t>(std::min<std::uint64_t>(size, kChunk)));
    bool written = true;
    for (std::uint64_t at = 0; at < size && written; at += chunk.size()) {
        const std::size_t length = static_cast<std::size_t>(std::min<std::uint64_t>(size - at, chunk.size()));
        std::memset(chunk.data(), params.fill, length);
        Apply(patches, at, chunk.data(), length);
        written = std::fwrite(chunk.data(), 1, length, file) == length;
    }
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        error = "cannot write " + path + ": " + std::strerror(written ? errno : writeErrno);
        std::remove(path.c_str());
        return false;
    }
    return true;
}
