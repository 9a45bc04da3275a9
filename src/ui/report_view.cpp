// The report window, and the main window's "Report…" that opens it.
#include "ui/report_view.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "platform/replacing_file.h"
#include "session/session_file.h"
#include "ui/form_main.h"

namespace wendrel {

ReportView::ReportView(Report report, FileDialog& files, Host& host, QWidget* parent)
    : QDialog(parent), m_report(std::move(report)), m_files(files), m_host(host) {
  setWindowTitle(QString::fromStdString("Report: " + m_report.sessionName));
  setModal(false);
  resize(900, 700);
  Page = new QTextBrowser(this);
  Page->setOpenLinks(false);
  Page->setHtml(QString::fromStdString(ReportHtml(m_report)));
  SaveHtml = new QPushButton("Save as HTML…", this);
  SaveMarkdown = new QPushButton("Save as Markdown…", this);
  Saved = new QLabel(this);
  auto* close = new QPushButton("Close", this);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(SaveHtml);
  buttons->addWidget(SaveMarkdown);
  buttons->addWidget(Saved, 1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Page, 1);
  layout->addLayout(buttons);
  connect(SaveHtml, &QPushButton::clicked, this, [this] { Save("HTML", "html", ReportHtml(m_report)); });
  connect(SaveMarkdown, &QPushButton::clicked, this, [this] { Save("Markdown", "md", ReportMarkdown(m_report)); });
  connect(close, &QPushButton::clicked, this, &QDialog::close);
}

void ReportView::Save(const QString& kind, const QString& extension, const std::string& text) {
  const QString filter = m_files.Filter, defaultExt = m_files.DefaultExt;
  m_files.DialogTitle = "Save Report as " + kind;
  m_files.FileName =
      QFileInfo(QString::fromStdString(m_report.sessionName)).completeBaseName() + "-report." + extension;
  m_files.Filter = kind + " files (*." + extension + ");;All files (*)";
  m_files.DefaultExt = extension;
  m_files.ShowSave();
  m_files.Filter = filter;
  m_files.DefaultExt = defaultExt;
  if (m_files.FileName.isEmpty()) return;
  try {
    ReplaceFile(m_files.FileName.toStdString(), text);
    Saved->setText("Saved to " + m_files.FileName);
  } catch (const ReplaceError& error) {
    m_host.MessageBox(error.what(), FormMain::kMessageTitle, MessageIcon::Critical, MessageButtons::Ok);
  }
}

void FormMain::mReport_Click() {
  if (m_operationRunning) return;
  if (!m_session) {
    m_host.MessageBox(
        "The report is made from the session's file, and this session has none yet: save it with "
        "Save Session As first.",
        kMessageTitle, MessageIcon::Information, MessageButtons::Ok);
    return;
  }
  Report report;
  try {
    report = MakeReport(*m_session, Chain);
  } catch (const std::exception& error) {
    m_host.MessageBox("The report could not be made: " + std::string(error.what()), kMessageTitle,
                      MessageIcon::Critical, MessageButtons::Ok);
    return;
  }
  auto* view = new ReportView(std::move(report), CommonDialog1, m_host, this);
  view->setAttribute(Qt::WA_DeleteOnClose);
  view->show();
}

}  // namespace wendrel
