#include "PrivateCopy.h"

#include "Platform.h"

#include <windows.h>

#include <algorithm>

namespace tolvane::platform {
namespace {
std::string CopyFailureText(DWORD code)
{
    return "error " + std::to_string(code);
}

bool WriteCopyBytes(HANDLE file, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}
} // namespace

bool PrivateCopy::Make(const std::string& name, const std::string& bytes, std::string& error)
{
    Remove();
    if (name.empty() || name.find_first_of("\\/:") != std::string::npos || name == "." || name == "..") {
        error = "not a file name: " + name;
        return false;
    }
    return MakeInFolder(name, bytes, error);
}

// %TEMP% is the user's own folder; a fresh folder of a name no other run
// uses keeps one run's copy from another's.
bool PrivateCopy::MakeInFolder(const std::string& name, const std::string& bytes, std::string& error)
{
    wchar_t temporary[MAX_PATH + 1] = {};
    const DWORD length = ::GetTempPathW(MAX_PATH + 1, temporary);
    if (length == 0 || length > MAX_PATH) {
        error = "cannot find the temporary folder: " + CopyFailureText(::GetLastError());
        return false;
    }
    for (unsigned attempt = 0;; ++attempt) {
        const std::wstring folder = std::wstring(temporary) + L"tolvane-" + std::to_wstring(::GetCurrentProcessId()) +
                                    L"-" + std::to_wstring(::GetTickCount64()) + L"-" + std::to_wstring(attempt);
        if (::CreateDirectoryW(folder.c_str(), nullptr)) {
            m_wideFolder = folder;
            break;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS || attempt > 100) {
            error = "cannot make a private folder: " + CopyFailureText(::GetLastError());
            return false;
        }
    }
    // The engine hands the library 8-bit paths, as the image folder's are.
    if (!NarrowName(m_wideFolder, m_folder)) {
        error = "the temporary folder has no 8-bit name";
        Remove();
        return false;
    }
    const std::wstring path = m_wideFolder + L"\\" + WidenAnsi(name);
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot write the private copy: " + CopyFailureText(::GetLastError());
        Remove();
        return false;
    }
    const bool written = WriteCopyBytes(file, bytes);
    const DWORD reason = ::GetLastError();
    ::CloseHandle(file);
    m_path = m_folder + "\\" + name;
    if (!written) {
        error = "cannot write the private copy: " + CopyFailureText(reason);
        Remove();
        return false;
    }
    return true;
}

void PrivateCopy::Remove()
{
    if (!m_wideFolder.empty()) {
        if (!m_path.empty())
            ::DeleteFileW(WidenAnsi(m_path).c_str());
        ::RemoveDirectoryW(m_wideFolder.c_str());
    }
    m_wideFolder.clear();
    m_folder.clear();
    m_path.clear();
}

} // namespace tolvane::platform
