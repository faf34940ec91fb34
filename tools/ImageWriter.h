// Synthetic firmware images (.BIN) built from a few parameters, so that tests
// and benches can produce exactly the image they need, well-formed or not.
#ifndef TOLVANE_TOOLS_IMAGEWRITER_H
#define TOLVANE_TOOLS_IMAGEWRITER_H

#include <cstdint>
#include <optional>
#include <string>

struct ImageParams {
    std::uint16_t targetId = 0x0D12;
    std::uint8_t imageFlags = 0; // also chooses the layout
    std::uint16_t versionWord = 0;
    // Zero-padded to the bytes the engine compares (layout B) or to the whole
    // field (layout A); longer texts are refused rather than cut.
    std::string manufacturer, product1, product2;
    // Unset: the legal size of the layout. A smaller file cuts the header,
    // words and fields at its end, which is how short images are made.
    std::optional<std::uint64_t> size;
    std::optional<std::uint16_t> markerWord;
    std::uint8_t fill = 0xFF; // every byte that no field sets
};

// The size of the file these parameters produce.
std::uint64_t ImageSize(const ImageParams& params);

// False with error set when the image cannot be written as asked: an
// over-long text, or a marker word that would overwrite a different version
// word.
bool CheckImageParams(const ImageParams& params, std::string& error);

bool BuildImage(const ImageParams& params, std::string& bytes, std::string& error);

// Streams the image, so large sizes never sit in memory; a file left half
// written is removed.
bool WriteImage(const std::string& path, const ImageParams& params, std::string& error);

#endif
