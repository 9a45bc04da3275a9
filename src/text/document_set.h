// DocumentSet: a table of text documents (one row per document, one column per field) with the
// field definitions of its input format, and the operations that load, derive, sort and export it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/host.h"

namespace wendrel {

// Documents count from 0, fields count from 0. A set holds at most 255 fields. The nine role
// indexes (TitleField and the rest) are plain field numbers, 0 until set. Texts are UTF-8;
// files that are not valid UTF-8 are read as Windows-1252. Long loops give the host a turn.
//
// Input formats (InitFieldDefs): 0 whole record, 1 self-described, 2 SGML news collection,
// 3 short tagged records, 4 tagged records with citation counts, 5 full tagged bibliographic
// records, 6 RIS, 7 sentiment-scored tweet list, 8 tweet export, 9 news article table,
// 10 publication list, 11 discovered links. Formats 0 to 6 cut records at a delimiter (RIS only
// at the start of a line); 0 to 2 find fields by start and end patterns, 3 to 6 by the tags at
// the start of lines. Formats 7 to 11 read one line per record as tab-separated columns.
// The input format of RIS files.
constexpr int32_t kRisFormat = 6;

class DocumentSet {
 public:
  explicit DocumentSet(Host& host) : m_host(&host) {}

  uint8_t CitedField() const { return m_citedField; }
  void SetCitedField(uint8_t field) { m_citedField = field; }
  uint8_t TitleField() const { return m_titleField; }
  void SetTitleField(uint8_t field) { m_titleField = field; }
  uint8_t RefListField() const { return m_refListField; }
  void SetRefListField(uint8_t field) { m_refListField = field; }
  uint8_t KeyWordField() const { return m_keyWordField; }
  void SetKeyWordField(uint8_t field) { m_keyWordField = field; }
  uint8_t ContentField() const { return m_contentField; }
  void SetContentField(uint8_t field) { m_contentField = field; }
  uint8_t DateTimeField() const { return m_dateTimeField; }
  void SetDateTimeField(uint8_t field) { m_dateTimeField = field; }
  uint8_t ElapsedTimeField() const { return m_elapsedTimeField; }
  void SetElapsedTimeField(uint8_t field) { m_elapsedTimeField = field; }
  uint8_t AuthorField() const { return m_authorField; }
  void SetAuthorField(uint8_t field) { m_authorField = field; }
  uint8_t URLField() const { return m_urlField; }
  void SetURLField(uint8_t field) { m_urlField = field; }

  const std::string& FilePath() const { return m_filePath; }
  int32_t DocumentCount() const { return m_documentCount; }
  // Approximate number of words read by LoadDocuments.
  int32_t WordCount() const { return m_wordCount; }
  int FieldCount() const { return static_cast<int>(m_fieldNames.size()); }

  // Empty for a field that does not exist; setting one is ignored.
  std::string FieldName(int field) const;
  void SetFieldName(int field, const std::string& name);

  // A document outside 0..DocumentCount-1 gives "Error (Index exceeds upperbound)"; a field at or
  // beyond FieldCount gives all fields of the document joined without separator.
  std::string Text(int32_t document, int field) const;
  // Ignored outside the table.
  void SetText(int32_t document, int field, const std::string& text);

  // Whether the field's text feeds the term-document matrix (false beyond the list of flags,
  // which Clear leaves in place).
  bool FieldExpressed(int field) const;
  void SetFieldExpressed(int field, bool expressed);
  // "1" or "0" per field in field order; setting reads character f for field f (a missing
  // character means not expressed).
  std::string FieldExpressionPattern() const;
  void SetFieldExpressionPattern(const std::string& pattern);

  // Installs the field definitions of an input format (formats above 11 keep the old names and
  // patterns); then every field is expressed. Format 1 reads its definitions from the start of
  // the file at definitionPath and throws TextError when they cannot be read.
  void InitFieldDefs(int32_t format, const std::string& separator, const std::string& definitionPath);

  // Takes a finished table [document][field] laid out as `format`; the file path becomes the
  // program's folder. Always returns false.
  bool SetDocuments(std::vector<std::vector<std::string>> texts, int32_t format, int32_t count);

  // Reads a file of the given format. False when the set already holds documents or the file
  // yields none. Records of no more than minimumRecordBytes (two bytes per character) or of 8
  // characters or fewer are dropped; maximumDocuments above 0 caps the count. A header line in
  // column mode is no document; one naming more than 255 columns is refused. Tagged records and
  // RIS (formats 3 to 6) take each field from the first line with its tag and the untagged lines
  // after it. With saveSubset the records are also written to "<path without extension>_<count>.txt",
  // and path becomes that name. Throws TextError when the file cannot be read or written.
  bool LoadDocuments(std::string& path, int32_t format, const std::string& separator, int32_t minimumRecordBytes,
                     int32_t maximumDocuments, bool saveSubset);

  // Removes one row; throws std::out_of_range for an invalid index.
  void RemoveDocument(int32_t document);

  // Drops documents, field definitions and the record delimiter; keeps roles, expressed flags,
  // column mode, header flag, file path and raw records.
  void Clear();

  // Rewrites a date field into DD/MM/YY hh:mm:ss from "Twitter" (YYYYMMDD HH:MM:SS or
  // YYYYMMDD HHMMSS) or "Twitter1.1" (Www Mmm DD HH:MM:SS +ZZZZ YYYY); other variants do nothing.
  void ConvertTwitterDateTimeField(const std::string& variant, uint8_t field);

  // Appends a field holding, per document, the number of unit boundaries ("s", "n", "h", "d",
  // "ww") from the reference date to the document's date, less the smallest such number, so the
  // earliest document has 0. Dates are DD/MM/YY[YY] [hh:mm[:ss]] or ISO 8601; a text that is no
  // date leaves its cell empty. DateTimeField becomes dateField. Throws TextError for another
  // unit or a reference that is no date. Returns true.
  bool DeriveElapsedTimeField(int16_t dateField, const std::string& unit, const std::string& referenceDate);

  // Moves "http://" links out of the source field; the first link longer than 9 characters goes
  // (after a space) into the target field, a new field named `name` when targetField is 0.
  void DeriveLinksField(int16_t sourceField, const std::string& name, uint8_t targetField);

  // Appends a field of the tweet's hashtags (or mentions), each after a space; in the source
  // they become "[#]" (or "[@]").
  void DeriveTwitterHashField(int16_t sourceField, const std::string& name);
  void DeriveTwitterMentionField(int16_t sourceField, const std::string& name);

  // Orders the documents by the whole-number value of a field. A set in the opposite order is
  // reversed; otherwise the host shows "Documents need to be sorted..." and a selection sort runs.
  void SortByInt(uint8_t field, bool descending);

  // A new set with the same field definitions and roles holding (copies of) the documents whose
  // field contains the text.
  DocumentSet SelectSubSetByString(uint8_t field, const std::string& text) const;

  // Tab-separated text, optionally with a header line of field names each followed by a tab.
  void ExportTSV(const std::string& path, bool withHeader) const;
  // One RIS record per document from the author, date, title and content roles.
  void ExportRIS(const std::string& path) const;

 private:
  struct FieldPattern {
    std::string start;
    std::string end;
  };

  void AddField(const std::string& name, const std::string& start = "", const std::string& end = "");
  void ReadFieldDefinitions(const std::string& path);
  // Appends an empty, unexpressed field to every row; returns its index.
  int AppendField(const std::string& name);
  void CheckField(int field, const char* operation) const;
  void StoreTagged(const std::string& record, std::vector<std::string>& row);
  // Tagged bibliographic records and RIS: a field is the value of the first line with its tag
  // and the untagged lines after it.
  void StoreTagLines(const std::string& record, std::vector<std::string>& row, bool ris);
  void RepairTweetColumns(std::vector<std::string>& columns);
  void SwapDocuments(size_t a, size_t b);
  void DeriveTagField(int16_t sourceField, const std::string& name, char mark, const std::string& placeholder,
                      const std::string& finalMark, bool replaceApostrophe);

  Host* m_host;
  int32_t m_documentCount = 0;
  int32_t m_wordCount = 0;
  std::string m_filePath;
  std::vector<std::vector<std::string>> m_texts;
  std::vector<std::string> m_fieldNames;
  std::vector<FieldPattern> m_fieldPatterns;
  std::vector<bool> m_expressed;
  std::string m_recordDelimiter;
  int m_columnMode = 0;
  bool m_headerFlag = false;
  std::vector<std::string> m_rawRecords;
  // Characters (carriage returns left out) of the definitions that open a format 1 file.
  size_t m_definitionLength = 0;

  uint8_t m_citedField = 0;
  uint8_t m_titleField = 0;
  uint8_t m_refListField = 0;
  uint8_t m_keyWordField = 0;
  uint8_t m_contentField = 0;
  uint8_t m_dateTimeField = 0;
  uint8_t m_elapsedTimeField = 0;
  uint8_t m_authorField = 0;
  uint8_t m_urlField = 0;
};

}  // namespace wendrel
