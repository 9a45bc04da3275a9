#include "openalex/openalex_client.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <nlohmann/json.hpp>

#include "platform/curl_http_client.h"
#include "service/publication_source.h"

namespace wendrel {

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// How often a wait for OpenAlex's reply looks whether the client is stopping.
constexpr milliseconds kStopCheck{50};

// Longer waits than this are read as this one: a week is "not today" all the same, and the
// clock's arithmetic stays far from overflowing.
constexpr seconds kLongestWait{7 * 24 * 3600};

// A whole number of a header, blanks around it allowed; anything else reads as absent.
std::optional<long long> HeaderNumber(const std::string& header) {
  std::string text = header;
  text.erase(std::remove_if(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); }), text.end());
  if (text.empty() || text.size() > 12 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::stoll(text);
}

// Retry-After in seconds; an HTTP date or anything else reads as absent.
std::optional<milliseconds> RetryAfter(const std::string& header) {
  std::optional<long long> value = HeaderNumber(header);
  if (!value) return std::nullopt;
  return std::min(seconds(*value), kLongestWait);
}

// X-RateLimit-Reset: OpenAlex sends the seconds until its budget is renewed; a value that can
// only be a moment (seconds since 1970) is read as one.
std::optional<milliseconds> ResetIn(const std::string& header) {
  std::optional<long long> value = HeaderNumber(header);
  if (!value) return std::nullopt;
  constexpr long long kTenYears = 10LL * 366 * 24 * 3600;
  if (*value > kTenYears) *value = std::max(0LL, *value - static_cast<long long>(std::time(nullptr)));
  return std::min(seconds(*value), kLongestWait);
}

// The "message" or "error" of an OpenAlex error reply, short.
std::string ReplyMessage(const std::string& body) {
  nlohmann::json reply = nlohmann::json::parse(body, nullptr, false);
  std::string message;
  if (reply.is_object())
    for (const char* key : {"message", "error"})
      if (reply.contains(key) && reply[key].is_string()) {
        message = reply[key].get<std::string>();
        break;
      }
  if (message.size() > 200) message = message.substr(0, 200) + "...";
  return message;
}

// Both texts of an error reply, which between them say what kind of refusal it is.
std::string ReplyWords(const std::string& body) {
  nlohmann::json reply = nlohmann::json::parse(body, nullptr, false);
  std::string words;
  if (reply.is_object())
    for (const char* key : {"error", "message"})
      if (reply.contains(key) && reply[key].is_string()) words += reply[key].get<std::string>() + " ";
  return words;
}

// The dollar amount after `marker` in a text ("... only have $0.0005"), if one follows.
std::optional<double> AmountAfter(const std::string& text, const std::string& marker) {
  const size_t at = text.find(marker);
  if (at == std::string::npos) return std::nullopt;
  size_t start = at + marker.size(), end = start;
  while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == '.')) ++end;
  if (end == start || !std::isdigit(static_cast<unsigned char>(text[start]))) return std::nullopt;
  return std::strtod(text.substr(start, end - start).c_str(), nullptr);
}

bool Mentions(const std::string& text, std::initializer_list<const char*> words) {
  std::string lower = text;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::any_of(words.begin(), words.end(), [&](const char* word) { return lower.find(word) != std::string::npos; });
}

// OpenAlex answers 403 both when requests come too fast and when it does not take the key; only
// its message tells which. Without a word of the key it is the rate limit, as its documentation
// lists 403.
bool RefusesTheKey(const std::string& message) {
  if (Mentions(message, {"rate", "limit", "too many", "exceeded", "quota", "budget", "slow down"})) return false;
  return Mentions(message, {"key", "token", "unauthori", "authenticat", "credential"});
}

// What a request costs from the daily budget, in US dollars, as OpenAlex prices it: a single
// entity ("/works/W1", "/works/doi:10.1/x?select=id") nothing, a page of a list a hundredth of a
// cent, a search ten times that.
double RequestCost(const std::string& pathAndQuery) {
  const size_t question = pathAndQuery.find('?');
  const std::string path = pathAndQuery.substr(0, question);
  if (path.find('/', 1) != std::string::npos) return 0;
  const std::string query = question == std::string::npos ? std::string() : pathAndQuery.substr(question);
  const bool search = query.find("?search=") != std::string::npos || query.find("&search=") != std::string::npos ||
                      query.find(".search:") != std::string::npos;
  return search ? kOpenAlexSearchCost : kOpenAlexListCost;
}

// Seconds until the next midnight UTC, when OpenAlex renews the daily budget.
seconds UntilMidnightUtc() {
  const long long now = static_cast<long long>(std::time(nullptr));
  return seconds(86400 - now % 86400);
}

// Dollars as OpenAlex writes them, to a hundredth of a cent.
std::string Dollars(double amount) {
  char text[32];
  std::snprintf(text, sizeof text, "$%.4f", amount);
  return text;
}

}  // namespace

std::string DurationText(seconds span) {
  const long long total = std::max<long long>(0, span.count());
  if (total >= 3600) return std::to_string(total / 3600) + " h " + std::to_string(total % 3600 / 60) + " min";
  if (total >= 60) return std::to_string(total / 60) + " min";
  return std::to_string(total) + " s";
}

OpenAlexClient::OpenAlexClient(OpenAlexOptions options, std::unique_ptr<HttpClient> http)
    : m_options(std::move(options)), m_http(std::move(http)) {
  if (!m_http) m_http = std::make_unique<CurlHttpClient>();
  while (!m_options.baseAddress.empty() && m_options.baseAddress.back() == '/') m_options.baseAddress.pop_back();
}

OpenAlexClient::~OpenAlexClient() = default;

std::string OpenAlexClient::Hidden(std::string text) const {
  for (const std::string& secret : {m_options.apiKey, EncodeQueryValue(m_options.apiKey)}) {
    if (secret.empty()) continue;
    for (size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + 3))
      text.replace(at, secret.size(), "***");
  }
  return text;
}

void OpenAlexClient::Log(const std::string& line) {
  if (m_options.log) m_options.log(Hidden(line));
}

void OpenAlexClient::Stop() {
  {
    std::lock_guard<std::mutex> lock(m_stopMutex);
    m_stopping = true;
  }
  m_stopped.notify_all();
}

void OpenAlexClient::Resume() {
  std::lock_guard<std::mutex> lock(m_stopMutex);
  m_stopping = false;
}

void OpenAlexClient::ThrowIfStopping() const {
  if (m_stopping) throw SourceUnavailable(503, "the OpenAlex gateway is stopping");
}

void OpenAlexClient::Sleep(milliseconds wait) {
  if (wait.count() > 0) {
    if (m_options.sleep) {
      m_options.sleep(wait);
    } else {
      std::unique_lock<std::mutex> lock(m_stopMutex);
      m_stopped.wait_for(lock, wait, [this] { return m_stopping.load(); });
    }
  }
  ThrowIfStopping();
}

// Requests share one schedule across the server's threads: each takes the next free slot, unless
// that slot lies beyond what the request may still wait.
void OpenAlexClient::WaitForSlot(milliseconds& held) {
  if (m_options.requestsPerSecond <= 0) return;
  auto interval = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(1.0 / m_options.requestsPerSecond));
  milliseconds wait{0};
  {
    std::lock_guard<std::mutex> lock(m_slotMutex);
    auto now = Clock::now();
    Clock::time_point slot = std::max(now, m_nextSlot);
    wait = std::chrono::ceil<milliseconds>(slot - now);
    if (held + wait > m_options.maxHold)
      throw SourceUnavailable(503, "too many requests are waiting for OpenAlex; ask again in a moment");
    m_nextSlot = slot + interval;
  }
  held += wait;
  Sleep(wait);
}

std::optional<std::string> OpenAlexClient::StandingRefusal(double cost) {
  std::lock_guard<std::mutex> lock(m_slotMutex);
  const auto now = Clock::now();
  // The gateway answers what its cache holds whatever OpenAlex says: the reason says so.
  if (now < m_budgetRenewed && cost > m_budgetLeft) {
    const std::string left = DurationText(std::chrono::ceil<seconds>(m_budgetRenewed - now));
    if (m_budgetLeft < kOpenAlexListCost)
      return "OpenAlex's daily budget is spent; it is renewed in " + left + ". Cached works still answer.";
    return "OpenAlex's daily budget has " + Dollars(m_budgetLeft) + " left, less than a search costs (" +
           Dollars(kOpenAlexSearchCost) + "); it is renewed in " + left + ". Lists and cached works still answer.";
  }
  if (now < m_refusedUntil && cost > 0)
    return "OpenAlex asks to wait " + DurationText(std::chrono::ceil<seconds>(m_refusedUntil - now)) +
           " before more requests. Cached works still answer.";
  return std::nullopt;
}

std::optional<double> OpenAlexClient::BudgetLeft() const {
  std::lock_guard<std::mutex> lock(m_budgetMutex);
  return m_lastBudgetLeft;
}

// Every reply says what is left of the day's budget, in dollars or (as OpenAlex did before) in
// credits of a hundredth of a cent each. The first that says how large the budget is tells
// whether the key was taken: a key gets ten times the keyless budget.
void OpenAlexClient::NoteBudget(const HttpRequestHandle& reply) {
  auto amount = [&reply](const char* dollars, const char* credits) -> std::optional<double> {
    const std::string text = reply.Header(dollars);
    if (!text.empty()) {
      char* end = nullptr;
      const double value = std::strtod(text.c_str(), &end);
      if (end != text.c_str() && value >= 0) return value;
    }
    if (std::optional<long long> value = HeaderNumber(reply.Header(credits))) return *value * kOpenAlexCreditCost;
    return std::nullopt;
  };
  const std::optional<double> left = amount("X-RateLimit-Remaining-USD", "X-RateLimit-Remaining");
  const std::optional<double> limit = amount("X-RateLimit-Limit-USD", "X-RateLimit-Limit");
  {
    std::lock_guard<std::mutex> lock(m_budgetMutex);
    if (left) m_lastBudgetLeft = left;
  }
  if (!limit || m_options.apiKey.empty() || m_keyChecked.exchange(true)) return;
  if (*limit > kOpenAlexKeylessBudget * 1.5)
    Log("OpenAlex took the API key: the daily budget is " + Dollars(*limit));
  else
    Log("OpenAlex did not take the API key: it answers on the keyless daily budget of " + Dollars(*limit) +
        ". Check --api-key or OPENALEX_API_KEY.");
}

std::optional<nlohmann::json> OpenAlexClient::Get(const std::string& pathAndQuery) {
  ThrowIfStopping();
  const double cost = RequestCost(pathAndQuery);
  if (std::optional<std::string> refusal = StandingRefusal(cost)) throw SourceUnavailable(503, *refusal);

  // The key goes as OpenAlex documents it, as a parameter of the address; Hidden keeps it out of
  // every line logged and every reason given.
  std::string address = m_options.baseAddress + pathAndQuery;
  if (!m_options.apiKey.empty())
    address += (pathAndQuery.find('?') == std::string::npos ? "?api_key=" : "&api_key=") +
               EncodeQueryValue(m_options.apiKey);

  std::string failure;
  int failureStatus = 502;
  milliseconds held{0};
  for (int attempt = 0; attempt <= m_options.retries; ++attempt) {
    WaitForSlot(held);
    const auto began = Clock::now();
    std::unique_ptr<HttpRequestHandle> request = m_http->Get(address);
    bool answered = false;
    for (milliseconds waited{0}; waited < m_options.timeout && !answered; waited += kStopCheck) {
      answered = request->WaitForResponse(static_cast<int>(std::min(kStopCheck, m_options.timeout - waited).count()));
      if (!answered && m_stopping) {
        request->Abort();
        ThrowIfStopping();
      }
    }
    int status = 0;
    std::optional<milliseconds> asked;  // what OpenAlex asked to wait
    // A failed exchange counts too: a slow OpenAlex that fails holds the request as a wait does.
    held += std::chrono::ceil<milliseconds>(Clock::now() - began);
    if (!answered) {
      request->Abort();
      failureStatus = 502;
      failure = "OpenAlex did not answer within " +
                std::to_string(std::chrono::duration_cast<seconds>(m_options.timeout).count()) + " s";
    } else {
      status = request->Status();
      if (status != 0) NoteBudget(*request);
      if (status == 200) {
        nlohmann::json reply = nlohmann::json::parse(request->Body(), nullptr, false);
        if (reply.is_discarded() || !reply.is_object()) {
          Log("OpenAlex sent a reply that is not a JSON object for " + pathAndQuery);
          throw SourceUnavailable(502, "OpenAlex sent a malformed reply");
        }
        return reply;
      }
      if (status == 404) return std::nullopt;
      const std::string message = status == 0 ? std::string() : ReplyMessage(request->Body());
      if (status == 0) {
        failureStatus = 502;
        failure = "OpenAlex cannot be reached (" + request->Error() + ")";
      } else if (status == 429 || (status == 403 && !RefusesTheKey(message))) {
        failureStatus = 503;
        failure = "OpenAlex refuses more requests for now (status " + std::to_string(status) +
                  (status == 429 ? ": too many requests" : ": rate limit") + ")";
        if (!message.empty()) failure += ": " + message;
        // Only the refusal's own words tell a budget too small for this request ("Insufficient
        // budget: this request costs $0.001 but you only have $0.0005") from too many requests
        // a second: OpenAlex sends the same Remaining 0 and the seconds to midnight as Reset
        // with both, and a short Retry-After with the second.
        const std::string words = ReplyWords(request->Body());
        if (Mentions(words, {"budget", "insufficient"})) {
          // What remains, when the refusal says; a refusal that does not say leaves nothing.
          double left = AmountAfter(words, "only have $").value_or(0.0);
          if (left >= cost) left = 0;  // words that do not add up: nothing is taken to remain
          const milliseconds renewed = ResetIn(request->Header("X-RateLimit-Reset")).value_or(UntilMidnightUtc());
          {
            std::lock_guard<std::mutex> lock(m_slotMutex);
            m_budgetRenewed = Clock::now() + renewed;
            m_budgetLeft = left;
          }
          {
            std::lock_guard<std::mutex> lock(m_budgetMutex);
            m_lastBudgetLeft = left;
          }
          std::string refusal = StandingRefusal(cost).value_or(failure);
          Log(failure + "; " + refusal + " (" + pathAndQuery + ")");
          throw SourceUnavailable(503, Hidden(refusal));
        }
        asked = RetryAfter(request->Header("Retry-After"));
      } else if (status >= 500) {
        failureStatus = 502;
        failure = "OpenAlex failed (status " + std::to_string(status) + ")";
        asked = RetryAfter(request->Header("Retry-After"));
      } else {
        // A refused key and other refusals do not go away by asking again.
        std::string reason;
        if (status == 401 || status == 403)
          reason = m_options.apiKey.empty()
                       ? "OpenAlex refused the request without an API key (status " + std::to_string(status) +
                             "): give one with --api-key or OPENALEX_API_KEY"
                       : "OpenAlex refused the API key (status " + std::to_string(status) +
                             "): check --api-key or OPENALEX_API_KEY";
        else
          reason = "OpenAlex refused the request (status " + std::to_string(status) + ")";
        if (!message.empty()) reason += ": " + message;
        Log(reason + " for " + pathAndQuery);
        throw SourceUnavailable(502, Hidden(reason));
      }
    }
    if (asked && *asked > m_options.maxHold) {
      // Not worth holding the request for: remember it, so that charged requests are answered at
      // once (from the cache) until then.
      {
        std::lock_guard<std::mutex> lock(m_slotMutex);
        m_refusedUntil = std::max(m_refusedUntil, Clock::now() + *asked);
      }
      std::string refusal = StandingRefusal(std::max(cost, kOpenAlexListCost)).value_or(failure);
      Log(failure + "; " + refusal + " (" + pathAndQuery + ")");
      throw SourceUnavailable(503, Hidden(refusal));
    }
    if (attempt == m_options.retries) break;
    milliseconds wait = asked ? *asked : m_options.firstBackoff * (1 << std::min(attempt, 16));
    if (held + wait > m_options.maxHold) break;
    Log(failure + "; asking again in " + std::to_string(wait.count()) + " ms (" + pathAndQuery + ")");
    held += wait;
    Sleep(wait);
  }
  Log(failure + "; giving up on " + pathAndQuery);
  throw SourceUnavailable(failureStatus, Hidden(failure));
}

}  // namespace wendrel
