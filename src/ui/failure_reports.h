// FailureReports: the window's messages about a search service that fails, one per failed
// operation and naming the service's address and the reason.
#pragma once

#include <string>

#include "platform/host.h"

namespace wendrel {

// Stands between the session's chain and the window's host. The chain reports every page or
// record it could not fetch in a box of its own, and a load lists its failed references in
// another; while an operation runs those are kept here for the window to sum up in one message
// when the operation ends. The wait question (Retry or Cancel) is still asked, as it is a
// question, with the service's address added below its text. Everything else passes through.
class FailureReports : public Host {
 public:
  FailureReports(Host& host, std::string serviceAddress) : m_host(host), m_address(std::move(serviceAddress)) {}

  // A new operation: nothing kept yet.
  void Begin();
  // True when the user was told of a failure during the operation (a wait question cancelled):
  // the operation's end need not say it again.
  bool Told() const { return m_told; }
  // True when a failure's box was held back during the operation, to be summed up at its end.
  bool Withheld() const { return m_withheld; }
  // The list of references a load could not resolve, as the chain worded it; empty when none.
  const std::string& ImportReport() const { return m_importReport; }
  // A sentence on what went wrong with the service, from a request's error: "The search service
  // at http://127.0.0.1:8754 cannot be reached (connection refused)."
  std::string ServiceProblem(const std::string& reason) const;

  void DoEvents() override { m_host.DoEvents(); }
  MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void SetBusy(bool busy) override { m_host.SetBusy(busy); }
  void SetClipboardText(const std::string& text) override { m_host.SetClipboardText(text); }
  bool OpenAddress(const std::string& address) override { return m_host.OpenAddress(address); }

 private:
  Host& m_host;
  std::string m_address;
  bool m_told = false;
  bool m_withheld = false;
  std::string m_importReport;
};

}  // namespace wendrel
