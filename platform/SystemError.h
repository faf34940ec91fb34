// The system's message for a Windows error code. Internal to the platform
// layer.
#ifndef TOLVANE_PLATFORM_SYSTEMERROR_H
#define TOLVANE_PLATFORM_SYSTEMERROR_H

#include <cstdint>
#include <string>

namespace tolvane::platform {

// In the user's language and in UTF-8, without its line end.
std::string SystemErrorText(std::uint32_t code);

} // namespace tolvane::platform

#endif
