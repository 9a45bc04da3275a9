#include "service/search_request.h"

#include <charconv>
#include <exception>
#include <limits>
#include <optional>

#include "platform/web_text.h"
#include "service/reply_writer.h"

namespace wendrel {

namespace {

constexpr const char* kJsonType = "application/json; charset=utf-8";
constexpr const char* kTextType = "text/plain; charset=utf-8";

struct Refusal {
  int status;
  std::string message;
};

bool SameWord(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

class Parameters {
 public:
  explicit Parameters(const QueryParameters& parameters) : m_parameters(parameters) {}

  std::optional<std::string> Get(const char* key) const {
    for (const auto& [k, v] : m_parameters)
      if (SameWord(k, key)) return v;
    return std::nullopt;
  }

  // A whole number of plain decimal digits within [min, max]; nothing when the key is absent.
  std::optional<int64_t> Number(const char* key, int64_t min, int64_t max) const {
    std::optional<std::string> text = Get(key);
    if (!text) return std::nullopt;
    int64_t value = 0;
    const char* end = text->data() + text->size();
    bool digitsOnly = !text->empty() && text->find_first_not_of("0123456789") == std::string::npos;
    auto [stop, error] = std::from_chars(text->data(), end, value);
    if (!digitsOnly || error != std::errc() || stop != end || value < min || value > max)
      throw Refusal{400, std::string(key) + " must be a whole number from " + std::to_string(min) + " to " +
                             std::to_string(max)};
    return value;
  }

  // One of the listed words (any case), or nothing when the key is absent.
  std::optional<std::string> Choice(const char* key, std::initializer_list<const char*> accepted) const {
    std::optional<std::string> text = Get(key);
    if (!text) return std::nullopt;
    for (const char* word : accepted)
      if (SameWord(*text, word)) return std::string(word);
    std::string list;
    for (const char* word : accepted) list += (list.empty() ? "" : ", ") + std::string(word);
    throw Refusal{400, std::string(key) + " must be one of " + list};
  }

 private:
  const QueryParameters& m_parameters;
};

ServiceReply Answer(PublicationSource& source, const Parameters& parameters) {
  std::optional<std::string> appId = parameters.Get("AppId");
  if (!appId || appId->empty()) throw Refusal{403, "AppId required"};

  constexpr int64_t kMaxIndex = std::numeric_limits<uint32_t>::max();
  std::optional<std::string> publicationId = parameters.Get("PublicationID");
  if (publicationId && (publicationId->empty() || publicationId->size() > kMaxIdLength))
    throw Refusal{400, "PublicationID must be a text of 1 to " + std::to_string(kMaxIdLength) + " bytes"};
  std::optional<std::string> referenceType = parameters.Choice("ReferenceType", {"None", "Reference", "Citation"});
  std::optional<std::string> orderBy = parameters.Choice("OrderBy", {"Rank", "Year", "CitationCount"});
  parameters.Choice("ResultObjects", {"Publication"});
  parameters.Choice("PublicationContent", {"AllInfo", "MetaOnly", "Title", "Author", "Abstract",
                                           "ConferenceAndJournalInfo", "FullVersionURL", "Keyword"});
  int64_t startIdx = parameters.Number("StartIdx", 1, kMaxIndex).value_or(1);
  int64_t endIdx = parameters.Number("EndIdx", 1, kMaxIndex).value_or(startIdx + 9);
  if (endIdx < startIdx) throw Refusal{400, "EndIdx must not be below StartIdx"};
  if (endIdx - startIdx + 1 > kMaxResultsPerRequest)
    throw Refusal{400, "at most " + std::to_string(kMaxResultsPerRequest) + " results per request"};
  if (referenceType && !publicationId) throw Refusal{400, "ReferenceType needs a PublicationID"};

  PublicationOrder order = PublicationOrder::Rank;
  if (orderBy == "Year") order = PublicationOrder::Year;
  if (orderBy == "CitationCount") order = PublicationOrder::CitationCount;
  int64_t offset = startIdx - 1;
  int64_t limit = endIdx - startIdx + 1;

  PublicationPage page;
  if (publicationId) {
    if (referenceType == "Reference")
      page = source.References(*publicationId, order, offset, limit);
    else if (referenceType == "Citation")
      page = source.Citing(*publicationId, order, offset, limit);
    else
      page = source.Retrieve(*publicationId, offset);
  } else {
    SearchCriteria criteria;
    criteria.fullText = parameters.Get("FullTextQuery").value_or("");
    criteria.title = parameters.Get("TitleQuery").value_or("");
    criteria.author = parameters.Get("AuthorQuery").value_or("");
    criteria.journal = parameters.Get("JournalQuery").value_or("");
    criteria.conference = parameters.Get("ConferenceQuery").value_or("");
    criteria.yearStart = static_cast<int>(parameters.Number("YearStart", 0, 32767).value_or(0));
    criteria.yearEnd = static_cast<int>(parameters.Number("YearEnd", 0, 32767).value_or(0));
    criteria.doi = DoiKey(parameters.Get("DOIQuery").value_or(""));
    page = source.Search(criteria, order, offset, limit);
  }
  return {200, kJsonType, WritePublicationReply(page, startIdx)};
}

}  // namespace

ServiceReply AnswerSearchRequest(PublicationSource& source, const QueryParameters& parameters) {
  try {
    return Answer(source, Parameters(parameters));
  } catch (const Refusal& refusal) {
    return {refusal.status, kTextType, refusal.message + "\n"};
  } catch (const SourceUnavailable& unavailable) {
    return {unavailable.Status(), kTextType, std::string(unavailable.what()) + "\n"};
  }
}

}  // namespace wendrel
