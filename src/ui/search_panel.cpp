// FormMain's search panel: the query fields, the search, the result list and adding a result
// as a pearl.
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/number_text.h"
#include "search_client/result_set.h"
#include "text/text_functions.h"
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
  Operation operation(*this, false);
  SetCaption("Peforming Search...");
  m_host.SetBusy(true);
  SearchResult->hide();
  ShowMessage(1, true);
  m_host.DoEvents();

  const int16_t yearStart = YearOf(ASQField[3]->text());
  const int16_t yearEnd = YearOf(ASQField[4]->text());
  ResultSet results(m_host, m_http, m_serviceAddress);
  if (results.RequestMASSearch(AppID, 1, 100, ASQField[0]->text().toStdString(), ASQField[1]->text().toStdString(),
                               ASQField[2]->text().toStdString(), "", "", yearStart, yearEnd)) {
    const std::vector<CCRecord> records = results.ResultRecords();
    SearchResult->ClearRows();
    m_searchRecords.clear();
    for (size_t k = 1; k < records.size(); ++k) {
      const CCRecord& r = records[k];
      // The reply without publications converts to one record "null" that names no article.
      if (r.PK.empty() || (r.PK == "null" && r.Title.empty())) break;
      m_searchRecords.push_back(r);
      QTreeWidgetItem* row = SearchResult->AddRow(ZeroPadded(static_cast<int64_t>(k), 3));
      FillArticleColumns(row, r);
      ListView::SetSubItem(row, 7, r.DOI);
      ListView::SetSubItem(row, 8, r.Abstract);
    }
    statusBar()->showMessage(QString("%1 articles found").arg(SearchResult->RowCount()));
    Enable(mExportExchange, Chain.Count() > 0 || !m_searchRecords.empty());
  } else {
    statusBar()->showMessage(QString::fromStdString("The search failed: " + results.LastError()));
  }
  SetCaption(m_caption);
  m_host.SetBusy(false);
  SearchResult->show();
  ShowMessage(1, false);
  SearchResult->SetSortKey(0);
  SearchResult->SetSortOrder(Qt::AscendingOrder);
}

void FormMain::ASQField_Change(int index) {
  if (index == 3) ASQField[4]->setText(ASQField[3]->text());
}

void FormMain::SearchResult_ItemClick(QTreeWidgetItem* row) {
  SearchResult->setToolTip(row->text(8));
  Enable(mAddPearl, true);
}

void FormMain::SearchResult_MouseUp(int button, QPoint globalPosition) {
  if (m_operationRunning) return;
  mDeleteArticle->setVisible(false);
  mRemovePearl->setVisible(false);
  mGetPrePrint->setVisible(false);
  if (button == kRightButton) {
    CurrentIndex = -1;
    PopUp(*mArticle, globalPosition);
  }
  mGetPrePrint->setVisible(true);
}

void FormMain::AddSelectedSearchResult() {
  QTreeWidgetItem* selected = SearchResult->currentItem();
  if (SearchResult->RowCount() == 0 || !selected) return;
  Operation operation(*this, true);
  m_host.SetBusy(true);
  const std::string pk = ListView::SubItem(selected, 6);
  int32_t newIndex = 0;
  if (Chain.AddPearl(newIndex, pk, "", RetrievalLimit, *this)) {
    CurrentIndex = newIndex;
    RefreshLists();
    ShowSummary(CurrentIndex);
    PearlList->setFocus();
  } else if (!Chain.Interrupted()) {
    m_host.MessageBox("Error adding search result", "Endrel Search", MessageIcon::Information, MessageButtons::Ok);
    ReportRefusedPearl(pk);
  }
  m_host.SetBusy(false);
  SetCaption(m_caption);
  ReportGrowthEnd();
}

}  // namespace wendrel
