// TermDocumentMatrix: the vocabulary of a document set's expressed fields, the sparse matrix of
// term counts per document, term weights, and the numbered ".tdm" files.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/host.h"
#include "sparse/sparse_matrix_single.h"

namespace wendrel {

class DocumentSet;

// Terms and documents count from 1: Matrix() has one column vector per document (1..DocCount)
// whose dimensions are term numbers (1..TermCount). Build in this order: AssignText, Preprocess,
// BuildVocab, BuildTDM, then optionally WeightMatrixValues; then TermWeight, SaveTDM and the
// accessors. Terms are grouped by first-letter bucket (0 for anything but a..z, 1..26 for a..z),
// in order of first appearance within a bucket.
class TermDocumentMatrix {
 public:
  explicit TermDocumentMatrix(Host& host) : m_host(&host) {}

  uint8_t Version() const { return m_version; }
  void SetVersion(uint8_t version) { m_version = version; }
  // Base path, "_", Version, ".tdm". The base path is the document file without the extension
  // of its name, or "<folder>/temp" for documents handed over by SetDocuments.
  std::string FilePath() const;
  bool TextAssigned() const { return m_docCount >= 1; }
  // The prepared text of document d (between AssignText and the end of BuildTDM).
  std::string Text(int32_t d) const;
  int32_t DocCount() const { return m_docCount; }
  int32_t TermCount() const { return m_termCount; }
  // Empty outside 1..TermCount.
  std::string Term(int32_t t) const;
  // The first term equal to the word or (when the text was stemmed) to its stem; -1 if none.
  int32_t TermIndex(const std::string& word) const;
  // The matrix value rounded to a whole number (saturated to 16 bits); 0 outside the matrix.
  int16_t TermFreq(int32_t t, int32_t d) const;
  int32_t DocFreq(int32_t t) const;
  int32_t GlobalFreq(int32_t t) const;
  // Number of the first term of bucket 0..26; entry 27 is one past the last term.
  int32_t LetterStart(int bucket) const { return m_letterStart.at(static_cast<size_t>(bucket)); }
  bool WeightsApplied() const { return m_weightsApplied; }
  SparseMatrixSingle& Matrix() { return m_matrix; }
  const SparseMatrixSingle& Matrix() const { return m_matrix; }

  // The matrix value of term t in document d, divided (normalise) by the document's largest
  // value rounded to a whole number (0 when that is 0), times the global factor of the scheme
  // (0: 1; 1: ln(DocCount / DocFreq); 2: GlobalFreq / DocFreq; other: 0) unless the weights
  // were already applied.
  double TermWeight(int32_t t, int32_t d, int32_t scheme, bool normalise) const;

  // Copies the expressed fields of the first maximumDocuments documents (lowered to the set's
  // count; the caller sees it). Works once per object. In link mode "http://" and "https://" are
  // taken out of the text and later put before every term.
  void AssignText(const DocumentSet& set, int32_t& maximumDocuments, bool linkMode);

  // Tokenises (unless skipCleaning), lower-cases, drops tokens shorter than minimumLength (unless
  // they start with a capital) or longer than 15, drops stop words and one-letter tokens, and
  // stems. The stop-word file (one word a line, the first 1000 lines of at least minimumLength
  // characters) is read once per object; TextError when it cannot be read. Returns false.
  bool Preprocess(bool skipCleaning, bool keepCapitalised, uint8_t minimumLength, const std::string& stopWordPath,
                  bool stem);

  // Builds the vocabulary (unless skipScan): at most bucketLimit + 1 terms per bucket. An empty
  // vocabulary becomes the single term "foo".
  void BuildVocab(uint8_t skipScan, int32_t bucketLimit);

  // Counts terms per document, then keeps the terms whose document frequency lies in
  // [minimumDf, maximumDf]; when none would be kept, everything (texts included) stays as it is.
  void BuildTDM(int32_t minimumDf, int32_t maximumDf);

  // Scheme 1 turns counts into tf-idf weights in place; every scheme marks the weights applied.
  void WeightMatrixValues(int32_t scheme);

  // Writes FilePath() (with newVersion, Version becomes the first free number 0..255; TextError
  // when there is none): a header line, then one line per term with its weight per document.
  void SaveTDM(int32_t scheme, bool normalise, bool headerOnly, bool newVersion);

  // Reads FilePath() back (weights into the matrix, terms, document frequencies when the file
  // has them). TextError 5000 when the file does not exist, TextError when it is truncated;
  // nothing changes on an error.
  void LoadTDM(bool withDocFreq);

 private:
  void LoadStopWords(const std::string& path, uint8_t minimumLength);
  void AppendToken(std::string& token, bool keepCapitalised, uint8_t minimumLength, bool stem, std::string& out) const;
  // The largest value of document d rounded to a whole number (the normalising divisor).
  double NormaliseDivisor(int32_t d) const;

  Host* m_host;
  SparseMatrixSingle m_matrix;
  bool m_weightsApplied = false;
  std::vector<std::string> m_texts;  // document d at d - 1
  std::vector<std::string> m_terms;  // term t at t - 1
  std::array<int32_t, 28> m_letterStart{};
  int32_t m_termCount = 0;
  int32_t m_docCount = 0;
  std::vector<int32_t> m_docFreq;     // term t at t - 1
  std::vector<int32_t> m_globalFreq;  // term t at t - 1
  std::string m_basePath;
  uint8_t m_version = 0;
  bool m_stemmed = false;
  bool m_linkMode = false;
  bool m_stopWordsLoaded = false;
  std::unordered_set<std::string> m_stopWords;
};

// The stop-word list the program ships: common_words.txt beside the program, else in the
// installed data folder (ProgramDataFile).
std::string DefaultStopWordPath();

}  // namespace wendrel
