#include "terminal_host.h"

#include <unistd.h>

#include <cctype>
#include <iostream>
#include <string_view>

#include "scripted_host.h"

namespace wendrel {

namespace {

// Lower case without blanks, as answers are compared.
std::string Folded(std::string_view text) {
  std::string folded;
  for (char c : text) {
    if (!std::isspace(static_cast<unsigned char>(c))) folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return folded;
}

}  // namespace

TerminalHost::TerminalHost(std::istream& in, std::ostream& out, bool interactive)
    : m_in(in), m_out(out), m_interactive(interactive) {}

TerminalHost::TerminalHost() : TerminalHost(std::cin, std::cerr, isatty(STDIN_FILENO) != 0) {}

MessageResult TerminalHost::MessageBox(const std::string& text, const std::string& title, MessageIcon,
                                       MessageButtons buttons) {
  int count = 0;
  const char* const* names = ButtonNames(buttons, count);
  m_out << title << ": " << text << "\n";
  if (!m_interactive || count == 1) {
    MessageResult answer = DefaultAnswer(buttons);
    if (count > 1) {
      for (int i = 0; i < count; ++i)
        if (ButtonResult(buttons, i) == answer) m_out << "(no terminal to ask: answered " << names[i] << ")\n";
    }
    return answer;
  }
  for (;;) {
    m_out << "[";
    for (int i = 0; i < count; ++i) m_out << (i ? "/" : "") << names[i];
    m_out << "] " << std::flush;
    std::string line;
    if (!std::getline(m_in, line)) return DefaultAnswer(buttons);
    const std::string word = Folded(line);
    if (word.empty()) continue;
    for (int i = 0; i < count; ++i) {
      const std::string name = Folded(names[i]);
      // The whole name (blanks aside: "yes to all") or its first letter answers.
      if (word == name || (word.size() == 1 && word[0] == name[0])) return ButtonResult(buttons, i);
    }
  }
}

void TerminalHost::SetClipboardText(const std::string& text) { m_out << text; }

bool TerminalHost::OpenAddress(const std::string& address) {
  m_out << "Open in a browser: " << address << "\n";
  return true;
}

void TerminalCaption::SetCaption(const std::string& caption) {
  m_caption = caption;
  if (m_out) *m_out << caption << "\n";
}

}  // namespace wendrel
