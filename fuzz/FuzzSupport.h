// What every fuzz target needs around the engine: a private working folder,
// files written byte for byte, and a way to stop on a broken promise that the
// sanitizers cannot see.
#ifndef TOLVANE_FUZZ_FUZZSUPPORT_H
#define TOLVANE_FUZZ_FUZZSUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>

// Makes a fresh folder below the system's temporary folder, enters it and
// removes it again at exit: the engine reads SpiFlash.ini and Bin/ from the
// working directory, and two fuzzing processes must never share them. Call it
// from LLVMFuzzerInitialize with its arguments: libFuzzer reads them only
// afterwards, so the corpus folders and file flags given relative to where
// the fuzzer was started are made absolute first, and findings land there
// rather than in the folder that vanishes.
void EnterPrivateFolder(const char* targetName, int* argc, char*** argv);

void WriteFile(const std::string& path, const void* data, std::size_t size);
void WriteFile(const std::string& path, const std::string& text);

// The engine's notes on standard output would drown the fuzzer's own lines.
void SilenceStandardOutput();

// Prints what went wrong and aborts, so that libFuzzer keeps the input.
[[noreturn]] void Broken(const char* what);

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            Broken(#condition);                                                                                        \
    } while (false)

#endif
