// The desktop host's message boxes answered as a user answers them: buttons, Esc and the close box.
#include "ui/qt_host.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "platform/curl_http_client.h"
#include "test_http_server.h"
#include "ui/form_main.h"

namespace wendrel {
namespace {

// Acts on the message box once its own event loop shows it.
void WhenBoxShown(std::function<void(QMessageBox&)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, [poll, act = std::move(act)] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    poll->stop();
    poll->deleteLater();
    act(*box);
  });
  poll->start(10);
}

void PressEsc(QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }

TEST(QtHost, DismissingAQuestionAnswersCancel) {
  struct Case {
    const char* name;
    MessageButtons buttons;
    std::function<void(QMessageBox&)> act;
    MessageResult expected;
  } cases[] = {
      {"Esc on Yes/No", MessageButtons::YesNo, PressEsc, MessageResult::Cancel},
      {"close box on Yes/No", MessageButtons::YesNo, [](QMessageBox& box) { box.close(); }, MessageResult::Cancel},
      {"Esc on Abort/Retry/Ignore", MessageButtons::AbortRetryIgnore, PressEsc, MessageResult::Cancel},
      {"Esc on Retry/Cancel", MessageButtons::RetryCancel, PressEsc, MessageResult::Cancel},
      {"Esc on OK", MessageButtons::Ok, PressEsc, MessageResult::Ok},
      {"No pressed", MessageButtons::YesNo, [](QMessageBox& box) { box.button(QMessageBox::No)->click(); },
       MessageResult::No},
  };
  QtHost host;
  for (const auto& c : cases) {
    WhenBoxShown(c.act);
    EXPECT_EQ(host.MessageBox("Proceed?", "Title", MessageIcon::None, c.buttons), c.expected) << c.name;
  }
}

TEST(QtHost, EscOnTheClosingQuestionKeepsTheWindow) {
  CurlHttpClient http;
  QtHost host;
  // Nothing here asks the service.
  FormMain window(host, http, "http://127.0.0.1:" + std::to_string(test::UnusedPort()));
  host.SetParentWindow(&window);
  int ended = 0;
  window.SetEndProcess([&] { ++ended; });
  window.show();
  window.SessionChanged = true;
  QString asked;
  WhenBoxShown([&](QMessageBox& box) {
    asked = box.text();
    PressEsc(box);
  });
  EXPECT_FALSE(window.close());
  EXPECT_EQ(asked, "Save Bibliography before closing?");
  EXPECT_EQ(ended, 0);
  EXPECT_TRUE(window.isVisible());

  WhenBoxShown([](QMessageBox& box) { box.button(QMessageBox::No)->click(); });
  EXPECT_TRUE(window.close());
  EXPECT_EQ(ended, 1);
}

}  // namespace
}  // namespace wendrel
