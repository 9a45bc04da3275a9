// FormMain's search panel: the query fields, the search, the result list and adding a result
// as a pearl.
#include <QApplication>
#include <QPointer>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/number_text.h"
#include "search_client/result_set.h"
#include "ui/form_main.h"
#include "ui/list_rows.h"

namespace wendrel {

namespace {

// A year field as the service request wants it: the leading number of its text (0 when there is
// none), rounded half to even, kept within 16 bits.
int16_t YearOf(const QString& text) {
  const double value = RoundHalfEven(BasicValue(text.toStdString()));
  return static_cast<int16_t>(std::clamp(value, static_cast<double>(std::numeric_limits<int16_t>::min()),
                                         static_cast<double>(std::numeric_limits<int16_t>::max())));
}

}  // namespace

void FormMain::Search_Click() {
  if (m_operationRunning) return;
  SearchQuery query;
  query.fullText = ASQField[0]->text().toStdString();
  query.title = ASQField[1]->text().toStdString();
  query.author = ASQField[2]->text().toStdString();
  query.yearStart = YearOf(ASQField[3]->text());
  query.yearEnd = YearOf(ASQField[4]->text());
  QString refusal;
  for (const QLineEdit* year : {ASQField[3], ASQField[4]}) {
    const QString text = year->text().trimmed();
    if (refusal.isEmpty() && !text.isEmpty() && text.size() < 4)
      refusal = QString("A year has four digits (%1 is not one): nothing was searched").arg(text);
  }
  if (refusal.isEmpty() && query.yearStart > 0 && query.yearEnd > 0 && query.yearEnd < query.yearStart) {
    refusal = QString("The years run backwards (%1 to %2): nothing was searched").arg(query.yearStart).arg(query.yearEnd);
  }
  if (!refusal.isEmpty()) {
    // The last search's results would pass for the answer to this one.
    SearchResult->ClearRows();
    SearchResult->ApplyFilter();
    m_searchRecords.clear();
    m_searchTotal = 0;
    MoreResults->hide();
    m_searchFilterRow->hide();
    Enable(mExportExchange, Chain.Count() > 0);
    statusBar()->showMessage(refusal);
    return;
  }
  m_searchQuery = query;
  RequestSearchPage(1);
}

void FormMain::MoreResults_Click() {
  if (m_operationRunning || !MoreResultsAvailable()) return;
  RequestSearchPage(static_cast<int32_t>(m_searchRecords.size()) + 1);
}

bool FormMain::MoreResultsAvailable() const {
  return !m_searchRecords.empty() && static_cast<int64_t>(m_searchRecords.size()) < m_searchTotal;
}

void FormMain::RequestSearchPage(int32_t startIdx) {
  // The focus goes back where it was once the search has ended (after the operation, which
  // disables the Search button and would push the focus on to the next field, the lists' filters).
  struct FocusKept {
    QPointer<QWidget> widget = QApplication::focusWidget();
    ~FocusKept() {
      if (widget && widget->isEnabled() && widget->isVisible()) widget->setFocus();
    }
  } focusKept;
  Operation operation(*this, false);
  SetCaption("Peforming Search...");
  m_host.SetBusy(true);
  // The first page replaces the list, which is hidden while the search runs; further pages are
  // appended to the list as it stands.
  const bool first = startIdx == 1;
  if (first) SearchResult->hide();
  ShowMessage(1, true);
  m_host.DoEvents();

  ResultSet results(m_host, m_http, m_serviceAddress);
  if (results.RequestMASSearch(AppID, startIdx, 100, m_searchQuery.fullText, m_searchQuery.title,
                               m_searchQuery.author, "", "", m_searchQuery.yearStart, m_searchQuery.yearEnd)) {
    const std::vector<CCRecord> records = results.ResultRecords();
    if (first) {
      SearchResult->ClearRows();
      m_searchRecords.clear();
    }
    for (size_t k = 1; k < records.size(); ++k) {
      const CCRecord& r = records[k];
      if (r.PK.empty() || NamesNoArticle(r)) break;
      m_searchRecords.push_back(r);
      QTreeWidgetItem* row = SearchResult->AddRow(ZeroPadded(static_cast<int64_t>(m_searchRecords.size()), 3));
      FillArticleColumns(row, r);
      ListView::SetSubItem(row, 7, r.DOI);
      ListView::SetSubItem(row, 8, r.Abstract);
    }
    m_screening.FillRows(*SearchResult);
    SearchResult->ApplyFilter();
    // A service that does not say how many there are in all is taken at its word for this page:
    // a full page may be followed by another.
    const int64_t total = results.TotalItems();
    const int64_t shown = static_cast<int64_t>(m_searchRecords.size());
    m_searchTotal = total >= 0 ? std::max(total, shown) : (records.size() > 100 ? shown + 1 : shown);
    if (total > shown) {
      statusBar()->showMessage(QString("%1 of %2 articles found").arg(shown).arg(total));
    } else {
      statusBar()->showMessage(QString("%1 %2 found")
                                   .arg(SearchResult->RowCount())
                                   .arg(SearchResult->RowCount() == 1 ? "article" : "articles"));
    }
    Enable(mExportExchange, Chain.Count() > 0 || !m_searchRecords.empty());
  } else {
    statusBar()->showMessage(QString::fromStdString("The search failed. " + m_reports.ServiceProblem(results.LastError())));
  }
  MoreResults->setVisible(MoreResultsAvailable());
  m_searchFilterRow->setVisible(SearchResult->RowCount() > 0);
  ShowSessionCaption();
  m_host.SetBusy(false);
  SearchResult->show();
  ShowMessage(1, false);
  if (first) {
    SearchResult->SetSortKey(0);
    SearchResult->SetSortOrder(Qt::AscendingOrder);
  }
}

void FormMain::ASQField_Change(int index) {
  if (index == 3) ASQField[4]->setText(ASQField[3]->text());
}

void FormMain::SearchResult_ItemClick(QTreeWidgetItem* row) {
  SearchResult->setToolTip(row->text(8));
  // The chosen result is the article the Article menu (and Ctrl+P) acts on, as after a right click.
  CurrentIndex = -1;
  Enable(mAddPearl, true);
}

void FormMain::SearchResult_MouseUp(int button, QPoint globalPosition) {
  if (m_operationRunning) return;
  mDeleteArticle->setVisible(false);
  mRemovePearl->setVisible(false);
  mGetPrePrint->setVisible(false);
  if (button == kRightButton) {
    CurrentIndex = -1;
    m_screening.UpdateCommands(*SearchResult);
    PopUp(*mArticle, globalPosition);
  }
  mGetPrePrint->setVisible(true);
}

void FormMain::AddSelectedSearchResult() {
  QTreeWidgetItem* selected = SearchResult->currentItem();
  if (SearchResult->RowCount() == 0 || !selected) return;
  bool added = false;
  bool retry = false;
  {
    Operation operation(*this, true);
    m_host.SetBusy(true);
    added = AddPearlShown(0, ListView::SubItem(selected, 6), "");
    m_host.SetBusy(false);
    ShowSessionCaption();
    ReportGrowthEnd();
    // A service that failed is named once, with Retry; any other refusal keeps its short message.
    if (!added && !Chain.Interrupted() && Chain.LastRefusal() != PearlRefusal::NoResponse)
      m_host.MessageBox("Error adding search result", kMessageTitle, MessageIcon::Information, MessageButtons::Ok);
    retry = ReportAddFailure(added, "Error adding search result");
  }
  // Again once the operation has ended: a pearl added in part grows on from the pages it has.
  if (retry) added ? AddShownArticle() : AddSelectedSearchResult();
}

}  // namespace wendrel
