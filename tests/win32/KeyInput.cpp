#include "KeyInput.h"

#include "WindowDriver.h"

#include <vector>

HWND FocusOf(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

bool FocusDialogControl(HWND dialog, HWND control, DWORD timeoutMs)
{
    PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
    return PollFor(timeoutMs, [&] { return FocusOf(dialog) == control; });
}

namespace {
INPUT Key(WORD vk, bool up)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return input;
}
} // namespace

bool PressKeys(HWND window, std::initializer_list<WORD> keys)
{
    SetForegroundWindow(window);
    if (!PollFor(5000, [&] { return GetForegroundWindow() == window; }))
        return false;
    std::vector<INPUT> inputs;
    for (WORD vk : keys)
        inputs.push_back(Key(vk, false));
    for (auto vk = keys.end(); vk != keys.begin();)
        inputs.push_back(Key(*--vk, true));
    const UINT count = static_cast<UINT>(inputs.size());
    return SendInput(count, inputs.data(), sizeof(INPUT)) == count;
}
