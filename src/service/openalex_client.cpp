#include "service/openalex_client.h"

#include <algorithm>
#include <cctype>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/curl_http_client.h"
#include "service/publication_source.h"

namespace wendrel {

namespace {

// Retry-After in seconds; an HTTP date or anything else reads as absent.
std::optional<std::chrono::milliseconds> RetryAfter(const std::string& header) {
  std::string text = header;
  text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return std::nullopt;
  return std::chrono::seconds(std::stoi(text));
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

}  // namespace

std::string EncodeQueryValue(const std::string& value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : value) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
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

void OpenAlexClient::Sleep(std::chrono::milliseconds wait) {
  if (wait.count() <= 0) return;
  if (m_options.sleep)
    m_options.sleep(wait);
  else
    std::this_thread::sleep_for(wait);
}

// Requests share one schedule across the server's threads: each takes the next free slot.
void OpenAlexClient::WaitForSlot() {
  if (m_options.requestsPerSecond <= 0) return;
  auto interval = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(1.0 / m_options.requestsPerSecond));
  std::chrono::steady_clock::time_point slot;
  {
    std::lock_guard<std::mutex> lock(m_slotMutex);
    auto now = std::chrono::steady_clock::now();
    slot = std::max(now, m_nextSlot);
    m_nextSlot = slot + interval;
  }
  Sleep(std::chrono::ceil<std::chrono::milliseconds>(slot - std::chrono::steady_clock::now()));
}

std::optional<nlohmann::json> OpenAlexClient::Get(const std::string& pathAndQuery) {
  std::string address = m_options.baseAddress + pathAndQuery;
  char separator = pathAndQuery.find('?') == std::string::npos ? '?' : '&';
  if (!m_options.apiKey.empty()) {
    address += separator + std::string("api_key=") + EncodeQueryValue(m_options.apiKey);
    separator = '&';
  }
  if (!m_options.mailto.empty()) address += separator + std::string("mailto=") + EncodeQueryValue(m_options.mailto);

  std::string failure;
  int failureStatus = 502;
  for (int attempt = 0; attempt <= m_options.retries; ++attempt) {
    WaitForSlot();
    std::unique_ptr<HttpRequestHandle> request = m_http->Get(address);
    int status = 0;
    std::optional<std::chrono::milliseconds> retryAfter;
    if (!request->WaitForResponse(static_cast<int>(m_options.timeout.count()))) {
      request->Abort();
      failure = "OpenAlex did not answer within " +
                std::to_string(std::chrono::duration_cast<std::chrono::seconds>(m_options.timeout).count()) + " s";
    } else {
      status = request->Status();
      if (status == 200) {
        nlohmann::json reply = nlohmann::json::parse(request->Body(), nullptr, false);
        if (reply.is_discarded() || !reply.is_object()) {
          Log("OpenAlex sent a reply that is not a JSON object for " + pathAndQuery);
          throw SourceUnavailable(502, "OpenAlex sent a malformed reply");
        }
        return reply;
      }
      if (status == 404) return std::nullopt;
      if (status == 0) {
        failure = "OpenAlex cannot be reached (" + request->Error() + ")";
      } else if (status == 429) {
        failureStatus = 503;
        failure = "OpenAlex refuses more requests for now (429: too many requests, or the day's quota is spent)";
        retryAfter = RetryAfter(request->Header("Retry-After"));
      } else if (status >= 500) {
        failure = "OpenAlex failed (status " + std::to_string(status) + ")";
        retryAfter = RetryAfter(request->Header("Retry-After"));
      } else {
        // 401, 403 and other refusals do not go away by asking again.
        std::string message = ReplyMessage(request->Body());
        std::string reason =
            status == 401 || status == 403
                ? "OpenAlex refused the API key (status " + std::to_string(status) +
                      "): check --api-key or OPENALEX_API_KEY"
                : "OpenAlex refused the request (status " + std::to_string(status) + ")";
        if (!message.empty()) reason += ": " + message;
        Log(reason + " for " + pathAndQuery);
        throw SourceUnavailable(502, Hidden(reason));
      }
    }
    if (attempt == m_options.retries) break;
    std::chrono::milliseconds wait = retryAfter ? *retryAfter : m_options.firstBackoff * (1 << std::min(attempt, 16));
    wait = std::min(wait, m_options.maxWait);
    Log(failure + "; asking again in " + std::to_string(wait.count()) + " ms (" + pathAndQuery + ")");
    Sleep(wait);
  }
  Log(failure + "; giving up on " + pathAndQuery);
  throw SourceUnavailable(failureStatus, Hidden(failure));
}

}  // namespace wendrel
