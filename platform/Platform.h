// The one seam between Tolvane and the operating system. The build picks the
// Win32 or the POSIX implementation; nothing else in the engine includes a
// system header.
#ifndef TOLVANE_PLATFORM_PLATFORM_H
#define TOLVANE_PLATFORM_PLATFORM_H

#include "ReadResult.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::platform {

// A file opened read-only with no sharing restriction. Every read is
// positioned, so a short or failed read never moves a later one.
class ReadOnlyFile {
public:
    virtual ~ReadOnlyFile() = default;
    // The size the file had when it was opened: the query that checked the
    // file's type learnt it, so asking costs nothing.
    std::uint64_t OpenedSize() const { return m_openedSize; }
    // The size now, from the end position (a file may grow while it is
    // open); false when it cannot be learnt.
    virtual bool Size(std::uint64_t& size) = 0;
    // Reads up to length bytes at offset: the count read, short at the end
    // of the file or on a failure, which the result tells apart.
    virtual ReadResult Read(std::uint64_t offset, void* buffer, std::size_t length) = 0;
    // The count alone, for readers to whom a failure is a file cut short.
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length)
    {
        return Read(offset, buffer, length).count;
    }

protected:
    explicit ReadOnlyFile(std::uint64_t openedSize) : m_openedSize(openedSize) {}

private:
    std::uint64_t m_openedSize;
};

// Opens an 8-bit (multibyte) path; null when it cannot be opened or is a
// directory.
std::unique_ptr<ReadOnlyFile> OpenReadOnly(const std::string& path);
// The same, with the reason in error when it fails: the system's own text
// for its error, or what kind of file was found instead of a regular one.
std::unique_ptr<ReadOnlyFile> OpenReadOnly(const std::string& path, std::string& error);

// True when subKey under HKEY_LOCAL_MACHINE opens with read access. The
// POSIX layer has no registry and leaves this one out: the program links the
// stand-in it runs with (the simulation's, from the hub bench file,
// or from the kernel's hub driver with TOLVANE_HUBS=system).
bool MachineKeyExists(const std::wstring& subKey);

void SleepMs(std::uint32_t milliseconds);

// Now in UTC as ISO 8601, to the millisecond: 2026-12-08T15:04:05.123Z;
// empty when the clock cannot be read.
std::string UtcNow();

// The computer's name as UTF-8; empty when it cannot be learnt.
std::string HostName();

// The value of an environment variable of this process as UTF-8; unset when
// the variable is not set.
std::optional<std::string> EnvironmentValue(const std::string& name);

// Sets an environment variable of this process, for the libraries it loads.
void SetEnvironment(const std::string& name, const std::string& value);

// 8-bit text to wide text: the ANSI code page on Windows; UTF-8 elsewhere,
// with every byte that is not valid UTF-8 taken as Latin-1.
std::wstring WidenAnsi(const std::string& text);

// Wide text to UTF-8, for output on a console or into a pipe. On POSIX a
// byte of a listed name that was not UTF-8 (see ListFolder) shows as its
// Latin-1 letter, as WidenAnsi shows such a byte.
std::string WideToUtf8(const std::wstring& text);

// A name as UTF-8 for showing, before it is escaped: an 8-bit name (as the
// engine passes it) is converted from the ANSI code page on Windows and kept
// as the bytes on disk elsewhere, valid UTF-8 or not, so that a Latin-1 byte
// stays a byte to escape and never turns into its letter.
std::string NameForShow(const std::string& name);
// The same for a name ListFolder produced.
std::string NameForShow(const std::wstring& name);
// Makes the standard output pass bytes unchanged (no "\n" to "\r\n").
void SetStdoutBinary();

// True when the standard error stream is an interactive terminal or console.
bool IsStderrTerminal();

// The image folder below the working directory, with its separator, as the
// engine names it in paths and in the log: ".\\Bin\\" on Windows, "./Bin/" elsewhere.
extern const char kImageFolder[];
extern const char kPathSeparator;

// Lists the entries of folder whose names end in extension, files and
// directories alike: on Windows as the wildcard search yields them; elsewhere
// with the extension in any letter case, in the order of the upper-cased
// names, byte by byte. False when the listing cannot start: the folder is
// missing or nothing matches. On POSIX a byte of a name that is not UTF-8
// is kept as the code point U+DC00 plus the byte, so that NarrowName gives
// back the name on disk.
bool ListFolder(const std::string& folder, const std::string& extension, std::vector<std::wstring>& names);

// Called after every ListFolder, once the listing is made. Tests set it to
// change a folder between the engine's listing and its reads of the files;
// the programs leave it unset. Returns the observer it replaces.
using ListingObserver = void (*)();
ListingObserver SetListingObserver(ListingObserver observer);

// A listed name as an 8-bit path component, converted whole, the bytes on
// disk for any name ListFolder produced; false when a character has no
// 8-bit form.
bool NarrowName(const std::wstring& name, std::string& narrow);

} // namespace tolvane::platform

#endif
