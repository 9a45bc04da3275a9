// Exports for reference managers read back by independent readers: bibutils (ris2xml, bib2xml)
// for RIS and BibTeX, Python's csv and json modules for CSV and CSL-JSON. Every record, author,
// DOI and year must come back; suppressed articles stay out.
#include "chain/exchange_exports.h"

#include "chain/bibtex_reader.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>

#include "chain_fixture.h"
#include "fake_http_client.h"
#include "test_paths.h"

extern char** environ;

namespace wendrel {
namespace {

using test::Article;
using test::Page;
using Names = std::vector<std::vector<std::string>>;

// What every reader must find of one article.
struct Expected {
  std::string id;
  std::string title;  // as stored; readers of one-line formats get its breaks as blanks
  Names authors;
  std::string year;
  std::string doi;
  std::string citedBy;  // IDs of the pearls that cite it, blank-separated
  std::string cites;    // IDs of the pearls it cites
};

std::optional<std::string> OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "";
  for (size_t at = 0; at <= folders.size();) {
    size_t colon = folders.find(':', at);
    std::string candidate = folders.substr(at, colon == std::string::npos ? std::string::npos : colon - at) + "/" + program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string::npos) break;
    at = colon + 1;
  }
  return std::nullopt;
}

// Runs a program with its standard output into `outPath`; its exit status, -1 when it cannot start.
int RunTool(const std::vector<std::string>& argv, const std::string& outPath) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int started = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string OneLine(const std::string& text) {
  std::string out = std::regex_replace(text, std::regex("[\\r\\n\\t ]+"), " ");
  return out;
}

// bibutils reads straight quotes and apostrophes in BibTeX as typographic ones.
std::string StraightQuotes(std::string text) {
  for (auto [curly, straight] : {std::pair{"\xE2\x80\x9D", "\""}, {"\xE2\x80\x9C", "\""}, {"\xE2\x80\x99", "'"}}) {
    for (size_t at; (at = text.find(curly)) != std::string::npos;) text.replace(at, 3, straight);
  }
  return text;
}

nlohmann::json Reply(int64_t id, const std::string& title, int year, const std::string& doi, const Names& authors,
                     const char* venueKind) {
  nlohmann::json r = {{"ID", id}, {"Title", title}, {"Year", year}, {"CitationCount", 0}, {"ReferenceCount", 0}};
  if (!doi.empty()) r["DOI"] = doi;
  for (const auto& a : authors) r["Author"].push_back({{"LastName", a[0]}, {"FirstName", a[1]}});
  r[venueKind] = {{"FullName", "Proceedings & Journal of Tests"}};
  r["Keyword"] = {{{"Name", "pearl growing"}}, {{"Name", "trees"}}};
  return {{"d", {{"Result", {r}}}}};
}

// Three pearls and three further articles, one of them suppressed. Non-ASCII names, a title with
// braces, quotes, commas, a colon and a line break, and articles without authors, year or DOI.
class ExchangeExports : public ::testing::Test {
 protected:
  void SetUp() override {
    const Names p1 = {{"Müller", "Jörg"}, {"Ødegård", "Åse"}, {"O'Brien", "Seán"}};
    http.QueueBody(Reply(77, "Trees {of} \"pearls\", grown: a study", 2004, "10.1000/ab.77", p1, "Journal").dump());
    http.QueueBody(Reply(78, "Workshop\nnote, untitled", 0, "", {}, "Conference").dump());
    http.QueueBody(Reply(79, "Pearl Y", 2001, "10.1000/AB.79", {{"Berg", "Ole"}}, "Journal").dump());
    for (const char* id : {"77", "78", "79"}) ASSERT_NE(test::AddPearl(chain, id), 0) << id;

    CCRecord c1 = Article("c1", "Commas, \"quotes\" and {braces}", "1999", "Çelik, Ayşe");
    c1.CoAuthors = "Smith, John, Lee, , ";
    c1.DOI = "10.1000/c1";
    c1.PubType = "Journal";
    CCRecord c2 = Article("c2", "Anonymous {note", "n/a");
    c2.FullTextURL = "n/a";
    CCRecord gone = Article("c3", "Deleted from view", "2010", "Gone, Gus");
    chain.MergePage(Page({c1, gone, chain.GetRecord(3)}), 1, PearlRelation::Cited);
    // Ageing starts the pages of another pearl, as AddPearl does.
    chain.AgeRelations();
    chain.MergePage(Page({c1}), 3, PearlRelation::Cited);
    chain.AgeRelations();
    chain.MergePage(Page({c2}), 2, PearlRelation::Citing);
    ASSERT_TRUE(chain.SuppressDoc(chain.FindIndex("c3", "", "")));

    expected = {{"77", "Trees {of} \"pearls\", grown: a study", p1, "2004", "10.1000/ab.77", "", ""},
                {"78", "Workshop\nnote, untitled", {}, "", "", "", ""},
                {"79", "Pearl Y", {{"Berg", "Ole"}}, "2001", "10.1000/AB.79", "77", ""},
                {"c1", c1.Title, {{"Çelik", "Ayşe"}, {"Smith", "John"}, {"Lee", ""}}, "1999", "10.1000/c1", "77 79", ""},
                {"c2", "Anonymous {note", {}, "", "", "", "78"}};
  }

  // The records a reader gives back from an export of a list.
  nlohmann::json ReadBack(ExchangeFormat format, const std::vector<std::string>& converter, const char* mode,
                          ExchangeList list = ExchangeList::All, int32_t articles = 5) {
    const std::string exported = folder.Path(std::string("all.") + ExchangeExtension(format));
    const ExchangeResult result = ExportExchange(chain, list, format, exported);
    EXPECT_TRUE(result.written) << result.reason;
    EXPECT_EQ(result.articles, articles);
    return ReadFileBack(exported, converter, mode);
  }
  nlohmann::json ReadFileBack(const std::string& exported, const std::vector<std::string>& converter, const char* mode) {
    std::string readable = exported;
    if (!converter.empty()) {
      readable = folder.Path("all.xml");
      std::vector<std::string> argv = converter;
      argv.push_back(exported);
      EXPECT_EQ(RunTool(argv, readable), 0) << converter[0];
    }
    const std::string json = folder.Path("records.json");
    EXPECT_EQ(RunTool({"python3", test::DataPath("exchange_readback.py"), mode, readable}, json), 0);
    return nlohmann::json::parse(test::ReadFile(json));
  }

  // Every record in order, each with every author, its DOI and its year.
  void ExpectAllBack(const nlohmann::json& records, bool oneLineTitles, bool bibtex = false) {
    ASSERT_EQ(records.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
      const Expected& e = expected[k];
      const nlohmann::json& r = records[k];
      SCOPED_TRACE(e.id);
      std::string title = r["title"];
      if (bibtex) title = StraightQuotes(title);
      EXPECT_EQ(title, oneLineTitles ? OneLine(e.title) : e.title);
      Names authors = r["authors"].get<Names>();
      if (bibtex) {
        for (auto& name : authors)
          for (auto& part : name) part = StraightQuotes(part);
      }
      EXPECT_EQ(authors, e.authors);
      EXPECT_EQ(r["year"], e.year);
      EXPECT_EQ(r["doi"], e.doi);
    }
  }

  static void RequireTools(std::initializer_list<const char*> tools) {
    for (const char* tool : tools) {
      if (!OnPath(tool)) GTEST_SKIP() << tool << " is not installed (scripts/test installs it)";
    }
  }

  test::TempDir folder;
  ScriptedHost host;
  test::FakeHttpClient http;
  MASCitationChain chain{host, http, "http://127.0.0.1:1"};
  std::vector<Expected> expected;
};

TEST_F(ExchangeExports, RisIsReadByBibutils) {
  RequireTools({"ris2xml", "python3"});
  const nlohmann::json records = ReadBack(ExchangeFormat::Ris, {"ris2xml"}, "mods");
  ExpectAllBack(records, true);
  EXPECT_EQ(records[3]["note"], "Cited by pearls: 77, 79. Cites pearls: none.");
  EXPECT_EQ(records[4]["note"], "Cited by pearls: none. Cites pearls: 78.");
  // Standard tags only where a value is known: no "n/a" address, the type as a code.
  const std::string text = test::ReadFile(folder.Path("all.ris"));
  EXPECT_EQ(text.find("n/a"), std::string::npos);
  EXPECT_NE(text.find("TY  - CONF\r\n"), std::string::npos);
  EXPECT_NE(text.find("TY  - GEN\r\n"), std::string::npos);
  EXPECT_NE(text.find("KW  - pearl growing\r\nKW  - trees\r\n"), std::string::npos);
}

TEST_F(ExchangeExports, BibTeXIsReadByBibutils) {
  RequireTools({"bib2xml", "python3"});
  const nlohmann::json records = ReadBack(ExchangeFormat::BibTeX, {"bib2xml"}, "mods");
  ExpectAllBack(records, true, true);
  EXPECT_EQ(records[3]["note"], "Service ID c1. Cited by pearls: 77, 79. Cites pearls: none.");
  // Keys: last name (accents as base letters), year, first title word; unique.
  std::string text = test::ReadFile(folder.Path("all.bib"));
  // BibTeX counts every brace, escaped or not: an unbalanced one would swallow the entries after it.
  EXPECT_EQ(std::count(text.begin(), text.end(), '{'), std::count(text.begin(), text.end(), '}'));
  std::vector<std::string> keys;
  std::smatch m;
  for (std::string rest = text; std::regex_search(rest, m, std::regex("@\\w+\\{([^,]*),")); rest = m.suffix()) {
    keys.push_back(m[1]);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Muller2004Trees", "AnonndWorkshop", "Berg2001Pearl", "Celik1999Commas",
                                            "AnonndAnonymous"}));
}

// Names without a given name (corporate authors, "Sammy Davis Jr.") stay whole, and family names
// of several words stay the family name, in BibTeX and RIS alike; a conference paper keeps its
// year and proceedings in RIS.
TEST_F(ExchangeExports, NamesStayWholeForBibutils) {
  RequireTools({"bib2xml", "ris2xml", "python3"});
  chain.AgeRelations();
  CCRecord paper = Article("n1", "Names of many kinds", "2016", "World Health Organization");
  paper.CoAuthors = "Sammy Davis Jr., , van der Berg, Ole, García Márquez, Gabriel, de la Cruz, Juana, ";
  paper.PubType = "Conference";
  paper.Source = "Proceedings of Tests";
  chain.MergePage(Page({paper}), 1, PearlRelation::Citing);
  const Names names = {{"World Health Organization", ""}, {"Sammy Davis Jr.", ""}, {"van der Berg", "Ole"},
                       {"García Márquez", "Gabriel"}, {"de la Cruz", "Juana"}};
  for (auto [format, converter] : {std::pair{ExchangeFormat::BibTeX, "bib2xml"}, {ExchangeFormat::Ris, "ris2xml"}}) {
    SCOPED_TRACE(converter);
    const nlohmann::json records = ReadBack(format, {converter}, "mods", ExchangeList::Citing, 2);
    ASSERT_EQ(records.size(), 2u);
    Names read = records[1]["authors"].get<Names>();
    // RIS has no form for a name without a given name that bibutils keeps whole.
    if (format == ExchangeFormat::Ris) read.erase(read.begin(), read.begin() + 2);
    EXPECT_EQ(read, Names(names.begin() + (format == ExchangeFormat::Ris ? 2 : 0), names.end()));
    EXPECT_EQ(records[1]["year"], "2016");
  }
  const std::string ris = FormatExchange(chain, ExchangeList::Citing, ExchangeFormat::Ris);
  EXPECT_NE(ris.find("TY  - CONF\r\nAU  - World Health Organization\r\n"), std::string::npos) << ris;
  EXPECT_NE(ris.find("PY  - 2016\r\nTI  - Names of many kinds\r\nT2  - Proceedings of Tests\r\nDA  - 2016///\r\n"
                     "C3  - Proceedings of Tests\r\n"),
            std::string::npos)
      << ris;
}

// Cells a spreadsheet would run as formulas are written as text; abstracts and keywords have
// columns of their own.
TEST_F(ExchangeExports, CsvCellsNeverRunAsFormulas) {
  RequireTools({"python3"});
  CCRecord risky = Article("f1", "=HYPERLINK(\"http://x.org\";\"click\")", "2016", "@home, Al");
  risky.Abstract = "-1 is less than +1";
  risky.Keywords = "growth,\tpearls,";
  CCRecord plain = Article("f2", "A title - with a dash", "2017", "Berg, Ole");
  plain.Abstract = "\r\nstarts with a line break";
  chain.MergePage(Page({risky, plain}), 2, PearlRelation::Cited);
  const nlohmann::json records = ReadBack(ExchangeFormat::Csv, {}, "csv", ExchangeList::Cited, 4);
  ASSERT_EQ(records.size(), 4u);
  EXPECT_EQ(records[2]["title"], "'=HYPERLINK(\"http://x.org\";\"click\")");
  EXPECT_EQ(records[2]["authors"], (Names{{"'@home", "Al"}}));
  EXPECT_EQ(records[2]["abstract"], "'-1 is less than +1");
  EXPECT_EQ(records[2]["keywords"], "growth; pearls");
  EXPECT_EQ(records[3]["title"], "A title - with a dash");
  EXPECT_EQ(records[3]["abstract"], "'\r\nstarts with a line break");
  EXPECT_EQ(records[3]["fields"], 23);
}

// The chain's own list files are standard RIS that other tools read: every pearl with every author,
// its title and its year.
TEST_F(ExchangeExports, ListFilesAreReadByBibutils) {
  RequireTools({"ris2xml", "python3"});
  const std::string path = folder.Path("pearls.ris");
  ASSERT_TRUE(chain.ExportRIS(path, ChainList::Pearls));
  const nlohmann::json records = ReadFileBack(path, {"ris2xml"}, "mods");
  ASSERT_EQ(records.size(), 3u);
  for (size_t k = 0; k < 3; ++k) {
    SCOPED_TRACE(expected[k].id);
    EXPECT_EQ(records[k]["title"], OneLine(expected[k].title));
    EXPECT_EQ(records[k]["authors"].get<Names>(), expected[k].authors);
    EXPECT_EQ(records[k]["year"], expected[k].year);
    EXPECT_EQ(records[k]["doi"], expected[k].doi);
  }
}

// The program's own BibTeX reader (pearl lists loaded from .bib files) gets back what the export
// wrote: the export is its oracle.
TEST_F(ExchangeExports, BibTeXReaderReadsTheExportBack) {
  const std::vector<RisReference> read = ReadBibTeXReferences(FormatExchange(chain, ExchangeList::All, ExchangeFormat::BibTeX));
  ASSERT_EQ(read.size(), expected.size());
  for (size_t k = 0; k < expected.size(); ++k) {
    const Expected& e = expected[k];
    SCOPED_TRACE(e.id);
    EXPECT_EQ(read[k].title, OneLine(e.title));
    Names authors;
    for (const std::string& a : {read[k].firstAuthor}) {
      if (!a.empty()) authors.push_back({a.substr(0, a.find(", ")), a.find(", ") == std::string::npos ? "" : a.substr(a.find(", ") + 2)});
    }
    for (const std::string& a : read[k].coAuthors) {
      authors.push_back({a.substr(0, a.find(", ")), a.find(", ") == std::string::npos ? "" : a.substr(a.find(", ") + 2)});
    }
    EXPECT_EQ(authors, e.authors);
    EXPECT_EQ(read[k].year, e.year);
    EXPECT_EQ(read[k].doi, e.doi);
  }
}

TEST(BibTeXReader, EntriesAsOtherToolsWriteThem) {
  const std::vector<RisReference> read = ReadBibTeXReferences(
      "% a comment line\n@Comment{skip @this}\n@preamble{\"\\newcommand{\\x}{y}\"}\n"
      "@ARTICLE{a1,\n  Author = \"Ada Lovelace and {Babbage and Sons}\",\n  TITLE = \"Notes \" # \"on {the} Engine\",\n"
      "  year = 1843, doi = {10.1000/{x}1}, journal = {Taylor{'}s \\& Scientific Memoirs}}\n"
      "@book(b2, title = {Cut {off by} the end\n");
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].firstAuthor, "Lovelace, Ada");
  EXPECT_EQ(read[0].coAuthors, std::vector<std::string>{"Babbage and Sons"});
  EXPECT_EQ(read[0].title, "Notes on the Engine");
  EXPECT_EQ(read[0].year, "1843");
  EXPECT_EQ(read[0].doi, "10.1000/x1");
  EXPECT_EQ(read[0].source, "Taylor's & Scientific Memoirs");
  EXPECT_EQ(read[1].title, "Cut off by the end");
  EXPECT_TRUE(ReadBibTeXReferences("").empty());
  EXPECT_TRUE(ReadBibTeXReferences("@article").empty());
  EXPECT_TRUE(IsBibTeXFileName("refs.Bib") && !IsBibTeXFileName("refs.ris") && !IsBibTeXFileName("bib"));
}

// LaTeX as reference managers write it, read as the UTF-8 text it stands for.
TEST(BibTeXReader, LatexBecomesUtf8) {
  struct Case {
    const char* title;
    const char* expected;
  } cases[] = {
      {R"(P{\'e}rez \'{e} \' e {\`a}\^{o}\~n)", "Pérez é é àôñ"},
      {R"({\O}rsted \o{} Stra{\ss}e {\ae}{\AE} {\aa}{\AA} {\l}\L \oe)", "Ørsted ø Straße æÆ åÅ łŁœ"},  // a control word takes the blank after it
      {R"(M{\"u}ller M\"{u}ller \"{\i} {\v c}\v{S} \c{c} \H{o} \k{a} \r{u} \u{g} \={a} \.{z})",
       "Müller Müller ï čŠ ç ő ą ů ğ ā ż"},
      {R"(\'{\i}d \v{x})", "íd x\u030C"},
      {R"(1990--2000 --- a~tie \& \% \$ \# \_ \{x\} \textbackslash{} \emph{word})",
       "1990–2000 — a tie & % $ # _ {x} \\ word"},
      {R"(Trailing \)", "Trailing \\"},
  };
  for (const Case& c : cases) {
    const std::vector<RisReference> read = ReadBibTeXReferences(std::string("@misc{k, title = {") + c.title + "}}");
    ASSERT_EQ(read.size(), 1u) << c.title;
    EXPECT_EQ(read[0].title, c.expected) << c.title;
  }
  // DOIs and addresses stay as written: their dashes and tildes are no LaTeX.
  const std::vector<RisReference> read =
      ReadBibTeXReferences("@misc{k, author = {{\\'E}mile Zola}, doi = {10.1000/a--b~c}, url = {http://x.org/~me}}");
  ASSERT_EQ(read.size(), 1u);
  EXPECT_EQ(read[0].firstAuthor, "Zola, Émile");
  EXPECT_EQ(read[0].doi, "10.1000/a--b~c");
  EXPECT_EQ(read[0].url, "http://x.org/~me");
}

TEST_F(ExchangeExports, CitationKeysStayUniqueForNamesakes) {
  std::vector<CCRecord> page;
  for (const char* title : {"Editorial one", "Editorial two", "Editorial three"}) {
    page.push_back(Article("e" + std::to_string(page.size()), title, "2020", "Berg, Ole"));
  }
  chain.MergePage(Page(page), 1, PearlRelation::Cited);
  const std::string text = FormatExchange(chain, ExchangeList::Cited, ExchangeFormat::BibTeX);
  std::vector<std::string> keys;
  std::smatch m;
  for (std::string rest = text; std::regex_search(rest, m, std::regex("@\\w+\\{([^,]*),")); rest = m.suffix()) {
    keys.push_back(m[1]);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"Berg2001Pearl", "Celik1999Commas", "Berg2020Editorial",
                                            "Berg2020Editorialb", "Berg2020Editorialc"}));
}

TEST_F(ExchangeExports, CsvIsReadByPython) {
  RequireTools({"python3"});
  const nlohmann::json records = ReadBack(ExchangeFormat::Csv, {}, "csv");
  ExpectAllBack(records, false);
  for (size_t k = 0; k < expected.size(); ++k) {
    EXPECT_EQ(records[k]["id"], expected[k].id);
    EXPECT_EQ(records[k]["citedBy"], expected[k].citedBy);
    EXPECT_EQ(records[k]["cites"], expected[k].cites);
    EXPECT_EQ(records[k]["fields"], 23);
  }
  EXPECT_EQ(records[2]["lists"], "Pearl; Cited");
}

TEST_F(ExchangeExports, CslJsonIsReadByPython) {
  RequireTools({"python3"});
  const nlohmann::json records = ReadBack(ExchangeFormat::CslJson, {}, "csl-json");
  ExpectAllBack(records, false);
  EXPECT_EQ(records[3]["note"], "Cited by pearls: 77, 79. Cites pearls: none.");
  std::set<std::string> ids;
  for (const auto& r : records) ids.insert(r["id"].get<std::string>());
  EXPECT_EQ(ids.size(), records.size());
}

// Each list holds what the window shows of it: suppressed articles never, the pearls in the
// order they were added.
TEST_F(ExchangeExports, ListsSelectTheirArticles) {
  auto ids = [&](ExchangeList list) {
    const std::string ris = FormatExchange(chain, list, ExchangeFormat::Ris);
    std::vector<std::string> found;
    std::smatch m;
    for (std::string rest = ris; std::regex_search(rest, m, std::regex("AN  - MAS:(\\S+)")); rest = m.suffix()) {
      found.push_back(m[1]);
    }
    return found;
  };
  EXPECT_EQ(ids(ExchangeList::Pearls), (std::vector<std::string>{"77", "78", "79"}));
  EXPECT_EQ(ids(ExchangeList::Cited), (std::vector<std::string>{"79", "c1"}));
  EXPECT_EQ(ids(ExchangeList::Citing), (std::vector<std::string>{"c2"}));
}

// Search results keep the order and metadata the search gave; an article the chain holds carries the
// chain's counts and relations with them, one it holds no more (deleted) or never had carries none.
TEST_F(ExchangeExports, SearchResultsCarryTheChainsRelations) {
  CCRecord found = Article("c1", "Commas, \"quotes\" and {braces}", "1999", "\u00c7elik, Ay\u015fe");
  found.CitedByPearls = 9;  // what a search reply says is not the chain's count
  const std::vector<CCRecord> results = {Article("x9", "Never grown", "2020", "New, Nora"), found,
                                         Article("c3", "Deleted from view", "2010", "Gone, Gus")};
  const std::string csv = FormatExchange(chain, results, ExchangeFormat::Csv);
  std::vector<std::string> rows;
  for (size_t at = 0, end; (end = csv.find("\r\n", at)) != std::string::npos; at = end + 2) rows.push_back(csv.substr(at, end - at));
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1].rfind("x9,", 0), 0u);
  EXPECT_NE(rows[1].find(",0,0,,,,"), std::string::npos) << rows[1];
  EXPECT_EQ(rows[2].rfind("c1,", 0), 0u);
  EXPECT_NE(rows[2].find(",2,0,77 79,,Cited,"), std::string::npos) << rows[2];
  EXPECT_EQ(rows[3].rfind("c3,", 0), 0u);
  EXPECT_NE(rows[3].find(",0,0,,,,"), std::string::npos) << rows[3];
}

// "N/A" marks a reference that could not be resolved, as "n/a" and "null" mark other missing
// values: none of them is exported as an ID, DOI, address or year.
TEST_F(ExchangeExports, MarkersAreNoValues) {
  CCRecord marked = Article("N/A", "Unresolved reference", "N/A", "Doe, Jo");
  marked.DOI = marked.FullTextURL = "N/A";
  chain.MergePage(Page({marked}), 1, PearlRelation::Cited);
  for (ExchangeFormat format : {ExchangeFormat::Ris, ExchangeFormat::BibTeX, ExchangeFormat::CslJson, ExchangeFormat::Csv}) {
    const std::string text = FormatExchange(chain, {marked}, format);
    EXPECT_NE(text.find("Unresolved reference"), std::string::npos) << text;
    EXPECT_EQ(text.find("N/A"), std::string::npos) << text;
  }
  const std::string listed = chain.RISText(ChainList::Cited);
  EXPECT_NE(listed.find("Unresolved reference"), std::string::npos) << listed;
  EXPECT_EQ(listed.find("N/A"), std::string::npos) << listed;
}

TEST_F(ExchangeExports, FailedWriteNamesTheFileAndKeepsTheEarlierOne) {
  const std::string missing = folder.Path("no/such/folder/out.csv");
  ExchangeResult result = ExportExchange(chain, ExchangeList::All, ExchangeFormat::Csv, missing);
  EXPECT_FALSE(result.written);
  EXPECT_EQ(result.articles, 0);
  EXPECT_NE(result.reason.find(missing), std::string::npos) << result.reason;

  const std::string earlier = folder.Path("kept.ris");
  ASSERT_TRUE(ExportExchange(chain, ExchangeList::All, ExchangeFormat::Ris, earlier).written);
  const std::string before = test::ReadFile(earlier);
  // A folder in the file's place cannot be replaced.
  std::filesystem::create_directory(folder.Path("dir.ris"));
  EXPECT_FALSE(ExportExchange(chain, ExchangeList::All, ExchangeFormat::Ris, folder.Path("dir.ris")).written);
  EXPECT_EQ(test::ReadFile(earlier), before);
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path(""))) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
}

// Screening in every format, read back by the independent readers: the decision and labels as
// keywords, the screening line as a note, and in CSV six columns of their own. Labels and notes
// hold the characters each format must escape; a note's line break never breaks a record.
class ScreenedExports : public ExchangeExports {
 protected:
  void SetUp() override {
    ExchangeExports::SetUp();
    ScreeningBook& book = chain.Screenings();
    auto at = [&](const char* id) { return chain.FindIndex(id, "", ""); };
    book.Decide(at("77"), Verdict::Included);
    book.SetLabels(at("77"), {"core", "trees", "a, b; c"});
    book.Decide(at("c1"), Verdict::Excluded, "wrong outcome");
    book.SetLabels(at("c1"), {kLabel, "Straße"});
    book.SetNote(at("c1"), kNote);
    book.SetKnown(at("79"), true);
    book.Decide(at("c2"), Verdict::Maybe);
    book.Decide(at("c3"), Verdict::Excluded, "duplicate");  // deleted: in no export
  }

  static constexpr const char* kLabel = "needs \"full\" {text}";
  static constexpr const char* kNote = "First line, with commas;\nsecond {line} \"quoted\" – Ørsted";
  const std::string c1Line = "Screening: excluded (wrong outcome); labels: " + std::string(kLabel) +
                             ", Straße; note: First line, with commas; second {line} \"quoted\" – Ørsted";
  // By article of the fixture: the keywords each carries, the record's own first.
  const std::vector<std::vector<std::string>> keywords = {
      {"pearl growing", "trees", "screening: included", "core", "a, b; c"},
      {"pearl growing", "trees"},
      {"pearl growing", "trees"},
      {"screening: excluded", kLabel, "Straße"},
      {"screening: maybe"}};
  const std::vector<std::string> lines = {"Screening: included; labels: core, trees, a, b; c", "",
                                          "Screening: undecided; known", c1Line, "Screening: maybe"};
};

TEST_F(ScreenedExports, RisCarriesKeywordsAndANoteLine) {
  RequireTools({"ris2xml", "python3"});
  const nlohmann::json records = ReadBack(ExchangeFormat::Ris, {"ris2xml"}, "mods");
  ExpectAllBack(records, true);
  for (size_t k = 0; k < expected.size(); ++k) {
    SCOPED_TRACE(expected[k].id);
    EXPECT_EQ(records[k]["keywords"].get<std::vector<std::string>>(), keywords[k]);
    std::vector<std::string> screening;
    for (const std::string& note : records[k]["notes"].get<std::vector<std::string>>()) {
      if (note.find("Screening") != std::string::npos) screening.push_back(note);
    }
    EXPECT_EQ(screening, lines[k].empty() ? std::vector<std::string>{} : std::vector<std::string>{lines[k]});
  }
  EXPECT_EQ(records[3]["note"], "Cited by pearls: 77, 79. Cites pearls: none.") << "the relations stay first";
}

TEST_F(ScreenedExports, BibTeXCarriesKeywordsAndNote) {
  RequireTools({"bib2xml", "python3"});
  const nlohmann::json records = ReadBack(ExchangeFormat::BibTeX, {"bib2xml"}, "mods");
  ExpectAllBack(records, true, true);
  const std::string text = test::ReadFile(folder.Path("all.bib"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '{'), std::count(text.begin(), text.end(), '}'));
  for (size_t k = 0; k < expected.size(); ++k) {
    SCOPED_TRACE(expected[k].id);
    // bibutils splits BibTeX keywords at semicolons only.
    std::string read;
    for (const auto& topic : records[k]["keywords"]) read += (read.empty() ? "" : "; ") + topic.get<std::string>();
    std::string written;
    for (const std::string& keyword : keywords[k]) written += (written.empty() ? "" : ", ") + keyword;
    EXPECT_EQ(StraightQuotes(read), written);
    // BibTeX has one note: the screening line follows the relations.
    const std::string note = StraightQuotes(records[k]["note"]);
    if (lines[k].empty()) EXPECT_EQ(note.find("Screening:"), std::string::npos) << note;
    else EXPECT_TRUE(note.ends_with(". " + lines[k])) << note;
  }
}

TEST_F(ScreenedExports, CslJsonCarriesKeywordAndNote) {
  RequireTools({"python3"});
  const nlohmann::json records = ReadBack(ExchangeFormat::CslJson, {}, "csl-json");
  ExpectAllBack(records, false);
  for (size_t k = 0; k < expected.size(); ++k) {
    SCOPED_TRACE(expected[k].id);
    std::string written;
    for (const std::string& keyword : keywords[k]) written += (written.empty() ? "" : ", ") + keyword;
    EXPECT_EQ(records[k]["keywords"], written);
    const std::string note = records[k]["note"];
    const size_t lineBreak = note.find('\n');
    EXPECT_EQ(lineBreak == std::string::npos ? "" : note.substr(lineBreak + 1), lines[k]);
  }
}

TEST_F(ScreenedExports, CsvCarriesSixColumns) {
  RequireTools({"python3"});
  const nlohmann::json records = ReadBack(ExchangeFormat::Csv, {}, "csv");
  ExpectAllBack(records, false);
  const auto row = [&](size_t k) {
    const nlohmann::json& r = records[k];
    return std::vector<std::string>{r["decision"], r["reason"], r["labels"], r["note"], r["known"], r["generation"]};
  };
  EXPECT_EQ(row(0), (std::vector<std::string>{"included", "", "core; trees; a, b; c", "", "", "0"}));
  EXPECT_EQ(row(1), (std::vector<std::string>{"", "", "", "", "", "0"}));
  EXPECT_EQ(row(2), (std::vector<std::string>{"", "", "", "", "yes", "0"}));
  EXPECT_EQ(row(3), (std::vector<std::string>{"excluded", "wrong outcome", std::string(kLabel) + "; Straße", kNote, "", "0"}));
  EXPECT_EQ(row(4), (std::vector<std::string>{"maybe", "", "", "", "", "0"}));
  EXPECT_EQ(records[3]["keywords"], "") << "labels have their own column";
}

// A generation alone says nothing to a reference manager: every grown article has one.
TEST_F(ExchangeExports, UnscreenedArticlesReadAsBefore) {
  std::vector<std::string> before;
  for (ExchangeFormat format : {ExchangeFormat::Ris, ExchangeFormat::BibTeX, ExchangeFormat::CslJson}) {
    before.push_back(FormatExchange(chain, ExchangeList::All, format));
  }
  // Undone decisions and emptied labels and notes leave nothing behind either.
  chain.Screenings().Decide(1, Verdict::Excluded, "other");
  chain.Screenings().Decide(1, Verdict::Undecided);
  chain.Screenings().SetLabels(2, {"x"});
  chain.Screenings().SetLabels(2, {});
  chain.Screenings().SetNote(3, "x");
  chain.Screenings().SetNote(3, "");
  size_t k = 0;
  for (ExchangeFormat format : {ExchangeFormat::Ris, ExchangeFormat::BibTeX, ExchangeFormat::CslJson}) {
    EXPECT_EQ(FormatExchange(chain, ExchangeList::All, format), before[k++]) << ExchangeExtension(format);
  }
  const std::string csv = FormatExchange(chain, ExchangeList::Pearls, ExchangeFormat::Csv);
  EXPECT_NE(csv.find(",Pearl,,,pearl growing; trees,,,,,,,0\r\n"), std::string::npos) << csv;
}

// Each list by decision: deleted articles stay out whatever their decision, search results the
// chain does not hold are undecided.
TEST_F(ScreenedExports, ListsByDecision) {
  auto ids = [](const std::string& ris) {
    std::vector<std::string> found;
    std::smatch m;
    for (std::string rest = ris; std::regex_search(rest, m, std::regex("AN  - MAS:(\\S+)")); rest = m.suffix()) {
      found.push_back(m[1]);
    }
    return found;
  };
  using Ids = std::vector<std::string>;
  const auto listed = [&](ExchangeList list, std::optional<Verdict> decision) {
    return ids(FormatExchange(chain, list, ExchangeFormat::Ris, decision));
  };
  EXPECT_EQ(listed(ExchangeList::All, Verdict::Included), Ids{"77"});
  EXPECT_EQ(listed(ExchangeList::All, Verdict::Excluded), Ids{"c1"});
  EXPECT_EQ(listed(ExchangeList::All, Verdict::Maybe), Ids{"c2"});
  EXPECT_EQ(listed(ExchangeList::All, Verdict::Undecided), (Ids{"78", "79"}));
  EXPECT_EQ(listed(ExchangeList::All, std::nullopt), (Ids{"77", "78", "79", "c1", "c2"}));
  EXPECT_EQ(listed(ExchangeList::Cited, Verdict::Undecided), Ids{"79"});
  EXPECT_EQ(listed(ExchangeList::Candidates, Verdict::Excluded), Ids{"c1"});
  EXPECT_TRUE(listed(ExchangeList::Pearls, Verdict::Maybe).empty());

  const std::vector<CCRecord> results = {Article("x9", "Never grown", "2020", "New, Nora"), chain.GetRecord(chain.FindIndex("c1", "", "")),
                                         Article("c3", "Deleted from view", "2010", "Gone, Gus")};
  EXPECT_EQ(ids(FormatExchange(chain, results, ExchangeFormat::Ris, Verdict::Undecided)), (Ids{"x9", "c3"}));
  EXPECT_EQ(ids(FormatExchange(chain, results, ExchangeFormat::Ris, Verdict::Excluded)), Ids{"c1"});
  const ExchangeResult written =
      ExportExchange(chain, ExchangeList::All, ExchangeFormat::Csv, folder.Path("maybe.csv"), Verdict::Maybe);
  EXPECT_TRUE(written.written);
  EXPECT_EQ(written.articles, 1);
}

}  // namespace
}  // namespace wendrel
