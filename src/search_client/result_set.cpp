// Request addresses of the academic search service and the HTTP exchange behind them.
#include "search_client/result_set.h"

#include <chrono>
#include <string_view>

#include "platform/service_defaults.h"
#include "platform/web_text.h"
#include "search_client/result_records.h"

namespace wendrel {

namespace {
constexpr int kRequestWaitSeconds = 4;
// How often the event loop gets a turn while a wait period runs.
constexpr int kYieldSliceMs = 100;
constexpr const char* kYahooBossBase = "http://boss.yahooapis.com";

// A reply of the service is one JSON object: its first character, after blanks and a byte-order
// mark, is the opening brace.
bool LooksLikeReply(std::string_view body) {
  if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
  size_t first = body.find_first_not_of(" \t\r\n");
  return first != std::string_view::npos && body[first] == '{';
}

// The first line of a text, at most `limit` bytes of it and never half a character, for messages.
std::string Beginning(std::string_view text, size_t limit = 60) {
  text = text.substr(0, text.find_first_of("\r\n"));
  if (text.size() <= limit) return std::string(text);
  size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

std::string EndIndex(int32_t startIdx, int32_t numResults) {
  return std::to_string(static_cast<int64_t>(startIdx) + numResults - 1);
}
}  // namespace

std::string DefaultServiceAddress() {
  return std::string("http://") + kDefaultServiceHost + ":" + std::to_string(kDefaultServicePort);
}

std::string NormaliseQuery(const std::string& text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if ((c >= 33 && c <= 47) || (c >= 58 && c <= 64)) c = ' ';
    if (c == ' ') {
      out += "%20";
    } else {
      out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
  }
  return out;
}

ResultSet::ResultSet(Host& host, HttpClient& http, std::string baseAddress)
    : m_host(host), m_http(http), m_baseAddress(std::move(baseAddress)) {}

std::string ResultSet::SearchPrefix(const std::string& appId) const {
  return m_baseAddress + "/json.svc/search?AppId=" + appId;
}

bool ResultSet::RequestMASRetrieve(const std::string& appId, const std::string& publicationId) {
  return HttpRequest(SearchPrefix(appId) + "&PublicationID=" + publicationId +
                         "&ResultObjects=Publication&PublicationContent=AllInfo&StartIdx=1&EndIdx=1",
                     kRequestWaitSeconds);
}

bool ResultSet::RequestMASSearch(const std::string& appId, int32_t startIdx, int32_t numResults,
                                 const std::string& fullText, const std::string& title, const std::string& author,
                                 const std::string& journal, const std::string& conference, int16_t yearStart,
                                 int16_t yearEnd) {
  std::string uri = SearchPrefix(appId);
  if (!fullText.empty()) uri += "&FullTextQuery=" + NormaliseQuery(fullText);
  if (!title.empty()) uri += "&TitleQuery=" + NormaliseQuery(title);
  if (!author.empty()) uri += "&AuthorQuery=" + NormaliseQuery(author);
  if (!journal.empty()) uri += "&JournalQuery=" + journal;
  if (!conference.empty()) uri += "&ConferenceQuery=" + conference;
  if (yearStart > 0) uri += "&YearStart=" + std::to_string(yearStart);
  if (yearEnd > 0) uri += "&YearEnd=" + std::to_string(yearEnd);
  uri += "&ResultObjects=Publication&PublicationContent=AllInfo&StartIdx=" + std::to_string(startIdx) +
         "&EndIdx=" + EndIndex(startIdx, numResults);
  return HttpRequest(uri, kRequestWaitSeconds);
}

bool ResultSet::RequestDOISearch(const std::string& appId, const std::string& doi) {
  // A DOI may hold any printable character, so everything but the unreserved ones is escaped.
  return HttpRequest(SearchPrefix(appId) + "&DOIQuery=" + EncodeQueryValue(doi) +
                         "&ResultObjects=Publication&PublicationContent=AllInfo&StartIdx=1&EndIdx=10",
                     kRequestWaitSeconds);
}

std::string ResultSet::ReferencePage(const std::string& appId, const std::string& publicationId, int32_t startIdx,
                                     int32_t numResults, const char* referenceType) {
  return SearchPrefix(appId) + "&PublicationID=" + publicationId + "&PublicationContent=AllInfo&ReferenceType=" +
         referenceType + "&StartIdx=" + std::to_string(startIdx) + "&EndIdx=" + EndIndex(startIdx, numResults) +
         "&OrderBy=CitationCount";
}

bool ResultSet::RequestMASCitingArticles(const std::string& appId, const std::string& publicationId,
                                         int32_t startIdx, int32_t numResults) {
  return HttpRequest(ReferencePage(appId, publicationId, startIdx, numResults, "Citation"), kRequestWaitSeconds);
}

bool ResultSet::RequestMASCitedArticles(const std::string& appId, const std::string& publicationId,
                                        int32_t startIdx, int32_t numResults) {
  return HttpRequest(ReferencePage(appId, publicationId, startIdx, numResults, "Reference"), kRequestWaitSeconds);
}

bool ResultSet::WaitPeriod(HttpRequestHandle& request, int periodMs) {
  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::milliseconds(periodMs);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (request.WaitForResponse(static_cast<int>(left < kYieldSliceMs ? (left > 0 ? left : 0) : kYieldSliceMs)))
      return true;
    if (left <= kYieldSliceMs) return false;
    m_host.DoEvents();
  }
}

bool ResultSet::HttpRequest(const std::string& uri, int wait) {
  m_data.clear();
  m_lastError.clear();
  int periodMs = wait > 0 ? wait * 1000 : 0;
  std::unique_ptr<HttpRequestHandle> request = m_http.Get(uri);
  bool arrived = false;
  for (;;) {
    arrived = WaitPeriod(*request, periodMs);
    m_host.DoEvents();
    // A request aborted during that turn (the user stopped) has ended: there is nothing to ask.
    if (arrived || request->WaitForResponse(0)) {
      arrived = true;
      break;
    }
    int status = request->Status();
    MessageResult answer = m_host.MessageBox(
        "No response from server: Code " + (status ? std::to_string(status) : std::string()),
        "HTTP Request Error", MessageIcon::None, MessageButtons::RetryCancel);
    if (answer != MessageResult::Retry) break;
  }
  // A cancelled wait fails even when a status line had already come: the body would be cut short.
  int status = arrived ? request->Status() : 0;
  if (status == 200) {
    m_data = request->Body();
    if (m_data.empty()) {
      m_lastError = "empty reply";
    } else if (!LooksLikeReply(m_data)) {
      // A proxy's or server's error page must not pass as a reply that found nothing.
      m_lastError = "the reply is not the service's JSON (it begins \"" + Beginning(m_data) + "\")";
      m_data.clear();
    }
    return !m_data.empty();
  }
  if (!arrived) {
    m_lastError = "cancelled";
  } else if (status == 0) {
    m_lastError = request->Error().empty() ? "no reply" : request->Error();
  } else {
    m_lastError = "HTTP status " + std::to_string(status);
    // The service says in plain text why it refused ("OpenAlex's daily budget is spent; ..."):
    // that is what the user needs to read, not the number alone.
    const std::string why = request->Header("Content-Type").rfind("text/plain", 0) == 0
                                ? Beginning(request->Body(), 300)
                                : std::string();
    if (why.find_first_not_of(" \t") != std::string::npos) m_lastError += ": " + why;
  }
  request->Abort();
  return false;
}

std::vector<CCRecord> ResultSet::ResultRecords() const { return ConvertReply(m_data, &m_host); }

int64_t ResultSet::TotalItems() const { return ReplyTotal(m_data); }

std::string ResultSet::Build_YahooBOSS_URI(const std::string& vertical, const std::string& query,
                                           const std::string& appId, int16_t start, int16_t count,
                                           const std::string& rFormat, const std::string& rStyle, bool topTags,
                                           bool keyTerms) const {
  std::string uri = std::string(kYahooBossBase) + "/ysearch/" + vertical + "/v1/" + query + "?appid=" + appId +
                    "&start=" + std::to_string(start) + "&count=" + std::to_string(count) + "&format=" + rFormat +
                    "&style=" + rStyle + "&abstract=long";
  if (topTags && keyTerms) {
    uri += "&view=delicious_toptags,keyterms";
  } else if (topTags) {
    uri += "&view=delicious_toptags";
  } else if (keyTerms) {
    uri += "&view=keyterms";
  }
  return uri;
}

std::string ResultSet::JSON2XML(const std::string&) const { return "<?xml version=\"1.0\"?>\r\n<"; }

}  // namespace wendrel
