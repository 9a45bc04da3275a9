// The report written out: Markdown and HTML for people, JSON for programs, CSV for spreadsheets.
#include <nlohmann/json.hpp>

#include "platform/csv_field.h"
#include "review/report.h"

namespace wendrel {

namespace {

// The rows of the records table: label, count, indented (a reason under "Excluded").
struct TotalRow {
  std::string label;
  int64_t count;
  bool indented;
};

std::vector<TotalRow> TotalRows(const ReportTotals& t) {
  std::vector<TotalRow> rows = {{"Records identified (retrieved by all searches)", t.identified, false},
                                {"Duplicates removed", t.duplicatesRemoved, false},
                                {"Unique records", t.unique, false},
                                {"Already known", t.known, false},
                                {"Records screened", t.screened, false},
                                {"Excluded", t.excluded, false}};
  for (const auto& [reason, count] : t.excludedByReason) rows.push_back({reason, count, true});
  rows.push_back({"Maybe", t.maybe, false});
  rows.push_back({"Included", t.included, false});
  rows.push_back({"Not yet screened", t.undecided, false});
  return rows;
}

// The characters Markdown could take as markup inside a paragraph or a table cell are escaped, and
// a line break becomes a space, so that a title stays text in one cell of its table.
std::string MarkdownText(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      out += ' ';
      continue;
    }
    if (std::string_view("\\`*_[]<>|~&").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

std::string HtmlText(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string CsvLine(const std::vector<std::string>& fields) {
  std::string line;
  for (size_t k = 0; k < fields.size(); ++k) line += (k ? "," : "") + CsvField(fields[k]);
  return line + "\r\n";
}

const std::vector<std::string> kSearchColumns = {"Pearl",      "Title",    "Direction", "Generation", "Source",
                                                 "Date (UTC)", "Expected", "Retrieved", "Status"};

std::vector<std::string> SearchCells(const ReportSearch& s) {
  return {s.pearl,  s.title, SearchDirectionName(s.relation), std::to_string(s.generation),
          s.source, s.date,  std::to_string(s.expected),      std::to_string(s.retrieved),
          s.status};
}

}  // namespace

std::string ReportMarkdown(const Report& report) {
  std::string md = "# Citation searching report\n\nSession " + MarkdownText(report.sessionName) + ", Wendrel Search " +
                   MarkdownText(report.programVersion) + ".\n\n## Methods\n\n" + MarkdownText(report.methods) +
                   "\n\n## Records\n\n| Records | Count |\n|---|---:|\n";
  for (const TotalRow& row : TotalRows(report.totals))
    md += "| " + std::string(row.indented ? "&nbsp;&nbsp;" : "") + MarkdownText(row.label) + " | " +
          std::to_string(row.count) + " |\n";
  md += "\n## Generations\n\n| Generation | Pearls | New records | Included |\n|---:|---:|---:|---:|\n";
  for (const ReportGeneration& g : report.generations)
    md += "| " + std::to_string(g.generation) + " | " + std::to_string(g.pearls) + " | " + std::to_string(g.records) +
          " | " + std::to_string(g.included) + " |\n";
  if (!report.stoppingPoint.empty()) md += "\n" + MarkdownText(report.stoppingPoint) + "\n";
  md += "\n## Searches\n\n|";
  std::string rule = "|";
  for (const std::string& column : kSearchColumns) {
    md += " " + column + " |";
    rule += column == "Generation" || column == "Expected" || column == "Retrieved" ? "---:|" : "---|";
  }
  md += "\n" + rule + "\n";
  for (const ReportSearch& s : report.searches) {
    md += "|";
    for (const std::string& cell : SearchCells(s)) md += " " + MarkdownText(cell) + " |";
    md += "\n";
  }
  return md;
}

std::string ReportHtml(const Report& report) {
  std::string html =
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>Citation searching report: " +
      HtmlText(report.sessionName) +
      "</title>\n<style>table{border-collapse:collapse}th,td{border:1px solid #bbb;padding:2px 6px}"
      "td.n{text-align:right}</style>\n</head>\n<body>\n<h1>Citation searching report</h1>\n<p>Session " +
      HtmlText(report.sessionName) + ", Wendrel Search " + HtmlText(report.programVersion) +
      ".</p>\n<h2>Methods</h2>\n<p>" + HtmlText(report.methods) +
      "</p>\n<h2>Records</h2>\n<table>\n<tr><th>Records</th><th>Count</th></tr>\n";
  for (const TotalRow& row : TotalRows(report.totals))
    html += "<tr><td>" + std::string(row.indented ? "&nbsp;&nbsp;&nbsp;&nbsp;" : "") + HtmlText(row.label) +
            "</td><td class=\"n\">" + std::to_string(row.count) + "</td></tr>\n";
  html +=
      "</table>\n<h2>Generations</h2>\n<table>\n<tr><th>Generation</th><th>Pearls</th><th>New records</th>"
      "<th>Included</th></tr>\n";
  for (const ReportGeneration& g : report.generations)
    html += "<tr><td class=\"n\">" + std::to_string(g.generation) + "</td><td class=\"n\">" + std::to_string(g.pearls) +
            "</td><td class=\"n\">" + std::to_string(g.records) + "</td><td class=\"n\">" + std::to_string(g.included) +
            "</td></tr>\n";
  html += "</table>\n";
  if (!report.stoppingPoint.empty()) html += "<p>" + HtmlText(report.stoppingPoint) + "</p>\n";
  html += "<h2>Searches</h2>\n<table>\n<tr>";
  for (const std::string& column : kSearchColumns) html += "<th>" + HtmlText(column) + "</th>";
  html += "</tr>\n";
  for (const ReportSearch& s : report.searches) {
    html += "<tr>";
    const std::vector<std::string> cells = SearchCells(s);
    for (size_t k = 0; k < cells.size(); ++k) {
      const std::string& column = kSearchColumns[k];
      const bool number = column == "Generation" || column == "Expected" || column == "Retrieved";
      html += (number ? "<td class=\"n\">" : "<td>") + HtmlText(cells[k]) + "</td>";
    }
    html += "</tr>\n";
  }
  return html + "</table>\n</body>\n</html>\n";
}

std::string ReportJson(const Report& report) {
  using Json = nlohmann::ordered_json;
  Json searches = Json::array();
  for (const ReportSearch& s : report.searches)
    searches.push_back({{"pearl", s.pearl},
                        {"direction", SearchDirectionName(s.relation)},
                        {"generation", s.generation},
                        {"source", s.source},
                        {"date", s.date},
                        {"expected", s.expected},
                        {"retrieved", s.retrieved},
                        {"complete", s.Complete()}});
  const ReportTotals& t = report.totals;
  Json reasons = Json::object();
  for (const auto& [reason, count] : t.excludedByReason) reasons[reason] = count;
  Json generations = Json::array();
  for (const ReportGeneration& g : report.generations)
    generations.push_back(
        {{"generation", g.generation}, {"pearls", g.pearls}, {"new", g.records}, {"included", g.included}});
  const Json document = {{"searches", searches},
                         {"totals",
                          {{"identified", t.identified},
                           {"duplicates_removed", t.duplicatesRemoved},
                           {"unique", t.unique},
                           {"known", t.known},
                           {"screened", t.screened},
                           {"excluded_by_reason", reasons},
                           {"maybe", t.maybe},
                           {"included", t.included},
                           {"undecided", t.undecided}}},
                         {"generations", generations}};
  // Text that is not UTF-8 (a title read as another encoding) is replaced rather than refused.
  return document.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

std::string ReportSearchesCsv(const Report& report) {
  std::string csv = CsvLine(kSearchColumns);
  for (const ReportSearch& s : report.searches) csv += CsvLine(SearchCells(s));
  return csv;
}

std::string ReportEdgesCsv(const Report& report) {
  std::string csv = CsvLine({"Pearl", "Direction", "Article", "Generation", "Date (UTC)"});
  for (const ReportEdge& e : report.edges)
    csv += CsvLine({e.pearl, SearchDirectionName(e.relation), e.article, std::to_string(e.generation), e.date});
  return csv;
}

}  // namespace wendrel
