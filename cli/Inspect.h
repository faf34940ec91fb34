// tolvane-cli inspect: the fields of image files as the engine's image reader
// sees them, and whether the size rule makes each legal.
#ifndef TOLVANE_CLI_INSPECT_H
#define TOLVANE_CLI_INSPECT_H

#include "TextEscape.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

// One image; "opened" false when it cannot be read. Its texts are escaped
// for use: for people when InspectText will show them, else as JSON's data.
nlohmann::json InspectImage(const std::string& path, EscapeFor use = EscapeFor::Data);

// The text a person reads for one image that InspectImage read for people.
std::string InspectText(const nlohmann::json& image);

// Prints every image, as text or as one JSON document; the exit status is 0
// when every image opened and is legal, else 1.
int RunInspect(const std::vector<std::string>& paths, bool json);

#endif
