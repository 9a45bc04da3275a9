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

TEST(ScriptedHost, AnswersFromTheQueueThenByDefaultAndRecordsEverything) {
  ScriptedHost host;
  host.QueueAnswer(MessageResult::Retry);
  EXPECT_EQ(host.MessageBox("t1", "T", MessageIcon::None, MessageButtons::RetryCancel), MessageResult::Retry);
  EXPECT_EQ(host.MessageBox("t2", "T", MessageIcon::Critical, MessageButtons::RetryCancel), MessageResult::Cancel);
  ASSERT_EQ(host.Messages().size(), 2u);
  EXPECT_EQ(host.Messages()[1].text, "t2");
  EXPECT_EQ(host.Messages()[1].icon, MessageIcon::Critical);
  EXPECT_EQ(host.Messages()[1].answer, MessageResult::Cancel);

  int calls = 0;
  host.OnDoEvents([&] { ++calls; });
  host.DoEvents();
  host.DoEvents();
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(host.DoEventsCount(), 2);

  ScriptedCaption caption("Wendrel Search");
  caption.SetCaption("a");
  caption.SetCaption("b");
  EXPECT_EQ(caption.GetCaption(), "b");
  EXPECT_EQ(caption.History(), (std::vector<std::string>{"a", "b"}));
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
