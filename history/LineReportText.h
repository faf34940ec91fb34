// The line's report as text for people, every text from the histories
// escaped, and as one JSON document written as it goes: "boards" first, one
// by one, then the summary's fields.
#ifndef TOLVANE_HISTORY_LINEREPORTTEXT_H
#define TOLVANE_HISTORY_LINEREPORTTEXT_H

#include "LineReport.h"

#include <nlohmann/json.hpp>

#include <string>

namespace history {

std::string LineReportText(const nlohmann::json& summary);

class LineReportJsonStream {
public:
    std::string Board(const BoardRow& row);
    std::string End(const nlohmann::json& summary, int status);

private:
    bool m_begun = false;
};

} // namespace history

#endif
