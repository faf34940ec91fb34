#include "Images.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

std::string ImageBytes(const ImageParams& params)
{
    std::string bytes;
    std::string error;
    EXPECT_TRUE(BuildImage(params, bytes, error)) << error;
    return bytes;
}

void WriteImage(const ScratchDir& dir, const std::string& name, const ImageParams& params)
{
    std::string bytes;
    std::string error;
    if (BuildImage(params, bytes, error))
        dir.Write("Bin/" + name, bytes);
    else
        ADD_FAILURE() << "image " << name << ": " << error;
}

ImageParams PlainImage(std::uint16_t versionWord, std::uint8_t flags)
{
    ImageParams params;
    params.targetId = 0x0D13;
    params.imageFlags = flags;
    params.versionWord = versionWord;
    return params;
}

std::string ReadSource(const char* relative)
{
    namespace fs = std::filesystem;
    std::ifstream in(fs::u8path(TOLVANE_SOURCE_DIR) / fs::u8path(relative), std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot read " << relative;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
