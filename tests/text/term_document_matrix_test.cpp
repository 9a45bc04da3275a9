// TermDocumentMatrix: text preparation rules, vocabulary, counts and weights against a dense
// computation, ".tdm" files and their naming.
#include "text/term_document_matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "platform/scripted_host.h"
#include "test_paths.h"
#include "text/document_set.h"
#include "text/text_error.h"

namespace wendrel {
namespace {

namespace fs = std::filesystem;

class Tdm : public ::testing::Test {
 protected:
  // A one-field set of the texts, as if read from `file` (so that ".tdm" files go beside it).
  void Fill(const std::vector<std::string>& texts) {
    std::vector<std::vector<std::string>> rows;
    for (const auto& t : texts) rows.push_back({t});
    set.SetDocuments(rows, 0, static_cast<int32_t>(rows.size()));
    int32_t n = set.DocumentCount();
    tdm.AssignText(set, n, false);
  }
  void Prepare(const std::vector<std::string>& texts, bool keepCapitalised = true, uint8_t minimumLength = 3,
               bool stem = false) {
    Fill(texts);
    tdm.Preprocess(false, keepCapitalised, minimumLength, test::DataPath("text_stopwords.txt"), stem);
  }
  std::vector<std::string> Terms() const {
    std::vector<std::string> terms;
    for (int32_t t = 1; t <= tdm.TermCount(); ++t) terms.push_back(tdm.Term(t));
    return terms;
  }
  static std::string Folder(const std::string& name) {
    fs::path folder = fs::path(::testing::TempDir()) / "tdm_test" / name;
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder.string();
  }
  ScriptedHost host;
  DocumentSet set{host};
  TermDocumentMatrix tdm{host};
};

TEST_F(Tdm, TokeniseCaseLengthAndStopWords) {
  Prepare({"The state-of-the-art caf\xC3\xA9, in 2020: UK AI is x DNA iPhone"});
  EXPECT_EQ(tdm.Text(1), "state art caf UK AI DNA iPhone");
  EXPECT_EQ(host.DoEventsCount(), 1);
}

TEST_F(Tdm, WithoutKeepingCapitalsShortAcronymsGo) {
  Prepare({"The state-of-the-art caf\xC3\xA9, in 2020: UK AI is x DNA iPhone"}, false);
  EXPECT_EQ(tdm.Text(1), "state art caf dna iphone");
}

TEST_F(Tdm, StopWordsMatchExactlyAndShortLinesAreSkipped) {
  // "of" and "is" are stop-word lines shorter than the minimum length, so they are not loaded.
  Prepare({"Stop and THE of is and"}, true, 2);
  EXPECT_EQ(tdm.Text(1), "stop THE");
  TermDocumentMatrix lenient(host);
  int32_t n = 1;
  lenient.AssignText(set, n, false);
  lenient.Preprocess(false, true, 3, test::DataPath("text_stopwords.txt"), false);
  EXPECT_EQ(lenient.Text(1), "stop THE");
}

TEST_F(Tdm, LongTokensAndSingleLettersAreDropped) {
  Prepare({"A b Cd supercalifragilistic fifteenletterss sixteenlettersxx"}, true, 0);
  EXPECT_EQ(tdm.Text(1), "cd fifteenletterss");
}

TEST_F(Tdm, SkipCleaningSplitsAtSingleSpacesAndStemming) {
  Fill({"Connected  connecting, cats"});
  tdm.Preprocess(true, true, 3, test::DataPath("text_stopwords.txt"), true);
  EXPECT_EQ(tdm.Text(1), "connect connecting, cat");
  tdm.BuildVocab(0, 999);
  EXPECT_EQ(tdm.TermIndex("cats"), tdm.TermIndex("cat"));
  EXPECT_EQ(tdm.Term(tdm.TermIndex("connected")), "connect");
  EXPECT_EQ(tdm.TermIndex("dogs"), -1);
}

TEST_F(Tdm, StopWordListKeepsItsFirstThousandWords) {
  std::string path = Folder("stop") + "/many.txt";
  {
    std::ofstream out(path);
    for (int i = 0; i < 1001; ++i) out << "word" << char('a' + i / 26 / 26 % 26) << char('a' + i / 26 % 26) << char('a' + i % 26) << "\n";
  }
  // Lines 1 to 1000 (wordaaa .. wordbml) are stop words; line 1001 (wordbmm) is not.
  Fill({"wordaaa wordbml wordbmm"});
  tdm.Preprocess(false, true, 3, path, false);
  EXPECT_EQ(tdm.Text(1), "wordbmm");
}

TEST_F(Tdm, MissingStopWordFileIsReported) {
  Fill({"some text"});
  EXPECT_THROW(tdm.Preprocess(false, true, 3, "/nonexistent/common_words.txt", false), TextError);
}

TEST_F(Tdm, EmptyCorpusBecomesFoo) {
  Prepare({"the of is", "1 2 3 !!"});
  tdm.BuildVocab(0, 999);
  EXPECT_EQ(Terms(), std::vector<std::string>{"foo"});
  EXPECT_EQ(tdm.LetterStart(6), 1);
  EXPECT_EQ(tdm.LetterStart(7), 2);
  tdm.BuildTDM(0, 10);
  EXPECT_EQ(tdm.TermCount(), 1);
  EXPECT_EQ(tdm.DocFreq(1), 0);
}

TEST_F(Tdm, VocabularyIsOrderedByFirstLetterThenFirstAppearance) {
  Prepare({"cherry apple ZEBRA banana", "avocado apple cherry"});
  tdm.BuildVocab(0, 999);
  EXPECT_EQ(Terms(), (std::vector<std::string>{"ZEBRA", "apple", "avocado", "banana", "cherry"}));
  EXPECT_EQ(tdm.LetterStart(0), 1);
  EXPECT_EQ(tdm.LetterStart(1), 2);
  EXPECT_EQ(tdm.LetterStart(2), 4);
  EXPECT_EQ(tdm.LetterStart(27), 6);
}

TEST_F(Tdm, BucketLimitZeroKeepsTheFirstTokenOfEachBucket) {
  Prepare({"apple avocado banana blueberry", "apple cherry"});
  tdm.BuildVocab(0, 0);
  EXPECT_EQ(Terms(), (std::vector<std::string>{"apple", "banana", "cherry"}));
  tdm.BuildTDM(1, 10);
  EXPECT_EQ(tdm.TermFreq(1, 1), 1);
  EXPECT_EQ(tdm.DocFreq(1), 2);
  EXPECT_EQ(tdm.GlobalFreq(2), 1);
}

TEST_F(Tdm, FilterThatKeepsNothingLeavesEverything) {
  Prepare({"apple banana", "apple cherry"});
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(5, 4);
  EXPECT_EQ(tdm.TermCount(), 3);
  EXPECT_EQ(tdm.Text(2), "apple cherry");
  EXPECT_EQ(tdm.TermFreq(1, 2), 1);
}

TEST_F(Tdm, DocumentFrequencyFilterRenumbersTerms) {
  Prepare({"apple banana apple", "apple cherry", "apple banana cherry date"});
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(2, 2);
  EXPECT_EQ(Terms(), (std::vector<std::string>{"banana", "cherry"}));
  EXPECT_EQ(tdm.Matrix().RowCount(), 2);
  EXPECT_EQ(tdm.TermFreq(1, 1), 1);
  EXPECT_EQ(tdm.TermFreq(2, 3), 1);
  EXPECT_EQ(tdm.GlobalFreq(1), 2);
  EXPECT_EQ(tdm.Text(1), "");  // texts are gone after counting
  EXPECT_EQ(tdm.TermFreq(3, 1), 0);
  EXPECT_EQ(tdm.DocFreq(0), 0);
  EXPECT_EQ(tdm.GlobalFreq(3), 0);
}

// tf-idf and the other schemes against counts computed directly from the token lists.
TEST_F(Tdm, WeightsMatchADenseComputation) {
  std::mt19937 random(11);
  const std::vector<std::string> words = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "theta", "kappa"};
  std::uniform_int_distribution<size_t> pick(0, words.size() - 1);
  std::vector<std::string> texts;
  std::vector<std::map<std::string, int>> counts;
  for (int d = 0; d < 30; ++d) {
    std::string text;
    std::map<std::string, int> c;
    for (int k = 0; k < 1 + d % 7; ++k) {
      const std::string& w = words[pick(random) % (d % 3 == 0 ? 3 : words.size())];
      text += w + " ";
      ++c[w];
    }
    texts.push_back(text);
    counts.push_back(c);
  }
  Prepare(texts);
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(2, 25);
  const double n = 30;
  std::map<std::string, int> df;
  for (const auto& c : counts)
    for (const auto& [w, k] : c) ++df[w];
  for (int32_t t = 1; t <= tdm.TermCount(); ++t) {
    const std::string w = tdm.Term(t);
    ASSERT_TRUE(df[w] >= 2 && df[w] <= 25) << w;
    EXPECT_EQ(tdm.DocFreq(t), df[w]);
    int global = 0;
    for (const auto& c : counts) global += c.count(w) ? c.at(w) : 0;
    for (int32_t d = 1; d <= 30; ++d) {
      const auto& c = counts[static_cast<size_t>(d - 1)];
      double tf = c.count(w) ? c.at(w) : 0;
      double largest = 0;
      for (const auto& [v, k] : c)
        if (df[v] >= 2 && df[v] <= 25) largest = std::max<double>(largest, k);
      EXPECT_DOUBLE_EQ(tdm.TermWeight(t, d, 0, false), tf);
      EXPECT_NEAR(tdm.TermWeight(t, d, 1, false), tf * std::log(n / df[w]), 1e-9);
      EXPECT_NEAR(tdm.TermWeight(t, d, 2, false), tf * global / df[w], 1e-9);
      EXPECT_NEAR(tdm.TermWeight(t, d, 0, true), largest ? tf / largest : 0, 1e-9);
      EXPECT_EQ(tdm.TermWeight(t, d, 5, false), 0);
    }
  }
  tdm.WeightMatrixValues(1);
  EXPECT_TRUE(tdm.WeightsApplied());
  for (int32_t t = 1; t <= tdm.TermCount(); ++t)
    for (int32_t d = 1; d <= 30; ++d) {
      const auto& c = counts[static_cast<size_t>(d - 1)];
      double tf = c.count(tdm.Term(t)) ? c.at(tdm.Term(t)) : 0;
      EXPECT_NEAR(tdm.TermWeight(t, d, 5, false), tf * std::log(n / df[tdm.Term(t)]), 1e-5);
    }
}

TEST_F(Tdm, TermInEveryDocumentWeighsNothing) {
  Prepare({"apple banana", "apple cherry", "apple banana"});
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(1, 3);
  ASSERT_EQ(tdm.Term(1), "apple");
  EXPECT_EQ(tdm.TermWeight(1, 2, 1, false), 0);
  tdm.WeightMatrixValues(1);
  EXPECT_EQ(tdm.TermWeight(1, 2, 1, false), 0);
  EXPECT_GT(tdm.TermWeight(3, 2, 1, false), 0);
}

TEST_F(Tdm, NormalisingADocumentWithoutScaleGivesZero) {
  Prepare({"apple banana", "apple banana cherry", "cherry date", "apple banana"});
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(1, 4);
  tdm.WeightMatrixValues(1);
  // Document 1 holds apple and banana, each weighted ln(4/3) < 0.5: its largest value rounds to 0.
  for (int32_t t = 1; t <= tdm.TermCount(); ++t) {
    double w = tdm.TermWeight(t, 1, 1, true);
    EXPECT_FALSE(std::isnan(w));
    EXPECT_EQ(w, 0);
  }
  EXPECT_GT(tdm.TermWeight(tdm.TermIndex("cherry"), 3, 1, true), 0);
}

TEST_F(Tdm, LinkModeStripsSchemesAndPrefixesTerms) {
  set.SetDocuments({{"see http://example.org and https://other.net"}, {"see http://example.org again"}}, 0, 2);
  int32_t n = 2;
  tdm.AssignText(set, n, true);
  EXPECT_EQ(tdm.Text(1), "see example.org and other.net");
  tdm.Preprocess(false, true, 3, test::DataPath("text_stopwords.txt"), false);
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(2, 2);
  EXPECT_EQ(Terms(), (std::vector<std::string>{"http://example", "http://org", "http://see"}));
}

TEST_F(Tdm, AssignTextWorksOnceAndLowersTheMaximum) {
  set.SetDocuments({{"first text", "not expressed"}, {"second", "x"}}, 11, 2);
  set.SetFieldExpressed(1, false);
  int32_t n = 10;
  tdm.AssignText(set, n, false);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(tdm.Text(1), "first text");
  EXPECT_TRUE(tdm.TextAssigned());
  DocumentSet other(host);
  other.SetDocuments({{"other"}, {"other"}, {"other"}}, 0, 3);
  int32_t m = 3;
  tdm.AssignText(other, m, false);
  EXPECT_EQ(tdm.DocCount(), 2);
  EXPECT_EQ(tdm.Text(1), "first text");
}

TEST_F(Tdm, FileNamesFollowTheDocumentFile) {
  std::string folder = Folder("my.dir");
  std::string path = folder + "/docs.txt";
  std::ofstream(path) << "first document text\nsecond document text\n";
  ASSERT_TRUE(set.LoadDocuments(path, 0, "\n", 0, 0, false));
  int32_t n = 2;
  tdm.AssignText(set, n, false);
  EXPECT_EQ(tdm.FilePath(), folder + "/docs_0.tdm");
  tdm.SetVersion(7);
  EXPECT_EQ(tdm.FilePath(), folder + "/docs_7.tdm");

  // Handed-over documents live in the program's folder.
  TermDocumentMatrix handed(host);
  Fill({"a text", "b text"});
  int32_t m = 2;
  handed.AssignText(set, m, false);
  EXPECT_EQ(handed.FilePath(), (fs::path(set.FilePath()) / "temp_0.tdm").string());
}

TEST_F(Tdm, SavedFileReadsBackItsWeights) {
  std::string folder = Folder("save");
  std::string path = folder + "/corpus.txt";
  std::ofstream(path) << "apple banana apple cherry\nbanana cherry date\napple date date elder\nbanana elder\n";
  ASSERT_TRUE(set.LoadDocuments(path, 0, "\n", 0, 0, false));
  int32_t n = set.DocumentCount();
  tdm.AssignText(set, n, false);
  tdm.Preprocess(false, true, 3, test::DataPath("text_stopwords.txt"), false);
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(2, 3);
  tdm.WeightMatrixValues(1);
  tdm.SaveTDM(1, false, false, true);
  EXPECT_EQ(tdm.FilePath(), folder + "/corpus_0.tdm");
  std::string text = test::ReadFile(tdm.FilePath());
  EXPECT_EQ(text.substr(0, text.find('\n') + 1), std::to_string(tdm.TermCount()) + "\t4\tWeight=1\tNormalise=False\r\n");

  TermDocumentMatrix back(host);
  int32_t m = n;
  back.AssignText(set, m, false);
  back.LoadTDM(false);
  ASSERT_EQ(back.TermCount(), tdm.TermCount());
  for (int32_t t = 1; t <= tdm.TermCount(); ++t) {
    EXPECT_EQ(back.Term(t), tdm.Term(t));
    for (int32_t d = 1; d <= 4; ++d)
      EXPECT_NEAR(back.TermWeight(t, d, 0, false), tdm.TermWeight(t, d, 1, false), 1e-6) << t << " " << d;
  }

  // A new version goes beside the first.
  tdm.SaveTDM(0, true, true, true);
  EXPECT_EQ(tdm.Version(), 1);
  EXPECT_EQ(test::ReadFile(tdm.FilePath()), std::to_string(tdm.TermCount()) + "\t4\tWeight=0\tNormalise=True\r\n");
}

TEST_F(Tdm, CountsAreWrittenAsWholeNumbers) {
  std::string folder = Folder("counts");
  std::string path = folder + "/c.txt";
  std::ofstream(path) << "apple apple banana\nbanana cherry\n";
  ASSERT_TRUE(set.LoadDocuments(path, 0, "\n", 0, 0, false));
  int32_t n = 2;
  tdm.AssignText(set, n, false);
  tdm.Preprocess(false, true, 3, test::DataPath("text_stopwords.txt"), false);
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(1, 2);
  tdm.SaveTDM(0, false, false, false);
  EXPECT_EQ(test::ReadFile(tdm.FilePath()),
            "3\t2\tWeight=0\tNormalise=False\r\napple\t2\t0\r\nbanana\t1\t1\r\ncherry\t0\t1\r\n");
  // Read with a document-frequency column, the first number after the term is that frequency.
  std::ofstream(tdm.FilePath(), std::ios::trunc) << "2\t2\tWeight=0\tNormalise=False\r\nx\t1\t0.25\t0\r\ny\t2\t3\t4\r\n";
  tdm.LoadTDM(true);
  EXPECT_EQ(tdm.DocFreq(2), 2);
  EXPECT_FLOAT_EQ(tdm.Matrix().Value(1, 1), 0.25f);
  EXPECT_EQ(tdm.TermFreq(2, 2), 4);
}

TEST_F(Tdm, MissingVersionIsError5000AndChangesNothing) {
  Prepare({"apple banana", "apple cherry"});
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(1, 2);
  tdm.SetVersion(200);
  try {
    tdm.LoadTDM(false);
    FAIL() << "no error";
  } catch (const TextError& e) {
    EXPECT_EQ(e.Number(), 5000);
    EXPECT_STREQ(e.what(), "TDM file version does not exist (try lower number)");
  }
  EXPECT_EQ(tdm.TermCount(), 3);
}

TEST_F(Tdm, TruncatedFileIsReportedAndChangesNothing) {
  std::string folder = Folder("truncated");
  std::string path = folder + "/t.txt";
  std::ofstream(path) << "apple banana\napple cherry\n";
  ASSERT_TRUE(set.LoadDocuments(path, 0, "\n", 0, 0, false));
  int32_t n = 2;
  tdm.AssignText(set, n, false);
  std::ofstream(tdm.FilePath()) << "3\t2\tWeight=0\tNormalise=False\r\napple\t1\t1\r\n";
  EXPECT_THROW(tdm.LoadTDM(false), TextError);
  std::ofstream(tdm.FilePath(), std::ios::trunc) << "1\t2\tWeight=0\tNormalise=False\r\napple\t1\r\n";
  EXPECT_THROW(tdm.LoadTDM(false), TextError);
  EXPECT_EQ(tdm.TermCount(), 0);
  EXPECT_EQ(tdm.DocCount(), 2);
}

TEST(StopWordList, ShippedListIsLowerCaseAndWithinTheLimit) {
  std::ifstream in(WENDREL_STOP_WORDS);
  ASSERT_TRUE(in);
  std::set<std::string> words;
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) {
    ++lines;
    EXPECT_FALSE(line.empty());
    for (char c : line) EXPECT_TRUE(c >= 'a' && c <= 'z') << line;
    words.insert(line);
  }
  EXPECT_LE(lines, 1000);
  EXPECT_EQ(words.size(), static_cast<size_t>(lines));
  EXPECT_TRUE(words.count("the") && words.count("which") && words.count("however"));
}

}  // namespace
}  // namespace wendrel
