// Reading SpiFlash.ini the way the settings reader has always read it: a text
// file taken in pieces of at most 199 characters (a longer line goes on in the
// next piece), a carriage return before a line feed dropped, one trailing line
// feed removed, and every value scanned like the C library's formatted input.
#ifndef TOLVANE_ENGINE_SETTINGSTEXT_H
#define TOLVANE_ENGINE_SETTINGSTEXT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tolvane::platform {
class ReadOnlyFile;
}

class SettingsText {
public:
    static constexpr std::size_t kPieceSize = 200; // 199 characters and a zero

    SettingsText();
    ~SettingsText();
    SettingsText(const SettingsText&) = delete;
    SettingsText& operator=(const SettingsText&) = delete;

    bool Open(const char* fileName);
    // The next piece as a zero-terminated text, or null at the end of the
    // file. A zero byte inside a line ends what the searches can see of it.
    const char* NextPiece();
    // Skips to the first piece that contains header; false at the end.
    bool FindSection(const char* header);
    // The next piece of the current section, or null where a piece holding
    // "[" (the next section) or the end of the file comes.
    const char* NextSectionLine();

private:
    int ReadByte();

    std::unique_ptr<tolvane::platform::ReadOnlyFile> m_file;
    std::uint64_t m_offset = 0;
    std::vector<unsigned char> m_chunk;
    std::size_t m_chunkSize = 0;
    std::size_t m_chunkPos = 0;
    int m_pending = -1; // a byte read ahead after a carriage return
    char m_piece[kPieceSize];
};

// Value scanners with the rules of "%d", "%X" and "%s": leading white space
// skipped, an optional sign for numbers, an optional 0x for "%X". A value that
// does not scan leaves the destination untouched and returns false. Numbers
// wrap modulo 2^32 as the C library's conversions do on this platform.
bool ScanDecimal(const char* text, std::int32_t& value, const char** end = nullptr);
bool ScanHex(const char* text, std::uint32_t& value, const char** end = nullptr);
// Copies the first word into destination, at most size - 1 bytes and a zero.
bool ScanWord(const char* text, char* destination, std::size_t size);

// The text after the first "=" of line, or null.
const char* ValueOf(const char* line);

#endif
