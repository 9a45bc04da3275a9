// Requests to the OpenAlex API with good manners: at most so many a second, the API key as the
// api_key parameter OpenAlex documents, backoff on 429, rate-limit 403s and 5xx within a short
// bound, a daily budget too small for a request remembered until OpenAlex renews it, and failures
// turned into reasons a user can act on, never showing the key.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/http_client.h"
#include "platform/web_text.h"

namespace wendrel {

// OpenAlex's prices in US dollars: a page of a list, a search, one credit of the older headers,
// and the whole day's budget without a key (a key gets ten times as much). Single works are free.
constexpr double kOpenAlexListCost = 0.0001;
constexpr double kOpenAlexSearchCost = 0.001;
constexpr double kOpenAlexCreditCost = 0.0001;
constexpr double kOpenAlexKeylessBudget = 0.10;

struct OpenAlexOptions {
  std::string baseAddress = "https://api.openalex.org";
  std::string apiKey;  // empty: requests go without a key
  // OpenAlex no longer uses a contact address: it is never sent, and the gateway says so.
  std::string mailto;
  double requestsPerSecond = 10;  // 0: no limit
  // Tries after the first for a 429, a rate-limit 403, a 5xx or a failed exchange, as far as
  // maxHold allows.
  int retries = 4;
  // Without Retry-After the waits double from this one.
  std::chrono::milliseconds firstBackoff{1000};
  // The longest one request is held on OpenAlex's account: its turn under the rate, backoffs,
  // Retry-After, and the exchanges that failed (each within `timeout`). A wait beyond it is not
  // waited: the request fails at once. Keep it below the client's wait for a reply (4 s), so that a refusal reaches the
  // user as a reason rather than as silence.
  std::chrono::milliseconds maxHold{std::chrono::seconds(3)};
  // One exchange's limit.
  std::chrono::milliseconds timeout{std::chrono::seconds(30)};
  // Every wait (rate limit, backoff) goes through this; empty: the thread waits, and Stop ends
  // the wait.
  std::function<void(std::chrono::milliseconds)> sleep;
  // Told each failure and retry, in words without the key.
  std::function<void(const std::string&)> log;
};

class OpenAlexClient {
 public:
  // `http` empty: libcurl.
  explicit OpenAlexClient(OpenAlexOptions options, std::unique_ptr<HttpClient> http = nullptr);
  ~OpenAlexClient();

  // GETs base + pathAndQuery (which starts with "/" and has its query values encoded), with the
  // key added as api_key. The parsed reply; nothing for 404. Throws SourceUnavailable: 503 when
  // OpenAlex refuses for now (too many requests, a budget too small for this request: the message
  // says until when) or the client is stopping, 502 otherwise. Several threads may call it at once.
  std::optional<nlohmann::json> Get(const std::string& pathAndQuery);

  // What OpenAlex last said is left of today's budget, in US dollars; nothing before it said.
  std::optional<double> BudgetLeft() const;

  // Ends every wait and exchange in progress at once (they throw) and refuses what comes later,
  // until Resume. Any thread; idempotent.
  void Stop();
  void Resume();

  // The text with the key replaced by "***".
  std::string Hidden(std::string text) const;

 private:
  using Clock = std::chrono::steady_clock;
  // Waits for this request's turn under the rate, counting the wait into `held`.
  void WaitForSlot(std::chrono::milliseconds& held);
  void Sleep(std::chrono::milliseconds wait);
  void ThrowIfStopping() const;
  // The refusal OpenAlex asked to be remembered, while it lasts, for a request of this cost.
  std::optional<std::string> StandingRefusal(double cost);
  void NoteBudget(const HttpRequestHandle& reply);
  void Log(const std::string& line);

  OpenAlexOptions m_options;
  std::unique_ptr<HttpClient> m_http;
  std::mutex m_slotMutex;
  Clock::time_point m_nextSlot{};
  // Until when OpenAlex refuses every charged request (a long Retry-After).
  Clock::time_point m_refusedUntil{};
  // Until the budget is renewed, requests that cost more than what it has left are refused.
  Clock::time_point m_budgetRenewed{};
  double m_budgetLeft = 0;
  mutable std::mutex m_budgetMutex;
  std::optional<double> m_lastBudgetLeft;
  std::atomic<bool> m_keyChecked{false};
  std::atomic<bool> m_stopping{false};
  std::mutex m_stopMutex;
  std::condition_variable m_stopped;
};


// A span of time as a person reads it: "5 h 12 min", "3 min", "40 s".
std::string DurationText(std::chrono::seconds span);

}  // namespace wendrel
