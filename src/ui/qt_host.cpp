// Qt implementation of the host seam.
#include "ui/qt_host.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <vector>

namespace wendrel {

namespace {

QMessageBox::Icon ToQt(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Critical: return QMessageBox::Critical;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton ToQt(MessageResult button) {
  switch (button) {
    case MessageResult::Ok: return QMessageBox::Ok;
    case MessageResult::Cancel: return QMessageBox::Cancel;
    case MessageResult::Yes: return QMessageBox::Yes;
    case MessageResult::No: return QMessageBox::No;
    case MessageResult::Retry: return QMessageBox::Retry;
    case MessageResult::Abort: return QMessageBox::Abort;
    case MessageResult::Ignore: return QMessageBox::Ignore;
    case MessageResult::YesToAll: return QMessageBox::YesToAll;
    case MessageResult::NoToAll: return QMessageBox::NoToAll;
  }
  return QMessageBox::Ok;
}

}  // namespace

void QtHost::DoEvents() { QCoreApplication::processEvents(); }

MessageResult QtHost::MessageBox(const std::string& text, const std::string& title, MessageIcon icon,
                                 MessageButtons buttons) {
  QMessageBox box(ToQt(icon), QString::fromStdString(title), QString::fromStdString(text), QMessageBox::NoButton,
                  m_parent);
  int count = 0;
  ButtonNames(buttons, count);
  std::vector<std::pair<QMessageBox::StandardButton, MessageResult>> shown;
  for (int k = 0; k < count; ++k) {
    const MessageResult result = ButtonResult(buttons, k);
    box.addButton(ToQt(result));
    shown.emplace_back(ToQt(result), result);
  }
  // Escape and the close box answer Cancel. A set without a Cancel button (Yes/No, Abort/Retry/
  // Ignore) gets a hidden one for them, so that dismissing the box is not read as its last button.
  if (!box.button(QMessageBox::Cancel) && count > 1) box.addButton(QMessageBox::Cancel)->hide();
  if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) box.setEscapeButton(cancel);
  box.setDefaultButton(shown.front().first);
  const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
  for (const auto& [button, result] : shown) {
    if (button == pressed) return result;
  }
  return count > 1 ? MessageResult::Cancel : shown.back().second;
}

void QtHost::SetBusy(bool busy) {
  if (busy) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++m_busyDepth;
  } else if (m_busyDepth > 0) {
    QApplication::restoreOverrideCursor();
    --m_busyDepth;
  }
}

void QtHost::SetClipboardText(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

bool QtHost::OpenAddress(const std::string& address) {
  if (!IsWebAddress(address)) return false;
  return QDesktopServices::openUrl(QUrl(QString::fromStdString(address), QUrl::TolerantMode));
}

bool IsWebAddress(const std::string& address) {
  const QUrl url(QString::fromStdString(address), QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  return url.isValid() && (scheme == "http" || scheme == "https") && !url.host().isEmpty();
}

std::string DoiAddress(const QString& doi) {
  return "https://doi.org/" + QUrl::toPercentEncoding(doi, "/").toStdString();
}

}  // namespace wendrel
