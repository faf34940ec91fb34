// Image names as every output of tolvane-cli shows them: the name's bytes
// as the system gives them, through the one escaping of shown bytes (for
// people, or as JSON's data).
#ifndef TOLVANE_CLI_SHOWNNAME_H
#define TOLVANE_CLI_SHOWNNAME_H

#include "Platform.h"
#include "TextEscape.h"

#include <filesystem>
#include <string>

// An 8-bit name, as the engine passes it.
inline std::string ShownName(const std::string& name, EscapeFor use = EscapeFor::People)
{
    return EscapeBytes(tolvane::platform::NameForShow(name), use);
}

// A name as the folder listing gives it.
inline std::string ShownName(const std::wstring& name, EscapeFor use = EscapeFor::People)
{
    return EscapeBytes(tolvane::platform::NameForShow(name), use);
}

// A path given on the command line, as the system's own paths read: a
// backslash stays one, while control characters are escaped as in a name.
inline std::string ShownPath(const std::string& path)
{
    return EscapeBytes(tolvane::platform::NameForShow(path), EscapeFor::Path);
}

// The path that was really tried for one given relative to the folder of
// -C (dir; empty for none), where the program works.
inline std::string TriedPath(const std::string& dir, const std::string& path)
{
    if (dir.empty() || path.empty() || std::filesystem::path(path).has_root_path())
        return path;
    const char last = dir.back();
    const bool separated = last == '/' || last == tolvane::platform::kPathSeparator;
    return dir + (separated ? "" : std::string(1, tolvane::platform::kPathSeparator)) + path;
}

#endif
