// A way for a test to change the image folder after the engine has listed it
// and before the engine reads what it listed: the test program is linked so
// that the engine's listings of a folder are reported here (the platform
// layer's listing observer).
#ifndef TOLVANE_TESTS_LISTINGHOOK_H
#define TOLVANE_TESTS_LISTINGHOOK_H

#include <functional>

// Runs once, right after the next listing, then is forgotten.
void AfterNextListing(std::function<void()> change);

// How many listings the engine has made in this process.
unsigned ListingsMade();

#endif
