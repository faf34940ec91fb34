// Exit codes for the launcher's own failures. They sit far above the small
// numbers batch scripts return, so that a log tells them from a.bat's status.
#pragma once

enum LaunchFailure : int {
    // The working directory could not be read, or it and "\x64\a.bat"
    // ("\x86\a.bat") do not fit in 260 bytes.
    kLaunchPathTooLong = 9001,
    // The x64 (x86) folder under the working directory cannot be entered.
    kLaunchNoSubdirectory = 9002,
    // That folder holds no a.bat.
    kLaunchNoScript = 9003,
    // The command interpreter could not be started or waited for.
    kLaunchNoInterpreter = 9004,
};
