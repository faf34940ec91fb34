// Firmware images for the tests, built with the image writer, and the files
// of the source tree that the tests compare with what ships.
#ifndef TOLVANE_TESTS_IMAGES_H
#define TOLVANE_TESTS_IMAGES_H

#include "ImageWriter.h"

#include <cstdint>
#include <string>

class ScratchDir;

// The image's bytes; a failed expectation and "" when the writer refuses
// the parameters.
std::string ImageBytes(const ImageParams& params);

// Writes the image as Bin/name into dir; nothing when it cannot be built.
void WriteImage(const ScratchDir& dir, const std::string& name, const ImageParams& params);

// A legal layout B image for the hub of PlainHub (target 0x0D13).
ImageParams PlainImage(std::uint16_t versionWord = 0x0200, std::uint8_t flags = 0x00);

// The bytes of a file below the top of the source tree; a failed
// expectation when it cannot be read.
std::string ReadSource(const char* relative);

#endif
