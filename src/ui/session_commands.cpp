// FormMain's session and article commands: loading and saving Pearl Lists, saving the Cited
// List, adding, removing and deleting articles, and opening an article's page in the browser.
#include <QDir>
#include <QFileInfo>
#include <QStatusBar>
#include <QUrl>
#include <algorithm>

#include "chain/bibtex_reader.h"
#include "chain/chain_error.h"
#include "chain/chain_file_io.h"
#include "chain/exchange_exports.h"
#include "chain/ris_reader.h"
#include "ui/export_dialog.h"
#include "ui/form_main.h"
#include "ui/qt_host.h"

namespace wendrel {

namespace {

constexpr const char* kLoadFilter =
    "Pearl lists (*.ris *.bib *.txt);;RIS files (*.ris);;BibTeX files (*.bib);;DOI lists (*.txt);;All files (*)";
constexpr const char* kScholarSearch = "https://scholar.google.com/scholar?q=allintitle:";

// The title search address: words joined by "+", each percent-encoded.
std::string TitleSearch(const QString& title) {
  QByteArray query;
  for (const QString& word : title.split(' ')) {
    if (!query.isEmpty()) query += '+';
    query += QUrl::toPercentEncoding(word);
  }
  return kScholarSearch + query.toStdString();
}

// True for a RIS file every record of which this program wrote (each names its pearl by ID).
bool OwnPearlList(const std::string& fileName) {
  if (IsBibTeXFileName(fileName)) return false;
  try {
    const std::vector<RisReference> references = ReadPearlListReferences(fileName, ReadWholeFile(fileName));
    return !references.empty() && std::all_of(references.begin(), references.end(), [](const RisReference& r) {
      return !AccessionPublicationID(r.accession).empty();
    });
  } catch (const ChainError&) {
    return false;
  }
}

}  // namespace

void FormMain::ImportRIS() {
  if (m_operationRunning) return;
  // A load replaces the session: unsaved work is not given up without the question "New Pearl List" asks.
  if (SessionChanged && Chain.Count() > 0 && !ConfirmErase()) return;
  CommonDialog1.DialogTitle = "Load Pearl List";
  CommonDialog1.FileName.clear();
  // Every kind of pearl list a load reads; the save dialogs keep their RIS filter.
  const QString filter = CommonDialog1.Filter;
  CommonDialog1.Filter = kLoadFilter;
  CommonDialog1.ShowOpen();
  CommonDialog1.Filter = filter;
  const std::string fileName = CommonDialog1.FileName.toStdString();
  if (!fileName.empty()) {
    // The session is emptied only for a file that holds a pearl list; one that cannot be read, or
    // yields no reference, leaves it as it was.
    std::string problem;
    try {
      problem = PearlListProblem(fileName, ReadWholeFile(fileName));
      if (!problem.empty()) problem = "Cannot load " + fileName + ": " + problem;
    } catch (const ChainError& e) {
      problem = e.what();
    }
    if (!problem.empty()) {
      m_host.MessageBox(problem, kMessageTitle, MessageIcon::Critical, MessageButtons::Ok);
    } else {
      Operation operation(*this, true);
      m_host.SetBusy(true);
      DropSession();
      Chain.Clear();
      StartAutosaveFile();
      // The session's old file goes with it: a save must not write the loaded list over it.
      PearlListPath.clear();
      m_loadedFile = QString::fromStdString(fileName);
      try {
        Chain.ImportRIS(fileName, CitingAsked, *this);
      } catch (const ChainError& e) {
        m_host.MessageBox(e.what(), kMessageTitle, MessageIcon::Critical, MessageButtons::Ok);
      }
      CurrentIndex = 1;
      RefreshLists();
      ShowSummary(1);
      m_host.SetBusy(false);
      ReportGrowthEnd();
      // One message for the load: the references it could not resolve, then why the service failed.
      std::string report = m_reports.ImportReport();
      const bool failed = Chain.FailedRequests() > 0 && !Chain.Interrupted();
      if (failed && !m_reports.Told()) {
        if (report.empty()) report = "Some pages of the pearls' lists could not be fetched.";
        report += "\n\n" + m_reports.ServiceProblem(Chain.LastRequestError());
      }
      if (!report.empty())
        m_host.MessageBox(report, kMessageTitle, failed ? MessageIcon::Exclamation : MessageIcon::Information,
                          MessageButtons::Ok);
      // The load's end message named every reference not resolved; the status line keeps in view
      // that the session holds fewer pearls than the file.
      const size_t unresolved = Chain.ImportFailures().size();
      const bool whole = !Chain.Interrupted() && Chain.FailedRequests() == 0 && unresolved == 0;
      if (!Chain.Interrupted() && Chain.FailedRequests() == 0 && unresolved > 0) {
        statusBar()->showMessage(
            QString("Loaded, but %1 of %2 references were not resolved").arg(unresolved).arg(m_importItems));
      }
      // A list loaded whole is what its file holds. The program's own Pearl List is saved back to
      // it without asking; any other file (BibTeX, DOIs, another program's RIS) is never
      // overwritten unasked, and a partial load would write the file back with less than it held.
      if (whole) {
        SessionChanged = false;
        if (OwnPearlList(fileName)) PearlListPath = m_loadedFile;
        ShowSessionCaption();
      }
    }
  }
  mTestVis_Click(0);
}

bool FormMain::Export(const QString& fileName, ChainList list) {
  bool written = false;
  try {
    written = Chain.ExportRIS(fileName.toStdString(), list);
    if (written) {
      const int records = (list == ChainList::Pearls ? PearlList : CitedList)->RowCount();
      statusBar()->showMessage(QString("Saved %1 %2 to %3").arg(records).arg(records == 1 ? "record" : "records").arg(fileName));
    } else {
      statusBar()->showMessage("Nothing to save: the list is empty");
    }
  } catch (const ChainError& e) {
    statusBar()->showMessage(e.what());
  }
  if (!written) m_host.MessageBox("Export failed", kMessageTitle, MessageIcon::Critical, MessageButtons::Ok);
  return written;
}

void FormMain::mExportRIS_Click() {
  if (m_operationRunning) return;
  CommonDialog1.DialogTitle = "Save Pearl List As";
  CommonDialog1.FileName = PearlListPath;
  if (CommonDialog1.FileName.isEmpty()) {
    CommonDialog1.FileName = SuggestedName("pearls.ris");
    CommonDialog1.ShowSave();
  }
  if (!CommonDialog1.FileName.isEmpty()) {
    m_host.SetBusy(true);
    if (Export(CommonDialog1.FileName, ChainList::Pearls)) {
      PearlListPath = CommonDialog1.FileName;
      SessionChanged = false;
      ShowSessionCaption();
    }
    m_host.SetBusy(false);
  }
}

void FormMain::mExportRISAs_Click() {
  if (m_operationRunning) return;
  CommonDialog1.DialogTitle = "Save Pearl List As";
  CommonDialog1.FileName = PearlListPath.isEmpty() ? SuggestedName("pearls.ris") : PearlListPath;
  CommonDialog1.ShowSave();
  if (!CommonDialog1.FileName.isEmpty() && Export(CommonDialog1.FileName, ChainList::Pearls)) {
    PearlListPath = CommonDialog1.FileName;
    SessionChanged = false;
    ShowSessionCaption();
  }
}

QString FormMain::SuggestedName(const QString& name) const {
  const QString pearls = !PearlListPath.isEmpty() ? PearlListPath : m_loadedFile;
  return pearls.isEmpty() ? name : QFileInfo(pearls).dir().filePath(name);
}

void FormMain::mExportRISCited_Click() {
  if (m_operationRunning) return;
  CommonDialog1.DialogTitle = "Save Cited List As";
  // The Cited List's own name is suggested (beside the Pearl List's file when there is one), never
  // the Pearl List's, which a quick OK would overwrite with the wrong list.
  CommonDialog1.FileName = SuggestedName("cited.ris");
  CommonDialog1.ShowSave();
  // The pearls are not in this file: the session still counts as unsaved.
  if (!CommonDialog1.FileName.isEmpty()) Export(CommonDialog1.FileName, ChainList::Cited);
}

void FormMain::mExportExchange_Click() {
  if (m_operationRunning || (Chain.Count() == 0 && m_searchRecords.empty())) return;
  ExportDialog dialog(CommonDialog1, CommonDialog1.InitDir, Chain.Count() > 0, !m_searchRecords.empty(), this);
  dialog.ChooseList(m_exportList);
  dialog.DecisionChoice->setCurrentIndex(m_exportDecision);
  dialog.FormatChoice->setCurrentIndex(m_exportFormat);
  if (!m_showExport(dialog) || dialog.Path().isEmpty()) return;
  m_exportList = dialog.ListChoice->currentIndex();
  m_exportDecision = dialog.DecisionChoice->currentIndex();
  m_exportFormat = dialog.FormatChoice->currentIndex();
  const std::string path = dialog.Path().toStdString();
  // A name typed over an existing file is not replaced unasked; the file dialog has asked already.
  if (!dialog.PathConfirmed() && QFileInfo::exists(dialog.Path()) &&
      m_host.MessageBox(path + " already exists. Replace it?", kMessageTitle, MessageIcon::Exclamation,
                        MessageButtons::YesNo) != MessageResult::Yes) {
    return;
  }
  m_host.SetBusy(true);
  const std::optional<ExchangeList> list = dialog.List();
  const ExchangeResult result = list ? ExportExchange(Chain, *list, dialog.Format(), path, dialog.Decision())
                                     : ExportExchange(Chain, m_searchRecords, dialog.Format(), path, dialog.Decision());
  m_host.SetBusy(false);
  if (result.written) {
    statusBar()->showMessage(QString("Exported %1 %2 to %3")
                                 .arg(result.articles)
                                 .arg(result.articles == 1 ? "article" : "articles")
                                 .arg(dialog.Path()));
  } else {
    m_host.MessageBox(result.reason, kMessageTitle, MessageIcon::Critical, MessageButtons::Ok);
  }
}

void FormMain::mAddPearl_Click() {
  if (m_operationRunning) return;
  if (CurrentIndex == -1) {
    AddSelectedSearchResult();
  } else {
    AddShownArticle();
  }
  mTestVis_Click(0);
}

bool FormMain::AddPearlShown(int32_t index, const std::string& pk, const std::string& key) {
  const bool added = Chain.AddPearl(index, pk, key, CitingAsked, *this);
  if (added) {
    CurrentIndex = index;
    RefreshLists();
    ShowSummary(CurrentIndex);
    PearlList->setFocus();
  } else if (!Chain.Interrupted()) {
    ReportRefusedPearl(pk);
  }
  return added;
}

void FormMain::AddShownArticle() {
  bool retry = false;
  {
    Operation operation(*this, true);
    m_host.SetBusy(true);
    const bool added = AddPearlShown(CurrentIndex, IDNum[0]->text().toStdString(), IDNum[1]->text().toStdString());
    m_host.SetBusy(false);
    ReportGrowthEnd();
    retry = ReportAddFailure(added, "The article was not added: its record could not be retrieved.");
  }
  if (retry) AddShownArticle();
}

void FormMain::mRemovePearl_Click() {
  if (m_operationRunning || !Chain.GetRecord(CurrentIndex).IsPearl) return;
  Chain.RemovePearl(CurrentIndex);
  RefreshLists();
  CurrentIndex = 0;
  for (int32_t i = 1; i <= Chain.IndexSize(); ++i) {
    if (Chain.GetRecord(i).IsPearl) {
      CurrentIndex = i;
      break;
    }
  }
  // The summary follows the new current record; left alone it would still call the removed one a pearl.
  ShowSummary(CurrentIndex);
}

void FormMain::DeleteRow_Asked(ListView& list) {
  QTreeWidgetItem* row = list.currentItem();
  if (m_operationRunning || !row) return;
  emit list.itemClicked(row, 0);
  const CCRecord r = Chain.GetRecord(CurrentIndex);
  const bool pearl = &list == PearlList;
  const std::string question = pearl ? "Remove \"" + r.Title + "\" from the Pearl List?"
                                     : "Delete \"" + r.Title + "\" from all lists?";
  if (m_host.MessageBox(question, kMessageTitle, MessageIcon::Question, MessageButtons::YesNo) != MessageResult::Yes) {
    return;
  }
  pearl ? mRemovePearl_Click() : mDeleteArticle_Click();
}

void FormMain::mDeleteArticle_Click() {
  if (m_operationRunning || !Chain.SuppressDoc(CurrentIndex)) return;
  CurrentIndex = 1;
  RefreshLists();
  ShowSummary(1);
}

void FormMain::OpenArticleLink(int32_t index, ArticleLink link) {
  std::string address;
  if (index < 1) {
    const QTreeWidgetItem* row = SearchResult->currentItem();
    if (!row) return;
    address = row->text(7).isEmpty() ? TitleSearch(row->text(4)) : DoiAddress(row->text(7));
  } else {
    const CCRecord r = Chain.GetRecord(index);
    if (!r.DOI.empty() && link == ArticleLink::Source) {
      address = DoiAddress(QString::fromStdString(r.DOI));
    } else if (!IsKnownValue(r.FullTextURL)) {
      address = TitleSearch(QString::fromStdString(r.Title));
    } else {
      address = r.FullTextURL;
    }
  }
  // Only web pages are handed to the browser: an address of another kind could start anything.
  if (!IsWebAddress(address)) {
    m_host.MessageBox("This address is not a web page and is not opened: " + address, kMessageTitle,
                      MessageIcon::Exclamation, MessageButtons::Ok);
  } else if (!m_host.OpenAddress(address)) {
    m_host.MessageBox("The web browser could not be started for " + address, kMessageTitle,
                      MessageIcon::Exclamation, MessageButtons::Ok);
  }
}

}  // namespace wendrel
