// The boards as CSV for spreadsheets: one row per board (RFC 4180: fields
// with a comma, a quote or a line end quoted, quotes doubled, rows ending in
// "\r\n"). A cell that a spreadsheet would take for a formula (starting with
// "=", "+", "-", "@", a tab or a carriage return) is prefixed with "'" so
// that it stays text.
#ifndef TOLVANE_HISTORY_LINEREPORTCSV_H
#define TOLVANE_HISTORY_LINEREPORTCSV_H

#include "LineReport.h"

#include <string>

namespace history {

std::string CsvHeader();
std::string CsvRow(const BoardRow& row);
std::string CsvCell(const std::string& text);

} // namespace history

#endif
