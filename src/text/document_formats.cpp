// DocumentSet: the field definitions of the twelve input formats.
#include <cstdlib>

#include "text/document_set.h"
#include "text/text_error.h"
#include "platform/number_text.h"
#include "text/text_functions.h"

namespace wendrel {

namespace {

constexpr int kMaximumFields = 255;

struct TaggedField {
  const char* start;
  const char* end;
  const char* name;
};

// LF stands before every tag, so a tag is only found at the start of a line.
#define LF "\n"

constexpr TaggedField kNewsCollection[] = {
    {"<DOCNO>", "</DOCNO>", "Document ID"},   {"<PROFILE>", "</PROFILE>", "Profile"},
    {"<DATE>", "</DATE>", "Publication Date"}, {"<HEADLINE>", "</HEADLINE>", "Headline"},
    {"<BYLINE>", "</BYLINE>", "Author"},      {"<TEXT>", "</TEXT>", "Article Text"},
    {"<PUB>", "</PUB>", "Publisher"},         {"<PAGE>", "</PAGE>", "Page Number"}};

constexpr TaggedField kShortTagged[] = {{LF "TI ", LF "AU ", "Article title"},
                                        {LF "AU ", LF "SO ", "Author(s)"},
                                        {LF "PY ", LF "TC ", "Publication Year"},
                                        {LF "AB ", LF "UT ", "Abstract"}};

constexpr TaggedField kCitedTagged[] = {{LF "TI ", LF "SO ", "Article title"},
                                        {LF "AU ", LF "TI ", "Author(s)"},
                                        {LF "PY ", LF, "Publication Year"},
                                        {LF "AB ", LF "C1 ", "Abstract"},
                                        {LF "TC ", LF, "Times Cited"}};

constexpr TaggedField kFullTagged[] = {{LF "AU ", LF "TI ", "Author(s)"},      {LF "PY ", LF, "Publication Year"},
                                       {LF "TI ", LF "SO ", "Article title"},  {LF "SO ", LF "LA ", "Source"},
                                       {LF "DE ", LF "AB ", "Keywords"},       {LF "AB ", LF "C1 ", "Abstract"},
                                       {LF "TC ", LF, "Times Cited"},          {LF "CR ", LF "NR ", "References"},
                                       {LF "PR ", LF "PY ", "Pearl Relations"}};

constexpr TaggedField kRis[] = {{LF "TY ", LF, "Publication Type"}, {LF "AU ", LF, "Author(s)"},
                                {LF "PY ", LF, "Publication Year"}, {LF "TI ", LF, "Title"},
                                {LF "N2 ", LF, "Abstract"},         {LF "N1 ", LF, "Notes"}};

#undef LF

constexpr const char* kTweetList[] = {"DateTime", "User", "Tweet", "Sent+", "Sent-", "SentSum"};

constexpr const char* kTweetExport[] = {"DateTime",    "UserName",     "Tweet",           "Tweet ID",
                                        "Real Name",   "Followers",    "Following",       "Public Lists",
                                        "Time Zone",   "Geo coordinates", "User Tweets",  "Retweeted",
                                        "Link URL",    "Sent+",        "Sent-",           "NetSent"};

constexpr const char* kNewsTable[] = {"ARTICLE_ID",  "HEADLINE",       "AUTHOR",      "CONTENT",
                                      "ARTICLE_URL", "MEDIA_PROVIDER", "PUBLISH_DATE"};

constexpr const char* kPublicationList[] = {"QUIL ID",
                                            "Name",
                                            "Publicationtype",
                                            "Abstract",
                                            "Authors",
                                            "DOI",
                                            "JournalORPublishedproceedings",
                                            "Keywords",
                                            "Nameofconference",
                                            "BooktitleORReporttitle",
                                            "Publicationdate",
                                            "Title",
                                            "CitationcountWebofScience",
                                            "CitationcountScopus",
                                            "JCRjournalname",
                                            "JCRimpactfactor",
                                            "ARCjournalname",
                                            "ARCRank"};

constexpr const char* kDiscoveredLinks[] = {"Link", "Discovered", "Content"};

// Reads comma-separated values in the manner of the classic Input statement: values end at a
// comma or a line end, blanks before an unquoted value are skipped, and a quoted value may hold
// commas, blanks and line ends.
class DefinitionReader {
 public:
  explicit DefinitionReader(std::string text) : m_text(std::move(text)) {}

  bool AtEnd() const { return m_pos >= m_text.size(); }
  size_t Position() const { return m_pos; }

  std::string NextLine() {
    size_t end = m_text.find('\n', m_pos);
    if (end == std::string::npos) end = m_text.size();
    std::string line = m_text.substr(m_pos, end - m_pos);
    m_pos = end < m_text.size() ? end + 1 : end;
    return line;
  }

  std::string NextValue() {
    while (m_pos < m_text.size() && (m_text[m_pos] == ' ' || m_text[m_pos] == '\t')) ++m_pos;
    std::string value;
    if (m_pos < m_text.size() && m_text[m_pos] == '"') {
      size_t close = m_text.find('"', m_pos + 1);
      if (close == std::string::npos) throw TextError("field definitions: unclosed quote");
      value = m_text.substr(m_pos + 1, close - m_pos - 1);
      m_pos = close + 1;
      while (m_pos < m_text.size() && m_text[m_pos] == ' ') ++m_pos;
    } else {
      size_t end = m_text.find_first_of(",\n", m_pos);
      if (end == std::string::npos) end = m_text.size();
      value = m_text.substr(m_pos, end - m_pos);
      m_pos = end;
    }
    if (m_pos < m_text.size() && (m_text[m_pos] == ',' || m_text[m_pos] == '\n')) ++m_pos;
    return value;
  }

 private:
  std::string m_text;
  size_t m_pos = 0;
};

}  // namespace

void DocumentSet::AddField(const std::string& name, const std::string& start, const std::string& end) {
  m_fieldNames.push_back(name);
  m_fieldPatterns.push_back({start, end});
}

void DocumentSet::ReadFieldDefinitions(const std::string& path) {
  DefinitionReader reader(ReplaceAll(ReadTextFile(path), "\r", ""));
  std::string first = reader.NextLine();
  double count = BasicValue(first);
  if (count < 1 || count > kMaximumFields || count != static_cast<int>(count))
    throw TextError("field definitions in " + path + ": the first line must hold a field count from 1 to 255");
  std::vector<std::string> names;
  std::vector<FieldPattern> patterns;
  for (int f = 0; f < static_cast<int>(count); ++f) {
    if (reader.AtEnd()) throw TextError("field definitions in " + path + ": fewer entries than the field count");
    FieldPattern pattern;
    pattern.start = reader.NextValue();
    pattern.end = reader.NextValue();
    names.push_back(reader.NextValue());
    patterns.push_back(std::move(pattern));
  }
  m_fieldNames = std::move(names);
  m_fieldPatterns = std::move(patterns);
  m_definitionLength = reader.Position();
}

void DocumentSet::InitFieldDefs(int32_t format, const std::string& separator, const std::string& definitionPath) {
  m_columnMode = 0;
  auto tagged = [this](const auto& fields, const char* delimiter) {
    m_fieldNames.clear();
    m_fieldPatterns.clear();
    for (const TaggedField& f : fields) AddField(f.name, f.start, f.end);
    m_recordDelimiter = delimiter;
  };
  auto columns = [this](const auto& names, bool header) {
    m_fieldNames.clear();
    m_fieldPatterns.clear();
    for (const char* name : names) AddField(name);
    m_recordDelimiter = "\n";
    m_columnMode = 1;
    m_headerFlag = header;
  };
  switch (format) {
    case 0:
      m_fieldNames.clear();
      m_fieldPatterns.clear();
      AddField("All Text", "", separator);
      m_recordDelimiter = separator;
      break;
    case 1:
      ReadFieldDefinitions(definitionPath);
      break;
    case 2:
      tagged(kNewsCollection, "</DOC>");
      break;
    case 3:
      tagged(kShortTagged, "\nER\n");
      break;
    case 4:
      tagged(kCitedTagged, "\nER\n");
      break;
    case 5:
      tagged(kFullTagged, "\nER\n");
      m_authorField = 0;
      m_dateTimeField = 1;
      m_titleField = 2;
      m_keyWordField = 4;
      m_contentField = 5;
      m_citedField = 6;
      m_refListField = 7;
      break;
    case 6:
      tagged(kRis, "ER - ");
      m_authorField = 1;
      m_dateTimeField = 2;
      m_titleField = 3;
      m_contentField = 4;
      break;
    case 7:
      columns(kTweetList, false);
      break;
    case 8:
      columns(kTweetExport, false);
      break;
    case 9:
      columns(kNewsTable, true);
      break;
    case 10:
      columns(kPublicationList, true);
      m_authorField = 1;
      m_contentField = 3;
      m_keyWordField = 7;
      m_dateTimeField = 10;
      m_titleField = 11;
      m_citedField = 12;
      break;
    case 11:
      columns(kDiscoveredLinks, true);
      m_urlField = 0;
      m_dateTimeField = 1;
      m_contentField = 2;
      break;
    default:
      break;
  }
  m_expressed.assign(m_fieldNames.size(), true);
}

}  // namespace wendrel
