#include "scripted_host.h"

namespace wendrel {

MessageResult DefaultAnswer(MessageButtons buttons) {
  int count = 0;
  ButtonNames(buttons, count);
  return ButtonResult(buttons, count - 1);
}

void ScriptedHost::DoEvents() {
  ++m_doEventsCount;
  if (m_onDoEvents) m_onDoEvents();
}

MessageResult ScriptedHost::MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                       MessageButtons buttons) {
  MessageResult answer = DefaultAnswer(buttons);
  if (!m_answers.empty()) {
    answer = m_answers.front();
    m_answers.pop_front();
  }
  m_messages.push_back({text, title, icon, buttons, answer});
  return answer;
}

void ScriptedHost::SetBusy(bool busy) {
  m_busy = busy;
  m_busyChanges.push_back(busy);
}

void ScriptedHost::SetClipboardText(const std::string& text) { m_clipboard = text; }

bool ScriptedHost::OpenAddress(const std::string& address) {
  m_opened.push_back(address);
  return true;
}

void ScriptedCaption::SetCaption(const std::string& caption) {
  m_caption = caption;
  m_history.push_back(caption);
}

}  // namespace wendrel
