// The launcher's unchanged source, built as a 64-bit test program with only
// its x64/x86 choice mirrored, so that its behaviour is tested on machines
// that run no 32-bit programs.
//
// The launcher chooses x64\ when IsWow64Process says it runs under WOW64. A
// 64-bit program never does, so here that answer is inverted on its way back:
// under 64-bit Wine this twin takes the x64\ path that the 32-bit launcher
// takes under WOW64. Everything else (the lookup of the function, the paths,
// the command interpreter, the statuses, the console) is the launcher's own
// code. The x86\ path is out of the twin's reach: no 64-bit Windows runs it
// under WOW64.
#include <windows.h>

FARPROC WINAPI MirroredGetProcAddress(HMODULE module, LPCSTR name);

// windows.h is in already, so the launcher's own include of it is empty and
// this name stands for the launcher's one call of GetProcAddress alone.
#define GetProcAddress MirroredGetProcAddress
#include "../TolvaneEndUser.cpp"
#undef GetProcAddress

namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

// Zero-initialised: the twin runs without the C runtime's initialisers too.
IsWow64ProcessFn realIsWow64Process;

BOOL WINAPI MirroredIsWow64Process(HANDLE process, PBOOL wow64)
{
    const BOOL answered = realIsWow64Process(process, wow64);
    *wow64 = *wow64 != FALSE ? FALSE : TRUE;
    return answered;
}

bool SameText(const char* left, const char* right)
{
    while (*left != '\0' && *left == *right) {
        ++left;
        ++right;
    }
    return *left == *right;
}

} // namespace

FARPROC WINAPI MirroredGetProcAddress(HMODULE module, LPCSTR name)
{
    FARPROC found = GetProcAddress(module, name);
    // A name below 0x10000 is an ordinal, not text.
    if (found == nullptr || IS_INTRESOURCE(name) || !SameText(name, "IsWow64Process"))
        return found;
    realIsWow64Process = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(found));
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&MirroredIsWow64Process));
}
