// Texts of list rows: zero-padded numbers and the article columns the search results and the
// article lists share.
#pragma once

#include <QTreeWidgetItem>
#include <cstdint>
#include <string>

#include "search_client/cc_record.h"
#include "ui/list_view.h"

namespace wendrel {

// The number with at least `digits` digits, zeros in front ("000": 7 becomes "007"); a minus
// sign stands before the zeros.
inline std::string ZeroPadded(int64_t value, int digits) {
  std::string text = std::to_string(value < 0 ? -value : value);
  if (static_cast<int>(text.size()) < digits) text.insert(0, static_cast<size_t>(digits) - text.size(), '0');
  return value < 0 ? "-" + text : text;
}

// Columns 1 to 6 of a row: "Cited" (four digits), "Author", "Year", "Title", "Source", "PK". A
// retracted work or a preprint has its mark before the title ("[retracted] ..."), where a narrow
// column cannot cut it off.
inline void FillArticleColumns(QTreeWidgetItem* row, const CCRecord& r) {
  const std::string marks = RecordMarks(r);
  const std::string title = marks.empty() ? r.Title : "[" + marks + "] " + r.Title;
  const std::string texts[6] = {ZeroPadded(r.CitationCount, 4), r.FirstAuthor, r.Year, title, r.Source, r.PK};
  for (int column = 1; column <= 6; ++column) row->setText(column, QString::fromStdString(texts[column - 1]));
  ListView::SetRowAuthors(row, r.CoAuthors.empty() ? r.FirstAuthor : r.FirstAuthor + "; " + r.CoAuthors);
}

}  // namespace wendrel
