// Conversion of a reply into chain records: the one place where the service's element names
// meet the record's fields.
#include "search_client/result_records.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string_view>

#include "platform/host.h"
#include "search_client/json_deserializer.h"

namespace wendrel {

namespace {

constexpr int32_t kYieldObjects = 512;  // objects converted between event-loop turns

// The leading numeric part of a text (blanks skipped, optional sign, digits), 0 when there is
// none, limited to the 16-bit range.
int16_t ReadCount(std::string_view text) {
  constexpr int64_t kLow = std::numeric_limits<int16_t>::min();
  constexpr int64_t kHigh = std::numeric_limits<int16_t>::max();
  size_t i = text.find_first_not_of(" \t\r\n");
  if (i == std::string_view::npos) return 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min(value * 10 + (text[i] - '0'), kHigh + 1);  // stays small however long the digits run
  }
  return static_cast<int16_t>(std::clamp(negative ? -value : value, kLow, kHigh));
}

std::string WithoutAny(std::string text, std::string_view unwanted) {
  std::erase_if(text, [unwanted](char c) { return unwanted.find(c) != std::string_view::npos; });
  return text;
}

bool ContainsPdfIgnoringCase(std::string_view piece) {
  std::string lower(piece);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  return lower.find(".pdf") != std::string::npos;
}

// The addresses come joined by ","; a PDF is preferred, and without one (in lower case) there is
// no full-text address at all.
std::string ChooseFullTextURL(const std::string& addresses) {
  std::string joined = WithoutAny(addresses, "\\[]");
  if (joined.find(".pdf") == std::string::npos) return std::string(kNotAvailableMarker);
  size_t from = 0;
  for (;;) {
    size_t comma = joined.find(',', from);
    std::string piece = joined.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    if (comma == std::string::npos || ContainsPdfIgnoringCase(piece)) return piece;
    from = comma + 1;
  }
}

void ReadPublication(const JSONDeserializer& reader, int32_t j, CCRecord& record) {
  record.Title = reader.GetElementInObject(j, "Title");
  record.Year = reader.GetElementInObject(j, "Year");
  if (record.Year == "0") record.Year = kNotAvailableMarker;
  record.Abstract = reader.GetElementInObject(j, "Abstract");
  record.PK = reader.GetElementInObject(j, "ID");
  if (record.PK.empty()) record.PK = kNullMarker;
  record.CitationCount = ReadCount(reader.GetElementInObject(j, "CitationCount"));
  record.ReferenceCount = ReadCount(reader.GetElementInObject(j, "ReferenceCount"));
  // The service writes every slash in these as backslash-slash.
  record.DOI = WithoutAny(reader.GetElementInObject(j, "DOI"), "\\");
  record.FullTextURL = ChooseFullTextURL(reader.GetElementInObject(j, "FullVersionURL"));
  record.Retracted = reader.GetElementInObject(j, "IsRetracted") == "true";
  record.WorkType = reader.GetElementInObject(j, "WorkType");
}

void ReadVenue(const JSONDeserializer& reader, int32_t j, const char* kind, CCRecord& record) {
  record.PubType = kind;
  std::string name = reader.GetElementInObject(j, "FullName");
  if (name != kNullMarker) record.Source = std::move(name);
}

}  // namespace

std::vector<CCRecord> ConvertReply(const std::string& data, Host* host) {
  JSONDeserializer reader(host);
  reader.Read(data, false);
  const int32_t count = reader.ObjectCount("Result");
  if (count == 0) {
    std::vector<CCRecord> none(2);
    none[1].PK = kNullMarker;
    return none;
  }
  std::vector<CCRecord> records(static_cast<size_t>(count) + 1);
  // Every object belongs to the publication nearest above it, found through its parent in one
  // pass, so a reply costs time in proportion to its objects however deeply they nest. (Walking
  // each publication's whole subtree took quadratic time on results nested in results, and let a
  // nested result overwrite the fields of the one around it.)
  const int32_t objects = reader.ObjectCount("");
  std::vector<int32_t> slotOf(static_cast<size_t>(objects) + 1, 0);
  int32_t results = 0;
  for (int32_t j = 1; j <= objects; ++j) {
    if (host != nullptr && j % kYieldObjects == 0) host->DoEvents();
    const std::string& name = reader.ObjectName(j);
    const int32_t slot = name == "Result" ? ++results : slotOf[static_cast<size_t>(reader.ObjectParent(j))];
    slotOf[static_cast<size_t>(j)] = slot;
    if (slot == 0) continue;
    CCRecord& record = records[static_cast<size_t>(slot)];
    // Later objects of a kind overwrite earlier ones: of a Journal and a Conference, the later
    // one decides the venue.
    if (name == "Author") {
      std::string author =
          reader.GetElementInObject(j, "LastName") + ", " + reader.GetElementInObject(j, "FirstName");
      if (record.FirstAuthor.empty()) {
        record.FirstAuthor = std::move(author);
      } else {
        record.CoAuthors += author + ", ";
      }
    } else if (name == "Keyword") {
      record.Keywords += reader.GetElementInObject(j, "Name") + ",";
    } else if (name == "Journal") {
      ReadVenue(reader, j, "Journal", record);
    } else if (name == "Conference") {
      ReadVenue(reader, j, "Conference", record);
    } else if (name == "Result") {
      ReadPublication(reader, j, record);
    }
  }
  return records;
}

int64_t ReplyTotal(const std::string& data) {
  JSONDeserializer reply;
  if (!reply.Read(data, true)) return -1;
  const int32_t publications = reply.ObjectIndex("Publication", 1);
  if (publications == 0) return -1;
  const std::string total = reply.GetElementInObject(publications, "TotalItem");
  if (total.empty() || total.size() > 18 || total.find_first_not_of("0123456789") != std::string::npos) return -1;
  return std::stoll(total);
}

}  // namespace wendrel
