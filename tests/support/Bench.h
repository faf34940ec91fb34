// Bench files for the simulated ISP library, and the filter-driver key that
// the scan checks: written into the bench on POSIX builds, and into the real
// (Wine) registry on Windows builds.
#ifndef TOLVANE_TESTS_BENCH_H
#define TOLVANE_TESTS_BENCH_H

#include <string>

class ScratchDir;

extern const char kFilterDriverKey[];

// Writes HubBench.ini into dir: body plus, when driverPresent, the [Registry]
// line of the filter driver, which is also created or deleted on Windows.
void WriteBench(const ScratchDir& dir, const std::string& body, bool driverPresent = true);

// Creates or deletes the filter-driver key in the registry of Windows (Wine);
// elsewhere the bench file alone says whether it exists.
void SetFilterDriverKey(bool present);

// A [HubN] section with the usual keys; text is appended verbatim.
std::string HubSection(int n, unsigned vid, unsigned pid, unsigned bcdDevice, unsigned depth,
                       const std::string& more = "");

// The hub most tests use: 05E3:0610 at firmware 0x0100, chip version 0x10,
// which the image PlainImage (Images.h) fits.
std::string PlainHub(int n, unsigned depth = 1, const std::string& more = "");

#endif
