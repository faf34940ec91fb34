// What the windows take from their command line. Words they do not know are
// ignored, as they always were, so a shortcut that passes any keeps working.
#ifndef TOLVANE_UI_WINDOWOPTIONS_H
#define TOLVANE_UI_WINDOWOPTIONS_H

#include <optional>
#include <string>
#include <vector>

struct WindowOptions {
    // --history FILE: the run history every upgrade keeps; unset for none.
    // Given without a file it is empty, and no upgrade can keep it.
    std::optional<std::string> history;
    // --approved FILE: the sha256sum list of the only images an upgrade may
    // write; unset to write any image that fits.
    std::optional<std::string> approved;
    // --trust KEY, any number of times: the public keys one of which must
    // have signed the approved list; empty for an unsigned list.
    std::vector<std::string> trust;
    // --signature FILE: the list's signature; unset for the list's name
    // with ".sig" added.
    std::optional<std::string> signature;
    // --verify: after the upgrade a fresh scan must show every programmed
    // hub with its new firmware; its lines follow the run's log.
    bool verify = false;
};

// args: the words after the program's name. Each option but --verify takes
// a file, as "--option FILE" or "--option=FILE".
WindowOptions ParseWindowOptions(const std::vector<std::string>& args);

#endif
