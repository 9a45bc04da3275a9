// The report window: the report of the session's citation searching shown as a page, saved as
// HTML or Markdown.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>

#include "platform/host.h"
#include "review/report.h"
#include "ui/file_dialog.h"

namespace wendrel {

// A window of its own beside the main window (not modal), showing the report as it was when opened.
// Saves go through the window's file dialog, which it leaves as it found it but for the folder
// and the name it remembers; a save that fails is said in a message and leaves the file as it was.
class ReportView : public QDialog {
  // Found among the main window's children by its type.
  Q_OBJECT

 public:
  ReportView(Report report, FileDialog& files, Host& host, QWidget* parent);

  QTextBrowser* Page = nullptr;
  QPushButton* SaveHtml = nullptr;
  QPushButton* SaveMarkdown = nullptr;
  QLabel* Saved = nullptr;

  const Report& Shown() const { return m_report; }

 private:
  void Save(const QString& kind, const QString& extension, const std::string& text);

  Report m_report;
  FileDialog& m_files;
  Host& m_host;
};

}  // namespace wendrel
