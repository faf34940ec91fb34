#include "LineReportText.h"

#include "TextEscape.h"

#include <cstdio>

using nlohmann::json;

namespace history {

namespace {
std::string Shown(const json& value)
{
    if (value.is_null())
        return "(none)";
    if (value.is_string())
        return EscapeBytes(value.get<std::string>());
    return value.dump();
}

std::string Percent(const json& yield)
{
    if (!yield.is_number())
        return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", yield.get<double>() * 100.0);
    return text;
}

std::string TallyLine(const json& tally)
{
    return std::to_string(tally["boards"].get<std::uint64_t>()) + " boards, " +
           std::to_string(tally["boardsPassed"].get<std::uint64_t>()) + " passed (" + Percent(tally["yield"]) +
           "); hubs " + tally["hubs"].dump() + ": " + tally["programmed"].dump() + " programmed, " +
           tally["current"].dump() + " current, " + tally["failed"].dump() + " failed, " + tally["refused"].dump() +
           " refused, " + tally["noImage"].dump() + " no image, " + tally["interrupted"].dump() + " interrupted, " +
           tally["unverified"].dump() + " unverified\n";
}

std::string Section(const json& list, const char* title, const char* key)
{
    std::string text = std::string(title) + ":\n";
    for (const json& item : list)
        text += "  " +
                (item.contains("station") && std::string(key) == "period"
                     ? Shown(item["station"]) + " " + Shown(item["period"])
                     : Shown(item[key])) +
                ": " + TallyLine(item);
    return text;
}

std::string Counts(const json& list, const char* title, const char* key)
{
    std::string text = std::string(title) + ":\n";
    for (const json& item : list)
        text += "  " + item["count"].dump() + "  " + Shown(item[key]) + "\n";
    return text;
}

std::string Images(const json& images)
{
    std::string text = "images written:\n";
    for (const json& image : images)
        text += "  " + image["count"].dump() + "  " + Shown(image["name"]) + " sha256 " + Shown(image["sha256"]) +
                (image["signer"].get<std::string>().empty() ? std::string(", no signed list")
                                                            : ", signed by " + Shown(image["signer"])) +
                "\n";
    return text;
}

std::string Timing(const json& time, const char* what)
{
    if (time["count"].get<std::uint64_t>() == 0)
        return std::string("time per ") + what + ": none recorded\n";
    return std::string("time per ") + what + ": median " + time["medianMs"].dump() + " ms, 95th percentile " +
           time["p95Ms"].dump() + " ms, longest " + time["maxMs"].dump() + " ms (" + time["count"].dump() + ")\n";
}

std::string AtRisk(const json& summary)
{
    std::string text = "hubs that may hold incomplete firmware: " + summary["atRiskCount"].dump() + "\n";
    for (const json& entry : summary["atRisk"]) {
        text += "  " + Shown(entry["station"]) + " run " + Shown(entry["run"]) + " " + Shown(entry["time"]) + ": " +
                HubText(entry["hub"]) + ", " + Shown(entry["kind"]);
        if (entry.contains("libraryResult"))
            text += " (library result " + entry["libraryResult"].dump() + ")";
        text += ", " + Shown(entry["file"]) + " line " + entry["line"].dump() + "\n";
    }
    const std::size_t listed = summary["atRisk"].size();
    if (summary["atRiskCount"].get<std::uint64_t>() > listed)
        text += "  and " + std::to_string(summary["atRiskCount"].get<std::uint64_t>() - listed) + " more\n";
    return text;
}

std::string Files(const json& files)
{
    std::string text;
    for (const json& file : files) {
        text += Shown(file["file"]) + ": " + file["lines"].dump() + " lines, " + file["runs"].dump() + " runs";
        if (file["problemCount"].get<std::uint64_t>() > 0)
            text += ", " + file["problemCount"].dump() + " lines not taken";
        text += "\n";
        for (const json& problem : file["problems"])
            text += "  line " + problem["line"].dump() + ": " + Shown(problem["problem"]) + "\n";
    }
    return text;
}

std::string Dumped(const json& value)
{
    return value.dump(2, ' ', false, json::error_handler_t::replace);
}

std::string Indented(const std::string& text, const std::string& prefix)
{
    std::string out;
    for (const char c : text) {
        out.push_back(c);
        if (c == '\n')
            out += prefix;
    }
    return out;
}
} // namespace

std::string LineReportText(const json& summary)
{
    std::string text = Files(summary["files"]);
    text += "runs counted once: " + summary["duplicateRuns"].dump() + " copies left out, " +
            summary["runsOutside"].dump() + " runs outside the selection\n";
    text += "total: " + TallyLine(summary["totals"]);
    text += "(a board tried twice counts as two boards: the records know no board's serial number)\n";
    text += Section(summary["byStation"], "by station", "station");
    text += Section(summary["byLot"], "by lot", "lot");
    text += Section(summary["byPeriod"], summary["period"] == "hour" ? "by hour" : "by day", "period");
    text += Counts(summary["failures"], "failures by cause, worst first", "cause");
    text += Counts(summary["transitions"], "version transitions", "transition");
    text += Images(summary["images"]);
    text += Timing(summary["hubTime"], "hub") + Timing(summary["boardTime"], "board");
    return text + AtRisk(summary);
}

std::string LineReportJsonStream::Board(const BoardRow& row)
{
    std::string text = m_begun ? ",\n    " : "{\n  \"boards\": [\n    ";
    m_begun = true;
    return text + Indented(Dumped(BoardJson(row)), "    ");
}

std::string LineReportJsonStream::End(const json& summary, int status)
{
    std::string text = m_begun ? "\n  ]" : "{\n  \"boards\": []";
    json tail = summary;
    tail["exitStatus"] = status;
    for (const auto& [key, value] : tail.items())
        text += ",\n  " + Dumped(json(key)) + ": " + Indented(Dumped(value), "  ");
    return text + "\n}\n";
}

} // namespace history
