// search, records and demo: the search client driven from the command line.
#include "cli/client_commands.h"

#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>

#include "cli/arguments.h"
#include "platform/curl_http_client.h"
#include "platform/user_folders.h"
#include "search_client/result_records.h"
#include "search_client/result_set.h"
#include "corpus/search_service.h"

namespace wendrel {

namespace {

void AppendEscaped(std::string& line, const std::string& field) {
  for (char c : field) {
    switch (c) {
      case '\t': line += "\\t"; break;
      case '\r': line += "\\r"; break;
      case '\n': line += "\\n"; break;
      case '\\': line += "\\\\"; break;
      default: line += c;
    }
  }
}

// Records of a converted reply, without the no-result marker record.
std::vector<CCRecord> FoundRecords(const ResultSet& results) {
  std::vector<CCRecord> records = results.ResultRecords();
  std::vector<CCRecord> found;
  for (size_t i = 1; i < records.size(); ++i)
    if (records[i].PK != "null") found.push_back(records[i]);
  return found;
}

constexpr const char* kSearchUsage =
    "usage: wendrel search [--service URL] [--text T] [--title T] [--author A] [--from YEAR] [--to YEAR]\n"
    "Searches the academic search service (first 100 hits) and prints one line per publication,\n"
    "in the layout of `wendrel records`. Prints nothing when nothing is found.\n"
    "  --service URL  base address of the service (default " ;

constexpr const char* kRecordsUsage =
    "usage: wendrel records REPLY.json\n"
    "Converts a saved reply of the academic search service into records and prints one line per\n"
    "record: PK, AK, CitationCount, ReferenceCount, PubType, Year, Title, Abstract, FirstAuthor,\n"
    "CoAuthors, Source, Keywords, DOI, FullTextURL, separated by tabs (\\t \\r \\n \\\\ inside fields).\n";

constexpr const char* kDemoUsage =
    "usage: wendrel demo [--corpus FILE.sqlite] [--text T]\n"
    "Starts the local academic search service on 127.0.0.1 (an ephemeral port) over a corpus\n"
    "(default: demo.sqlite beside the program or in its installed data folder), searches it, and grows the\n"
    "first hit one step: the articles it cites and the articles citing it.\n";

std::string Describe(const CCRecord& r) {
  std::ostringstream s;
  s << "[" << r.PK << "] " << (r.FirstAuthor.empty() ? "(no author)" : r.FirstAuthor) << " (" << r.Year << ") "
    << r.Title;
  if (!r.Source.empty()) s << ". " << r.Source;
  s << ". Cited " << r.CitationCount << " times, cites " << r.ReferenceCount << ".";
  return s.str();
}

}  // namespace

std::string FormatRecordLine(const CCRecord& r) {
  std::string line;
  const std::string fields[] = {r.PK,
                                r.AK,
                                std::to_string(r.CitationCount),
                                std::to_string(r.ReferenceCount),
                                r.PubType,
                                r.Year,
                                r.Title,
                                r.Abstract,
                                r.FirstAuthor,
                                r.CoAuthors,
                                r.Source,
                                r.Keywords,
                                r.DOI,
                                r.FullTextURL};
  bool first = true;
  for (const auto& f : fields) {
    if (!first) line += '\t';
    first = false;
    AppendEscaped(line, f);
  }
  return line;
}

int RunSearch(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kSearchUsage << DefaultServiceAddress() << ")\n";
    return 0;
  }
  try {
    Arguments a(args, {"--service", "--text", "--title", "--author", "--from", "--to"});
    auto yearFrom = static_cast<int16_t>(a.Number("--from", 0, 0, 32767));
    auto yearTo = static_cast<int16_t>(a.Number("--to", 0, 0, 32767));
    std::string service = a.Value("--service").value_or(DefaultServiceAddress());
    CurlHttpClient http;
    ResultSet results(host, http, service);
    if (!results.RequestMASSearch(kDefaultApplicationID, 1, 100, a.Value("--text").value_or(""),
                                  a.Value("--title").value_or(""), a.Value("--author").value_or(""), "", "",
                                  yearFrom, yearTo)) {
      err << "wendrel search: the search service at " << service << " failed: " << results.LastError() << "\n";
      return 1;
    }
    for (const CCRecord& r : FoundRecords(results)) out << FormatRecordLine(r) << "\n";
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel search: " << e.what() << " (see --help)\n";
    return 2;
  }
}

int RunRecords(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kRecordsUsage;
    return 0;
  }
  try {
    Arguments a(args, {}, {}, 1);
    if (a.Plain().empty()) throw UsageError("a reply file is required");
    const std::string& path = a.Plain()[0];
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
      err << "wendrel records: cannot read " << path << "\n";
      return 1;
    }
    std::vector<CCRecord> records = ConvertReply(text.str());
    for (size_t i = 1; i < records.size(); ++i) out << FormatRecordLine(records[i]) << "\n";
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel records: " << e.what() << " (see --help)\n";
    return 2;
  }
}

int RunDemo(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kDemoUsage;
    return 0;
  }
  try {
    Arguments a(args, {"--corpus", "--text"});
    std::string corpus = a.Value("--corpus").value_or(ProgramDataFile("demo.sqlite"));
    std::string text = a.Value("--text").value_or("neural network");
    SearchService service(corpus);
    service.Start();
    out << "Local academic search service on " << corpus << " at " << service.BaseAddress() << "\n";

    CurlHttpClient http;
    ResultSet results(host, http, service.BaseAddress());
    out << "\nSearching for \"" << text << "\" (first 10 hits):\n";
    if (!results.RequestMASSearch(kDefaultApplicationID, 1, 10, text, "", "", "", "", 0, 0)) {
      err << "wendrel demo: the search failed: " << results.LastError() << "\n";
      return 1;
    }
    std::vector<CCRecord> hits = FoundRecords(results);
    if (hits.empty()) {
      out << "  nothing found\n";
      return 0;
    }
    for (const CCRecord& r : hits) out << "  " << Describe(r) << "\n";

    const CCRecord& pearl = hits.front();
    out << "\nThe first hit as a pearl: " << pearl.Title << "\n";
    struct Phase {
      const char* heading;
      bool cited;
    };
    for (Phase phase : {Phase{"It cites", true}, Phase{"It is cited by (most cited first)", false}}) {
      bool ok = phase.cited ? results.RequestMASCitedArticles(kDefaultApplicationID, pearl.PK, 1, 5)
                            : results.RequestMASCitingArticles(kDefaultApplicationID, pearl.PK, 1, 5);
      if (!ok) {
        err << "wendrel demo: a page of related articles failed: " << results.LastError() << "\n";
        return 1;
      }
      std::vector<CCRecord> related = FoundRecords(results);
      out << phase.heading << (related.empty() ? ": none in the corpus\n" : " (first 5):\n");
      for (const CCRecord& r : related) out << "  " << Describe(r) << "\n";
    }
    service.Stop();
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel demo: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const ServiceError& e) {
    err << "wendrel demo: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
