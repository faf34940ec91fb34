#include "Platform.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;
using namespace tolvane::platform;

namespace {

std::string ReadString(ReadOnlyFile& file, std::uint64_t offset, std::size_t length)
{
    std::string buffer(length, '\0');
    buffer.resize(file.ReadAt(offset, buffer.data(), length));
    return buffer;
}

std::uint64_t SizeOf(ReadOnlyFile& file)
{
    std::uint64_t size = ~std::uint64_t{0};
    EXPECT_TRUE(file.Size(size));
    return size;
}

} // namespace

TEST(PlatformFile, PositionedReadsAreIndependentOfEachOther)
{
    ScratchDir dir;
    dir.Write("image.bin", "0123456789");
    auto file = OpenReadOnly("image.bin");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(SizeOf(*file), 10u);

    // Out of order on purpose: a read that followed a shared file pointer
    // would return "0123" for the second call.
    EXPECT_EQ(ReadString(*file, 6, 3), "678");
    EXPECT_EQ(ReadString(*file, 0, 4), "0123");
    EXPECT_EQ(ReadString(*file, 0, 10), "0123456789");

    EXPECT_EQ(ReadString(*file, 8, 5), "89") << "a read across the end is short";
    EXPECT_EQ(ReadString(*file, 10, 4), "") << "at the end";
    EXPECT_EQ(ReadString(*file, 1000, 4), "");
    EXPECT_EQ(ReadString(*file, ~std::uint64_t{0} - 1, 4), "") << "an offset no file can reach";
    EXPECT_EQ(ReadString(*file, 3, 0), "");

    EXPECT_EQ(ReadString(*file, 2, 3), "234") << "failed reads leave the file usable";

    dir.Write("empty.bin", "");
    auto empty = OpenReadOnly("empty.bin");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SizeOf(*empty), 0u);
    EXPECT_EQ(ReadString(*empty, 0, 16), "");
}

TEST(PlatformFile, DirectoriesAndMissingFilesDoNotOpen)
{
    ScratchDir dir;
    fs::create_directory(dir.Path() / "folder");
    EXPECT_EQ(OpenReadOnly("folder"), nullptr);
    EXPECT_EQ(OpenReadOnly("."), nullptr);
    EXPECT_EQ(OpenReadOnly("missing.bin"), nullptr);
}

TEST(PlatformFile, OffsetsBeyondFourGiBReachTheRightBytes)
{
    ScratchDir dir;
    const std::uint64_t high = (std::uint64_t{1} << 32) + 5;
    dir.Write("large.bin", "lowmark");
    // Sparse on the file systems the tests run on, so this costs no space.
    std::error_code error;
    fs::resize_file(dir.Path() / "large.bin", high, error);
    if (error)
        GTEST_SKIP() << "cannot make a file beyond 4 GiB here: " << error.message();
    {
        std::ofstream out(dir.Path() / "large.bin", std::ios::binary | std::ios::app);
        out << "HIGH";
        ASSERT_TRUE(out.good());
    }

    auto file = OpenReadOnly("large.bin");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(SizeOf(*file), high + 4);
    // Truncating the offset to 32 bits would land on "lowmark".
    EXPECT_EQ(ReadString(*file, high, 8), "HIGH");
    EXPECT_EQ(ReadString(*file, high - 2, 4), std::string("\0\0HI", 4));
    EXPECT_EQ(ReadString(*file, 0, 7), "lowmark");
    file.reset();
    dir.Remove("large.bin");
}

TEST(PlatformFile, OpensAndReadsWhileAnotherHandleWrites)
{
    ScratchDir dir;
    dir.Write("grow.bin", "first");

    // Reader first: a writer must still be able to open the file afterwards.
    auto file = OpenReadOnly("grow.bin");
    ASSERT_NE(file, nullptr);
    std::ofstream writer(dir.Path() / "grow.bin", std::ios::binary | std::ios::app);
    ASSERT_TRUE(writer.is_open()) << "the open reader locks out writers";
    writer << "second";
    writer.flush();
    EXPECT_EQ(SizeOf(*file), 11u);
    EXPECT_EQ(file->OpenedSize(), 5u); // what the opening learnt stays
    EXPECT_EQ(ReadString(*file, 5, 16), "second");

    // Writer first: the reader must not ask for exclusive access.
    auto second = OpenReadOnly("grow.bin");
    ASSERT_NE(second, nullptr) << "an open writer locks out the reader";
    EXPECT_EQ(ReadString(*second, 0, 16), "firstsecond");
}

TEST(PlatformFile, FileCanBeDeletedWhileOpen)
{
    ScratchDir dir;
    dir.Write("doomed.bin", "still here");
    auto file = OpenReadOnly("doomed.bin");
    ASSERT_NE(file, nullptr);

    std::error_code error;
    EXPECT_TRUE(fs::remove(dir.Path() / "doomed.bin", error)) << error.message();
    EXPECT_EQ(ReadString(*file, 0, 32), "still here");
    EXPECT_EQ(SizeOf(*file), 10u);
}

TEST(PlatformText, EmptyAndAsciiTextCrossUnchanged)
{
    EXPECT_EQ(WidenAnsi(""), L"");
    EXPECT_EQ(WideToUtf8(L""), "");
    EXPECT_EQ(WidenAnsi("Hub 7 [v2.0].bin"), L"Hub 7 [v2.0].bin");
    EXPECT_EQ(WideToUtf8(L"Hub 7 [v2.0].bin"), "Hub 7 [v2.0].bin");
    // Counted conversions: an embedded NUL neither ends nor shortens the text.
    EXPECT_EQ(WidenAnsi(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    EXPECT_EQ(WideToUtf8(std::wstring(L"a\0b", 3)), std::string("a\0b", 3));
}

TEST(PlatformText, WideToUtf8EncodesEveryPlane)
{
    EXPECT_EQ(WideToUtf8(L"caf\u00e9"), "caf\xC3\xA9");
    EXPECT_EQ(WideToUtf8(L"\u0080\u07FF\u0800\u20AC\uFFFD"), "\xC2\x80\xDF\xBF\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBD");
    EXPECT_EQ(WideToUtf8(L"\U0001F600\U0010FFFF"), "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF");
}

TEST(PlatformText, WideToUtf8ReplacesUnpairedSurrogates)
{
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), replacement);
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0xDFFF))), replacement);
    std::wstring highThenLetter = L"x";
    highThenLetter += static_cast<wchar_t>(0xDBFF);
    highThenLetter += L'y';
    EXPECT_EQ(WideToUtf8(highThenLetter), "x" + replacement + "y");
#ifndef _WIN32
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), replacement);
    EXPECT_EQ(WideToUtf8(std::wstring(1, static_cast<wchar_t>(0x7FFFFFFF))), replacement);
#endif
}

#ifdef _WIN32

TEST(PlatformText, WidenAnsiUsesTheAnsiCodePage)
{
    // Whatever the code page, one byte above 0x7F in a single-byte page is one
    // character, and it is not dropped.
    if (GetACP() == CP_UTF8)
        GTEST_SKIP() << "the ANSI code page is UTF-8 here";
    CPINFO info{};
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    if (info.MaxCharSize != 1)
        GTEST_SKIP() << "a double-byte ANSI code page";
    const std::wstring wide = WidenAnsi("\xE9");
    ASSERT_EQ(wide.size(), 1u);
    EXPECT_NE(wide[0], L'\0');
    EXPECT_EQ(WidenAnsi("name\xE9.bin").size(), 9u);
}

#else

TEST(PlatformText, WidenAnsiDecodesWellFormedUtf8)
{
    EXPECT_EQ(WidenAnsi("caf\xC3\xA9"), L"caf\u00e9");
    EXPECT_EQ(WidenAnsi("\xE2\x82\xAC"
                        "100"),
              L"\u20ac100");
    EXPECT_EQ(WidenAnsi("\xF0\x9F\x98\x80"), L"\U0001F600");
    // The edges of each length and of the surrogate gap.
    EXPECT_EQ(WidenAnsi("\xC2\x80\xDF\xBF"), L"\u0080\u07FF");
    EXPECT_EQ(WidenAnsi("\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF"), L"\u0800\uD7FF\uE000\uFFFF");
    EXPECT_EQ(WidenAnsi("\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"), L"\U00010000\U0010FFFF");
}

TEST(PlatformText, WidenAnsiTakesMalformedBytesAsLatin1)
{
    struct Case {
        const char* what;
        std::string in;
        std::wstring out;
    };
    const Case cases[] = {
        {"lone Latin-1 letter", "caf\xE9", L"caf\u00e9"},
        {"lone continuation byte",
         "\x80"
         "a",
         L"\u0080a"},
        {"overlong two-byte slash", "\xC0\xAF", L"\u00c0\u00af"},
        {"overlong three-byte", "\xE0\x9F\xBF", L"\u00e0\u009f\u00bf"},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", L"\u00f0\u008f\u00bf\u00bf"},
        {"high surrogate", "\xED\xA0\x80", L"\u00ed\u00a0\u0080"},
        {"above U+10FFFF", "\xF4\x90\x80\x80", L"\u00f4\u0090\u0080\u0080"},
        {"F5 lead", "\xF5\x80\x80\x80", L"\u00f5\u0080\u0080\u0080"},
        {"truncated at the end", "a\xE2\x82", L"a\u00e2\u0082"},
        {"truncated before ASCII",
         "\xE2\x82"
         "A",
         L"\u00e2\u0082A"},
        // Decoding resumes at the very next byte, so a good sequence right
        // after a bad lead still decodes.
        {"bad lead before good sequence", "\xE2\xC3\xA9", L"\u00e2\u00e9"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WidenAnsi(c.in), c.out) << c.what;
}

#endif

#ifdef _WIN32

TEST(PlatformRegistry, MachineKeyFollowsTheRegistry)
{
    const wchar_t* const key = L"SYSTEM\\CurrentControlSet\\Services\\tolvane_platform_test";
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key);
    EXPECT_FALSE(MachineKeyExists(key));

    HKEY created = nullptr;
    const LONG status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &created, nullptr);
    if (status == ERROR_ACCESS_DENIED)
        GTEST_SKIP() << "creating a machine key needs administrator rights";
    ASSERT_EQ(status, ERROR_SUCCESS);
    RegCloseKey(created);

    EXPECT_TRUE(MachineKeyExists(key));
    EXPECT_FALSE(MachineKeyExists(L"SYSTEM\\CurrentControlSet\\Services\\tolvane_platform_test\\none"));

    ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, key), ERROR_SUCCESS);
    EXPECT_FALSE(MachineKeyExists(key));
}

#endif

namespace {
unsigned g_listingsSeen = 0;
void CountListing()
{
    ++g_listingsSeen;
}
} // namespace

TEST(PlatformListing, ListsTheExtensionInAnyCaseAndTellsTheObserver)
{
    ScratchDir dir;
    for (const char* name : {"b.bin", "A.BIN", "c.Bin", "notes.txt", "BIN"})
        dir.Write(std::string("Bin/") + name, "x");
    const std::string folder = (dir.Path() / "Bin").string() + kPathSeparator;

    g_listingsSeen = 0;
    const ListingObserver before = SetListingObserver(&CountListing);
    std::vector<std::wstring> names{L"stale"};
    EXPECT_TRUE(ListFolder(folder, ".BIN", names));
    std::vector<std::wstring> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::wstring>{L"A.BIN", L"b.bin", L"c.Bin"}));
#ifndef _WIN32
    EXPECT_EQ(names, (std::vector<std::wstring>{L"A.BIN", L"b.bin", L"c.Bin"})) << "upper-cased byte order";
#endif
    EXPECT_FALSE(ListFolder(folder, ".IMG", names)) << "nothing matches";
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(ListFolder(folder + "missing" + kPathSeparator, ".BIN", names));
    EXPECT_EQ(g_listingsSeen, 3u) << "once after every listing, failed or not";

    EXPECT_EQ(SetListingObserver(before), &CountListing);
    EXPECT_TRUE(ListFolder(folder, ".BIN", names));
    EXPECT_EQ(g_listingsSeen, 3u) << "an observer taken away is not called";
}

#ifndef _WIN32
TEST(PlatformNames, ListedNamesNarrowToTheBytesOnDiskAndShowAsLatin1)
{
    ScratchDir dir;
    const struct {
        std::string onDisk;
        std::string shown; // WideToUtf8 of the listed name
    } cases[] = {
        {"caf\xE9.BIN", "caf\xC3\xA9.BIN"},
        {"caf\xC3\xA9.BIN", "caf\xC3\xA9.BIN"},
        {"\x80\xFF.BIN", "\xC2\x80\xC3\xBF.BIN"},
        {"\xC0\xAF.BIN", "\xC3\x80\xC2\xAF.BIN"},
        {"\xED\xB3\xA9.BIN", "\xC3\xAD\xC2\xB3\xC2\xA9.BIN"}, // U+DCE9 written as UTF-8 is no UTF-8
        {"\xF0\x9F\x98\x80\xE2\x82.BIN", "\xF0\x9F\x98\x80\xC3\xA2\xC2\x82.BIN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.onDisk));
        fs::remove_all("Bin");
        dir.Write("Bin/" + c.onDisk, "x");
        std::vector<std::wstring> names;
        ASSERT_TRUE(ListFolder("Bin/", ".BIN", names));
        ASSERT_EQ(names.size(), 1u);
        std::string narrow;
        ASSERT_TRUE(NarrowName(names[0], narrow));
        EXPECT_EQ(narrow, c.onDisk);
        EXPECT_EQ(WideToUtf8(names[0]), c.shown);
        EXPECT_EQ(WideToUtf8(WidenAnsi(c.onDisk)), c.shown) << "as the same bytes in any other text";
    }
    // Surrogates that no listing produces still have no 8-bit form.
    std::string narrow;
    EXPECT_FALSE(NarrowName(std::wstring(1, static_cast<wchar_t>(0xDC7F)), narrow));
    EXPECT_FALSE(NarrowName(std::wstring(1, static_cast<wchar_t>(0xDD00)), narrow));
    EXPECT_FALSE(NarrowName(std::wstring(1, static_cast<wchar_t>(0xD800)), narrow));
}
#endif

TEST(PlatformSleep, SleepsRoughlyAsLongAsAsked)
{
    using Clock = std::chrono::steady_clock;
    auto start = Clock::now();
    SleepMs(0);
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));

    start = Clock::now();
    SleepMs(80);
    const auto elapsed = Clock::now() - start;
    // Timer ticks of up to ~16 ms on Windows may round either way.
    EXPECT_GE(elapsed, std::chrono::milliseconds(64));
    EXPECT_LT(elapsed, std::chrono::seconds(5));
}
