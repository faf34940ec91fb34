// The options that every front end hands to an upgrade session (--history,
// --approved, --trust, --signature, --verify, --station, --lot) and the rules they obey, kept
// in one place: tolvane-cli checks what CLI11 parsed against these rules, and
// the windows parse their whole command line with them. A word that breaks a
// rule is refused, never ignored, so a misspelt protection cannot leave a
// run unprotected.
#ifndef TOLVANE_RUN_SESSIONARGS_H
#define TOLVANE_RUN_SESSIONARGS_H

#include "Approval.h"

#include <optional>
#include <string>
#include <vector>

struct SessionArgs {
    // --history FILE: the run history every upgrade keeps; unset for none.
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
    // hub with its new firmware.
    bool verify = false;
    // --station NAME, --lot LOT: who the run is for, as its history records
    // it; unset for the environment's or the host's (RunIdentity.h).
    std::optional<std::string> station;
    std::optional<std::string> lot;

    // What the session's approval takes: empty fields for what was not given.
    ApprovalOptions Approval() const;
};

struct SessionArgInfo {
    const char* name;  // "--history"
    const char* value; // "FILE", "KEY"; null for a flag
    bool repeatable;
    const char* what; // one line for a usage text
};

// The seven options, in the order a usage text lists them.
extern const SessionArgInfo kSessionArgInfo[7];

// The rules between the options, and that every given file has a name. Empty
// when args keep them, else one line naming the rule broken, e.g.
// "--signature needs --trust".
std::string SessionArgsError(const SessionArgs& args);

// What a second value of an option that takes one is told.
std::string RepeatedOptionError(const std::string& name);

// Parses words (the command line after the program's name) that may hold
// these options only, each as "--option VALUE" or "--option=VALUE", then
// checks SessionArgsError. False with error set to one line that names the
// word not understood or the rule broken; args are then unspecified.
bool ParseSessionArgs(const std::vector<std::string>& words, SessionArgs& args, std::string& error);

// The options as a usage text lists them, one a line, each line ending in
// "\n": the name, its value and what it does.
std::string SessionArgsUsage();
// One such line, for an option of a front end's own.
std::string UsageRow(const char* name, const char* value, const char* what);

#endif
