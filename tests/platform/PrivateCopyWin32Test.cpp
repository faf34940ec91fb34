// The private copy on Windows: an 8-bit path whatever the temporary folder
// is called, a name nobody guesses, a folder open to this user alone that
// nobody renames or deletes while the copy lives, and the copies a killed
// run left removed, nothing else.
#include "PrivateCopy.h"

#include "ScratchDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <aclapi.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;
using tolvane::platform::PrivateCopy;

namespace {
const char kLeftName[] = "0123456789abcdef0123456789abcdef";

// The folder the copy is in, as a wide path relative to the working folder.
std::wstring FolderOf(const PrivateCopy& copy)
{
    return fs::path(copy.Path()).parent_path().wstring();
}

// Sets TEMP and TMP for the test's length.
class TemporaryFolderAs {
public:
    explicit TemporaryFolderAs(const std::wstring& folder)
    {
        for (const wchar_t* name : {L"TEMP", L"TMP"}) {
            wchar_t value[MAX_PATH + 1] = {};
            m_previous.push_back(::GetEnvironmentVariableW(name, value, MAX_PATH + 1) ? value : L"");
            ::SetEnvironmentVariableW(name, folder.c_str());
        }
    }
    ~TemporaryFolderAs()
    {
        ::SetEnvironmentVariableW(L"TEMP", m_previous[0].empty() ? nullptr : m_previous[0].c_str());
        ::SetEnvironmentVariableW(L"TMP", m_previous[1].empty() ? nullptr : m_previous[1].c_str());
    }

private:
    std::vector<std::wstring> m_previous;
};
} // namespace

TEST(PrivateCopyWin32, APathOfAsciiLettersBelowTheWorkingFolderWhateverTheTemporaryFolder)
{
    ScratchDir dir;
    // Cyrillic has no form in Wine's ANSI code page 1252.
    const fs::path temporary = dir.Path() / L"\u0412\u0440\u0435\u043c\u0435\u043d\u043d\u0430\u044f";
    fs::create_directory(temporary);
    const TemporaryFolderAs setting(temporary.wstring());
    PrivateCopy copy;
    std::string error;
    ASSERT_TRUE(copy.Make("GL.BIN", "approved", error)) << error;
    const std::string& path = copy.Path();
    ASSERT_EQ(path.rfind(".\\TolvaneCopies\\", 0), 0u) << path;
    const std::string folder = path.substr(16, path.size() - 16 - 7);
    EXPECT_EQ(folder.size(), 32u) << path;
    EXPECT_EQ(folder.find_first_not_of("0123456789abcdef"), std::string::npos) << path;
    EXPECT_EQ(path.substr(path.size() - 7), "\\GL.BIN");
    // As the library opens it, through the 8-bit call.
    FILE* in = std::fopen(path.c_str(), "rb");
    ASSERT_NE(in, nullptr);
    char bytes[16] = {};
    EXPECT_EQ(std::fread(bytes, 1, sizeof bytes, in), 8u);
    std::fclose(in);
    EXPECT_EQ(std::string(bytes), "approved");
    EXPECT_TRUE(fs::is_empty(temporary));
}

TEST(PrivateCopyWin32, NamesDifferFromCopyToCopy)
{
    ScratchDir dir;
    std::string error;
    std::string previous;
    for (int made = 0; made < 4; ++made) {
        PrivateCopy copy;
        ASSERT_TRUE(copy.Make("GL.BIN", "bytes", error)) << error;
        EXPECT_NE(copy.Path(), previous);
        previous = copy.Path();
    }
    // The copies' folder goes with the last copy.
    EXPECT_FALSE(fs::exists("TolvaneCopies"));
}

// What the library may do with the copy, and that nobody renames the folders
// on its path while it lives (in its private folder, nobody else reaches the
// copy itself).
TEST(PrivateCopyWin32, TheFoldersOnTheCopysPathStayInPlaceWhileItLives)
{
    ScratchDir dir;
    PrivateCopy copy;
    std::string error;
    ASSERT_TRUE(copy.Make("GL.BIN", "approved", error)) << error;
    const std::wstring file = fs::path(copy.Path()).wstring();
    const std::wstring folder = FolderOf(copy);

    // The library may open it sharing nothing, many times in a row.
    for (int open = 0; open < 3; ++open) {
        HANDLE reader = ::CreateFileW(file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(reader, INVALID_HANDLE_VALUE) << "error " << ::GetLastError();
        ::CloseHandle(reader);
    }
    fs::create_directories(L"elsewhere");
    struct Attempt {
        const char* what;
        const wchar_t* from;
        const wchar_t* to;
    };
    const Attempt attempts[] = {
        {"rename its folder", folder.c_str(), L"elsewhere\\moved"},
        {"rename the copies' folder", L"TolvaneCopies", L"elsewhere\\TolvaneCopies"},
    };
    for (const Attempt& attempt : attempts)
        EXPECT_FALSE(::MoveFileExW(attempt.from, attempt.to, 0)) << attempt.what;
    std::FILE* in = std::fopen(copy.Path().c_str(), "rb");
    ASSERT_NE(in, nullptr);
    std::fclose(in);

    copy.Remove();
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists("TolvaneCopies"));
}

// Wine keeps no security descriptor of its own for a file: it shows the
// file's Unix mode as rights of the owner, LocalSystem and Everyone.
bool UnderWine()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST(PrivateCopyWin32, TheFolderIsThisUsersAlone)
{
    ScratchDir dir;
    PrivateCopy copy;
    std::string error;
    ASSERT_TRUE(copy.Make("GL.BIN", "approved", error)) << error;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(::GetNamedSecurityInfoW(FolderOf(copy).c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                      nullptr, &dacl, nullptr, &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_NE(dacl, nullptr);

    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    unsigned char user[256] = {};
    DWORD size = 0;
    ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user, sizeof user, &size));
    ::CloseHandle(token);
    PSID self = reinterpret_cast<TOKEN_USER*>(user)->User.Sid;
    unsigned char system[SECURITY_MAX_SID_SIZE] = {};
    DWORD systemSize = sizeof system;
    ASSERT_TRUE(::CreateWellKnownSid(WinLocalSystemSid, nullptr, system, &systemSize));

    bool userAllowed = false;
    for (unsigned index = 0; index < dacl->AceCount; ++index) {
        void* ace = nullptr;
        ASSERT_TRUE(::GetAce(dacl, index, &ace));
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << "entry " << index;
        const bool isUser = ::EqualSid(sid, self) != 0;
        userAllowed = userAllowed || isUser;
        EXPECT_TRUE(isUser || (UnderWine() && ::EqualSid(sid, system))) << "entry " << index << " is someone else's";
    }
    EXPECT_TRUE(userAllowed);
    if (!UnderWine()) {
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
        EXPECT_NE(control & SE_DACL_PROTECTED, 0) << "the folder inherits rights from the working folder";
    }
    ::LocalFree(descriptor);
}

namespace {
struct Left {
    const char* what;
    const char* file; // below the working folder
    bool removed;
};

class LeftCopies : public testing::TestWithParam<Left> {};
} // namespace

TEST_P(LeftCopies, OnlyCopiesThatNoRunHoldsAreRemoved)
{
    ScratchDir dir;
    PrivateCopy live;
    std::string error;
    ASSERT_TRUE(live.Make("GL.BIN", "live", error)) << error;
    dir.Write(GetParam().file, "left");
    PrivateCopy::RemoveLeftCopies();
    EXPECT_EQ(!fs::exists(GetParam().file), GetParam().removed) << GetParam().file;
    std::FILE* in = std::fopen(live.Path().c_str(), "rb");
    ASSERT_NE(in, nullptr) << "the live copy went";
    std::fclose(in);
}

INSTANTIATE_TEST_SUITE_P(
    Copy, LeftCopies,
    testing::Values(Left{"ACopy", "TolvaneCopies/0123456789abcdef0123456789abcdef/GL.BIN", true},
                    Left{"AnyFileOfACopysFolder", "TolvaneCopies/0123456789abcdef0123456789abcdef/notes.txt", true},
                    Left{"AFolderInACopysFolder", "TolvaneCopies/0123456789abcdef0123456789abcdef/sub/GL.BIN", false},
                    Left{"CapitalDigits", "TolvaneCopies/0123456789ABCDEF0123456789ABCDEF/GL.BIN", false},
                    Left{"ShorterName", "TolvaneCopies/0123456789abcdef0123456789abcde/GL.BIN", false},
                    Left{"OtherName", "TolvaneCopies/mine/GL.BIN", false},
                    Left{"AFileOfTheCopiesFolder", "TolvaneCopies/GL.BIN", false},
                    Left{"ACopyNameElsewhere", "Bin/0123456789abcdef0123456789abcdef/GL.BIN", false}),
    [](const testing::TestParamInfo<Left>& param) { return std::string(param.param.what); });

TEST(PrivateCopyWin32, AllLeftCopiesGoAndTheirFolderToo)
{
    ScratchDir dir;
    dir.Write(std::string("TolvaneCopies/") + kLeftName + "/GL.BIN", "left");
    dir.Write("TolvaneCopies/fedcba9876543210fedcba9876543210/HUB.BIN", "left");
    PrivateCopy::RemoveLeftCopies();
    EXPECT_FALSE(fs::exists("TolvaneCopies"));
}
