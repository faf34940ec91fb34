#include "SystemError.h"

#include <cwchar>

#include <windows.h>

namespace tolvane::platform {

std::string SystemErrorText(std::uint32_t code)
{
    wchar_t* text = nullptr;
    const DWORD length =
        ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = length && text ? std::wstring(text, length) : L"error " + std::to_wstring(code);
    if (text)
        ::LocalFree(text);
    while (!message.empty() && std::wcschr(L"\r\n. ", message.back()))
        message.pop_back();
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, message.data(), static_cast<int>(message.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0)
        ::WideCharToMultiByte(CP_UTF8, 0, message.data(), static_cast<int>(message.size()), &utf8[0], size, nullptr,
                              nullptr);
    return utf8;
}

} // namespace tolvane::platform
