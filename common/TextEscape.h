// The one way Tolvane shows bytes that come from files, folders, hubs and the
// command line (image names, hub strings, image fields, history fields): the
// result is always valid UTF-8 with no control character. Printable UTF-8
// passes; every other byte reads \xNN, the two bytes of a C1 control too,
// and a backslash reads \\ (in a path it stays one, EscapeFor::Path). So a
// name in Latin-1 ("caf\xE9") never looks like its UTF-8 twin ("café"), and
// nothing can move a terminal's cursor.
//
// Text for people escapes, byte by byte, the characters that show nothing
// or move what follows as well: one of them can make a name read as another
// name, right to left, or look like a name it is not. They are the
// bidirectional controls (U+061C, U+200E, U+200F, U+202A to U+202E, U+2066
// to U+2069), the zero-width space and joiners (U+200B to U+200D), the word
// joiner, the invisible operators and the deprecated format controls
// (U+2060 to U+206F), the byte-order mark U+FEFF, the soft hyphen U+00AD,
// U+180E, the interlinear annotation marks (U+FFF9 to U+FFFB), the tag
// characters (U+E0000 to U+E007F), and the line and paragraph separators
// (U+2028, U+2029), which break a line. JSON carries them as the data they
// are.
#ifndef TOLVANE_COMMON_TEXTESCAPE_H
#define TOLVANE_COMMON_TEXTESCAPE_H

#include <cstddef>
#include <cstdint>
#include <string>

enum class EscapeFor {
    People, // text on a terminal, in a window or on standard error
    // A path for people: as People, but a backslash, which separates the
    // parts of a Windows path, shows as one backslash.
    Path,
    Data, // a JSON string: valid UTF-8, the bidirectional controls kept
    // Text in an HTML page: as People, and & < > " ' as character
    // references, so that no text can open a tag or leave an attribute.
    Html,
};

std::string EscapeBytes(const std::string& bytes, EscapeFor use = EscapeFor::People);

// A fixed text field up to its first zero byte (or whole), escaped.
std::string EscapeField(const std::uint8_t* field, std::size_t size, EscapeFor use = EscapeFor::People);

#endif
