#include "FirmwareImage.h"
#include "Images.h"
#include "ScratchDir.h"

#include <gtest/gtest.h>

namespace {
struct SizeCase {
    std::uint16_t target;
    std::uint8_t flags;
    std::uint64_t size;
    bool legal;
};

} // namespace

TEST(FirmwareImage, SizeRuleAppliesOnlyToTarget0D12)
{
    ScratchDir dir;
    const SizeCase cases[] = {
        {0x0D12, 0x00, 28801, true}, {0x0D12, 0x00, 28848, false}, {0x0D12, 0x08, 28848, true},
        {0x0D12, 0x80, 28848, true}, {0x0D12, 0x88, 28848, true},  {0x0D12, 0x08, 28801, false},
        {0x0D12, 0x04, 28801, true}, {0x0D12, 0x70, 28848, false}, {0x0D12, 0x00, 3, false},
        {0x0D12, 0x00, 2, false},    {0x0D13, 0x00, 4, true},      {0x0D13, 0x08, 1, true},
        {0x0D13, 0x00, 0, true},
    };
    for (const SizeCase& c : cases) {
        ImageParams params;
        params.targetId = c.target;
        params.imageFlags = c.flags;
        params.size = c.size;
        dir.Write("x.bin", ImageBytes(params));
        FirmwareImage image;
        ASSERT_TRUE(image.Open("x.bin"));
        EXPECT_EQ(image.Size(), c.size);
        EXPECT_EQ(image.IsLegal(), c.legal)
            << std::hex << c.target << " flags " << int(c.flags) << std::dec << " size " << c.size;
    }
}

TEST(FirmwareImage, ShortFilesHaveAbsentHeaderBytes)
{
    ScratchDir dir;
    dir.Write("one.bin", std::string("\x0D", 1));
    FirmwareImage image;
    ASSERT_TRUE(image.Open("one.bin"));
    EXPECT_EQ(image.HeaderBytes(), 1u);
    EXPECT_FALSE(image.HasTargetId());
    EXPECT_FALSE(image.HasFlags());

    dir.Write("three.bin", std::string("\x0D\x12\x08", 3));
    ASSERT_TRUE(image.Open("three.bin"));
    EXPECT_TRUE(image.HasFlags());
    EXPECT_EQ(image.TargetId(), 0x0D12);
    std::uint16_t word = 0;
    EXPECT_FALSE(image.ReadWord(2, word));
    EXPECT_FALSE(image.ReadFirmwareVersion(word));
}

TEST(FirmwareImage, VersionComesFromTheLayoutsWordPlusItsStep)
{
    ScratchDir dir;
    ImageParams a;
    a.imageFlags = 0x28; // layout A, step 2
    a.versionWord = 0x1234;
    dir.Write("a.bin", ImageBytes(a));
    ImageParams b;
    b.imageFlags = 0x30; // layout B, step 3
    b.versionWord = 0xFFFE;
    dir.Write("b.bin", ImageBytes(b));

    FirmwareImage image;
    std::uint16_t version = 0;
    ASSERT_TRUE(image.Open("a.bin"));
    EXPECT_TRUE(image.ReadFirmwareVersion(version));
    EXPECT_EQ(version, 0x1236);
    ASSERT_TRUE(image.Open("b.bin"));
    EXPECT_TRUE(image.ReadFirmwareVersion(version));
    EXPECT_EQ(version, 0x0001); // wraps in 16 bits
}

TEST(FirmwareImage, FieldsAreReadAsStoredAndCutAtTheEnd)
{
    ScratchDir dir;
    ImageParams params;
    params.manufacturer = std::string("Line\r\nEnd\x1A", 10);
    dir.Write("b.bin", ImageBytes(params));
    FirmwareImage image;
    ASSERT_TRUE(image.Open("b.bin"));
    std::uint8_t field[46] = {};
    EXPECT_EQ(image.ReadField(image.Layout().manufacturer, field, sizeof field), 46u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(field), 10), params.manufacturer);
    // The second product field of a layout-B image runs past the end.
    EXPECT_EQ(image.ReadField(image.Layout().product2, field, sizeof field), 36u);
    EXPECT_EQ(image.ReadField(image.Size() + 5, field, sizeof field), 0u);
    // A read past the end does not spoil the next one.
    std::uint16_t word = 0;
    EXPECT_TRUE(image.ReadWord(0, word));
    EXPECT_EQ(word, 0x120D);
}

TEST(FirmwareImage, MissingFileAndFolderDoNotOpen)
{
    ScratchDir dir;
    dir.Write("Bin/keep.txt", "");
    FirmwareImage image;
    EXPECT_FALSE(image.Open("absent.bin"));
    EXPECT_FALSE(image.Open("Bin"));
}
