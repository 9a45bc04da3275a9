// Host for the command line: asks on the terminal when standard input is one, otherwise takes
// the documented default answer (DefaultAnswer) and says so on standard error.
#pragma once

#include <cstdio>
#include <iosfwd>
#include <string>

#include "host.h"

namespace wendrel {

class TerminalHost : public Host {
 public:
  // in/out are the streams to ask on; interactive tells whether `in` is a terminal.
  TerminalHost(std::istream& in, std::ostream& out, bool interactive);
  // Standard input and standard error; interactive when standard input is a terminal.
  TerminalHost();

  void DoEvents() override {}
  MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void SetBusy(bool) override {}
  // The command line has no clipboard: the text is written to the output stream.
  void SetClipboardText(const std::string& text) override;
  // The command line opens no browser: the address is written to the output stream.
  bool OpenAddress(const std::string& address) override;

 private:
  std::istream& m_in;
  std::ostream& m_out;
  bool m_interactive;
};

// Progress captions of long operations, written one a line to a stream.
class TerminalCaption : public Caption {
 public:
  explicit TerminalCaption(std::ostream* out) : m_out(out) {}
  std::string GetCaption() const override { return m_caption; }
  void SetCaption(const std::string& caption) override;

 private:
  std::ostream* m_out;
  std::string m_caption;
};

}  // namespace wendrel
