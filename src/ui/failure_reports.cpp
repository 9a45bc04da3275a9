// The window's messages about a failing search service.
#include "ui/failure_reports.h"

namespace wendrel {

namespace {

bool Holds(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

void FailureReports::Begin() {
  m_told = false;
  m_withheld = false;
  m_importReport.clear();
}

std::string FailureReports::ServiceProblem(const std::string& reason) const {
  const std::string service = "The search service at " + m_address;
  // libcurl's words for the common cases; anything else is quoted as it came.
  if (Holds(reason, "Couldn't connect") || Holds(reason, "Failed to connect") || Holds(reason, "refused"))
    return service + " cannot be reached (connection refused).";
  if (Holds(reason, "resolve host")) return service + " cannot be reached (its host name is not known).";
  if (Holds(reason, "imed out") || Holds(reason, "Timeout") || reason == "cancelled")
    return service + " has not answered in time.";
  if (reason.rfind("HTTP status", 0) == 0) return service + " answered with an error (" + reason + ").";
  if (reason.empty()) return service + " failed.";
  return service + " failed (" + reason + ").";
}

MessageResult FailureReports::MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                         MessageButtons buttons) {
  // The wait for a reply ran out: the described first line, then whose reply is awaited.
  if (title == "HTTP Request Error" && buttons == MessageButtons::RetryCancel) {
    const MessageResult answer =
        m_host.MessageBox(text + "\n\nThe search service at " + m_address +
                              " has not answered yet. Retry waits again; Cancel gives the request up.",
                          title, icon, buttons);
    if (answer != MessageResult::Retry) m_told = true;
    return answer;
  }
  // A record or page that could not be fetched: the window sums these up when the operation ends.
  if (text.rfind("Cannot retrieve document summary record", 0) == 0) {
    m_withheld = true;
    return MessageResult::Ok;
  }
  if (title == "XCR Import") {
    m_importReport = text;
    return MessageResult::Ok;
  }
  return m_host.MessageBox(text, title, icon, buttons);
}

}  // namespace wendrel
