// FormMain's article lists and summary: rebuilding the Pearl, Cited and Citing Lists from the
// chain, the summary of an article, and the clicks that show how articles relate to pearls.
#include <QStatusBar>
#include <cstdlib>

#include "platform/text_encoding.h"
#include "review/known_papers.h"
#include "session/session_file.h"
#include "ui/form_main.h"
#include "ui/list_rows.h"
#include "ui/qt_host.h"

namespace wendrel {

namespace {

const QColor kGrey(100, 100, 100);

// The chain index a row stands for: its "GI" column.
int32_t RowIndex(const QTreeWidgetItem* row) { return row->text(7).toInt(); }

void FillRow(QTreeWidgetItem* row, const CCRecord& r, int32_t index) {
  FillArticleColumns(row, r);
  ListView::SetSubItem(row, 7, std::to_string(index));
}

// " 1 item in the pearl list", " 2 items in the pearl list".
QString Status(const ListView& list, const char* one, const char* many, const char* rest) {
  const int count = list.RowCount();
  return " " + QString::number(count) + " " + (count == 1 ? one : many) + rest;
}

// The pearls of a ";1;;87;" list by their IDs, first authors and years: "25353 (Øberg 2004),
// 1017 (Hansen 1999)"; "none" for an empty list.
std::string PearlNames(const MASCitationChain& chain, const std::string& tokens) {
  std::string names;
  for (const int32_t pearl : RelationPearls(tokens)) {
    if (pearl < 1 || pearl > chain.IndexSize()) continue;
    const CCRecord r = chain.GetRecord(pearl);
    std::string who = r.FirstAuthor.substr(0, r.FirstAuthor.find(','));
    if (!r.Year.empty()) who += (who.empty() ? "" : " ") + r.Year;
    names += (names.empty() ? "" : ", ") + (r.PK.empty() ? "#" + std::to_string(pearl) : r.PK) +
             (who.empty() ? "" : " (" + who + ")");
  }
  return names.empty() ? "none" : names;
}

}  // namespace

void FormMain::RefreshLists() {
  // Articles that arrived may be papers of the user's library.
  if (!Chain.Screenings().KnownPapers().empty()) MatchKnownPapers(Chain);
  for (ListView* list : {CitedList, PearlList, CitingList}) {
    list->setUpdatesEnabled(false);
    list->ClearRows();
  }
  for (int32_t i = 1; i <= Chain.IndexSize(); ++i) {
    const CCRecord r = Chain.GetRecord(i);
    if (r.IsCited && !r.Suppressed) {
      QTreeWidgetItem* row = CitedList->AddRow(ZeroPadded(r.CitedByPearls, 3));
      FillRow(row, r, i);
      if (r.IsPearl) CitedList->SetRowForeColor(row, kGrey);
    }
    if (r.IsPearl) {
      QTreeWidgetItem* row = PearlList->AddRow(ZeroPadded(r.CitedByPearls, 3));
      FillRow(row, r, i);
      ListView::SetSubItem(row, 8, CompleteText(i).toStdString());
    }
    if (r.IsCiting && !r.Suppressed) {
      QTreeWidgetItem* row = CitingList->AddRow(ZeroPadded(r.CitesPearls, 3));
      FillRow(row, r, i);
      if (r.IsPearl) CitingList->SetRowForeColor(row, kGrey);
    }
  }
  for (ListView* list : {CitedList, PearlList, CitingList}) {
    m_screening.FillRows(*list);
    list->Sort();
    list->ApplyFilter();
    list->setUpdatesEnabled(true);
  }
  // A search result may have become one of the chain's articles.
  m_screening.FillRows(*SearchResult);
  SearchResult->ApplyFilter();
  ShowListStatus();
  // A stopped growth is not forgotten once its own status message gives way to the next one.
  int32_t first = 0;
  const int32_t partly = PartlyGrownPearls(first);
  if (partly == 1) {
    const std::string title = Chain.GetRecord(first).Title;
    const std::string shown = FirstCodePoints(title, 40);
    // The pearl by its ID at the service, which the lists show; its number here means nothing to a reader.
    PartlyGrownStatus->setText(QString::fromStdString("Only partly grown: pearl " + Chain.GetRecord(first).PK + ", " +
                                                      shown + (shown.size() < title.size() ? "..." : "") +
                                                      " (Add to Pearl grows it again)"));
  } else if (partly > 1) {
    PartlyGrownStatus->setText(
        QString("Only partly grown: %1 pearls (Add to Pearl grows them again)").arg(partly));
  }
  PartlyGrownStatus->setToolTip(PartlyGrownStatus->text());
  PartlyGrownStatus->setVisible(partly > 0);
  Enable(mExportExchange, Chain.Count() > 0 || !m_searchRecords.empty());
  SessionChanged = true;
  if (!m_operationRunning) ShowSessionCaption();
}

void FormMain::ShowListStatus() {
  const std::pair<QLabel*, QString> statuses[3] = {
      {CitedStatus, Status(*CitedList, "article", "articles", " cited by pearl articles")},
      {PearlStatus, Status(*PearlList, "item", "items", " in the pearl list")},
      {CitingStatus, Status(*CitingList, "article", "articles", " citing pearl articles")}};
  const ListView* lists[3] = {CitedList, PearlList, CitingList};
  for (size_t k = 0; k < 3; ++k) {
    QLabel* status = statuses[k].first;
    status->setText(statuses[k].second + m_screening.CountsText(*lists[k]));
    status->setToolTip(status->text().trimmed());
  }
}

void FormMain::ShowSummary(int32_t index) {
  const CCRecord r = Chain.GetRecord(index);
  IDNum[0]->setText(QString::fromStdString(r.PK));
  IDNum[1]->setText(QString::fromStdString(r.AK));
  const std::string lines[10] = {"AUTHORS: " + r.FirstAuthor + "; " + r.CoAuthors,
                                 "YEAR: " + r.Year,
                                 "TITLE: " + r.Title,
                                 "SOURCE: " + r.Source,
                                 "ARTICLE TYPE: " + r.PubType + (r.WorkType == "preprint" ? " (preprint)" : ""),
                                 "ABSTRACT: " + r.Abstract,
                                 // A pearl the service could not confirm has no count, not a count of 0.
                                 "CITED: " + (Chain.Unresolved(index) ? std::string("not retrieved")
                                                                      : std::to_string(r.CitationCount) + " times"),
                                 "ID: " + r.PK,
                                 "DOI: " + r.DOI,
                                 "URL: " + (!IsKnownValue(r.FullTextURL) && IsKnownValue(r.DOI)
                                                ? DoiAddress(QString::fromStdString(r.DOI))
                                                : r.FullTextURL)};
  std::string summary;
  if (Chain.Unresolved(index)) {
    summary = "UNRESOLVED: the service could not confirm this saved pearl; it shows what the file holds and has "
              "not been grown; Add to Pearl tries again";
  } else if (Chain.PartlyGrown(index)) {
    summary = "ONLY PARTLY GROWN: some of its pages were not fetched; Add to Pearl grows it again";
  }
  const std::string lister = m_sourceName.rfind("OpenAlex", 0) == 0 ? "OpenAlex" : "The service";
  if (r.Retracted) summary += (summary.empty() ? "" : "\n") + ("RETRACTED: " + lister + " marks this work as retracted");
  if (r.IsPearl && !Chain.PartlyGrown(index) && !Chain.Unresolved(index)) {
    // A grown pearl whose reference list falls short of the count says so, rather than leaving an
    // unexplained short (or empty) Cited List.
    int32_t listed = 0;
    const std::string token = RelationToken(index);
    for (int32_t i = 1; i <= Chain.IndexSize(); ++i)
      if (Chain.GetRecord(i).CitedPearlList.find(token) != std::string::npos) ++listed;
    if (listed < r.ReferenceCount)
      summary += (summary.empty() ? "" : "\n") + ("REFERENCES: " + lister + " lists " + std::to_string(listed) +
                                                  " of the " + std::to_string(r.ReferenceCount) +
                                                  " references this work has");
  }
  // What the session's file knows of how whole the pearl's lists are.
  if (r.IsPearl && m_session && !Chain.Unresolved(index))
    summary += (summary.empty() ? "" : "\n") +
               ("GROWN: " + CompletenessText(m_session->Direction(index, PearlRelation::Cited),
                                             m_session->Direction(index, PearlRelation::Citing)));
  for (const std::string& line : lines) summary += (summary.empty() ? "" : "\n") + line;
  MetaData->setPlainText(QString::fromStdString(summary));
  m_screening.ShowArticle(index);
  GIDebug->setPlainText(QString::fromStdString(std::to_string(index) + ":\nPearl = " + (r.IsPearl ? "True" : "False") +
                                               "\nCited by pearls: " + PearlNames(Chain, r.CitedPearlList) +
                                               "\nCites pearls: " + PearlNames(Chain, r.CitingPearlList)));
  ShowSessionCaption();
  mRemovePearl->setVisible(true);
  mDeleteArticle->setVisible(true);
  Enable(mDeleteArticle, true);
  SSTab1->setCurrentIndex(0);
  const bool pearl = Chain.GetRecord(CurrentIndex).IsPearl;
  // A capped pearl grows on by the pages it lacks, as a partly grown one does.
  Enable(mAddPearl, !pearl || Chain.PartlyGrown(CurrentIndex) || Chain.Unresolved(CurrentIndex) ||
                        Chain.Capped(CurrentIndex));
  Enable(mRemovePearl, pearl);
}

int16_t FormMain::FindListRow(const ListView& list, int32_t index) {
  int found = -1;
  for (int position = 1; position <= list.RowCount(); ++position) {
    if (RowIndex(list.Row(position)) == index) found = position;
  }
  return static_cast<int16_t>(std::min(found, 32767));
}

void FormMain::ClearMarks(const ListView& clicked) {
  for (ListView* list : {CitedList, PearlList, CitingList}) {
    for (int position = 1; position <= list->RowCount(); ++position) ListView::SetRowBold(list->Row(position), false);
    if (list != &clicked) list->clearSelection();
    list->viewport()->update();
  }
}

void FormMain::PearlList_ItemClick(QTreeWidgetItem* row) {
  if (m_operationRunning || !row) return;
  CurrentIndex = RowIndex(row);
  ShowSummary(CurrentIndex);
  ClearMarks(*PearlList);
  const bool map = MapEnabled();
  if (map) m_mapPane.DVis.ResetNodeClusters();
  const std::string token = RelationToken(CurrentIndex);
  const auto mark = [&](ListView& list, bool cited, int16_t cluster) {
    for (int position = 1; position <= list.RowCount(); ++position) {
      QTreeWidgetItem* related = list.Row(position);
      const int32_t index = RowIndex(related);
      const CCRecord r = Chain.GetRecord(index);
      const bool bold = (cited ? r.CitedPearlList : r.CitingPearlList).find(token) != std::string::npos;
      ListView::SetRowBold(related, bold);
      if (bold && map && m_mapPane.DVis.SelectedNode() != CurrentIndex - 1 && m_mapPane.HasNode(index - 1)) {
        m_mapPane.DVis.SetNodeCluster(index - 1, cluster);
      }
    }
    list.viewport()->update();
  };
  mark(*CitedList, true, 2);
  mark(*CitingList, false, 3);
  if (map) {
    MarkPearlsOnMap();
    if (m_mapPane.HasNode(CurrentIndex - 1)) {
      m_mapPane.DVis.SetSelectedNode(CurrentIndex - 1);
      m_mapPane.DVis.PulseNode(CurrentIndex - 1, 5);
    }
    m_mapPane.DVis.RenderView(true, false);
  }
}

void FormMain::RelatedList_ItemClick(ListView& list, QTreeWidgetItem* row) {
  if (m_operationRunning || !row) return;
  CurrentIndex = RowIndex(row);
  ShowSummary(CurrentIndex);
  ClearMarks(list);
  if (MapEnabled()) {
    m_mapPane.DVis.ResetNodeClusters();
    MarkPearlsOnMap();
    if (m_mapPane.HasNode(CurrentIndex - 1)) m_mapPane.DVis.SetSelectedNode(CurrentIndex - 1);
    m_mapPane.PulseAndWait(CurrentIndex - 1);
  }
  if (Chain.GetRecord(CurrentIndex).PK.empty()) {
    Operation operation(*this, false);
    m_host.SetBusy(true);
    ShowMessage(0, true);
    MetaData->setEnabled(false);
    m_host.DoEvents();
    Chain.FindPK(CurrentIndex, true, false);
    ShowSummary(CurrentIndex);
    RefreshLists();
    m_host.SetBusy(false);
    ShowMessage(0, false);
    MetaData->setEnabled(true);
  }
  const CCRecord r = Chain.GetRecord(CurrentIndex);
  const std::string& pearls = &list == CitedList ? r.CitedPearlList : r.CitingPearlList;
  for (int position = 1; position <= PearlList->RowCount(); ++position) {
    QTreeWidgetItem* pearlRow = PearlList->Row(position);
    const int32_t pearl = RowIndex(pearlRow);
    const bool bold = pearls.find(RelationToken(pearl)) != std::string::npos;
    ListView::SetRowBold(pearlRow, bold);
    if (bold && MapEnabled()) m_mapPane.PulseAndWait(pearl - 1);
  }
  PearlList->viewport()->update();
}

void FormMain::PearlList_GotFocus() {
  for (ListView* list : {CitedList, CitingList}) {
    for (int position = 1; position <= list->RowCount(); ++position) ListView::SetRowBold(list->Row(position), false);
    list->viewport()->update();
  }
}

void FormMain::List_MouseUp(ListView& list, int button, QPoint globalPosition) {
  if (m_operationRunning || button != kRightButton) return;
  m_screening.UpdateCommands(list);
  if (&list == PearlList) {
    // A pearl is added once; only a partly grown or unresolved one can be grown again.
    mAddPearl->setVisible(Chain.PartlyGrown(CurrentIndex) || Chain.Unresolved(CurrentIndex) ||
                          Chain.Capped(CurrentIndex));
    PopUp(*mArticle, globalPosition);
    mAddPearl->setVisible(true);
  } else {
    PopUp(*mArticle, globalPosition);
  }
}

}  // namespace wendrel
