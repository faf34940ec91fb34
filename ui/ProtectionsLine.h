// The line under the window's controls: what protects the next run (the
// history, the approved list with its signer, the verification), and after
// a run how it ended, in one sentence each. Every name in it is escaped.
#ifndef TOLVANE_UI_PROTECTIONSLINE_H
#define TOLVANE_UI_PROTECTIONSLINE_H

#include "RunRecorder.h"
#include "WindowOptions.h"

#include <string>
#include <vector>

// The approved list as the window last read it.
struct ListState {
    std::string signer; // the signing key's SHA-256 in hex; empty when unsigned
    std::string error;  // why it cannot be used; empty when it can
};

// Digits of the signer's SHA-256 shown: enough to tell keys apart by eye.
inline constexpr std::size_t kShortFingerprint = 16;

// "History h.jsonl; approved list ok.txt, signed by key 0123456789abcdef
// (SHA-256); verification on.", or "No history, no approved list, no
// verification." when nothing protects the run.
std::string ProtectionsSentence(const WindowOptions& options, const ListState& list);

// How an upgrade ended, from its per-hub results in the engine's order:
// "2 of 3 hubs programmed; hub 3: no image fits." At most three hubs are
// named, the rest counted.
std::string RunOutcomeSentence(const std::vector<HubRecord>& hubs);

// UTF-8 (as the sentences are) to the window's wide text.
std::wstring WideFromUtf8(const std::string& text);

#endif
