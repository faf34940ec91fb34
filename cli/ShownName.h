// Image names as every output of tolvane-cli shows them: the name's bytes
// as the system gives them, through the one escaping of shown bytes (for
// people, or as JSON's data).
#ifndef TOLVANE_CLI_SHOWNNAME_H
#define TOLVANE_CLI_SHOWNNAME_H

#include "Platform.h"
#include "TextEscape.h"

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

#endif
