// TermDocumentMatrix: text preparation rules, vocabulary, counts and weights against a dense
// computation, ".tdm" files and their naming.
#include "text/term_document_matrix.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>

#include "text_fixtures.h"

namespace wendrel {
namespace {

const std::string kStopWords = test::DataPath("text_stopwords.txt");

class Tdm : public test::TextTest {
 protected:
  // One document per text, prepared with the sample stop words, vocabulary built.
  void Prepare(const std::vector<std::string>& texts) {
    Fill(texts);
    Prepare();
  }
  // The same from a file of one document a line, so that ".tdm" files go beside it.
  void Load(const std::string& name, const std::string& content) {
    std::string path = Write(name, content);
    ASSERT_TRUE(set.LoadDocuments(path, 0, "\n", 0, 0, false));
    Prepare();
  }
  void Prepare() {
    int32_t n = set.DocumentCount();
    tdm.AssignText(set, n, false);
    tdm.Preprocess(false, true, 3, kStopWords, false);
    tdm.BuildVocab(0, 999);
  }
  static std::vector<std::string> Terms(const TermDocumentMatrix& m) {
    std::vector<std::string> terms;
    for (int32_t t = 1; t <= m.TermCount(); ++t) terms.push_back(m.Term(t));
    return terms;
  }
  TermDocumentMatrix tdm{host};
};

TEST_F(Tdm, TokeniseCaseLengthAndStopWords) {
  struct Case { const char* text; bool keepCapitalised, skipCleaning, stem; uint8_t minimumLength; const char* expected; };
  const char* mixed = "The state-of-the-art caf\xC3\xA9, in 2020: UK AI is x DNA iPhone";
  const Case cases[] = {
      {mixed, true, false, false, 3, "state art caf UK AI DNA iPhone"},
      {mixed, false, false, false, 3, "state art caf dna iphone"},
      // "of" and "is" are stop-word lines shorter than the minimum length, so they are not loaded.
      {"Stop and THE of is and", true, false, false, 2, "stop THE"},
      {"A b Cd supercalifragilistic fifteenletterss sixteenlettersxx", true, false, false, 0, "cd fifteenletterss"},
      {"Connected  connecting, cats", true, true, true, 3, "connect connecting, cat"},
  };
  for (const Case& c : cases) {
    tdm = TermDocumentMatrix(host);
    Fill({c.text, "x"});
    int32_t n = 2;
    tdm.AssignText(set, n, false);
    tdm.Preprocess(c.skipCleaning, c.keepCapitalised, c.minimumLength, kStopWords, c.stem);
    EXPECT_EQ(tdm.Text(1), c.expected) << c.text;
  }
  // Stemmed terms are found by any form of the word.
  tdm.BuildVocab(0, 999);
  EXPECT_EQ(tdm.TermIndex("cats"), tdm.TermIndex("cat"));
  EXPECT_EQ(tdm.Term(tdm.TermIndex("connected")), "connect");
  EXPECT_EQ(tdm.TermIndex("dogs"), -1);
}

TEST_F(Tdm, StopWordListKeepsItsFirstThousandWordsAndMustExist) {
  std::string words;
  for (int i = 0; i < 1001; ++i) words += "word" + std::string{char('a' + i / 676), char('a' + i / 26 % 26), char('a' + i % 26)} + "\n";
  // Lines 1 to 1000 (wordaaa .. wordbml) are stop words; line 1001 (wordbmm) is not.
  Fill({"wordaaa wordbml wordbmm"});
  int32_t n = 1;
  tdm.AssignText(set, n, false);
  EXPECT_THROW(tdm.Preprocess(false, true, 3, "/nonexistent/common_words.txt", false), TextError);
  tdm.Preprocess(false, true, 3, Write("many.txt", words), false);
  EXPECT_EQ(tdm.Text(1), "wordbmm");
}

TEST_F(Tdm, EmptyCorpusBecomesFoo) {
  Prepare({"the of is", "1 2 3 !!"});
  EXPECT_EQ(Terms(tdm), std::vector<std::string>{"foo"});
  tdm.BuildTDM(0, 10);
  EXPECT_EQ(tdm.TermCount(), 1);
  EXPECT_EQ(tdm.DocFreq(1), 0);
}

TEST_F(Tdm, VocabularyIsOrderedByFirstLetterThenFirstAppearanceAndRebuiltAfresh) {
  Prepare({"cherry apple ZEBRA banana blueberry", "avocado apple cherry"});
  EXPECT_EQ(Terms(tdm), (std::vector<std::string>{"ZEBRA", "apple", "avocado", "banana", "blueberry", "cherry"}));
  EXPECT_EQ(tdm.LetterStart(2), 4);
  EXPECT_EQ(tdm.LetterStart(27), 7);
  // Bucket limit 0 keeps the first token of each bucket.
  tdm.BuildVocab(0, 0);
  EXPECT_EQ(Terms(tdm), (std::vector<std::string>{"ZEBRA", "apple", "banana", "cherry"}));
  tdm.BuildTDM(1, 10);
  EXPECT_EQ(tdm.DocFreq(2), 2);
  EXPECT_EQ(tdm.GlobalFreq(3), 1);
}

TEST_F(Tdm, FilterThatKeepsNothingLeavesEverything) {
  Prepare({"apple banana", "apple cherry"});
  tdm.BuildTDM(5, 4);
  EXPECT_EQ(tdm.TermCount(), 3);
  EXPECT_EQ(tdm.Text(2), "apple cherry");
  EXPECT_EQ(tdm.TermFreq(1, 2), 1);
}

// Counts, the document-frequency filter and every weighting scheme against a dense computation
// from the token lists.
TEST_F(Tdm, WeightsMatchADenseComputation) {
  std::mt19937 random(11);
  const std::vector<std::string> words = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "theta", "kappa"};
  std::vector<std::string> texts(30);
  std::vector<std::map<std::string, int>> counts(30);
  std::map<std::string, int> df, global;
  for (size_t d = 0; d < 30; ++d)
    for (size_t k = 0; k < 1 + d % 7; ++k) {
      const std::string& w = words[random() % (d % 3 == 0 ? 3 : words.size())];
      texts[d] += w + " ";
      df[w] += !counts[d][w]++;
      ++global[w];
    }
  Prepare(texts);
  tdm.BuildTDM(2, 25);
  auto kept = [&](const std::string& w) { return df[w] >= 2 && df[w] <= 25; };
  ASSERT_EQ(tdm.TermCount(), std::count_if(words.begin(), words.end(), kept));
  for (bool weighted : {false, true}) {
    for (int32_t t = 1; t <= tdm.TermCount(); ++t) {
      const std::string w = tdm.Term(t);
      ASSERT_TRUE(kept(w)) << w;
      EXPECT_EQ(tdm.DocFreq(t), df[w]);
      EXPECT_EQ(tdm.GlobalFreq(t), global[w]);
      for (int32_t d = 1; d <= 30; ++d) {
        auto& c = counts[static_cast<size_t>(d - 1)];
        double tf = c.count(w) ? c[w] : 0, idf = std::log(30.0 / df[w]), largest = 0;
        for (const auto& [v, k] : c) largest = kept(v) ? std::max<double>(largest, k) : largest;
        if (weighted) {  // tf-idf applied in place: every scheme reads the stored weight
          EXPECT_NEAR(tdm.TermWeight(t, d, 5, false), tf * idf, 1e-5);
          continue;
        }
        EXPECT_DOUBLE_EQ(tdm.TermWeight(t, d, 0, false), tf);
        EXPECT_NEAR(tdm.TermWeight(t, d, 1, false), tf * idf, 1e-9);
        EXPECT_NEAR(tdm.TermWeight(t, d, 2, false), tf * global[w] / df[w], 1e-9);
        EXPECT_NEAR(tdm.TermWeight(t, d, 0, true), largest ? tf / largest : 0, 1e-9);
        EXPECT_EQ(tdm.TermWeight(t, d, 5, false), 0);
      }
    }
    tdm.WeightMatrixValues(1);
    EXPECT_TRUE(tdm.WeightsApplied());
  }
}

TEST_F(Tdm, NormalisingADocumentWithoutScaleGivesZero) {
  Prepare({"apple banana", "apple banana cherry", "cherry date", "apple banana"});
  tdm.BuildTDM(1, 4);
  tdm.WeightMatrixValues(1);
  // Document 1 holds apple and banana, each weighted ln(4/3) < 0.5: its largest value rounds to 0.
  for (int32_t t = 1; t <= tdm.TermCount(); ++t) EXPECT_EQ(tdm.TermWeight(t, 1, 1, true), 0);
  EXPECT_GT(tdm.TermWeight(tdm.TermIndex("cherry"), 3, 1, true), 0);
}

TEST_F(Tdm, AssignTextTakesExpressedFieldsAndLinkModePrefixesTerms) {
  set.SetDocuments({{"see http://example.org and https://other.net", "hidden"}, {"see http://example.org again", "x"}}, 11, 2);
  set.SetFieldExpressed(1, false);
  int32_t n = 10;
  tdm.AssignText(set, n, true);
  EXPECT_EQ(n, 2);  // lowered to the set's count
  EXPECT_EQ(tdm.Text(1), "see example.org and other.net");
  tdm.Preprocess(false, true, 3, kStopWords, false);
  tdm.BuildVocab(0, 999);
  tdm.BuildTDM(2, 2);
  EXPECT_EQ(Terms(tdm), (std::vector<std::string>{"http://example", "http://org", "http://see"}));
}

TEST_F(Tdm, SavedFilesHoldCountsOrWeightsAndReadBack) {
  Load("my.dir/c.txt", "apple apple banana\nbanana cherry\n");
  tdm.BuildTDM(1, 2);
  tdm.SaveTDM(0, false, false, false);
  // The extension of the file name is replaced; the dot in the folder name stays.
  EXPECT_EQ(tdm.FilePath(), dir.Path("my.dir/c_0.tdm"));
  EXPECT_EQ(test::ReadFile(tdm.FilePath()),
            "3\t2\tWeight=0\tNormalise=False\r\napple\t2\t0\r\nbanana\t1\t1\r\ncherry\t0\t1\r\n");
  // Weights go to the next free version and read back.
  tdm.WeightMatrixValues(1);
  tdm.SaveTDM(1, false, false, true);
  EXPECT_EQ(tdm.FilePath(), dir.Path("my.dir/c_1.tdm"));
  EXPECT_EQ(test::ReadFile(tdm.FilePath()).rfind("3\t2\tWeight=1\tNormalise=False\r\napple\t1.386", 0), 0u);
  TermDocumentMatrix back(host);
  int32_t m = 2;
  back.AssignText(set, m, false);
  back.SetVersion(1);
  back.LoadTDM(false);
  ASSERT_EQ(Terms(back), Terms(tdm));
  for (int32_t t = 1; t <= 3; ++t)
    for (int32_t d = 1; d <= 2; ++d) EXPECT_NEAR(back.TermWeight(t, d, 0, false), tdm.TermWeight(t, d, 1, false), 1e-6);
  tdm.SaveTDM(0, true, true, true);
  EXPECT_EQ(test::ReadFile(dir.Path("my.dir/c_2.tdm")), "3\t2\tWeight=0\tNormalise=True\r\n");
  // With a document-frequency column, the first number after the term is that frequency.
  std::ofstream(tdm.FilePath(), std::ios::trunc) << "2\t2\tWeight=0\tNormalise=False\r\nx\t1\t0.25\t0\r\ny\t2\t3\t4\r\n";
  tdm.LoadTDM(true);
  EXPECT_EQ(tdm.DocFreq(2), 2);
  EXPECT_FLOAT_EQ(tdm.Matrix().Value(1, 1), 0.25f);
  EXPECT_EQ(tdm.TermFreq(2, 2), 4);
  // Handed-over documents live in the program's folder.
  TermDocumentMatrix handed(host);
  Fill({"a text", "b text"});
  handed.AssignText(set, m, false);
  EXPECT_EQ(handed.FilePath(), (std::filesystem::path(set.FilePath()) / "temp_0.tdm").string());
}

TEST_F(Tdm, MissingVersionIsError5000AndTruncatedFilesChangeNothing) {
  Load("t.txt", "apple banana\napple cherry\n");
  tdm.SetVersion(200);
  try {
    tdm.LoadTDM(false);
    FAIL() << "no error";
  } catch (const TextError& e) {
    EXPECT_EQ(e.Number(), 5000);
    EXPECT_STREQ(e.what(), "TDM file version does not exist (try lower number)");
  }
  tdm.SetVersion(0);
  // Truncated files, and numbers no count or weight can hold (they once went to int unchecked).
  const std::pair<const char*, bool> bad[] = {
      {"3\t2\tWeight=0\tNormalise=False\r\napple\t1\t1\r\n", false},
      {"1\t2\tWeight=0\tNormalise=False\r\napple\t1\r\n", false},
      {"4444444445\t2\tWeight=0\tNormalise=False\r\n", false},
      {"1e300\t2\r\napple\t1\t1\r\n", false},
      {"1\t2\r\napple\t1e300\t1\r\n", false},
      {"1\t2\r\napple\t4444444445\t1\t1\r\n", true},
      {"1\t2\r\napple\t-1e99\t1\t1\r\n", true},
  };
  for (const auto& [text, withDocFreq] : bad) {
    std::ofstream(tdm.FilePath(), std::ios::trunc) << text;
    EXPECT_THROW(tdm.LoadTDM(withDocFreq), TextError) << text;
  }
  // A document count below 0 in the header leaves no document, whatever its size.
  std::ofstream(tdm.FilePath(), std::ios::trunc) << "1\t-1e99\r\napple\r\n";
  TermDocumentMatrix none(host);
  int32_t m = 2;
  none.AssignText(set, m, false);
  none.LoadTDM(false);
  EXPECT_EQ(none.DocCount(), 0);
  EXPECT_EQ(none.TermCount(), 1);
  EXPECT_EQ(Terms(tdm), (std::vector<std::string>{"apple", "banana", "cherry"}));
  EXPECT_EQ(tdm.DocCount(), 2);
}

}  // namespace
}  // namespace wendrel
