// Headless host for tests: records every message, caption and request, answers message boxes
// from a queue, and never blocks.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "host.h"

namespace wendrel {

struct RecordedMessage {
  std::string text;
  std::string title;
  MessageIcon icon;
  MessageButtons buttons;
  MessageResult answer;
};

// Answers message boxes from the queue filled by QueueAnswer; when the queue is empty it takes
// the same default as the terminal host without a terminal (see DefaultAnswer).
class ScriptedHost : public Host {
 public:
  void DoEvents() override;
  MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                           MessageButtons buttons) override;
  void SetBusy(bool busy) override;
  void SetClipboardText(const std::string& text) override;
  bool OpenAddress(const std::string& address) override;

  void QueueAnswer(MessageResult answer) { m_answers.push_back(answer); }

  // Called on every DoEvents, so a test can act "during" a long operation.
  void OnDoEvents(std::function<void()> callback) { m_onDoEvents = std::move(callback); }

  const std::vector<RecordedMessage>& Messages() const { return m_messages; }
  int DoEventsCount() const { return m_doEventsCount; }
  bool Busy() const { return m_busy; }
  const std::vector<bool>& BusyChanges() const { return m_busyChanges; }
  const std::string& ClipboardText() const { return m_clipboard; }
  const std::vector<std::string>& OpenedAddresses() const { return m_opened; }

 private:
  std::deque<MessageResult> m_answers;
  std::function<void()> m_onDoEvents;
  std::vector<RecordedMessage> m_messages;
  int m_doEventsCount = 0;
  bool m_busy = false;
  std::vector<bool> m_busyChanges;
  std::string m_clipboard;
  std::vector<std::string> m_opened;
};

// A caption that remembers every text it was given.
class ScriptedCaption : public Caption {
 public:
  explicit ScriptedCaption(std::string initial = "") : m_caption(std::move(initial)) {}
  std::string GetCaption() const override { return m_caption; }
  void SetCaption(const std::string& caption) override;
  const std::vector<std::string>& History() const { return m_history; }

 private:
  std::string m_caption;
  std::vector<std::string> m_history;
};

// The answer taken when nobody can be asked: OK where OK is the only button, otherwise the last
// button of the set (Cancel, No, Ignore), so that an unattended run never waits or retries forever.
MessageResult DefaultAnswer(MessageButtons buttons);

}  // namespace wendrel
