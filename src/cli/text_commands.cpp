// stem, tdm and docs: the text-analysis library driven from the command line.
#include "cli/text_commands.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <istream>
#include <ostream>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "cli/arguments.h"
#include "text/document_set.h"
#include "text/porter.h"
#include "text/term_document_matrix.h"
#include "platform/text_encoding.h"
#include "text/text_error.h"

namespace wendrel {

namespace {

constexpr const char* kStemUsage =
    "usage: wendrel stem < WORDS\n"
    "Reads words from standard input, one a line, and writes their stems (Porter), one a line.\n";

constexpr const char* kFormats =
    "Formats: 0 one text per record (records cut at --separator), 1 self-described (definitions at the\n"
    "start of the file, records cut at --separator), 2 SGML news collection, 3 short tagged records,\n"
    "4 tagged records with citation counts, 5 Web of Science tagged export, 6 RIS, 7 sentiment-scored\n"
    "tweet list, 8 tweet export, 9 news article table, 10 publication list, 11 discovered links.\n"
    "  --separator S   record separator for formats 0 and 1 (\\n, \\t and \\\\ are read as escapes; default \\n)\n"
    "  --max-docs N    read at most N documents (default all)\n"
    "  --min-bytes N   skip records of N/2 characters or fewer (default 16: records of at least 9\n"
    "                  characters, the shortest that are ever stored)\n";

constexpr const char* kTdmUsage =
    "usage: wendrel tdm FILE --format N [--min-df N] [--max-df N] [--scheme 0|1|2] [--normalise] [--stem]\n"
    "                   [--min-length L] [--stopwords FILE] [--separator S] [--max-docs N] [--min-bytes N]\n"
    "Builds the term-document matrix of a document file as the article map does and saves it beside the\n"
    "file as the next free version FILE_<n>.tdm; prints the path, the document count and the term count.\n"
    "  --min-df N      keep terms found in at least N documents (default 2)\n"
    "  --max-df N      and in at most N documents (default 3/4 of the documents)\n"
    "  --scheme S      0 raw counts, 1 tf-idf (default), 2 counts times global over document frequency\n"
    "  --normalise     divide by each document's largest count\n"
    "  --stem          reduce words to their Porter stems\n"
    "  --min-length L  shortest word kept unless capitalised (default 3)\n"
    "  --stopwords F   stop-word list (default common_words.txt of the program)\n";

constexpr const char* kDocsUsage =
    "usage: wendrel docs FILE --format N [--tsv OUT] [--ris OUT] [--separator S] [--max-docs N] [--min-bytes N]\n"
    "Loads a document file and prints its fields (number, name), the document count and the word count.\n"
    "  --tsv OUT       export the documents as tab-separated text with a header line\n"
    "  --ris OUT       export the documents as RIS records\n";

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char next = text[++i];
      out += next == 'n' ? '\n' : next == 't' ? '\t' : next;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Loads FILE in --format; throws UsageError or TextError, and reports a file that yields no
// document.
bool LoadFromArguments(const Arguments& a, DocumentSet& set, const char* command, std::ostream& err) {
  if (a.Plain().empty()) throw UsageError("a document file is required");
  auto format = static_cast<int32_t>(a.Number("--format", -1, 0, 11));
  if (format < 0) throw UsageError("--format is required");
  std::string separator = Unescape(a.Value("--separator").value_or("\\n"));
  auto maximum = static_cast<int32_t>(a.Number("--max-docs", 0, 0, 2147483647));
  auto minimumBytes = static_cast<int32_t>(a.Number("--min-bytes", 16, 0, 2147483647));
  // Format 1 keeps the record delimiter in force; the separator provides it.
  if (format == 1) set.InitFieldDefs(0, separator, "");
  std::string path = a.Plain()[0];
  if (!set.LoadDocuments(path, format, separator, minimumBytes, maximum, false)) {
    err << "wendrel " << command << ": " << path << " holds no document in format " << format << " (no record of more than "
        << std::max(8, minimumBytes / 2) << " characters)\n";
    return false;
  }
  return true;
}

}  // namespace

int RunStem(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  return RunStem(args, std::cin, isatty(STDIN_FILENO) != 0, out, err);
}

int RunStem(const std::vector<std::string>& args, std::istream& in, bool interactive, std::ostream& out,
            std::ostream& err) {
  if (WantsHelp(args)) {
    out << kStemUsage;
    return 0;
  }
  try {
    Arguments a(args, {});
  } catch (const UsageError& e) {
    err << "wendrel stem: " << e.what() << " (see --help)\n";
    return 2;
  }
  std::string stems;
  auto stemLine = [&stems](std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    stems += IsValidUtf8(line) ? PorterStem(line) : PorterStem(TextFromFileBytes(std::string(line)));
    stems += '\n';
  };
  auto write = [&out, &stems] {
    out.write(stems.data(), static_cast<std::streamsize>(stems.size()));
    stems.clear();
  };
  // Someone typing sees each stem at once. Other input is read and answered in large blocks and
  // untied from the output, which would otherwise be flushed before every read.
  std::ostream* tie = in.tie(nullptr);
  if (interactive) {
    for (std::string line; std::getline(in, line);) {
      stemLine(line);
      write();
      out.flush();
    }
  } else if (std::streambuf* input = in.rdbuf()) {
    constexpr size_t kBlock = 1 << 16;
    std::vector<char> block(kBlock);
    std::string pending;
    for (std::streamsize got; (got = input->sgetn(block.data(), kBlock)) > 0;) {
      pending.append(block.data(), static_cast<size_t>(got));
      size_t start = 0;
      for (size_t end; (end = pending.find('\n', start)) != std::string::npos; start = end + 1)
        stemLine(std::string_view(pending).substr(start, end - start));
      pending.erase(0, start);
      if (stems.size() >= kBlock) write();
    }
    if (!pending.empty()) stemLine(pending);
  }
  write();
  out.flush();
  in.tie(tie);
  if (out) return 0;
  err << "wendrel stem: the stems could not be written\n";
  return 1;
}

int RunTdm(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kTdmUsage << kFormats;
    return 0;
  }
  try {
    Arguments a(args, {"--format", "--min-df", "--max-df", "--scheme", "--min-length", "--stopwords", "--separator", "--max-docs", "--min-bytes"},
                {"--normalise", "--stem"}, 1);
    auto scheme = static_cast<int32_t>(a.Number("--scheme", 1, 0, 2));
    auto minimumLength = static_cast<uint8_t>(a.Number("--min-length", 3, 0, 255));
    auto minimumDf = static_cast<int32_t>(a.Number("--min-df", 2, 0, 2147483647));
    std::string stopWords = a.Value("--stopwords").value_or(DefaultStopWordPath());
    DocumentSet set(host);
    if (!LoadFromArguments(a, set, "tdm", err)) return 1;

    TermDocumentMatrix tdm(host);
    int32_t documents = set.DocumentCount();
    tdm.AssignText(set, documents, false);
    tdm.Preprocess(false, true, minimumLength, stopWords, a.Has("--stem"));
    tdm.BuildVocab(0, 999);
    auto defaultMaximum = static_cast<long long>(std::nearbyint(0.75 * tdm.DocCount()));
    tdm.BuildTDM(minimumDf, static_cast<int32_t>(a.Number("--max-df", defaultMaximum, 0, 2147483647)));
    // Scheme 1 is applied to the matrix as the map does; the others are computed as it is written.
    if (scheme == 1) tdm.WeightMatrixValues(1);
    tdm.SaveTDM(scheme, a.Has("--normalise"), false, true);
    out << tdm.FilePath() << "\n" << "documents: " << tdm.DocCount() << "\n" << "terms: " << tdm.TermCount() << "\n";
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel tdm: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const TextError& e) {
    err << "wendrel tdm: " << e.what() << "\n";
    return 1;
  }
}

int RunDocs(const std::vector<std::string>& args, Host& host, std::ostream& out, std::ostream& err) {
  if (WantsHelp(args)) {
    out << kDocsUsage << kFormats;
    return 0;
  }
  try {
    Arguments a(args, {"--format", "--tsv", "--ris", "--separator", "--max-docs", "--min-bytes"}, {}, 1);
    DocumentSet set(host);
    if (!LoadFromArguments(a, set, "docs", err)) return 1;
    out << "fields: " << set.FieldCount() << "\n";
    for (int f = 0; f < set.FieldCount(); ++f) out << "  " << f << "\t" << set.FieldName(f) << "\n";
    out << "documents: " << set.DocumentCount() << "\n" << "words: " << set.WordCount() << "\n";
    if (auto tsv = a.Value("--tsv")) set.ExportTSV(*tsv, true);
    if (auto ris = a.Value("--ris")) set.ExportRIS(*ris);
    return 0;
  } catch (const UsageError& e) {
    err << "wendrel docs: " << e.what() << " (see --help)\n";
    return 2;
  } catch (const TextError& e) {
    err << "wendrel docs: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace wendrel
