// Reading a session file's relations for reports and the edge list.
#include "platform/sqlite_db.h"
#include "session/session_file.h"

namespace wendrel {

std::vector<SessionFile::RelationRow> SessionFile::Relations() const {
  std::vector<RelationRow> rows;
  SqliteStatement s(*m_db,
                    "SELECT r.pearl, r.direction, r.article, coalesce(r.fetch, 0) FROM relation r "
                    "LEFT JOIN pearl p ON p.article = r.pearl "
                    "ORDER BY coalesce(p.position, 1 << 30), r.pearl, r.direction = 'citing', r.article");
  while (s.Step()) {
    RelationRow row;
    row.pearl = static_cast<int32_t>(s.Int(0));
    row.relation = s.Text(1) == "references" ? PearlRelation::Cited : PearlRelation::Citing;
    row.article = static_cast<int32_t>(s.Int(2));
    row.fetch = s.Int(3);
    rows.push_back(row);
  }
  return rows;
}

}  // namespace wendrel
