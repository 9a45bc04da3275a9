// The host: what the core asks of the program around it (event loop, message boxes, busy
// pointer, clipboard, browser). The core never talks to a window toolkit directly.
#pragma once

#include <string>

namespace wendrel {

enum class MessageIcon { None, Information, Question, Exclamation, Critical };

// The button sets of a modal message box, in the order the buttons are shown.
// YesNoToAll: Yes, No, Yes to All, No to All, for a question asked again and again in one run.
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore, YesNoToAll };

enum class MessageResult { Ok, Cancel, Yes, No, Retry, Abort, Ignore, YesToAll, NoToAll };

// Long operations run on the caller's thread and call DoEvents inside their loops so that a
// window stays responsive; a message box blocks until the user answers (or the host answers
// for them).
class Host {
 public:
  virtual ~Host() = default;

  // Gives the event loop a turn.
  virtual void DoEvents() = 0;

  // Shows a modal message box and returns the button pressed. A box the user dismisses without
  // choosing (Escape, the window's close box) answers Cancel, also when Cancel is not one of its
  // buttons: a question put aside must never be taken as a No.
  virtual MessageResult MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                   MessageButtons buttons) = 0;

  // Sets or clears the busy pointer.
  virtual void SetBusy(bool busy) = 0;

  // Replaces the clipboard's content with a text.
  virtual void SetClipboardText(const std::string& text) = 0;

  // Opens an address in the web browser; false when it could not be handed on.
  virtual bool OpenAddress(const std::string& address) = 0;
};

// The window handed to long operations (CallingForm): they write progress into its caption.
class Caption {
 public:
  virtual ~Caption() = default;
  virtual std::string GetCaption() const = 0;
  virtual void SetCaption(const std::string& caption) = 0;
};

// The buttons of a set, in display order.
const char* const* ButtonNames(MessageButtons buttons, int& count);

// The answer for a button's position in a set (0-based); Ok when out of range.
MessageResult ButtonResult(MessageButtons buttons, int position);

}  // namespace wendrel
