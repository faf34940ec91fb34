// Writes 8-bit RGB pictures as PNG files without a compression library:
// the image data goes into stored (uncompressed) deflate blocks.
#ifndef TOLVANE_TESTS_WIN32_PNGFILE_H
#define TOLVANE_TESTS_WIN32_PNGFILE_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// rgb holds height rows of width pixels, three bytes each, top row first.
std::string EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

bool WritePng(const std::filesystem::path& file, int width, int height, const std::vector<std::uint8_t>& rgb);

#endif
