// Inside the platform layer: the listing as each system makes it, which the
// shared ListFolder wraps with its observer.
#ifndef TOLVANE_PLATFORM_PLATFORMLISTING_H
#define TOLVANE_PLATFORM_PLATFORMLISTING_H

#include <string>
#include <vector>

namespace tolvane::platform {

bool ListFolderHere(const std::string& folder, const std::string& extension, std::vector<std::wstring>& names);

} // namespace tolvane::platform

#endif
