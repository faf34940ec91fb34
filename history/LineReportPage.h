// The line's report as one self-contained HTML page: the summary's tables
// and three charts drawn as inline SVG (yield over time per station,
// failures by cause, time per hub and board). Nothing is fetched: no
// script, no font, no picture beside it. Every text from the histories
// passes through EscapeBytes for HTML.
#ifndef TOLVANE_HISTORY_LINEREPORTPAGE_H
#define TOLVANE_HISTORY_LINEREPORTPAGE_H

#include <nlohmann/json.hpp>

#include <string>

namespace history {

std::string LineReportPage(const nlohmann::json& summary);

} // namespace history

#endif
