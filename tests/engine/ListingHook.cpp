#include "ListingHook.h"

#include "Platform.h"

#include <utility>

namespace {
std::function<void()> g_change;
unsigned g_listings = 0;

void OnListing()
{
    ++g_listings;
    if (g_change) {
        const std::function<void()> change = std::move(g_change);
        g_change = nullptr;
        change();
    }
}

// Watches from the start, so that ListingsMade counts every listing.
[[maybe_unused]] const bool g_watching = (tolvane::platform::SetListingObserver(&OnListing), true);
} // namespace

void AfterNextListing(std::function<void()> change)
{
    g_change = std::move(change);
}

unsigned ListingsMade()
{
    return g_listings;
}
