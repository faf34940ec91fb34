// Offsets are written out here rather than taken from the engine's header, so
// that a wrong constant there shows up as a wrong image.
#include "ImageWriter.h"
#include "RunProcess.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {
std::string Build(const ImageParams& params)
{
    std::string bytes, error;
    EXPECT_TRUE(BuildImage(params, bytes, error)) << error;
    return bytes;
}

void Place(std::string& image, std::size_t offset, const std::string& text, std::size_t width)
{
    image.replace(offset, width, text + std::string(width - text.size(), '\0'));
}

// Names the first differing offset instead of printing two 28 KB strings.
testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected)
{
    if (actual.size() != expected.size())
        return testing::AssertionFailure() << "size " << actual.size() << ", expected " << expected.size();
    const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin());
    if (diff.first != actual.end())
        return testing::AssertionFailure() << "first difference at 0x" << std::hex << diff.first - actual.begin();
    return testing::AssertionSuccess();
}

ImageParams Sample(int flags)
{
    ImageParams params;
    params.imageFlags = static_cast<std::uint8_t>(flags);
    params.versionWord = 0x0219;
    params.manufacturer = "Maker Inc";
    params.product1 = "Hub One";
    params.product2 = "Hub Two";
    return params;
}
} // namespace

TEST(ImageWriterTest, EachLayoutPutsEveryFieldAtItsOffsetInTheLegalSize)
{
    // Bit 2 and the step bits leave the layout at B.
    std::string expected(28801, '\xFF');
    Place(expected, 0, "\x0D\x12\x74", 3);
    Place(expected, 0x1F6C, "\x19\x02", 2);
    Place(expected, 0x701B, "Maker Inc", 30);
    Place(expected, 0x7039, "Hub One", 36);
    Place(expected, 0x705D, "Hub Two", 36);
    EXPECT_TRUE(SameBytes(Build(Sample(0x74)), expected));

    for (const int flags : {0x08, 0x80}) {
        expected.assign(28848, '\xFF');
        Place(expected, 0, std::string{'\x0D', '\x12', static_cast<char>(flags)}, 3);
        Place(expected, 0x1F4C, "\x19\x02", 2);
        Place(expected, 0x7020, "Maker Inc", 46);
        Place(expected, 0x7050, "Hub One", 46);
        Place(expected, 0x7080, "Hub Two", 46);
        EXPECT_TRUE(SameBytes(Build(Sample(flags)), expected)) << "flags " << flags;
    }
}

TEST(ImageWriterTest, TextsFillTheirWholeWidthAndNoMore)
{
    ImageParams params = Sample(0);
    params.manufacturer = std::string(30, 'M');
    params.product1 = std::string(36, 'P');
    params.product2 = std::string(36, 'Q');
    EXPECT_EQ(Build(params).substr(0x701B), params.manufacturer + params.product1 + params.product2);
    std::string bytes, error;
    params.product1 += 'P';
    EXPECT_FALSE(BuildImage(params, bytes, error));
    EXPECT_NE(error.find("product text is 37 bytes; at most 36"), std::string::npos) << error;

    params = Sample(0x08);
    params.product2 = std::string(46, 'Q');
    EXPECT_EQ(Build(params).substr(0x7080, 46), params.product2);
    params.manufacturer = std::string(47, 'M');
    EXPECT_FALSE(CheckImageParams(params, error));
    EXPECT_NE(error.find("manufacturer text is 47 bytes; at most 46"), std::string::npos) << error;
}

TEST(ImageWriterTest, OtherSizesCutOrExtendTheLegalImage)
{
    for (const int flags : {0x00, 0x08}) {
        ImageParams params = Sample(flags);
        params.markerWord = 0x0219;
        params.fill = 0x5A;
        const std::string full = Build(params);
        for (std::uint64_t size : {0, 1, 2, 3, 4, 0x1F4D, 0x1F6D, 0x701C, 0x7021, 0x7051, 0x705E, 0x7081}) {
            params.size = size;
            EXPECT_EQ(Build(params), full.substr(0, size)) << "flags " << flags << ", size " << size;
        }
        params.size = full.size() + 3;
        EXPECT_EQ(Build(params), full + "ZZZ");
    }
}

TEST(ImageWriterTest, MarkerSharesTheVersionWordOnlyInLayoutB)
{
    ImageParams params = Sample(0x80);
    params.markerWord = 0x9010;
    const std::string layoutA = Build(params);
    EXPECT_EQ(layoutA.substr(0x1F4C, 2), "\x19\x02");
    EXPECT_EQ(layoutA.substr(0x1F6C, 2), "\x10\x90");

    params.imageFlags = 0;
    std::string bytes, error;
    EXPECT_FALSE(BuildImage(params, bytes, error));
    EXPECT_EQ(error, "marker word 0x9010 conflicts with version word 0x0219: "
                     "in layout B both are the word at 0x1F6C");
    params.versionWord = 0x9010;
    EXPECT_EQ(Build(params).substr(0x1F6C, 2), "\x10\x90");
}

TEST(ImageWriterTest, WriteImageStreamsTheSameBytesAndReplacesOldFiles)
{
    ScratchDir dir;
    const std::string path = (dir.Path() / "big.BIN").string();
    ImageParams params = Sample(0x08);
    params.size = (3u << 20) + 5; // several chunks, the last one short
    params.fill = 0;
    std::string error;
    ASSERT_TRUE(WriteImage(path, params, error)) << error;
    EXPECT_TRUE(SameBytes(dir.Read("big.BIN"), Build(params)));
    params.size = 2;
    ASSERT_TRUE(WriteImage(path, params, error)) << error;
    EXPECT_EQ(dir.Read("big.BIN"), "\x0D\x12");
}

TEST(ImageWriterTest, ProgramWritesWhatItsOptionsDescribeAndRefusesTheRest)
{
    ScratchDir dir;
    const std::string out = (dir.Path() / "out.BIN").string();
    ProcessResult result = RunProgram("tolvane-mkimage", {out, "--flags", "0x80", "--version", "537", "--target",
                                                          "0x0d12", "--manufacturer", "Maker Inc", "--product",
                                                          "Hub One", "--product2", "Hub Two", "--fill", "0xff"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(SameBytes(dir.Read("out.BIN"), Build(Sample(0x80))));

    // Alone, the marker also becomes the layout-B version word it shares.
    result = RunProgram("tolvane-mkimage", {"--marker", "0x9010", "--size", "0x1F6E", out});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(dir.Read("out.BIN").substr(0x1F6C), "\x10\x90");

    result = RunProgram("tolvane-mkimage", {(dir.Path() / "missing" / "x.BIN").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.rfind("tolvane-mkimage: cannot create ", 0), 0u) << result.err;

    const std::vector<std::vector<std::string>> wrong = {
        {},
        {"a.BIN", "b.BIN"},
        {"a.BIN", "--size"},
        {"a.BIN", "--target", "0x10000"},
        {"a.BIN", "--target", "0D12"},
        {"a.BIN", "--version", "-1"},
        {"a.BIN", "--fill", "1", "--fill", "1"},
        {"a.BIN", "--version", "1", "--marker", "0x9010"},
        {"a.BIN", "--product2", std::string(37, 'P')},
    };
    for (const auto& args : wrong) {
        result = RunProgram("tolvane-mkimage", args);
        EXPECT_EQ(result.exitCode, 2) << testing::PrintToString(args);
        EXPECT_EQ(result.err.rfind("tolvane-mkimage: ", 0), 0u) << testing::PrintToString(args);
    }
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "a.BIN"));
}
