#include "LineReportCsv.h"

using nlohmann::json;

namespace history {

namespace {
const char* const kColumns[] = {"time",    "endTime",     "station",    "lot",     "run",     "host",
                                "board",   "hubs",        "programmed", "current", "failed",  "refused",
                                "noImage", "interrupted", "unverified", "passed",  "boardMs", "causes"};

// A JSON value as its cell: texts as they are, null as nothing.
std::string CellOf(const json& value)
{
    if (value.is_null())
        return std::string();
    if (value.is_string())
        return value.get<std::string>();
    return value.dump();
}
} // namespace

std::string CsvCell(const std::string& text)
{
    std::string cell = text;
    if (!cell.empty() &&
        (cell[0] == '=' || cell[0] == '+' || cell[0] == '-' || cell[0] == '@' || cell[0] == '\t' || cell[0] == '\r'))
        cell.insert(0, 1, '\'');
    if (cell.find_first_of(",\"\r\n") == std::string::npos)
        return cell;
    std::string quoted = "\"";
    for (const char c : cell) {
        quoted += c;
        if (c == '"')
            quoted += '"';
    }
    return quoted + "\"";
}

std::string CsvHeader()
{
    std::string line;
    for (const char* column : kColumns)
        line += (line.empty() ? "" : ",") + std::string(column);
    return line + "\r\n";
}

std::string CsvRow(const BoardRow& row)
{
    const json board = BoardJson(row);
    std::string line;
    bool first = true;
    for (const char* column : kColumns) {
        line += (first ? "" : ",") + CsvCell(CellOf(board[column]));
        first = false;
    }
    return line + "\r\n";
}

} // namespace history
