// Letters and digits of plain ASCII, whatever the locale: the files Tolvane
// reads name their sections, keys, numbers and extensions in ASCII, and a
// locale-dependent fold would make the same file mean different things.
#ifndef TOLVANE_COMMON_ASCIITEXT_H
#define TOLVANE_COMMON_ASCIITEXT_H

#include <string>

namespace ascii {

// The value of a hexadecimal digit, or -1 for any other character.
constexpr int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

constexpr char ToUpper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char ToLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

inline std::string Upper(std::string text)
{
    for (char& c : text)
        c = ToUpper(c);
    return text;
}

inline std::string Lower(std::string text)
{
    for (char& c : text)
        c = ToLower(c);
    return text;
}

} // namespace ascii

#endif
