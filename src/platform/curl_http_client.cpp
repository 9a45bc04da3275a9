// libcurl implementation of the HTTP seam, and the address encoding it applies.
#include "curl_http_client.h"

#include <curl/curl.h>

#include <chrono>
#include <mutex>
#include <unordered_set>

#include "platform/program_version.h"

namespace wendrel {

struct CurlHttpClient::InFlight {
  std::mutex mutex;
  std::unordered_set<HttpRequestHandle*> requests;
};

std::string EncodeAddress(const std::string& address) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(address.size());
  for (unsigned char c : address) {
    if (c <= 0x20 || c >= 0x7F) {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

namespace {

// Replies larger than this are cut off and reported as failed: the largest real reply page is
// about a megabyte, and an endless body must not eat the memory.
constexpr size_t kMaxBodyMiB = 64;
constexpr size_t kMaxBody = kMaxBodyMiB * 1024u * 1024u;

class CurlRequest : public HttpRequestHandle {
 public:
  CurlRequest(const std::string& address, const std::vector<std::string>& headers,
              std::shared_ptr<CurlHttpClient::InFlight> inFlight)
      : m_easy(curl_easy_init()), m_multi(curl_multi_init()), m_inFlight(std::move(inFlight)) {
    {
      std::lock_guard lock(m_inFlight->mutex);
      m_inFlight->requests.insert(this);
    }
    if (!m_easy || !m_multi) {
      m_done = true;
      m_error = "cannot create an HTTP request";
      return;
    }
    m_address = EncodeAddress(address);
    curl_easy_setopt(m_easy, CURLOPT_URL, m_address.c_str());
    curl_easy_setopt(m_easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(m_easy, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(m_easy, CURLOPT_WRITEDATA, this);
    // Refused before the body comes when the server announces its size.
    curl_easy_setopt(m_easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxBody));
    m_errorBuffer[0] = '\0';
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(m_easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(m_easy, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(m_easy, CURLOPT_USERAGENT, kUserAgent);
    for (const std::string& header : headers) m_headers = curl_slist_append(m_headers, header.c_str());
    // libcurl sends an Authorization header along a redirect to the same host only, so a key
    // stays with the host it was meant for.
    if (m_headers) curl_easy_setopt(m_easy, CURLOPT_HTTPHEADER, m_headers);
    curl_multi_add_handle(m_multi, m_easy);
  }

  ~CurlRequest() override {
    {
      std::lock_guard lock(m_inFlight->mutex);
      m_inFlight->requests.erase(this);
    }
    if (m_multi && m_easy) curl_multi_remove_handle(m_multi, m_easy);
    if (m_easy) curl_easy_cleanup(m_easy);
    if (m_multi) curl_multi_cleanup(m_multi);
    curl_slist_free_all(m_headers);
  }

  bool WaitForResponse(int timeoutMs) override {
    using Clock = std::chrono::steady_clock;
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    while (!m_done) {
      int running = 0;
      if (curl_multi_perform(m_multi, &running) != CURLM_OK) {
        Finish(CURLE_FAILED_INIT);
        break;
      }
      Collect();
      if (m_done) break;
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      if (left <= 0) break;
      curl_multi_poll(m_multi, nullptr, 0, static_cast<int>(left > 100 ? 100 : left), nullptr);
    }
    return m_done;
  }

  int Status() const override {
    long code = 0;
    if (m_easy && m_result == CURLE_OK) curl_easy_getinfo(m_easy, CURLINFO_RESPONSE_CODE, &code);
    return static_cast<int>(code);
  }

  const std::string& Body() const override { return m_body; }

  std::string Error() const override { return m_error; }

  std::string Header(const std::string& name) const override {
    curl_header* header = nullptr;
    if (!m_done || m_result != CURLE_OK ||
        curl_easy_header(m_easy, name.c_str(), 0, CURLH_HEADER, -1, &header) != CURLHE_OK || !header)
      return {};
    return header->value ? header->value : "";
  }

  void Abort() override {
    if (m_done) return;
    if (m_multi && m_easy) curl_multi_remove_handle(m_multi, m_easy);
    m_done = true;
    m_result = CURLE_ABORTED_BY_CALLBACK;
    m_error = "aborted";
    m_body.clear();  // what had come is cut short
  }

 private:
  static size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    auto* self = static_cast<CurlRequest*>(user);
    size_t n = size * count;
    if (self->m_body.size() + n > kMaxBody) {
      self->m_tooLarge = true;
      return 0;  // makes curl fail the transfer
    }
    self->m_body.append(data, n);
    return n;
  }

  void Collect() {
    int queued = 0;
    while (CURLMsg* msg = curl_multi_info_read(m_multi, &queued)) {
      if (msg->msg == CURLMSG_DONE && msg->easy_handle == m_easy) Finish(msg->data.result);
    }
  }

  void Finish(CURLcode result) {
    m_done = true;
    m_result = result;
    if (m_tooLarge || result == CURLE_FILESIZE_EXCEEDED) {
      m_error = "the reply is larger than " + std::to_string(kMaxBodyMiB) + " MB";
      m_body.clear();
      m_body.shrink_to_fit();
    } else if (result != CURLE_OK) {
      m_error = m_errorBuffer[0] ? m_errorBuffer : curl_easy_strerror(result);
      m_body.clear();
    }
  }

  CURL* m_easy;
  CURLM* m_multi;
  curl_slist* m_headers = nullptr;
  std::shared_ptr<CurlHttpClient::InFlight> m_inFlight;
  std::string m_address;
  std::string m_body;
  std::string m_error;
  char m_errorBuffer[CURL_ERROR_SIZE] = {};
  bool m_done = false;
  bool m_tooLarge = false;
  CURLcode m_result = CURLE_OK;
};

std::once_flag g_curlInit;

}  // namespace

CurlHttpClient::CurlHttpClient() : m_inFlight(std::make_shared<InFlight>()) {
  std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CurlHttpClient::~CurlHttpClient() = default;

std::unique_ptr<HttpRequestHandle> CurlHttpClient::Get(const std::string& address,
                                                       const std::vector<std::string>& headers) {
  return std::make_unique<CurlRequest>(address, headers, m_inFlight);
}

void CurlHttpClient::AbortAll() {
  std::lock_guard lock(m_inFlight->mutex);
  for (HttpRequestHandle* request : m_inFlight->requests) request->Abort();
}

}  // namespace wendrel
