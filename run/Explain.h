// Plain words for the engine's verdicts: why an image was not chosen for a
// hub, naming the values that were compared.
#ifndef TOLVANE_RUN_EXPLAIN_H
#define TOLVANE_RUN_EXPLAIN_H

#include "RunRecorder.h"

#include <cstdint>
#include <string>

// Why a file breaks the size rule; empty when it does not.
std::string IllegalityReason(bool legal, bool hasFlags, std::uint8_t flags, std::uint64_t size);

// Why an image that keeps the size rule cannot be written: it ends before
// the version word of its layout (or has no flags byte to tell the layout).
std::string UnwritableReason(bool hasFlags, std::uint8_t flags, std::uint64_t size);

// The verdict on one image for the hub of record; "chosen" for the image
// that was chosen.
std::string ExplainImage(const JudgedImage& judged, const HubRecord& record);

// Why no image was looked at for the hub, or empty when images were.
std::string ExplainNoSearch(const HubRecord& record);

// Why the hub of record failed, found no image or was refused, in a few
// words for reports, records and a note per hub; empty for any other outcome.
std::string FailureReason(const HubRecord& record);

#endif
