// The images a site has approved, as `sha256sum Bin/*.BIN` lists them: one
// "HEX  NAME" or "HEX *NAME" per line, LF or CRLF, and the "\HEX  NAME"
// form sha256sum writes for a name with a backslash or a line end in it. A
// name that holds a control character as it is written (C0, DEL, or a C1
// control in UTF-8) is no list line: on a terminal it can hide the hash or
// the name that is really listed.
// Names are known by their last path part, without regard to letter case on
// Windows, where the file system has none either.
#ifndef TOLVANE_APPROVAL_APPROVEDLIST_H
#define TOLVANE_APPROVAL_APPROVEDLIST_H

#include <map>
#include <string>
#include <vector>

class ApprovedList {
public:
    struct Listed {
        unsigned line = 0;  // where the list first names the image
        std::string name;   // as that line gives it, unescaped
        std::string sha256; // lower-case hex
    };

    // Reads the list at path. False with error set when the file cannot be
    // read (the system's reason) or a line is not a list line ("line N: ...").
    bool Load(const std::string& path, std::string& error);
    // The list's bytes, read once, for a caller that checks them before they
    // are parsed. False with error set as Load sets it.
    static bool ReadBytes(const std::string& path, std::string& bytes, std::string& error);
    // The same from the list's bytes, after TextStart.
    bool Parse(const std::string& bytes, std::string& error);
    // Where the list's UTF-8 text starts in its bytes: after a UTF-8
    // byte-order mark, which editors on Windows write. False with error set
    // for a list in UTF-16 (what Windows PowerShell 5.1 writes with ">") or
    // UTF-32, either byte order, with or without a mark, which names the
    // encoding and asks for UTF-8, and for bytes whose first is NUL.
    static bool TextStart(const std::string& bytes, std::size_t& start, std::string& error);

    // The lower-case hex SHA-256 approved for the image at path (its last
    // part counts), or null when it is not listed.
    const std::string* HashOf(const std::string& path) const;
    std::size_t Size() const { return m_hashes.size(); }
    // Every image the list approves, in the order of the lines that first
    // name them (a name given twice, with one hash, once).
    std::vector<Listed> Entries() const;

    // The last part of a path: after the last '/' (and '\' on Windows).
    static std::string LastPart(const std::string& path);

private:
    bool AddLine(const std::string& line, unsigned number, std::string& error);

    struct Entry {
        std::string sha256;
        unsigned line = 0;
        std::string name;
    };
    std::map<std::string, Entry> m_hashes; // by the key of the last part
};

#endif
