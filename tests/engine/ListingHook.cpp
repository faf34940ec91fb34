#include "ListingHook.h"

#include <string>
#include <utility>
#include <vector>

// The two names come from tests/engine/CMakeLists.txt, which also tells the
// linker to wrap the function: one spelling of the mangled name for both.
bool RealListFolder(const std::string& folder, const std::string& extension, std::vector<std::wstring>& names)
    __asm__(TOLVANE_LIST_FOLDER_REAL);
bool HookedListFolder(const std::string& folder, const std::string& extension, std::vector<std::wstring>& names)
    __asm__(TOLVANE_LIST_FOLDER_HOOK);

namespace {
std::function<void()> g_change;
unsigned g_listings = 0;
} // namespace

void AfterNextListing(std::function<void()> change)
{
    g_change = std::move(change);
}

unsigned ListingsMade()
{
    return g_listings;
}

bool HookedListFolder(const std::string& folder, const std::string& extension, std::vector<std::wstring>& names)
{
    const bool listed = RealListFolder(folder, extension, names);
    ++g_listings;
    if (g_change) {
        const std::function<void()> change = std::move(g_change);
        g_change = nullptr;
        change();
    }
    return listed;
}
