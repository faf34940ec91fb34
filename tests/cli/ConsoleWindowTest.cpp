#include "ConsoleWindow.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {
std::string Contents(std::FILE* file)
{
    std::fflush(file);
    std::rewind(file);
    std::string text;
    for (int c; (c = std::fgetc(file)) != EOF;)
        text += static_cast<char>(c);
    return text;
}
} // namespace

TEST(ConsoleWindow, DrawsTheBarInPlaceAndEndsItsLine)
{
    std::FILE* bar = std::tmpfile();
    ASSERT_NE(bar, nullptr);
    ConsoleWindow window(bar);
    window.SetProgressRange(0, 100);
    window.SetProgressPos(50);
    window.SetProgressPos(150); // beyond the range: shown full
    window.FinishProgress();
    EXPECT_EQ(Contents(bar), "\r[" + std::string(20, '#') + std::string(20, ' ') + "]  50%" + "\r[" +
                                 std::string(40, '#') + "] 100%\n");
    std::fclose(bar);
}

TEST(ConsoleWindow, TheBarNamesWhatItCounts)
{
    std::FILE* bar = std::tmpfile();
    ASSERT_NE(bar, nullptr);
    ConsoleWindow window(bar);
    int begun = 1;
    window.SetLabel([&begun] { return "hubs " + std::to_string(begun) + "/3"; });
    window.SetProgressPos(0);
    begun = 2;
    window.SetProgressPos(50);
    window.FinishProgress();
    EXPECT_EQ(Contents(bar), "\r[" + std::string(40, ' ') + "]   0% hubs 1/3" + "\r[" + std::string(20, '#') +
                                 std::string(20, ' ') + "]  50% hubs 2/3\n");
    std::fclose(bar);
}

TEST(ConsoleWindow, WithoutATerminalOnlyTheLogIsKept)
{
    ConsoleWindow window(nullptr);
    window.SetProgressPos(10);
    window.SetLogText(L"first");
    window.SetLogText(L"second");
    window.FinishProgress();
    EXPECT_EQ(window.LogText(), L"second");
}

TEST(ConsoleWindow, AddedTextContinuesTheLogItKeeps)
{
    ConsoleWindow window(nullptr);
    window.SetLogText(L"first\r\n");
    window.AppendLogText(L"first\r\nsecond\r\n", 7);
    EXPECT_EQ(window.LogText(), L"first\r\nsecond\r\n");
    // A length that is not what the window holds: the whole log is taken.
    window.AppendLogText(L"other\r\n", 3);
    EXPECT_EQ(window.LogText(), L"other\r\n");
}
