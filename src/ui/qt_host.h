// The desktop program's side of the platform seam: the event loop, message boxes, the busy
// pointer, the clipboard and the browser, on Qt.
#pragma once

#include <QWidget>

#include "platform/host.h"

namespace wendrel {

// Message boxes are modal over the given parent window. Busy requests nest: each SetBusy(true)
// is undone by one SetBusy(false).
class QtHost : public Host {
 public:
  explicit QtHost(QWidget* parent = nullptr) : m_parent(parent) {}
  void SetParentWindow(QWidget* parent) { m_parent = parent; }

  void DoEvents() override;
  MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void SetBusy(bool busy) override;
  void SetClipboardText(const std::string& text) override;
  // Hands http and https addresses to the desktop's browser; refuses anything else.
  bool OpenAddress(const std::string& address) override;

 private:
  QWidget* m_parent;
  int m_busyDepth = 0;
};

// True for an absolute http or https address: the only kind the program opens.
bool IsWebAddress(const std::string& address);

// The page of a DOI at the resolver ("https://doi.org/10.1000/x").
std::string DoiAddress(const QString& doi);

}  // namespace wendrel
