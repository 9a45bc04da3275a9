// HTTP behind an interface: start a GET, wait a bounded time for the response, read status and
// body, abort. The core's request loop (wait periods, asking the user) is built on this.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace wendrel {

// One GET in flight. Destroying it releases (and if need be aborts) the request.
class HttpRequestHandle {
 public:
  virtual ~HttpRequestHandle() = default;

  // Waits at most timeoutMs for the exchange to end; true when it has ended, whether with a
  // response or with a failure (refused connection, broken reply): Status() then tells which.
  virtual bool WaitForResponse(int timeoutMs) = 0;

  // The status code received so far; 0 when none is available (not yet, or the exchange failed).
  virtual int Status() const = 0;

  // The response body; complete once WaitForResponse has returned true.
  virtual const std::string& Body() const = 0;

  // Why the exchange failed, when it did (for messages); empty otherwise.
  virtual std::string Error() const = 0;

  // A header of the response (name in any case), once it has arrived; empty when absent or when
  // the client does not keep headers.
  virtual std::string Header(const std::string&) const { return {}; }

  virtual void Abort() = 0;
};

class HttpClient {
 public:
  virtual ~HttpClient() = default;
  // Starts a GET of the address and returns at once. `headers` are whole lines ("Name: value")
  // sent besides the client's own.
  virtual std::unique_ptr<HttpRequestHandle> Get(const std::string& address,
                                                 const std::vector<std::string>& headers = {}) = 0;
  // Aborts every request of this client still in flight, as when the user stops what waits for
  // them: each wait ends at once, without a response (Error() says "aborted"). Requests started
  // afterwards are not touched. Call it on the thread that waits for the requests.
  virtual void AbortAll() = 0;
};

// Percent-encodes what an address may not carry (blanks, control characters, bytes outside
// ASCII) and leaves everything else, "%" included, as it was built.
std::string EncodeAddress(const std::string& address);

}  // namespace wendrel
