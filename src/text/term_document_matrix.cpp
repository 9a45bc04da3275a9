// TermDocumentMatrix: text preparation, vocabulary, counting, weights and ".tdm" files.
#include "text/term_document_matrix.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string_view>
#include <unordered_map>

#include "text/document_set.h"
#include "text/porter.h"
#include "platform/text_encoding.h"
#include "text/text_error.h"
#include "platform/number_text.h"
#include "text/text_functions.h"
#include "platform/user_folders.h"

namespace wendrel {

namespace {

constexpr size_t kLongestToken = 15;
constexpr size_t kMostStopWords = 1000;
constexpr int kBuckets = 27;

// Tokenising keeps only the letters A-Z and a-z (and the bytes 0 and 255); everything else,
// including each byte of a multi-byte UTF-8 character, separates tokens.
bool KeptByTokenise(unsigned char b) { return b == 0 || b == 255 || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'); }

bool IsAscii(std::string_view s) {
  for (char c : s)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  return true;
}

// Code of the character at position `index` (0 or 1) and the number of characters.
void CharacterCodes(std::string_view token, char32_t codes[2], size_t& length) {
  codes[0] = codes[1] = 0;
  if (IsAscii(token)) {
    length = token.size();
    for (size_t i = 0; i < 2 && i < token.size(); ++i) codes[i] = static_cast<unsigned char>(token[i]);
    return;
  }
  std::u32string wide = DecodeUtf8(token);
  length = wide.size();
  for (size_t i = 0; i < 2 && i < wide.size(); ++i) codes[i] = wide[i];
}

// Lower case for A-Z and the capitals of Latin-1 (U+00C0..U+00DE but U+00D7).
void LowerCase(std::string& token) {
  for (size_t i = 0; i < token.size(); ++i) {
    auto b = static_cast<unsigned char>(token[i]);
    if (b >= 'A' && b <= 'Z') {
      token[i] = static_cast<char>(b + 32);
    } else if (b == 0xC3 && i + 1 < token.size()) {
      auto next = static_cast<unsigned char>(token[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97) token[i + 1] = static_cast<char>(next + 32);
      ++i;
    }
  }
}

int Bucket(std::string_view token) {
  if (token.empty()) return 0;
  char32_t first = static_cast<unsigned char>(token[0]);
  if (first >= 0x80) first = DecodeUtf8(token.substr(0, std::min<size_t>(4, token.size())))[0];
  int bucket = static_cast<int>(first & 0xFF) - 96;
  return bucket >= 0 && bucket <= 26 ? bucket : 0;
}

// Calls f for each space-separated piece that is not empty.
template <class F>
void ForEachToken(std::string_view text, F f) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(' ', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) f(text.substr(start, end - start));
    start = end + 1;
  }
}

std::string FormatNumber(double value) {
  if (value == 0) return "0";
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
  return std::string(buffer, result.ptr);
}

// A folder (the documents were handed over, not read) gets "temp" inside it; a file loses the
// extension of its name only, so a dot in a folder name cannot send the file elsewhere.
std::string TdmBasePath(const std::string& filePath) {
  if (filePath.empty()) return "temp";
  std::error_code ec;
  if (std::filesystem::is_directory(filePath, ec)) return (std::filesystem::path(filePath) / "temp").string();
  return PathWithoutExtension(filePath);
}

}  // namespace

std::string TermDocumentMatrix::FilePath() const { return m_basePath + "_" + std::to_string(m_version) + ".tdm"; }

std::string TermDocumentMatrix::Text(int32_t d) const {
  if (d < 1 || static_cast<size_t>(d) > m_texts.size()) return {};
  return m_texts[static_cast<size_t>(d - 1)];
}

std::string TermDocumentMatrix::Term(int32_t t) const {
  if (t < 1 || t > m_termCount || static_cast<size_t>(t) > m_terms.size()) return {};
  return m_terms[static_cast<size_t>(t - 1)];
}

int32_t TermDocumentMatrix::TermIndex(const std::string& word) const {
  std::string stem = m_stemmed ? PorterStem(word) : std::string();
  for (size_t t = 0; t < m_terms.size() && t < static_cast<size_t>(m_termCount); ++t)
    if (m_terms[t] == word || m_terms[t] == stem) return static_cast<int32_t>(t + 1);
  return -1;
}

int16_t TermDocumentMatrix::TermFreq(int32_t t, int32_t d) const {
  double v = RoundHalfEven(m_matrix.Value(t, d));
  return static_cast<int16_t>(std::clamp<double>(v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max()));
}

int32_t TermDocumentMatrix::DocFreq(int32_t t) const {
  if (t < 1 || t > m_termCount || static_cast<size_t>(t) > m_docFreq.size()) return 0;
  return m_docFreq[static_cast<size_t>(t - 1)];
}

int32_t TermDocumentMatrix::GlobalFreq(int32_t t) const {
  if (t < 1 || t > m_termCount || static_cast<size_t>(t) > m_globalFreq.size()) return 0;
  return m_globalFreq[static_cast<size_t>(t - 1)];
}

double TermDocumentMatrix::NormaliseDivisor(int32_t d) const {
  // The largest value over terms 1..TermCount; absent entries are 0 and never raise it.
  double m = 0;
  const SparseVectorSingle& v = m_matrix.Vector(d);
  for (size_t k = 0; k < v.Indexes().size() && v.Indexes()[k] <= m_termCount; ++k)
    if (v.Values()[k] > m) m = RoundHalfEven(v.Values()[k]);
  return m;
}

double TermDocumentMatrix::TermWeight(int32_t t, int32_t d, int32_t scheme, bool normalise) const {
  double w = m_matrix.Value(t, d);
  if (w == 0) return 0;
  if (normalise) {
    double m = NormaliseDivisor(d);
    // A document whose values all round to 0 has no scale to divide by.
    if (m == 0) return 0;
    w /= m;
  }
  if (m_weightsApplied) return w;
  double df = DocFreq(t);
  switch (scheme) {
    case 0: return w;
    case 1: return w * std::log(m_docCount / df);
    case 2: return w * (GlobalFreq(t) / df);
    default: return 0;
  }
}

void TermDocumentMatrix::AssignText(const DocumentSet& set, int32_t& maximumDocuments, bool linkMode) {
  if (linkMode) m_linkMode = true;
  maximumDocuments = std::clamp(maximumDocuments, 0, set.DocumentCount());
  if (m_docCount >= 1) return;
  m_texts.clear();
  for (int32_t d = 0; d < maximumDocuments; ++d) {
    std::string text;
    for (int f = 0; f < set.FieldCount(); ++f)
      if (set.FieldExpressed(f)) text.append(" ").append(set.Text(d, f));
    text = TrimSpaces(text);
    if (m_linkMode) text = ReplaceAll(ReplaceAll(text, "http://", ""), "https://", "");
    m_texts.push_back(std::move(text));
  }
  m_docCount = maximumDocuments;
  m_basePath = TdmBasePath(set.FilePath());
  m_version = 0;
}

void TermDocumentMatrix::LoadStopWords(const std::string& path, uint8_t minimumLength) {
  std::string text = ReadTextFile(path);
  std::vector<std::string> lines = SplitText(text, "\n");
  // A final line end does not start another line.
  if (!lines.empty() && lines.back().empty()) lines.pop_back();
  size_t kept = 0;
  for (std::string& line : lines) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (CodePointCount(line) < minimumLength) continue;
    // More words than the list holds: the first ones are kept.
    if (kept == kMostStopWords) break;
    m_stopWords.insert(line);
    ++kept;
  }
  m_stopWordsLoaded = true;
}

void TermDocumentMatrix::AppendToken(std::string& token, bool keepCapitalised, uint8_t minimumLength, bool stem,
                                     std::string& out) const {
  char32_t codes[2];
  size_t length;
  CharacterCodes(token, codes, length);
  if (length >= 2 && (!keepCapitalised || codes[1] > 96)) {
    LowerCase(token);
    if ((codes[0] >= 'A' && codes[0] <= 'Z') || (codes[0] >= 0xC0 && codes[0] <= 0xDE && codes[0] != 0xD7)) codes[0] += 32;
  }
  if ((length < minimumLength && codes[0] > 96) || length > kLongestToken) return;
  if (m_stopWords.count(token)) return;
  if (length < 2) return;
  out += ' ';
  if (stem)
    out += PorterStem(token);
  else
    out += token;
}

bool TermDocumentMatrix::Preprocess(bool skipCleaning, bool keepCapitalised, uint8_t minimumLength,
                                    const std::string& stopWordPath, bool stem) {
  if (stem) m_stemmed = true;
  std::string token, out;
  for (std::string& text : m_texts) {
    if (!m_stopWordsLoaded) LoadStopWords(stopWordPath, minimumLength);
    out.clear();
    if (skipCleaning) {
      size_t start = 0;
      for (;;) {
        size_t end = text.find(' ', start);
        token.assign(text, start, end == std::string::npos ? std::string::npos : end - start);
        AppendToken(token, keepCapitalised, minimumLength, stem, out);
        if (end == std::string::npos) break;
        start = end + 1;
      }
    } else {
      size_t i = 0, n = text.size();
      while (i < n) {
        while (i < n && !KeptByTokenise(static_cast<unsigned char>(text[i]))) ++i;
        size_t start = i;
        while (i < n && KeptByTokenise(static_cast<unsigned char>(text[i]))) ++i;
        if (i > start) {
          token.assign(text, start, i - start);
          AppendToken(token, keepCapitalised, minimumLength, stem, out);
        }
      }
    }
    text.assign(out, out.empty() ? 0 : 1, std::string::npos);
    m_host->DoEvents();
  }
  return false;
}

void TermDocumentMatrix::BuildVocab(uint8_t skipScan, int32_t bucketLimit) {
  const size_t slots = bucketLimit < 0 ? 0 : static_cast<size_t>(bucketLimit) + 1;
  std::array<std::vector<std::string_view>, kBuckets> buckets;
  std::string foo = "foo";
  if (!skipScan) {
    // Each scan builds the vocabulary afresh (counting on from an earlier scan would double it).
    m_termCount = 0;
    std::unordered_set<std::string_view> known;
    for (const std::string& text : m_texts) {
      ForEachToken(text, [&](std::string_view token) {
        if (known.count(token)) return;
        std::vector<std::string_view>& bucket = buckets[static_cast<size_t>(Bucket(token))];
        if (bucket.size() >= slots) return;
        bucket.push_back(token);
        known.insert(token);
        ++m_termCount;
      });
    }
  }
  if (m_termCount == 0) {
    m_termCount = 1;
    buckets[6].push_back(foo);
  }
  std::vector<std::string> terms(static_cast<size_t>(m_termCount));
  int32_t next = 1;
  for (int b = 0; b < kBuckets; ++b) {
    m_letterStart[static_cast<size_t>(b)] = next;
    for (std::string_view term : buckets[static_cast<size_t>(b)]) terms[static_cast<size_t>(next++ - 1)] = term;
  }
  m_letterStart[kBuckets] = next;
  m_terms = std::move(terms);
}

void TermDocumentMatrix::BuildTDM(int32_t minimumDf, int32_t maximumDf) {
  const size_t termCount = static_cast<size_t>(std::max(m_termCount, 0));
  m_terms.resize(termCount);
  m_docFreq.assign(termCount, 0);
  m_globalFreq.assign(termCount, 0);
  m_matrix.Reset(m_termCount, m_docCount);

  // A token counts for the term it equals within its bucket's range of term numbers.
  std::unordered_map<std::string_view, int32_t> numbers;
  numbers.reserve(termCount);
  for (size_t t = termCount; t-- > 0;) numbers[m_terms[t]] = static_cast<int32_t>(t + 1);
  std::vector<float> counts(termCount + 1, 0.0f);
  std::vector<int32_t> touched;
  for (int32_t d = 1; d <= m_docCount; ++d) {
    ForEachToken(m_texts[static_cast<size_t>(d - 1)], [&](std::string_view token) {
      auto found = numbers.find(token);
      if (found == numbers.end()) return;
      int32_t k = found->second;
      int bucket = Bucket(token);
      if (k < m_letterStart[static_cast<size_t>(bucket)] || k >= m_letterStart[static_cast<size_t>(bucket) + 1]) return;
      if (counts[static_cast<size_t>(k)] == 0) {
        touched.push_back(k);
        ++m_docFreq[static_cast<size_t>(k - 1)];
      }
      counts[static_cast<size_t>(k)] += 1;
      ++m_globalFreq[static_cast<size_t>(k - 1)];
    });
    std::sort(touched.begin(), touched.end());
    std::vector<float> values;
    values.reserve(touched.size());
    for (int32_t k : touched) {
      values.push_back(counts[static_cast<size_t>(k)]);
      counts[static_cast<size_t>(k)] = 0;
    }
    m_matrix.Vector(d).SetElements(touched, std::move(values), m_termCount);
    touched.clear();
  }
  m_host->DoEvents();

  std::vector<int32_t> renumber(termCount + 1, 0);
  int32_t kept = 0;
  for (size_t t = 1; t <= termCount; ++t)
    if (m_docFreq[t - 1] >= minimumDf && m_docFreq[t - 1] <= maximumDf) renumber[t] = ++kept;
  if (kept == 0) return;

  for (int32_t d = 1; d <= m_docCount; ++d) {
    SparseVectorSingle& v = m_matrix.Vector(d);
    std::vector<int32_t> indexes;
    std::vector<float> values;
    for (size_t k = 0; k < v.Indexes().size(); ++k) {
      int32_t now = renumber[static_cast<size_t>(v.Indexes()[k])];
      if (now == 0) continue;
      indexes.push_back(now);
      values.push_back(v.Values()[k]);
    }
    v.SetElements(std::move(indexes), std::move(values), kept);
  }
  for (size_t t = 1; t <= termCount; ++t) {
    auto now = static_cast<size_t>(renumber[t]);
    if (now == 0 || now == t) continue;
    m_terms[now - 1] = std::move(m_terms[t - 1]);
    m_docFreq[now - 1] = m_docFreq[t - 1];
    m_globalFreq[now - 1] = m_globalFreq[t - 1];
  }
  m_termCount = kept;
  m_matrix.SetRowCount(kept);
  m_terms.resize(static_cast<size_t>(kept));
  m_docFreq.resize(static_cast<size_t>(kept));
  m_globalFreq.resize(static_cast<size_t>(kept));
  if (m_linkMode)
    for (std::string& term : m_terms) term.insert(0, "http://");
  m_texts.clear();
  m_texts.shrink_to_fit();
}

void TermDocumentMatrix::WeightMatrixValues(int32_t scheme) {
  if (scheme == 1) {
    for (int32_t d = 1; d <= m_docCount; ++d) {
      SparseVectorSingle& v = m_matrix.Vector(d);
      for (int32_t k = 1; k <= v.NZElementCount(); ++k) {
        auto t = static_cast<int32_t>(v.ElementByListIndex(k));
        double idf = std::log(static_cast<double>(m_docCount) / DocFreq(t));
        v.SetValueByListIndex(k, static_cast<float>(v.ValueByListIndex(k) * idf));
      }
    }
  }
  m_weightsApplied = true;
}

void TermDocumentMatrix::SaveTDM(int32_t scheme, bool normalise, bool headerOnly, bool newVersion) {
  if (newVersion) {
    int free = -1;
    for (int v = 0; v <= 255 && free < 0; ++v)
      if (!FileExists(m_basePath + "_" + std::to_string(v) + ".tdm")) free = v;
    if (free < 0) throw TextError("no free .tdm version for " + m_basePath + " (0 to 255 all exist)");
    m_version = static_cast<uint8_t>(free);
  }
  std::string out = std::to_string(m_termCount) + "\t" + std::to_string(m_docCount) + "\tWeight=" +
                    std::to_string(scheme) + "\tNormalise=" + (normalise ? "True" : "False") + "\r\n";
  if (!headerOnly) {
    for (int32_t t = 1; t <= m_termCount; ++t) {
      out += Term(t);
      for (int32_t d = 1; d <= m_docCount; ++d) out.append("\t").append(FormatNumber(TermWeight(t, d, scheme, normalise)));
      out += "\r\n";
    }
  }
  WriteTextFile(FilePath(), out);
}

namespace {

// A count read from a .tdm file: a whole-number part from 0 to the 32-bit maximum, else the error.
int32_t CountField(double value, const std::string& error) {
  if (!(value >= 0 && value <= std::numeric_limits<int32_t>::max())) throw TextError(error);
  return static_cast<int32_t>(value);
}

}  // namespace

void TermDocumentMatrix::LoadTDM(bool withDocFreq) {
  const std::string path = FilePath();
  if (!FileExists(path)) throw TextError("TDM file version does not exist (try lower number)", kErrorTdmVersionMissing);
  std::vector<std::string> lines = SplitText(ReplaceAll(ReadTextFile(path), "\r", ""), "\n");
  if (!lines.empty() && lines.back().empty()) lines.pop_back();

  int32_t termCount = m_termCount;
  int32_t docCount = m_docCount;
  if (!lines.empty()) {
    std::vector<std::string> header = SplitText(lines[0], "\t");
    termCount = CountField(BasicValue(header[0]), path + ": bad term count");
    // The header can only lower the document count, never below 0.
    double docs = header.size() > 1 ? BasicValue(header[1]) : 0;
    if (std::isnan(docs)) throw TextError(path + ": bad document count");
    if (docs < docCount) docCount = static_cast<int32_t>(std::max(0.0, docs));
  }
  if (lines.empty() && termCount == 0) return;
  if (termCount > 0 && lines.size() < static_cast<size_t>(termCount) + 1)
    throw TextError(path + ": fewer term lines than the term count (read past the end)");

  std::vector<std::string> terms(static_cast<size_t>(termCount));
  std::vector<int32_t> docFreq(static_cast<size_t>(termCount), 0);
  SparseMatrixSingle matrix;
  matrix.Reset(termCount, docCount);
  const size_t first = withDocFreq ? 2 : 1;
  for (int32_t t = 1; t <= termCount; ++t) {
    std::vector<std::string> columns = SplitText(lines[static_cast<size_t>(t)], "\t");
    if (columns.size() < first + static_cast<size_t>(docCount))
      throw TextError(path + ": line " + std::to_string(t + 1) + " holds too few columns");
    terms[static_cast<size_t>(t - 1)] = columns[0];
    if (withDocFreq)
      docFreq[static_cast<size_t>(t - 1)] =
          CountField(BasicValue(columns[1]), path + ": bad document frequency on line " + std::to_string(t + 1));
    for (int32_t d = 1; d <= docCount; ++d) {
      double weight = BasicValue(columns[first + static_cast<size_t>(d - 1)]);
      if (!(std::fabs(weight) <= std::numeric_limits<float>::max()))
        throw TextError(path + ": bad weight on line " + std::to_string(t + 1));
      matrix.SetValue(t, d, static_cast<float>(weight));
    }
  }
  m_termCount = termCount;
  m_docCount = docCount;
  m_terms = std::move(terms);
  m_docFreq = std::move(docFreq);
  m_matrix = std::move(matrix);
}

std::string DefaultStopWordPath() { return ProgramDataFile("common_words.txt"); }

}  // namespace wendrel
