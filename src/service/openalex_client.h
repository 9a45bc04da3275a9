// Requests to the OpenAlex API with good manners: at most so many a second, the api_key and
// mailto parameters on each, backoff on 429 and 5xx (Retry-After when given), and failures turned
// into reasons a user can act on, never showing the key.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "platform/http_client.h"

namespace wendrel {

struct OpenAlexOptions {
  std::string baseAddress = "https://api.openalex.org";
  std::string apiKey;  // empty: requests go without a key
  std::string mailto;  // empty: not sent
  double requestsPerSecond = 10;  // 0: no limit
  // Tries after the first for a 429, a 5xx or a failed exchange.
  int retries = 4;
  // Without Retry-After the waits double from this one; Retry-After is honoured up to maxWait.
  std::chrono::milliseconds firstBackoff{1000};
  std::chrono::milliseconds maxWait{std::chrono::minutes(2)};
  std::chrono::milliseconds timeout{std::chrono::seconds(30)};
  // Every wait (rate limit, backoff) goes through this; empty: the thread sleeps.
  std::function<void(std::chrono::milliseconds)> sleep;
  // Told each failure and retry, in words without the key.
  std::function<void(const std::string&)> log;
};

class OpenAlexClient {
 public:
  // `http` empty: libcurl.
  explicit OpenAlexClient(OpenAlexOptions options, std::unique_ptr<HttpClient> http = nullptr);
  ~OpenAlexClient();

  // GETs base + pathAndQuery (which starts with "/" and has its query values encoded) with the key
  // and mailto added. The parsed reply; nothing for 404. Throws SourceUnavailable: 503 when
  // OpenAlex keeps refusing with 429 (quota spent, too many requests), 502 otherwise.
  std::optional<nlohmann::json> Get(const std::string& pathAndQuery);

  // The text with the key replaced by "***".
  std::string Hidden(std::string text) const;

 private:
  void WaitForSlot();
  void Sleep(std::chrono::milliseconds wait);
  void Log(const std::string& line);

  OpenAlexOptions m_options;
  std::unique_ptr<HttpClient> m_http;
  std::mutex m_slotMutex;
  std::chrono::steady_clock::time_point m_nextSlot{};
};

// Percent-encodes a query value (everything but unreserved characters).
std::string EncodeQueryValue(const std::string& value);

}  // namespace wendrel
