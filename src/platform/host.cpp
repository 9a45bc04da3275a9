// Button sets of the message box, shared by the headless hosts.
#include "host.h"

namespace wendrel {

namespace {
const char* const kOk[] = {"OK"};
const char* const kOkCancel[] = {"OK", "Cancel"};
const char* const kYesNo[] = {"Yes", "No"};
const char* const kYesNoCancel[] = {"Yes", "No", "Cancel"};
const char* const kRetryCancel[] = {"Retry", "Cancel"};
const char* const kAbortRetryIgnore[] = {"Abort", "Retry", "Ignore"};
const char* const kYesNoToAll[] = {"Yes", "No", "Yes to All", "No to All"};

const MessageResult kOkResults[] = {MessageResult::Ok};
const MessageResult kOkCancelResults[] = {MessageResult::Ok, MessageResult::Cancel};
const MessageResult kYesNoResults[] = {MessageResult::Yes, MessageResult::No};
const MessageResult kYesNoCancelResults[] = {MessageResult::Yes, MessageResult::No, MessageResult::Cancel};
const MessageResult kRetryCancelResults[] = {MessageResult::Retry, MessageResult::Cancel};
const MessageResult kAbortRetryIgnoreResults[] = {MessageResult::Abort, MessageResult::Retry,
                                                  MessageResult::Ignore};
const MessageResult kYesNoToAllResults[] = {MessageResult::Yes, MessageResult::No, MessageResult::YesToAll,
                                            MessageResult::NoToAll};

const MessageResult* Results(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::Ok: return kOkResults;
    case MessageButtons::OkCancel: return kOkCancelResults;
    case MessageButtons::YesNo: return kYesNoResults;
    case MessageButtons::YesNoCancel: return kYesNoCancelResults;
    case MessageButtons::RetryCancel: return kRetryCancelResults;
    case MessageButtons::AbortRetryIgnore: return kAbortRetryIgnoreResults;
    case MessageButtons::YesNoToAll: return kYesNoToAllResults;
  }
  return kOkResults;
}
}  // namespace

const char* const* ButtonNames(MessageButtons buttons, int& count) {
  switch (buttons) {
    case MessageButtons::Ok: count = 1; return kOk;
    case MessageButtons::OkCancel: count = 2; return kOkCancel;
    case MessageButtons::YesNo: count = 2; return kYesNo;
    case MessageButtons::YesNoCancel: count = 3; return kYesNoCancel;
    case MessageButtons::RetryCancel: count = 2; return kRetryCancel;
    case MessageButtons::AbortRetryIgnore: count = 3; return kAbortRetryIgnore;
    case MessageButtons::YesNoToAll: count = 4; return kYesNoToAll;
  }
  count = 1;
  return kOk;
}

MessageResult ButtonResult(MessageButtons buttons, int position) {
  int count = 0;
  ButtonNames(buttons, count);
  if (position < 0 || position >= count) return MessageResult::Ok;
  return Results(buttons)[position];
}

}  // namespace wendrel
