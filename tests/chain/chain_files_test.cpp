// RIS and WoS files of the chain: the exact bytes written, saves that fail, loading a saved Pearl
// List back, and RIS files as other reference tools write them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "chain/ris_reader.h"
#include "chain_fixture.h"
#include "fake_http_client.h"
#include "platform/scripted_host.h"
#include "test_paths.h"

namespace wendrel {
namespace {

using test::Article;
using test::Page;
using test::Publication;
using test::ReadFile;
using test::Requests;

std::string Lines(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

// A pearl (77) and two cited articles, one of them also citing the pearl; no service needed.
class ExportedChain : public ::testing::Test {
 protected:
  void SetUp() override {
    http.QueueBody(
        R"({"d":{"Result":[{"ID":77,"Title":"Exported pearl","Year":2004,"Abstract":"About trees.","DOI":"10.1\/x",)"
        R"("FullVersionURL":["http:\/\/a.org\/p.pdf"],"CitationCount":0,"ReferenceCount":0,)"
        R"("Author":[{"LastName":"Kowalski","FirstName":"Anna"}],"Journal":{"FullName":"Journal of Tests"}}]}})");
    int32_t index = 0, maxCiting = 0;
    ASSERT_TRUE(chain.AddPearl(index, "77", "", maxCiting, caption));
    CCRecord one = Article("c1", "Cited one");
    one.PubType = "Conference";
    one.Abstract = "Line one\r\nline two\nthree";
    one.CitationCount = 12;
    chain.MergePage(Page({one, Article("c2", "Cited two")}), index, PearlRelation::Cited);
    chain.MergePage(Page({Article("c2", "Cited two")}), index, PearlRelation::Citing);
  }

  test::ScratchFolder folder{"wendrel_export"};
  ScriptedHost host;
  test::FakeHttpClient http;
  MASCitationChain chain{host, http, "http://127.0.0.1:1"};
  ScriptedCaption caption;
};

TEST_F(ExportedChain, FilesAreWrittenAsTabulated) {
  const std::string ris = folder.File("pearls.ris");
  EXPECT_TRUE(chain.ExportRIS(ris, 0));
  EXPECT_EQ(ReadFile(ris), Lines({"TY - Journal", "AN - MAS:77", "AU - Kowalski, Anna", "PY - 2004",
                                  "TI - Exported pearl", "T2 - Journal of Tests", "AB - About trees.", "DO - 10.1/x",
                                  "UR - http://a.org/p.pdf", "ER - ", ""}));
  EXPECT_TRUE(chain.ExportRIS(ris, 1));
  EXPECT_EQ(ReadFile(ris), Lines({"TY - Conference",
                                  "AN - MAS:c1",
                                  "AU - ",
                                  "PY - ",
                                  "TI - Cited one",
                                  "T2 - ",
                                  "AB - Line one line two three",
                                  "DO - ",
                                  "UR - ",
                                  "ER - ",
                                  "",
                                  "TY - ",
                                  "AN - MAS:c2",
                                  "AU - ",
                                  "PY - ",
                                  "TI - Cited two",
                                  "T2 - ",
                                  "AB - ",
                                  "DO - ",
                                  "UR - ",
                                  "ER - ",
                                  ""}));

  const std::string wos = folder.File("cited.txt");
  EXPECT_FALSE(chain.ExportWOS(wos, 1));
  const std::string header = Lines({"FN Thomson Reuters Web of Knowledge", "VR 1.0"});
  auto record = [](const char* pt, const char* title, const char* abstract, const char* tc, const char* pr,
                   const char* ut) {
    return "PT " + std::string(pt) + "\r\nAU \r\nAF \r\nTI " + title +
           "\r\nSO \r\nLA English\r\nDT Article\r\nDE \r\n" + "ID \r\nAB " + abstract +
           "\r\nC1 \r\nRP \r\nEM \r\nCR \r\nNR  0\r\nTC " + tc + "\r\nPR " + pr + "\r\nPY \r\nDI \r\nUT MAS:" + ut +
           "\r\nER\r\n\r\n";
  };
  EXPECT_EQ(ReadFile(wos), header + record("C", "Cited one", "Line one line two three", "12", "1", "c1") +
                               record("", "Cited two", "", "0", "1", "c2") + "EF\r\n");
  // The Citing List counts the pearls a record cites.
  chain.RemovePearl(1);
  for (int32_t pearl : {5, 6}) {
    chain.AgeRelations();
    chain.MergePage(Page({Article("c2", "")}), pearl, PearlRelation::Citing);
  }
  chain.ExportWOS(wos, 2);
  EXPECT_EQ(ReadFile(wos), header + record("", "Cited two", "", "0", "2", "c2") + "EF\r\n");

  MASCitationChain empty(host, http, "http://127.0.0.1:1");
  EXPECT_FALSE(empty.ExportRIS(ris, 0));
  EXPECT_EQ(ReadFile(ris), "");
  empty.ExportWOS(wos, 0);
  EXPECT_EQ(ReadFile(wos), header + "EF\r\n");
}

TEST_F(ExportedChain, FailedSaveKeepsThePreviousFile) {
  const std::string ris = folder.File("cited.ris");
  ASSERT_TRUE(chain.ExportRIS(ris, 0));
  const std::string previous = ReadFile(ris);
  std::vector<CCRecord> many;
  for (int k = 0; k < 300; ++k) {
    CCRecord r = Article("m" + std::to_string(k), "Long article " + std::to_string(k));
    r.Abstract.assign(400, 'a');
    many.push_back(r);
  }
  chain.MergePage(Page(many), 1, PearlRelation::Cited);

  // A file size limit makes the write fail halfway, as a full disk would.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  EXPECT_THROW(chain.ExportRIS(ris, 1), ChainError);
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);

  EXPECT_EQ(ReadFile(ris), previous);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1) << "no partial file left";
  EXPECT_THROW(chain.ExportRIS(folder.File("missing/pearls.ris"), 0), ChainError);
}

// The corpus of the import tests: an article found by title and author, and a pearl whose title a
// more cited article shares, so that a title search would pick the wrong one.
std::vector<nlohmann::json> ImportCorpus() {
  return {Publication(40, "A Mathematical Theory of Communication", {}, "Shannon", "Claude"),
          Publication(70, "Neural networks", {72}, "Lee", "Kim"),
          Publication(71, "Neural networks", {}, "Lee", "Kim"),
          Publication(72, "Perceptrons"),
          Publication(73, "Deep nets", {71}),
          Publication(74, "Deeper nets", {71, 70})};
}

class RisImport : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_folder = new test::ScratchFolder("wendrel_import");
    s_corpus = new test::ServedCorpus(*s_folder, ImportCorpus());
  }
  static void TearDownTestSuite() {
    delete s_corpus;
    delete s_folder;
  }
  void SetUp() override {
    const char* tmp = std::getenv("TMPDIR");
    if (tmp) savedTmp = tmp;
    std::filesystem::create_directories(temporary);
    setenv("TMPDIR", temporary.c_str(), 1);
  }
  void TearDown() override {
    if (savedTmp) {
      setenv("TMPDIR", savedTmp->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  bool TemporaryFolderEmpty() const { return std::filesystem::is_empty(temporary); }
  std::vector<std::string> PearlIds(const MASCitationChain& c) const {
    std::vector<std::string> ids;
    for (int32_t i = 1; i <= c.Count(); ++i)
      if (c.GetRecord(i).IsPearl) ids.push_back(c.GetRecord(i).PK);
    return ids;
  }

  static inline test::ScratchFolder* s_folder = nullptr;
  static inline test::ServedCorpus* s_corpus = nullptr;
  test::ScratchFolder work{"wendrel_import_work"};
  std::string temporary = work.File("tmp");
  std::optional<std::string> savedTmp;
  ScriptedHost host;
  test::RecordingHttpClient http;
  MASCitationChain chain{host, http, s_corpus->BaseAddress()};
  ScriptedCaption caption;
};

TEST_F(RisImport, SavedPearlListLoadsTheSamePearlsWithoutATitleSearch) {
  int32_t index = 0, maxCiting = 0;
  ASSERT_TRUE(chain.AddPearl(index, "40", "", maxCiting, caption));
  index = 0;
  ASSERT_TRUE(chain.AddPearl(index, "70", "", maxCiting, caption));
  const std::string saved = work.File("pearls.ris");
  ASSERT_TRUE(chain.ExportRIS(saved, 0));
  const std::vector<std::string> pearls = PearlIds(chain);
  const std::string history = chain.EventHistory();

  chain.Clear();
  http.Forget();
  ScriptedCaption importCaption;
  chain.ImportRIS(saved, maxCiting, importCaption);
  EXPECT_EQ(PearlIds(chain), pearls);
  EXPECT_EQ(chain.EventHistory(), history);
  EXPECT_TRUE(Requests(http.Addresses(), "Search").empty());
  EXPECT_TRUE(host.Messages().empty());
  EXPECT_EQ(importCaption.History().front(), "Import item #1");
  EXPECT_TRUE(TemporaryFolderEmpty()) << "CR LF files need no copy";

  // Importing the same list again adds no pearl and counts nothing twice.
  const CCRecord shared = chain.GetRecord(chain.FindIndex("72", "", ""));
  chain.ImportRIS(saved, maxCiting, caption);
  EXPECT_EQ(chain.GetRecord(chain.FindIndex("72", "", "")), shared);
}

TEST_F(RisImport, OtherToolsLayoutsWithLfOrCrLfEnds) {
  const std::string lf = test::DataPath("chain_other_tools.ris");
  bool sawCopy = false;
  host.OnDoEvents([&] { sawCopy = sawCopy || !TemporaryFolderEmpty(); });
  int32_t maxCiting = 0;
  chain.ImportRIS(lf, maxCiting, caption);
  EXPECT_TRUE(sawCopy);
  EXPECT_TRUE(TemporaryFolderEmpty());

  // Two AU lines: the first one's surname; "ER" alone does not end a record; the last record needs
  // no ER line; bytes that are not UTF-8 read as Windows-1252.
  auto searches = Requests(http.Addresses(), "Search");
  ASSERT_EQ(searches.size(), 3u);
  EXPECT_EQ(searches[0]["TitleQuery"], "a%20mathematical%20theory%20of%20communication");
  EXPECT_EQ(searches[0]["AuthorQuery"], "shannon");
  EXPECT_EQ(searches[1]["TitleQuery"], "café%20society%20revisited");
  EXPECT_EQ(searches[1]["AuthorQuery"], "müller");
  EXPECT_EQ(searches[2]["TitleQuery"], "last%20record%20without%20an%20end");
  EXPECT_EQ(searches[2]["AuthorQuery"], "o%20neil");
  EXPECT_EQ(PearlIds(chain), std::vector<std::string>{"40"});
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text,
            "Import of the following 2 articles failed: MÜLLER, Café society revisited; O'NEIL, Last record without "
            "an end; ");
  EXPECT_EQ(host.Messages()[0].title, "XCR Import");
  EXPECT_EQ(host.Messages()[0].icon, MessageIcon::Information);

  // The same file with CR LF ends imports the same records.
  std::string text = ReadFile(lf);
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  const std::string crlfPath = work.File("crlf.ris");
  std::ofstream(crlfPath, std::ios::binary) << crlf;
  ScriptedHost crlfHost;
  test::RecordingHttpClient crlfHttp;
  MASCitationChain crlfChain(crlfHost, crlfHttp, s_corpus->BaseAddress());
  crlfChain.ImportRIS(crlfPath, maxCiting, caption);
  EXPECT_EQ(Requests(crlfHttp.Addresses(), "Search"), searches);
  EXPECT_EQ(PearlIds(crlfChain), std::vector<std::string>{"40"});
  ASSERT_EQ(crlfHost.Messages().size(), 1u);
  EXPECT_EQ(crlfHost.Messages()[0].text, host.Messages()[0].text);
}

TEST_F(RisImport, FailuresLeaveNoCopyAndMissingFilesChangeNothing) {
  host.OnDoEvents([] { throw std::runtime_error("window closed"); });
  int32_t maxCiting = 0;
  EXPECT_THROW(chain.ImportRIS(test::DataPath("chain_other_tools.ris"), maxCiting, caption), std::runtime_error);
  EXPECT_TRUE(TemporaryFolderEmpty());
  EXPECT_FALSE(host.Busy());

  ScriptedHost quiet;
  MASCitationChain grown(quiet, http, s_corpus->BaseAddress());
  int32_t index = 0;
  ASSERT_TRUE(grown.AddPearl(index, "40", "", maxCiting, caption));
  for (const std::string& path : {work.File("absent.ris"), work.Path().string()}) {
    try {
      grown.ImportRIS(path, maxCiting, caption);
      ADD_FAILURE() << path << " imported";
    } catch (const ChainError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(grown.Count(), 1);
  EXPECT_EQ(PearlIds(grown), std::vector<std::string>{"40"});
  EXPECT_TRUE(quiet.Messages().empty());
}

TEST(RisReader, FilesFromOtherReferenceTools) {
  struct Case {
    const char* file;
    size_t records;
    const char* firstAuthor;  // of the first record
    const char* title;
  } cases[] = {
      {"ris/example_basic.ris", 1, "Shannon,Claude E.", "A Mathematical Theory of Communication"},
      {"ris/example_bom.ris", 1, "", ""},
      {"ris/example_endnote.ris", 1, "Smith, A. Nonymous", "EndNote: The Only Reference I Can Remember"},
      {"ris/example_utf_chars.ris", 1, "Dobrokhotova, Yu E.", ""},
      {"ris/example_full.ris", 2, "Marx, Karl", "Title of reference"},
      {"ris/example_extraneous_data.ris", 2, "Marx, Karl", "Title of reference"},
      {"ris/example_empty_tag.ris", 1, "Fanning E.",
       "Outcome Measures After Shoulder Stabilization in the Athletic Population: A Systematic Review of Clinical "
       "and Patient-Reported Metrics"},
      {"ris/example_multiline.ris", 3, "", ""},
      {"ris/jabref_RisImporterTest6.ris", 1, "Sears, Margaret E",
       "Chelation: Harnessing and Enhancing Heavy Metal Detoxification\u2014A Review"},
      {"ris/jabref_RisImporterTestScopus.ris", 1, "Federico, S.",
       "A transversely isotropic composite with a statistical distribution of spheroidal inclusions: A geometrical "
       "approach to overall properties"},
      {"ris/jabref_RisImporterTestWithEmptyER.ris", 1, "Shi,Yu",
       "Length scales and interfacial potentials in ion hydration"},
      {"ris/jabref_RisImporterCorrupted.ris", 0, "", ""},
  };
  int present = 0;
  for (const Case& c : cases) {
    std::optional<std::string> path = test::SharedPath(c.file);
    if (!path) continue;
    ++present;
    std::vector<RisReference> references = ReadRisReferences(ReadFile(*path));
    ASSERT_EQ(references.size(), c.records) << c.file;
    if (c.records == 0) continue;
    EXPECT_EQ(references[0].firstAuthor, c.firstAuthor) << c.file;
    EXPECT_EQ(references[0].title, c.title) << c.file;
    EXPECT_EQ(AccessionPublicationID(references[0].accession), "") << c.file;
  }
  if (present == 0) GTEST_SKIP() << "the shared RIS files are absent";
  std::optional<std::string> full = test::SharedPath("ris/example_full.ris");
  if (full) {
    EXPECT_EQ(ReadRisReferences(ReadFile(*full))[1].title, "The title of the reference");
  }
}

}  // namespace
}  // namespace wendrel
