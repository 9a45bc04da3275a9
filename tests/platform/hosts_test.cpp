// The headless hosts: scripted answers for tests, terminal questions and unattended defaults.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/scripted_host.h"
#include "platform/terminal_host.h"

namespace wendrel {
namespace {

TEST(DefaultAnswer, NeverRetriesOrConfirmsUnattended) {
  EXPECT_EQ(DefaultAnswer(MessageButtons::Ok), MessageResult::Ok);
  EXPECT_EQ(DefaultAnswer(MessageButtons::OkCancel), MessageResult::Cancel);
  EXPECT_EQ(DefaultAnswer(MessageButtons::YesNo), MessageResult::No);
  EXPECT_EQ(DefaultAnswer(MessageButtons::YesNoCancel), MessageResult::Cancel);
  EXPECT_EQ(DefaultAnswer(MessageButtons::RetryCancel), MessageResult::Cancel);
  EXPECT_EQ(DefaultAnswer(MessageButtons::AbortRetryIgnore), MessageResult::Ignore);
}

TEST(TerminalHost, UnattendedTakesTheDefaultAndSaysSo) {
  std::istringstream in("retry\n");
  std::ostringstream out;
  TerminalHost host(in, out, /*interactive=*/false);
  EXPECT_EQ(host.MessageBox("No response from server: Code ", "HTTP Request Error", MessageIcon::None,
                            MessageButtons::RetryCancel),
            MessageResult::Cancel);
  EXPECT_NE(out.str().find("HTTP Request Error: No response from server: Code "), std::string::npos);
  EXPECT_NE(out.str().find("answered Cancel"), std::string::npos);
}

TEST(TerminalHost, InteractiveReadsAWordOrInitialAndAsksAgainOnNonsense) {
  struct Case {
    const char* typed;
    MessageButtons buttons;
    MessageResult expected;
  } cases[] = {
      {"r\n", MessageButtons::RetryCancel, MessageResult::Retry},
      {"  Cancel \n", MessageButtons::RetryCancel, MessageResult::Cancel},
      {"maybe\n\nYES\n", MessageButtons::YesNo, MessageResult::Yes},
      {"i\n", MessageButtons::AbortRetryIgnore, MessageResult::Ignore},
      {"", MessageButtons::YesNo, MessageResult::No},  // end of input: the default
      {"Yes to all\n", MessageButtons::YesNoToAll, MessageResult::YesToAll},
      {"y\n", MessageButtons::YesNoToAll, MessageResult::Yes},
      {"", MessageButtons::YesNoToAll, MessageResult::NoToAll},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.typed);
    std::ostringstream out;
    TerminalHost host(in, out, /*interactive=*/true);
    EXPECT_EQ(host.MessageBox("q", "T", MessageIcon::Question, c.buttons), c.expected) << c.typed;
  }
}

}  // namespace
}  // namespace wendrel
