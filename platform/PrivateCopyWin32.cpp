#include "PrivateCopy.h"

#include "Platform.h"
#include "SystemError.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace tolvane::platform {

// The copy's folder and the folder of all copies, each held open while the
// copy lives: a folder held open by a handle that reads it and shares no
// deletion cannot be renamed or deleted, whatever rights another user has
// on the folder around it (a handle that reads no data would take part in
// no sharing). The copy itself is not held, so that the library may open it
// in any sharing mode; in its private folder no one else may touch it.
struct PrivateCopy::Held {
    std::wstring folder; // empty until made
    std::wstring file;   // empty until made
    HANDLE copiesHold = INVALID_HANDLE_VALUE;
    HANDLE folderHold = INVALID_HANDLE_VALUE;
};

namespace {
// The folder of all copies, below the working folder; each copy lives in a
// folder of its own in it, named by 32 hexadecimal digits.
const wchar_t kCopiesFolder[] = L"TolvaneCopies";
const char kCopiesFolderNarrow[] = "TolvaneCopies";
constexpr std::size_t kCopyFolderNameLength = 32;

std::string CopyFailureText(DWORD code)
{
    return SystemErrorText(code) + " (error " + std::to_string(code) + ")";
}

void CloseHold(HANDLE& hold)
{
    if (hold != INVALID_HANDLE_VALUE)
        ::CloseHandle(hold);
    hold = INVALID_HANDLE_VALUE;
}

bool WriteCopyBytes(HANDLE file, const char* bytes, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, bytes + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

// Security attributes that give this user alone every right, inherited by
// what is made inside and unchanged by the folder around.
class PrivateAttributes {
public:
    bool Build(std::string& error)
    {
        HANDLE token = nullptr;
        DWORD size = 0;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) {
            error = "cannot learn the user: " + CopyFailureText(::GetLastError());
            return false;
        }
        ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        m_user.resize(size / sizeof(std::uint64_t) + 1);
        const bool known = ::GetTokenInformation(token, TokenUser, m_user.data(), size, &size);
        const DWORD reason = ::GetLastError();
        ::CloseHandle(token);
        if (!known) {
            error = "cannot learn the user: " + CopyFailureText(reason);
            return false;
        }
        PSID user = reinterpret_cast<TOKEN_USER*>(m_user.data())->User.Sid;
        const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + ::GetLengthSid(user);
        m_acl.resize(aclSize / sizeof(std::uint64_t) + 1);
        PACL acl = reinterpret_cast<PACL>(m_acl.data());
        if (!::InitializeAcl(acl, aclSize, ACL_REVISION) ||
            !::AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS,
                                     user) ||
            !::InitializeSecurityDescriptor(&m_descriptor, SECURITY_DESCRIPTOR_REVISION) ||
            !::SetSecurityDescriptorDacl(&m_descriptor, TRUE, acl, FALSE) ||
            !::SetSecurityDescriptorControl(&m_descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) {
            error = "cannot describe a private folder: " + CopyFailureText(::GetLastError());
            return false;
        }
        m_attributes.nLength = sizeof(m_attributes);
        m_attributes.lpSecurityDescriptor = &m_descriptor;
        m_attributes.bInheritHandle = FALSE;
        return true;
    }
    SECURITY_ATTRIBUTES* Get() { return &m_attributes; }

private:
    std::vector<std::uint64_t> m_user; // TOKEN_USER, aligned
    std::vector<std::uint64_t> m_acl;
    SECURITY_DESCRIPTOR m_descriptor = {};
    SECURITY_ATTRIBUTES m_attributes = {};
};

// Opens a folder to keep it in place; false when it is not a plain folder
// (a link, or a file where the folder should be).
bool HoldFolder(const std::wstring& path, HANDLE& hold, std::string& error)
{
    hold = ::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    BY_HANDLE_FILE_INFORMATION information = {};
    if (hold == INVALID_HANDLE_VALUE || !::GetFileInformationByHandle(hold, &information)) {
        error = "cannot hold " + WideToUtf8(path) + " open: " + CopyFailureText(::GetLastError());
        CloseHold(hold);
        return false;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        error = WideToUtf8(path) + " is not a plain folder";
        CloseHold(hold);
        return false;
    }
    return true;
}

// The folder of all copies, made private when it is made; its own holds
// keep it in place whoever made it.
bool HoldCopiesFolder(PrivateAttributes& attributes, HANDLE& hold, std::string& error)
{
    if (!::CreateDirectoryW(kCopiesFolder, attributes.Get()) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
        error = "cannot make the folder " + WideToUtf8(kCopiesFolder) + ": " + CopyFailureText(::GetLastError());
        return false;
    }
    return HoldFolder(kCopiesFolder, hold, error);
}

// Sixteen bytes of the system's random generator, in hex: a name nobody
// guesses ahead, unlike a time or a process number.
bool RandomFolderName(std::wstring& name, std::string& error)
{
    unsigned char random[kCopyFolderNameLength / 2] = {};
    const NTSTATUS status = ::BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) {
        error = "cannot draw a random name: status " + std::to_string(static_cast<unsigned long>(status));
        return false;
    }
    const wchar_t digits[] = L"0123456789abcdef";
    name.clear();
    for (const unsigned char byte : random) {
        name += digits[byte >> 4];
        name += digits[byte & 15];
    }
    return true;
}

// A fresh folder of a random name below the copies' folder, held at once.
bool MakeCopyFolder(PrivateAttributes& attributes, std::wstring& folder, HANDLE& hold, std::wstring& name,
                    std::string& error)
{
    for (unsigned attempt = 0; attempt < 8; ++attempt) {
        if (!RandomFolderName(name, error))
            return false;
        const std::wstring made = std::wstring(kCopiesFolder) + L"\\" + name;
        if (::CreateDirectoryW(made.c_str(), attributes.Get())) {
            folder = made;
            return HoldFolder(folder, hold, error);
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    error = "cannot make a private folder in " + WideToUtf8(kCopiesFolder) + ": " + CopyFailureText(::GetLastError());
    return false;
}

bool WriteCopyFile(const std::wstring& path, std::wstring& file, const char* bytes, std::size_t size,
                   std::string& error)
{
    HANDLE writer = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (writer == INVALID_HANDLE_VALUE) {
        error = "cannot write the private copy: " + CopyFailureText(::GetLastError());
        return false;
    }
    file = path;
    const bool written = WriteCopyBytes(writer, bytes, size);
    const DWORD reason = ::GetLastError();
    ::CloseHandle(writer);
    if (!written)
        error = "cannot write the private copy: " + CopyFailureText(reason);
    return written;
}

bool IsCopyFolderName(const wchar_t* name)
{
    std::size_t length = 0;
    for (; name[length] != L'\0'; ++length)
        if (!((name[length] >= L'0' && name[length] <= L'9') || (name[length] >= L'a' && name[length] <= L'f')))
            return false;
    return length == kCopyFolderNameLength;
}

// A copy's folder that no run holds: its files go, then the folder. A
// folder inside it, or anything that is a link, is not Tolvane's and stays.
void RemoveLeftFolder(const std::wstring& folder)
{
    // Asking for the right to delete fails while a run holds the folder.
    HANDLE probe =
        ::CreateFileW(folder.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (probe == INVALID_HANDLE_VALUE)
        return;
    // Closed before the listing, which shares no deletion.
    ::CloseHandle(probe);
    WIN32_FIND_DATAW entry = {};
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const DWORD notPlain = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
            if ((entry.dwFileAttributes & notPlain) == 0)
                ::DeleteFileW((folder + L"\\" + entry.cFileName).c_str());
        } while (::FindNextFileW(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryW(folder.c_str());
}
} // namespace

void PrivateCopy::Release::operator()(Held* held) const
{
    if (!held->file.empty())
        ::DeleteFileW(held->file.c_str());
    CloseHold(held->folderHold);
    if (!held->folder.empty())
        ::RemoveDirectoryW(held->folder.c_str());
    CloseHold(held->copiesHold);
    // Only once no other copy is in it.
    ::RemoveDirectoryW(kCopiesFolder);
    delete held;
}

void PrivateCopy::RemoveLeftCopies()
{
    WIN32_FIND_DATAW entry = {};
    HANDLE search = ::FindFirstFileW((std::wstring(kCopiesFolder) + L"\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        const bool plainFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                                 (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
        if (plainFolder && IsCopyFolderName(entry.cFileName))
            RemoveLeftFolder(std::wstring(kCopiesFolder) + L"\\" + entry.cFileName);
    } while (::FindNextFileW(search, &entry));
    ::FindClose(search);
    ::RemoveDirectoryW(kCopiesFolder);
}

// Below the working folder, by a relative path of ASCII letters, as the
// image folder's own: the library's 8-bit calls take it whatever the
// temporary folder or the user's name is.
bool PrivateCopy::Make(const std::string& name, const char* bytes, std::size_t size, std::string& error)
{
    Remove();
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos || name == "." || name == "..") {
        error = "not a file name: " + name;
        return false;
    }
    PrivateAttributes attributes;
    if (!attributes.Build(error))
        return false;
    std::unique_ptr<Held, Release> held(new Held);
    std::wstring folderName;
    if (!HoldCopiesFolder(attributes, held->copiesHold, error) ||
        !MakeCopyFolder(attributes, held->folder, held->folderHold, folderName, error) ||
        !WriteCopyFile(held->folder + L"\\" + WidenAnsi(name), held->file, bytes, size, error))
        return false;
    std::string narrowFolder;
    NarrowName(folderName, narrowFolder);
    m_path = std::string(".\\") + kCopiesFolderNarrow + "\\" + narrowFolder + "\\" + name;
    m_held = std::move(held);
    return true;
}

} // namespace tolvane::platform
