// RIS and WoS files of the chain: the exact bytes written, suppressed articles left out, saves that
// fail, loading a saved Pearl List back (also without the service, and byte for byte in the order
// the pearls were added), and RIS files as other reference tools write them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

#include "chain/bibtex_reader.h"
#include "chain/chain_file_io.h"
#include "chain/identifier_list.h"
#include "chain/ris_reader.h"
#include "chain_fixture.h"
#include "fake_http_client.h"
#include "test_paths.h"

namespace wendrel {
namespace {

using test::Article;
using test::Page;
using test::Publication;
using test::ReadFile;
using test::Requests;

// A pearl (77) and two cited articles, one of them also citing the pearl; no service needed.
class ExportedChain : public ::testing::Test {
 protected:
  void SetUp() override {
    http.QueueBody(
        R"({"d":{"Result":[{"ID":77,"Title":"Exported pearl","Year":2004,"Abstract":"About trees.","DOI":"10.1\/x",)"
        R"("FullVersionURL":["http:\/\/a.org\/p.pdf"],"CitationCount":0,"ReferenceCount":0,)"
        R"("Author":[{"LastName":"Kowalski","FirstName":"Anna"}],"Journal":{"FullName":"Journal of Tests"}}]}})");
    ASSERT_EQ(test::AddPearl(chain, "77"), 1);
    CCRecord one = Article("c1", "Cited one");
    one.PubType = "Conference";
    one.Abstract = "Line one\r\nline two\nthree";
    one.CitationCount = 12;
    chain.MergePage(Page({one, Article("c2", "Cited two")}), 1, PearlRelation::Cited);
    chain.MergePage(Page({Article("c2", "Cited two")}), 1, PearlRelation::Citing);
  }

  test::TempDir folder;
  ScriptedHost host;
  test::FakeHttpClient http;
  MASCitationChain chain{host, http, "http://127.0.0.1:1"};
};

// The lists are standard RIS: two blanks before the hyphen, type codes, one AU line per author and
// only the fields a record has.
TEST_F(ExportedChain, FilesAreWrittenAsTabulated) {
  const std::string path = folder.Path("list.ris");
  EXPECT_TRUE(chain.ExportRIS(path, ChainList::Pearls));
  EXPECT_EQ(ReadFile(path),
            "TY  - JOUR\r\nAN  - MAS:77\r\nAU  - Kowalski, Anna\r\nPY  - 2004\r\nTI  - Exported pearl\r\n"
            "T2  - Journal of Tests\r\nAB  - About trees.\r\nDO  - 10.1/x\r\nUR  - http://a.org/p.pdf\r\nER  - \r\n\r\n");
  EXPECT_TRUE(chain.ExportRIS(path, ChainList::Cited));
  EXPECT_EQ(ReadFile(path),
            "TY  - CONF\r\nAN  - MAS:c1\r\nTI  - Cited one\r\nAB  - Line one line two three\r\nER  - \r\n\r\n"
            "TY  - GEN\r\nAN  - MAS:c2\r\nTI  - Cited two\r\nER  - \r\n\r\n");

  auto wos = [](const char* pt, const char* title, const char* abstract, const char* tc, const char* pr,
                const char* ut) {
    return "PT " + std::string(pt) + "\r\nAU \r\nAF \r\nTI " + title +
           "\r\nSO \r\nLA English\r\nDT Article\r\nDE \r\n" + "ID \r\nAB " + abstract +
           "\r\nC1 \r\nRP \r\nEM \r\nCR \r\nNR  0\r\nTC " + tc + "\r\nPR " + pr + "\r\nPY \r\nDI \r\nUT MAS:" + ut +
           "\r\nER\r\n\r\n";
  };
  const std::string header = "FN Thomson Reuters Web of Knowledge\r\nVR 1.0\r\n";
  EXPECT_FALSE(chain.ExportWOS(path, ChainList::Cited));
  EXPECT_EQ(ReadFile(path), header + wos("C", "Cited one", "Line one line two three", "12", "1", "c1") +
                                wos("", "Cited two", "", "0", "1", "c2") + "EF\r\n");
  // The Citing List counts the pearls a record cites.
  chain.AgeRelations();
  chain.MergePage(Page({Article("c2", "")}), 5, PearlRelation::Citing);
  chain.ExportWOS(path, ChainList::Citing);
  EXPECT_EQ(ReadFile(path), header + wos("", "Cited two", "", "0", "2", "c2") + "EF\r\n");

  MASCitationChain empty(host, http, "http://127.0.0.1:1");
  EXPECT_FALSE(empty.ExportRIS(path, ChainList::Pearls));
  EXPECT_EQ(ReadFile(path), "");
}

TEST_F(ExportedChain, DeletedArticlesAreLeftOutAsTheWindowDoes) {
  ASSERT_TRUE(chain.SuppressDoc(2));  // c1, cited
  ASSERT_TRUE(chain.SuppressDoc(3));  // c2, cited and citing
  const std::string path = folder.Path("list.ris");
  EXPECT_FALSE(chain.ExportRIS(path, ChainList::Cited));
  EXPECT_EQ(ReadFile(path), "");
  EXPECT_FALSE(chain.ExportRIS(path, ChainList::Citing));
  EXPECT_EQ(ReadFile(path), "");
  chain.ExportWOS(path, ChainList::Citing);
  EXPECT_EQ(ReadFile(path), "FN Thomson Reuters Web of Knowledge\r\nVR 1.0\r\nEF\r\n");
  EXPECT_TRUE(chain.ExportRIS(path, ChainList::Pearls)) << "the pearl stays";
}

// Runs `write` under a 64 KiB file size limit, which makes a larger write fail halfway, as a full
// disk would.
template <class Write>
void WithSmallFileSizeLimit(Write write) {
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* oldHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  write();
  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, oldHandler);
}

TEST_F(ExportedChain, FailedSaveKeepsThePreviousFile) {
  const std::string path = folder.Path("cited.ris");
  ASSERT_TRUE(chain.ExportRIS(path, ChainList::Pearls));
  const std::string previous = ReadFile(path);
  std::vector<CCRecord> many;
  for (int k = 0; k < 300; ++k) {
    many.push_back(Article("m" + std::to_string(k), "Long article " + std::to_string(k)));
    many.back().Abstract.assign(400, 'a');
  }
  chain.MergePage(Page(many), 1, PearlRelation::Cited);

  WithSmallFileSizeLimit([&] { EXPECT_THROW(chain.ExportRIS(path, ChainList::Cited), ChainError); });

  EXPECT_EQ(ReadFile(path), previous);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Root()), {}), 1) << "no partial file left";
  EXPECT_THROW(chain.ExportRIS(folder.Path("missing/pearls.ris"), ChainList::Pearls), ChainError);
}

// Files written together: a write that fails on the last file leaves every file as it was, and
// no temporary behind.
TEST(FilesWrittenTogether, AFailureLeavesEveryFileAsItWas) {
  test::TempDir folder;
  const std::vector<std::string> paths = {folder.Path("pearls.ris"), folder.Path("cited.ris"), folder.Path("citing.ris")};
  WriteFilesTogether({{paths[0], "old pearls"}, {paths[1], "old cited"}, {paths[2], "old citing"}});
  WithSmallFileSizeLimit([&] {
    try {
      WriteFilesTogether({{paths[0], "new pearls"}, {paths[1], "new cited"}, {paths[2], std::string(100 * 1024, 'c')}});
      ADD_FAILURE() << "the write beyond the limit succeeded";
    } catch (const ChainError& e) {
      EXPECT_NE(std::string(e.what()).find(paths[2]), std::string::npos) << e.what();
    }
  });
  EXPECT_EQ(ReadFile(paths[0]) + "|" + ReadFile(paths[1]) + "|" + ReadFile(paths[2]), "old pearls|old cited|old citing");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Root()), {}), 3) << "no temporary left";
}

class RisImport : public ::testing::Test {
 protected:
  // 40 is found by title and author; pearl 70 shares its title with the more cited 71, so a title
  // search would pick the wrong one.
  static void SetUpTestSuite() {
    // 80 and 81 are namesakes told apart by their DOIs and years.
    nlohmann::json early = Publication(80, "Sparse coding", {}, "Olsen", "Bruno", 1996);
    early["doi"] = "10.1000/SC.80";  // the service compares DOIs without regard to case
    nlohmann::json late = Publication(81, "Sparse coding", {}, "Olsen", "Bruno", 2005);
    late["doi"] = "10.1000/sc.81";
    // 82 is a namesake without a DOI; 83 bears a DOI a reference may give with 82's title and year.
    nlohmann::json other = Publication(83, "Efficient codes", {}, "Olsen", "Bruno", 2010);
    other["doi"] = "10.1000/ec.83";
    s_corpus = new test::ServedCorpus({Publication(40, "A Mathematical Theory of Communication", {}, "Shannon"),
                                       Publication(70, "Neural networks", {72}), Publication(71, "Neural networks"),
                                       Publication(72, "Perceptrons"), Publication(73, "Deep nets", {71}), early,
                                       late, Publication(82, "Sparse coding", {}, "Olsen", "Bruno", 2010), other,
                                       // Reference managers' files: accents, wrapped titles, dated years.
                                       Publication(90, "Pearl growing", {}, "Pérez", "Ana", 2010),
                                       Publication(91, "Pearl growing in citation networks", {}, "Pérez", "Ana", 2016),
                                       Publication(92, "Electromagnetism revisited", {}, "Ørsted", "Hans", 1999),
                                       Publication(93, "Müller's method", {}, "Müller", "Jörg", 2001)});
  }
  static void TearDownTestSuite() { delete s_corpus; }

  static std::vector<std::string> PearlIds(const MASCitationChain& c) {
    std::vector<std::string> ids;
    for (int32_t i = 1; i <= c.Count(); ++i)
      if (c.GetRecord(i).IsPearl) ids.push_back(c.GetRecord(i).PK);
    return ids;
  }
  // The CR LF copy of a bare-LF file that ImportRIS makes in the temporary folder, if this process left one.
  static bool CopyLeft() {
    const std::string prefix = "chain_other_tools.ris_." + std::to_string(getpid()) + ".";
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
      if (entry.path().filename().string().rfind(prefix, 0) == 0) return true;
    return false;
  }

  static inline test::ServedCorpus* s_corpus = nullptr;
  test::TempDir work;
  ScriptedHost host;
  test::RecordingHttpClient http;
  MASCitationChain chain{host, http, s_corpus->BaseAddress()};
  ScriptedCaption caption;
  int32_t citingAsked = 0;
};

TEST_F(RisImport, SavedPearlListLoadsTheSamePearlsWithoutATitleSearch) {
  test::AddPearl(chain, "40");
  test::AddPearl(chain, "70");
  const std::string saved = work.Path("pearls.ris");
  ASSERT_TRUE(chain.ExportRIS(saved, ChainList::Pearls));
  const std::string history = chain.EventHistory();

  ScriptedHost importHost;
  test::RecordingHttpClient importHttp;
  MASCitationChain loaded(importHost, importHttp, s_corpus->BaseAddress());
  loaded.ImportRIS(saved, citingAsked, caption);
  EXPECT_EQ(PearlIds(loaded), (std::vector<std::string>{"40", "70"}));
  EXPECT_EQ(loaded.EventHistory(), history);
  EXPECT_TRUE(Requests(importHttp.Addresses(), "Search").empty());
  EXPECT_TRUE(importHost.Messages().empty());
  EXPECT_EQ(caption.History().front(), "Import item #1");

  // Importing the same list again adds no pearl and counts nothing twice.
  const CCRecord shared = loaded.GetRecord(loaded.FindIndex("72", "", ""));
  loaded.ImportRIS(saved, citingAsked, caption);
  EXPECT_EQ(loaded.GetRecord(loaded.FindIndex("72", "", "")), shared);

  // A stop asked for during the first record leaves the second out.
  MASCitationChain stopped(importHost, importHttp, s_corpus->BaseAddress());
  std::vector<int32_t> items;
  stopped.SetEvents({.ImportItem = [&](int32_t item, int32_t count) { items.push_back(item * 10 + count); },
                     .StopRequested = [&] { return !items.empty(); }});
  stopped.ImportRIS(saved, citingAsked, caption);
  EXPECT_EQ(PearlIds(stopped), (std::vector<std::string>{"40"}));
  EXPECT_EQ(items, (std::vector<int32_t>{12}));
  EXPECT_TRUE(stopped.Interrupted());
}

// A saved Pearl List whose pearls cannot be retrieved: 40 is known, 999999 is not, and a chain
// without a reachable service retrieves neither. Written in the one-blank form of files saved
// before the lists were standard RIS, and in the standard form.
const char* const kSavedPearls =
    "TY - Journal\r\nAN - MAS:40\r\nAU - Shannon, Claude\r\nPY - 1948\r\nTI - A Mathematical Theory of "
    "Communication\r\nT2 - Bell System Technical Journal\r\nAB - Entropy.\r\nDO - 10.1/b\r\nUR - n/a\r\n"
    "ER - \r\n\r\n"
    "TY - Conference\r\nAN - MAS:999999\r\nAU - Gone, Ida\r\nPY - 1999\r\nTI - Withdrawn work\r\nT2 - "
    "Lost Proceedings\r\nAB - \r\nDO - \r\nUR - http://x.org/w.pdf\r\nER - \r\n\r\n";
const char* const kSavedPearlsStandard =
    "TY  - JOUR\r\nAN  - MAS:40\r\nAU  - Shannon, Claude\r\nPY  - 1948\r\nTI  - A Mathematical Theory of "
    "Communication\r\nT2  - Bell System Technical Journal\r\nAB  - Entropy.\r\nDO  - 10.1/b\r\nER  - \r\n\r\n"
    "TY  - CONF\r\nAN  - MAS:999999\r\nAU  - Gone, Ida\r\nPY  - 1999\r\nTI  - Withdrawn work\r\nT2  - "
    "Lost Proceedings\r\nUR  - http://x.org/w.pdf\r\nER  - \r\n\r\n";

// During a load the large-citation question can be answered once for every pearl of the file; a
// pearl added by itself is asked Yes or No as before.
TEST_F(RisImport, TheLargeCitationQuestionCanBeAnsweredForTheWholeLoad) {
  test::AddPearl(chain, "71");
  test::AddPearl(chain, "72");
  const std::string saved = work.Path("pearls.ris");
  ASSERT_TRUE(chain.ExportRIS(saved, ChainList::Pearls));
  for (MessageResult answer : {MessageResult::YesToAll, MessageResult::NoToAll}) {
    ScriptedHost loadHost;
    test::RecordingHttpClient loadHttp;
    MASCitationChain loaded(loadHost, loadHttp, s_corpus->BaseAddress());
    loaded.SetLargeCitationLimit(0);  // each pearl is cited once
    loadHost.QueueAnswer(answer);
    loaded.ImportRIS(saved, citingAsked, caption);
    EXPECT_EQ(PearlIds(loaded), (std::vector<std::string>{"71", "72"}));
    ASSERT_EQ(loadHost.Messages().size(), 1u) << "asked once for both pearls";
    EXPECT_EQ(loadHost.Messages()[0].buttons, MessageButtons::YesNoToAll);
    // Limited to 0 the citing articles are not fetched at all; unlimited, each pearl's one is.
    const size_t citingPages = Requests(loadHttp.Addresses(), "Citation").size();
    EXPECT_EQ(citingPages, answer == MessageResult::YesToAll ? 0u : 2u);

    // Outside a load the question is the plain one, and a "to All" is not kept from the load.
    test::AddPearl(loaded, "73");
    ASSERT_EQ(loadHost.Messages().size(), 1u) << "73 is cited by nobody";
    loaded.RemovePearl(loaded.FindIndex("71", "", ""));
    test::AddPearl(loaded, "71");
    ASSERT_EQ(loadHost.Messages().size(), 2u);
    EXPECT_EQ(loadHost.Messages()[1].buttons, MessageButtons::YesNo);
  }
}

TEST_F(RisImport, PearlsThatCannotBeRetrievedKeepWhatTheFileHeld) {
  const std::string saved = work.Path("saved.ris");
  WriteFileReplacing(saved, kSavedPearls);
  chain.ImportRIS(saved, citingAsked, caption);
  EXPECT_EQ(PearlIds(chain), (std::vector<std::string>{"40", "999999"}));
  const int32_t gone = chain.FindIndex("999999", "", "");
  EXPECT_TRUE(chain.Unresolved(gone));
  EXPECT_FALSE(chain.Unresolved(chain.FindIndex("40", "", "")));
  EXPECT_EQ(chain.GetRecord(gone).Source, "Lost Proceedings");
  // Kept, and still named at the end among the references that were not resolved.
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text,
            "Import of the following 1 articles failed:\nGone, Ida (1999). Withdrawn work (kept as the file holds it)");
  chain.ExportRIS(work.Path("again.ris"), ChainList::Pearls);
  const std::string again = ReadFile(work.Path("again.ris"));
  const std::string held = kSavedPearlsStandard;
  EXPECT_EQ(again.substr(again.find("TY  - CONF")), held.substr(held.find("TY  - CONF")));

  // Without the service nothing is retrieved and nothing is lost: saving writes the file back, in
  // the standard form, and that form saves again byte for byte.
  ScriptedHost offlineHost;
  test::FakeHttpClient offline;
  MASCitationChain kept(offlineHost, offline, "http://127.0.0.1:1");
  kept.ImportRIS(saved, citingAsked, caption);
  EXPECT_EQ(PearlIds(kept), (std::vector<std::string>{"40", "999999"}));
  EXPECT_TRUE(kept.Unresolved(1) && kept.Unresolved(2));
  EXPECT_EQ(kept.Count(), 2);
  EXPECT_EQ(offlineHost.Messages().size(), 3u) << "one for each pearl not retrieved, and the list at the end";
  kept.ExportRIS(work.Path("kept.ris"), ChainList::Pearls);
  EXPECT_EQ(ReadFile(work.Path("kept.ris")), kSavedPearlsStandard);
  kept.ImportRIS(saved, citingAsked, caption);
  EXPECT_EQ(kept.Count(), 2) << "loading it again adds nothing";
  MASCitationChain standard(offlineHost, offline, "http://127.0.0.1:1");
  standard.ImportRIS(work.Path("kept.ris"), citingAsked, caption);
  EXPECT_TRUE(standard.Unresolved(1) && standard.Unresolved(2));
  standard.ExportRIS(work.Path("standard.ris"), ChainList::Pearls);
  EXPECT_EQ(ReadFile(work.Path("standard.ris")), kSavedPearlsStandard);

  // Once the service answers, the unresolved pearl is retrieved and grown.
  offline.QueueBody(R"({"d":{"Result":[{"ID":40,"Title":"A Mathematical Theory of Communication",)"
                    R"("CitationCount":0,"ReferenceCount":0}]}})");
  int32_t index = 1;
  ASSERT_TRUE(kept.AddPearl(index, "40", "", citingAsked, caption));
  EXPECT_FALSE(kept.Unresolved(1));
  EXPECT_EQ(kept.GetRecord(1).Source, "") << "the service's record replaces the file's";
  EXPECT_EQ(kept.PearlOrder(), (std::vector<int32_t>{1, 2})) << "it keeps its place";

  // Removed and added again, an unresolved pearl is retrieved, not grown from the file's data.
  ASSERT_TRUE(kept.RemovePearl(2));
  index = 2;
  EXPECT_FALSE(kept.AddPearl(index, "999999", "", citingAsked, caption));
  EXPECT_EQ(kept.LastRefusal(), PearlRefusal::NoResponse);
}

TEST_F(RisImport, KeptPearlsKeepEveryAuthorOfTheFile) {
  const std::string saved = work.Path("authors.ris");
  WriteFileReplacing(saved, "TY  - JOUR\r\nAN  - MAS:999999\r\nAU  - Gone, Ida\r\nAU  - Second, Sam\r\nAU  - Solo\r\n"
                            "TI  - Withdrawn work\r\nER  - \r\n");
  chain.ImportRIS(saved, citingAsked, caption);
  const int32_t gone = chain.FindIndex("999999", "", "");
  ASSERT_TRUE(chain.Unresolved(gone));
  EXPECT_EQ(chain.GetRecord(gone).FirstAuthor, "Gone, Ida");
  EXPECT_EQ(chain.GetRecord(gone).CoAuthors, "Second, Sam, Solo, , ");
}

TEST_F(RisImport, OtherToolsLayoutWithBareLineFeeds) {
  bool sawCopy = false;
  host.OnDoEvents([&] { sawCopy = sawCopy || CopyLeft(); });
  chain.ImportRIS(test::DataPath("chain_other_tools.ris"), citingAsked, caption);
  EXPECT_TRUE(sawCopy);
  EXPECT_FALSE(CopyLeft());

  // Two AU lines: the first one's surname; "ER" alone does not end a record; the last record needs
  // no ER line; bytes that are not UTF-8 read as Windows-1252.
  auto searches = Requests(http.Addresses(), "Search");
  ASSERT_EQ(searches.size(), 3u);
  EXPECT_EQ(searches[0]["TitleQuery"] + " " + searches[0]["AuthorQuery"],
            "a%20mathematical%20theory%20of%20communication shannon");
  EXPECT_EQ(searches[1]["TitleQuery"] + " " + searches[1]["AuthorQuery"], "café%20society%20revisited müller");
  EXPECT_EQ(searches[2]["TitleQuery"] + " " + searches[2]["AuthorQuery"],
            "last%20record%20without%20an%20end o%20neil");
  EXPECT_EQ(PearlIds(chain), std::vector<std::string>{"40"});
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text,
            "Import of the following 2 articles failed:\nMüller, J. (1999). Café society revisited\n"
            "O'Neil. Last record without an end");
  EXPECT_EQ(host.Messages()[0].title, "XCR Import");
}

TEST_F(RisImport, FailuresLeaveNoCopyAndMissingFilesChangeNothing) {
  test::AddPearl(chain, "40");
  try {
    chain.ImportRIS(work.Path("absent.ris"), citingAsked, caption);
    ADD_FAILURE() << "a missing file imported";
  } catch (const ChainError& e) {
    EXPECT_NE(std::string(e.what()).find(work.Path("absent.ris")), std::string::npos) << e.what();
  }
  EXPECT_THROW(chain.ImportRIS(work.Root().string(), citingAsked, caption), ChainError);
  EXPECT_EQ(chain.Count(), 1);
  EXPECT_TRUE(host.Messages().empty());

  host.OnDoEvents([] { throw std::runtime_error("window closed"); });
  EXPECT_THROW(chain.ImportRIS(test::DataPath("chain_other_tools.ris"), citingAsked, caption), std::runtime_error);
  EXPECT_FALSE(CopyLeft());
  EXPECT_FALSE(host.Busy());
}

TEST_F(RisImport, FilesWithoutRecordsAreRefusedAndChangeNothing) {
  test::AddPearl(chain, "40");
  const CCRecord before = chain.GetRecord(1);
  struct Case {
    const char* name;
    const char* content;
    const char* reason;
  } cases[] = {
      {"empty.ris", "", "it is empty"},
      {"blank.ris", "\r\n  \r\n", "it is empty"},
      {"refs.ris", "@article{Shannon1948,\n  title = {A Mathematical Theory of Communication}\n}\n",
       "it is a BibTeX file"},
      {"refs.bib", "% exported by hand\n@comment{nothing here}\n", "it holds no BibTeX entry"},
      {"savedrecs.txt", "FN Thomson Reuters Web of Knowledge\r\nVR 1.0\r\nPT J\r\nTI A theory\r\nER\r\nEF\r\n",
       "it is a Web of Science file"},
      {"no_type.ris", "AU  - Shannon, Claude\r\nTI  - A Mathematical Theory of Communication\r\nER  - \r\n",
       "no \"TY  - \" line"},
  };
  for (const Case& c : cases) {
    const std::string path = work.Path(c.name);
    WriteFileReplacing(path, c.content);
    try {
      chain.ImportRIS(path, citingAsked, caption);
      ADD_FAILURE() << c.name << " was loaded";
    } catch (const ChainError& e) {
      EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(chain.Count(), 1);
  EXPECT_EQ(chain.GetRecord(1), before);
  EXPECT_EQ(chain.PearlOrder(), std::vector<int32_t>{1});
  EXPECT_TRUE(host.Messages().empty());
}

// A record whose ER line is missing ends at the next TY line, and each is looked up with its own
// author: read on, the second title would have been searched under the first record's author.
TEST_F(RisImport, MissingErEndsTheRecordAtTheNextType) {
  const std::string path = work.Path("missing_er.ris");
  WriteFileReplacing(path,
                     "TY  - JOUR\r\nAU  - Nobody, N.\r\nTI  - Perceptrons revisited\r\n"
                     "TY  - JOUR\r\nAU  - Shannon, Claude\r\nAU  - Weaver, Warren\r\n"
                     "TI  - A Mathematical Theory of Communication\r\nER  - \r\n");
  const std::vector<RisReference> references = ReadRisReferences(ReadFile(path));
  ASSERT_EQ(references.size(), 2u);
  EXPECT_EQ(references[1].coAuthors, std::vector<std::string>{"Weaver, Warren"});
  chain.ImportRIS(path, citingAsked, caption);
  auto searches = Requests(http.Addresses(), "Search");
  ASSERT_EQ(searches.size(), 2u);
  EXPECT_EQ(searches[0]["AuthorQuery"], "nobody");
  EXPECT_EQ(searches[1]["AuthorQuery"], "shannon");
  EXPECT_EQ(PearlIds(chain), std::vector<std::string>{"40"});
}

// A reference manager's BibTeX: each entry looked up by its title, first author, DOI and year.
TEST_F(RisImport, BibTeXFilesLoadAsSeeds) {
  const std::string path = work.Path("library.BIB");
  WriteFileReplacing(path,
                     "@string{bell = \"Bell System Technical Journal\"}\n"
                     "@article{shannon48, author = {Claude E. Shannon and Warren Weaver},\n"
                     "  title = {A {Mathematical} Theory of Communication}, journal = bell, year = 1948}\n"
                     "@inproceedings{olsen, author = \"Olsen, Bruno\", title = \"Sparse coding\",\n"
                     "  doi = {10.1000/SC.81}}\n"
                     "@misc{nowhere, title = {Nothing like it}, author = {Nobody}}\n");
  chain.ImportRIS(path, citingAsked, caption);
  EXPECT_EQ(PearlIds(chain), (std::vector<std::string>{"40", "81"}));
  auto searches = Requests(http.Addresses(), "Search");
  ASSERT_EQ(searches.size(), 3u);
  EXPECT_EQ(searches[0]["AuthorQuery"], "shannon");
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "Import of the following 1 articles failed:\nNobody. Nothing like it");
}

TEST_F(RisImport, TitleLookUpPrefersTheDoiThenTheYear) {
  struct Case {
    const char* doi;
    const char* year;
    const char* found;
  } cases[] = {
      {"10.1000/sc.81", "", "81"},
      {"https://doi.org/10.1000/SC.80", "2005", "80"},  // the DOI wins over the year
      {"doi:10.1000/sc.81", "", "81"},
      {"", "2005", "81"},
      {"", "1996", "80"},
      {"10.1000/elsewhere", "2005", "N/A"},  // no hit bears it: no namesake instead
  };
  for (const Case& c : cases) {
    std::string author = "Olsen";
    EXPECT_EQ(chain.FindPKFromRef("Sparse coding", author, true, c.doi, c.year), c.found) << c.doi << " " << c.year;
  }
  // A title written otherwise than the service's still finds the work its DOI names.
  std::string olsen = "Olsen";
  EXPECT_EQ(chain.FindPKFromRef("Sparse coding revisited", olsen, true, "10.1000/SC.80"), "80");
  // A title hit without a DOI gives way to the work the DOI names, and is taken when none bears it.
  EXPECT_EQ(chain.FindPKFromRef("Sparse coding", olsen, true, "10.1000/ec.83", "2010"), "83");
  EXPECT_EQ(chain.FindPKFromRef("Sparse coding", olsen, true, "10.1000/unknown", "2010"), "82");
  // Without either the first hit whose title matches is taken, as before.
  std::string author = "Olsen";
  const std::string first = chain.FindPKFromRef("Sparse coding", author, true);
  EXPECT_TRUE(first == "80" || first == "81" || first == "82") << first;
  EXPECT_TRUE(host.Messages().empty());
}

// BibTeX as reference managers write it: LaTeX accents in names and titles, and a paper's
// proceedings as a crossref entry of their own, which is no reference and no failure.
TEST_F(RisImport, BibTeXWithLatexAccentsAndCrossrefs) {
  const std::string path = work.Path("managed.bib");
  WriteFileReplacing(path,
                     "@inproceedings{p1, author = {P{\\'e}rez, Ana}, title = {Pearl growing in citation networks},\n"
                     "  crossref = {Proc16}}\n"
                     "@proceedings{proc16, title = {Proceedings of Growing}, year = 2016}\n"
                     "@article{o1, author = {Hans {\\O}rsted}, title = {Electromagnetism revisited}, year = 1999}\n"
                     "@article{m1, author = {M{\\\"u}ller, J{\\\"o}rg}, title = {M\\\"{u}ller's method}, year = 2001}\n");
  chain.ImportRIS(path, citingAsked, caption);
  EXPECT_EQ(PearlIds(chain), (std::vector<std::string>{"91", "92", "93"}));
  EXPECT_TRUE(host.Messages().empty()) << host.Messages()[0].text;
  EXPECT_TRUE(chain.ImportFailures().empty());
}

// A title wrapped onto an untagged line is looked up whole, and a dated year is its year: the
// first line alone, or the date as it stands, would take the namesake from 2010.
TEST_F(RisImport, WrappedTitlesAndDatedYears) {
  const std::string path = work.Path("wrapped.ris");
  WriteFileReplacing(path, "TY  - JOUR\r\nAU  - Pérez, Ana\r\nTI  - Pearl growing\r\n   in citation networks\r\n"
                           "PY  - 2016/12//\r\nER  - \r\n");
  chain.ImportRIS(path, citingAsked, caption);
  EXPECT_EQ(PearlIds(chain), (std::vector<std::string>{"91"}));
}

// DOIs and IDs one a line, as pasted from a spreadsheet: each DOI is asked for by itself, each ID
// retrieved; what the service doesn't know is named in the end message, and no pearl is blank.
TEST_F(RisImport, PlainListsOfDoisAndIdsLoadAsSeeds) {
  const std::string path = work.Path("seeds.txt");
  WriteFileReplacing(path,
                     "\xEF\xBB\xBF# from the screening sheet\r\n"
                     "https://doi.org/10.1000/SC.81\r\n"
                     "\r\n"
                     "  40  \r\n"
                     "doi:10.1000/nowhere\r\n"
                     "999\r\n");
  EXPECT_EQ(PearlListProblem(path, ReadWholeFile(path)), "");
  EXPECT_EQ(ReadPearlListReferences(path, ReadWholeFile(path)).size(), 4u);
  chain.ImportRIS(path, citingAsked, caption);
  EXPECT_EQ(PearlIds(chain), (std::vector<std::string>{"81", "40"}));
  EXPECT_TRUE(Requests(http.Addresses(), "Search").empty()) << "nothing is looked up by title";
  size_t doiQueries = 0;
  for (const std::string& address : http.Addresses()) {
    if (address.find("&DOIQuery=10.1000%2Fsc.81&") != std::string::npos) ++doiQueries;
  }
  EXPECT_EQ(doiQueries, 1u);
  ASSERT_EQ(host.Messages().size(), 1u);
  EXPECT_EQ(host.Messages()[0].text, "Import of the following 2 articles failed:\nDOI 10.1000/nowhere\nID 999");
  EXPECT_EQ(chain.ImportFailures(), (std::vector<std::string>{"DOI 10.1000/nowhere", "ID 999"}));
  for (int32_t i = 1; i <= chain.Count(); ++i) EXPECT_FALSE(chain.GetRecord(i).Title.empty()) << i;
}

TEST(IdentifierList, OnlyFilesOfDoisAndIdsAreLists) {
  const std::vector<RisReference> read = ReadIdentifierList("10.1/a(b)c\nhttps://openalex.org/W2099326003\nW7\n");
  ASSERT_EQ(read.size(), 3u);
  EXPECT_EQ(read[0].doi, "10.1/a(b)c");
  EXPECT_EQ(read[1].listedId, "W2099326003");
  EXPECT_EQ(read[2].listedId, "W7");
  EXPECT_FALSE(IsIdentifierList("TY  - JOUR\nTI  - A title\nER  - \n"));
  for (const char* notAList : {"", "\n# only a comment\n", "FN Clarivate Analytics Web of Science\nVR 1.0\n", "@article{a, title={T}}\n",
                               "10.1000/one\nShannon 1948\n", "10.1000/one\nid;drop\n"}) {
    EXPECT_FALSE(IsIdentifierList(notAList)) << notAList;
    EXPECT_NE(PearlListProblem("seeds.txt", notAList), "") << notAList;
  }
}

// Five pearls that cite one another, added in an order unlike that of the table, among namesakes
// ("Editorial" by other authors in other years) and one work listed under two IDs (33 and 34).
TEST(PearlListRoundTrip, SaveLoadSaveGivesTheSameFiles) {
  using test::Publication;
  test::ServedCorpus served({Publication(10, "Shared method", {}, "Ames", "Al", 1990),
                             Publication(11, "Old data", {}, "Bose", "Bo", 1991),
                             Publication(12, "Newer data", {}, "Cruz", "Cy", 1999),
                             Publication(30, "Editorial", {}, "Lee", "Li", 1994),
                             Publication(31, "Editorial", {10}, "Kim", "Ki", 1997),
                             Publication(32, "Editorial", {}, "Lee", "Li", 2000),
                             Publication(33, "Graph growth", {10}, "Berg", "Ole", 2003),
                             Publication(34, "Graph Growth", {10}, "Berg", "Ole", 2004),
                             Publication(101, "First pearl", {10, 11, 30}, "Dahl", "Di", 1995),
                             Publication(102, "Second pearl", {101, 10, 31}, "Eck", "Ed", 1998),
                             Publication(103, "Third pearl", {101, 102, 12, 32}, "Fox", "Fe", 2001),
                             Publication(104, "Fourth pearl", {102, 103, 33}, "Gill", "Gus", 2004),
                             Publication(105, "Fifth pearl", {101, 103, 104, 34}, "Hale", "Hu", 2007),
                             Publication(40, "Reply", {101, 105}, "Ng", "Nia", 2008),
                             Publication(41, "Reply", {102}, "Roy", "Ray", 2009)});
  test::TempDir work;
  ScriptedHost host;
  CurlHttpClient http;
  ScriptedCaption caption;
  int32_t citingAsked = 0;
  auto save = [&](const MASCitationChain& c, const std::string& stem) {
    std::string files;
    for (ChainList list : {ChainList::Pearls, ChainList::Cited, ChainList::Citing}) {
      const std::string path = work.Path(stem + std::to_string(static_cast<int>(list)) + ".ris");
      c.ExportRIS(path, list);
      files += ReadFile(path) + "|";
    }
    return files;
  };

  MASCitationChain session(host, http, served.BaseAddress());
  for (const char* pk : {"105", "102", "104", "101", "103"}) ASSERT_NE(test::AddPearl(session, pk), 0) << pk;
  EXPECT_EQ(session.Count(), 14) << "the two listings of Graph growth are one record; the namesakes are five";
  const std::string first = save(session, "first");

  MASCitationChain loaded(host, http, served.BaseAddress());
  loaded.ImportRIS(work.Path("first0.ris"), citingAsked, caption);
  EXPECT_EQ(save(loaded, "second"), first);
  std::vector<std::string> order;
  for (int32_t i : loaded.PearlOrder()) order.push_back(loaded.GetRecord(i).PK);
  EXPECT_EQ(order, (std::vector<std::string>{"105", "102", "104", "101", "103"}));
  EXPECT_TRUE(host.Messages().empty());
}

TEST(RisReader, ContinuationLinesAndDates) {
  const std::vector<RisReference> read = ReadRisReferences(
      "TY  - JOUR\nAU  - Pérez,\n  Ana\nAU  - Second, Sam\nTI  - A title\n  wrapped twice\n\tand again\n"
      "AB  - First line.\nSecond line.\nPY  - 2016///\nER\nDO  - 10.1/x\nER  - \n"
      "stray text between records\nTY  - CONF\nY1  - 2016/03/01/\nN2  - An abstract.\nER  - \n");
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].firstAuthor, "Pérez, Ana");
  EXPECT_EQ(read[0].coAuthors, std::vector<std::string>{"Second, Sam"});
  EXPECT_EQ(read[0].title, "A title wrapped twice and again");
  EXPECT_EQ(read[0].abstract, "First line. Second line.");
  EXPECT_EQ(read[0].year, "2016");
  EXPECT_EQ(read[0].doi, "10.1/x") << "a lone ER is passed over";
  EXPECT_EQ(read[1].year, "2016");
  EXPECT_EQ(read[1].abstract, "An abstract.");
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
      {"ris/example_extraneous_data.ris", 2, "Marx, Karl", "Title of reference"},
      {"ris/example_multiline.ris", 3, "", ""},
      {"ris/jabref_RisImporterTest6.ris", 1, "Sears, Margaret E",
       "Chelation: Harnessing and Enhancing Heavy Metal Detoxification\u2014A Review"},
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
}

}  // namespace
}  // namespace wendrel
