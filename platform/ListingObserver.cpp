#include "Platform.h"
#include "PlatformListing.h"

namespace tolvane::platform {

namespace {
ListingObserver g_observer = nullptr;
} // namespace

ListingObserver SetListingObserver(ListingObserver observer)
{
    const ListingObserver previous = g_observer;
    g_observer = observer;
    return previous;
}

bool ListFolder(const std::string& folder, const std::string& extension, std::vector<std::wstring>& names)
{
    const bool listed = ListFolderHere(folder, extension, names);
    if (g_observer)
        g_observer();
    return listed;
}

} // namespace tolvane::platform
