#include "LineReportPage.h"

#include "TextEscape.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <vector>

using nlohmann::json;

namespace history {

namespace {
const char kStyle[] = "body{font:14px sans-serif;max-width:1200px;margin:1em auto;color:#222}"
                      "table{border-collapse:collapse;margin:.5em 0 1.5em}td,th{border:1px solid #bbb;"
                      "padding:2px 6px;text-align:right}td:first-child,th:first-child{text-align:left}"
                      "td{overflow-wrap:anywhere}"
                      "svg{display:block;margin:.5em 0 .5em;max-width:100%;height:auto}"
                      ".key{list-style:none;padding:0;margin:0 0 1.5em;display:flex;flex-wrap:wrap;gap:.2em 1.5em}"
                      ".key li::before{content:\"\\25A0  \"}"
                      // Printed, the twelve columns of a tally fit the width of an A4 page.
                      "@media print{body{max-width:none;margin:0;font-size:9pt}td,th{padding:1px 3px}"
                      "section{break-inside:avoid}}";
const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#17becf"};

std::string PageHtml(const json& value)
{
    if (value.is_null())
        return "(none)";
    return value.is_string() ? EscapeBytes(value.get<std::string>(), EscapeFor::Html) : value.dump();
}

std::string PageNumber(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string PageYield(const json& tally)
{
    return tally["yield"].is_number() ? PageNumber(tally["yield"].get<double>() * 100.0) + "%" : "-";
}

std::string PageTallyTable(const json& list, const char* title, const char* key)
{
    std::string html = "<section><h2>" + std::string(title) + "</h2><table><tr><th>" + key +
                       "</th><th>boards</th><th>passed</th><th>yield</th><th>hubs</th>"
                       "<th>programmed</th><th>current</th><th>failed</th><th>refused</th><th>no image</th>"
                       "<th>interrupted</th><th>unverified</th></tr>";
    for (const json& row : list) {
        html += "<tr><td>" + PageHtml(row[key]) + "</td>";
        for (const char* field : {"boards", "boardsPassed"})
            html += "<td>" + row[field].dump() + "</td>";
        html += "<td>" + PageYield(row) + "</td>";
        for (const char* field :
             {"hubs", "programmed", "current", "failed", "refused", "noImage", "interrupted", "unverified"})
            html += "<td>" + row[field].dump() + "</td>";
        html += "</tr>";
    }
    return html + "</table></section>";
}

std::string PageCountTable(const json& list, const char* title, const char* key)
{
    std::string html = "<section><h2>" + std::string(title) + "</h2><table><tr><th>" + key + "</th><th>count</th></tr>";
    for (const json& row : list)
        html += "<tr><td>" + PageHtml(row[key]) + "</td><td>" + row["count"].dump() + "</td></tr>";
    return html + "</table></section>";
}

const double kPlotTop = 10, kPlotBottom = 250, kPlotRight = 860;

// The yield axis: a grid line and its label every 25 %.
std::string PageYieldAxis()
{
    std::string svg;
    for (int percent = 0; percent <= 100; percent += 25) {
        const std::string y = PageNumber(kPlotBottom - (kPlotBottom - kPlotTop) * percent / 100.0);
        svg += "<line x1=\"60\" y1=\"" + y + "\" x2=\"" + PageNumber(kPlotRight + 10) + "\" y2=\"" + y +
               "\" stroke=\"" + (percent == 0 ? "#888" : "#ddd") + "\"/><text x=\"52\" y=\"" + y +
               "\" dy=\"4\" font-size=\"12\" text-anchor=\"end\">" + std::to_string(percent) + "%</text>";
    }
    return svg;
}

// One line per station over the periods, yield from 0 to 100 %.
std::string PageYieldChart(const json& summary)
{
    std::vector<std::string> periods;
    std::map<std::string, std::map<std::string, double>> lines;
    for (const json& row : summary["byStationPeriod"]) {
        const std::string period = row["period"].get<std::string>();
        if (std::find(periods.begin(), periods.end(), period) == periods.end())
            periods.push_back(period);
        if (row["yield"].is_number())
            lines[row["station"].get<std::string>()][period] = row["yield"].get<double>();
    }
    std::sort(periods.begin(), periods.end());
    const double left = 70;
    const double step = periods.size() > 1 ? (kPlotRight - left) / static_cast<double>(periods.size() - 1) : 0;
    std::string svg = "<svg viewBox=\"0 0 900 330\" width=\"900\" height=\"330\" role=\"img\" "
                      "aria-label=\"yield over time per station\">" +
                      PageYieldAxis();
    // Slanted period names need about 16 units each; beyond that only every
    // so many is named, the first always.
    const std::size_t every = step > 0 && step < 16 ? static_cast<std::size_t>(16 / step) + 1 : 1;
    for (std::size_t i = 0; i < periods.size(); i += every) {
        const std::string x = PageNumber(left + step * static_cast<double>(i));
        svg += "<text x=\"" + x + "\" y=\"" + PageNumber(kPlotBottom + 14) + "\" font-size=\"11\" " +
               "text-anchor=\"end\" transform=\"rotate(-40 " + x + " " + PageNumber(kPlotBottom + 14) + ")\">" +
               PageHtml(periods[i]) + "</text>";
    }
    std::size_t colour = 0;
    std::string legend;
    for (const auto& [station, points] : lines) {
        const char* stroke = kColours[colour++ % (sizeof kColours / sizeof kColours[0])];
        std::string path;
        for (std::size_t i = 0; i < periods.size(); ++i) {
            const auto found = points.find(periods[i]);
            if (found == points.end())
                continue;
            const double x = left + step * static_cast<double>(i);
            const double y = kPlotTop + (1.0 - found->second) * (kPlotBottom - kPlotTop);
            path += PageNumber(x) + "," + PageNumber(y) + " ";
            svg +=
                "<circle cx=\"" + PageNumber(x) + "\" cy=\"" + PageNumber(y) + "\" r=\"3\" fill=\"" + stroke + "\"/>";
        }
        svg += "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" + std::string(stroke) + "\" points=\"" + path +
               "\"/>";
        // The key is text of the page, not of the picture: long station
        // names wrap there instead of running into each other.
        legend += "<li style=\"color:" + std::string(stroke) + "\">" + PageHtml(station) + "</li>";
    }
    return "<section><h2>Yield over time per station</h2>" + svg + "</svg><ul class=\"key\">" + legend +
           "</ul></section>";
}

// At most 48 bytes of a bar's name, never half a character.
std::string BarName(const std::string& text)
{
    std::size_t end = std::min<std::size_t>(text.size(), 48);
    while (end > 0 && end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

// Horizontal bars, longest first.
std::string PageBars(const std::vector<std::pair<std::string, double>>& bars, const char* title, const char* unit)
{
    double top = 0;
    for (const auto& bar : bars)
        top = std::max(top, bar.second);
    const std::size_t shown = std::min<std::size_t>(bars.size(), 20);
    const std::string height = std::to_string(shown * 24 + 10);
    std::string svg = "<svg viewBox=\"0 0 900 " + height + "\" width=\"900\" height=\"" + height +
                      "\" role=\"img\" aria-label=\"" + title + "\">";
    for (std::size_t i = 0; i < shown; ++i) {
        const double length = top > 0 ? bars[i].second / top * 500 : 0;
        const std::string y = std::to_string(i * 24 + 5);
        svg += "<text x=\"0\" y=\"" + std::to_string(i * 24 + 19) + "\" font-size=\"12\">" +
               PageHtml(json(BarName(bars[i].first))) + "</text><rect x=\"320\" y=\"" + y + "\" width=\"" +
               PageNumber(length) + "\" height=\"18\" fill=\"#d62728\"/><text x=\"" + PageNumber(325 + length) +
               "\" y=\"" + std::to_string(i * 24 + 19) + "\" font-size=\"12\">" + PageNumber(bars[i].second) + unit +
               "</text>";
    }
    return "<section><h2>" + std::string(title) + "</h2>" + svg + "</svg></section>";
}

std::string PageTiming(const json& summary)
{
    std::vector<std::pair<std::string, double>> bars;
    for (const char* what : {"hubTime", "boardTime"}) {
        const json& time = summary[what];
        if (time["count"].get<std::uint64_t>() == 0)
            continue;
        const std::string name = std::string(what) == "hubTime" ? "per hub" : "per board";
        bars.emplace_back(name + ", median", time["medianMs"].get<double>());
        bars.emplace_back(name + ", 95th percentile", time["p95Ms"].get<double>());
    }
    return PageBars(bars, "Time per hub and per board", " ms") + "<p>" + PageHtml(summary["timing"]) + "</p>";
}

std::string PageAtRisk(const json& summary)
{
    std::string html = "<section><h2>Hubs that may hold incomplete firmware: " + summary["atRiskCount"].dump() +
                       "</h2><table><tr><th>station</th><th>run</th><th>time</th><th>hub</th><th>what</th>"
                       "<th>file, line</th></tr>";
    for (const json& entry : summary["atRisk"]) {
        const json& hub = entry["hub"];
        html += "<tr><td>" + PageHtml(entry["station"]) + "</td><td>" + PageHtml(entry["run"]) + "</td><td>" +
                PageHtml(entry["time"]) + "</td><td>" + PageHtml(hub.value("number", json())) + " " +
                PageHtml(hub.value("vid", json(""))) + ":" + PageHtml(hub.value("pid", json(""))) + "</td><td>" +
                PageHtml(entry["kind"]) + "</td><td>" + PageHtml(entry["file"]) + ", " + entry["line"].dump() +
                "</td></tr>";
    }
    return html + "</table></section>";
}

std::string PageImages(const json& images)
{
    std::string html = "<section><h2>Images written</h2><table><tr><th>image</th><th>SHA-256</th>"
                       "<th>signer</th><th>hubs</th></tr>";
    for (const json& image : images)
        html += "<tr><td>" + PageHtml(image["name"]) + "</td><td>" + PageHtml(image["sha256"]) + "</td><td>" +
                PageHtml(image["signer"]) + "</td><td>" + image["count"].dump() + "</td></tr>";
    return html + "</table></section>";
}
} // namespace

std::string LineReportPage(const json& summary)
{
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\"><title>Tolvane line report</title>"
                       "<style>" +
                       std::string(kStyle) + "</style></head><body><h1>Line report</h1>";
    // Without a window the report takes every run the histories hold.
    const json& since = summary["since"];
    const json& until = summary["until"];
    html += "<p>Runs from " + (since.is_null() ? std::string("the first") : PageHtml(since)) + " until " +
            (until.is_null() ? std::string("the last") : PageHtml(until)) + "; " + summary["duplicateRuns"].dump() +
            " copies of runs counted once. A board tried twice counts as two "
            "boards: the records know no board's serial number.</p>";
    html += PageTallyTable(json::array({[&] {
                               json total = summary["totals"];
                               total["line"] = "all";
                               return total;
                           }()}),
                           "Total", "line");
    html += PageYieldChart(summary);
    html += PageTallyTable(summary["byStation"], "By station", "station");
    html += PageTallyTable(summary["byLot"], "By lot", "lot");
    html += PageTallyTable(summary["byPeriod"], summary["period"] == "hour" ? "By hour" : "By day", "period");
    std::vector<std::pair<std::string, double>> causes;
    for (const json& failure : summary["failures"])
        causes.emplace_back(failure["cause"].get<std::string>(), failure["count"].get<double>());
    html += PageBars(causes, "Failures by cause, worst first", "");
    html += PageCountTable(summary["failures"], "Failures by cause", "cause");
    html += PageCountTable(summary["transitions"], "Version transitions", "transition");
    html += PageImages(summary["images"]) + PageTiming(summary) + PageAtRisk(summary);
    return html + "</body></html>\n";
}

} // namespace history
