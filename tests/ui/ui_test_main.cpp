// The window tests' main: one application object on the offscreen platform for every test.
#include <gtest/gtest.h>

#include <QApplication>

namespace {

// The offscreen platform warns of every window it cannot size by hints; nothing to see in a test.
QtMessageHandler g_previous = nullptr;

void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.contains("propagateSizeHints")) return;
  if (g_previous) g_previous(type, context, message);
}

}  // namespace

int main(int argc, char** argv) {
  g_previous = qInstallMessageHandler(QuietHandler);
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
