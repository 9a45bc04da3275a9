// Date-time texts and calendar differences.
#include "text/date_time.h"

#include <cctype>

namespace wendrel {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool IsLeap(int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int64_t y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

class Scanner {
 public:
  explicit Scanner(std::string_view text) : m_text(text) {}
  bool AtEnd() const { return m_pos == m_text.size(); }
  bool Peek(char c) const { return m_pos < m_text.size() && m_text[m_pos] == c; }
  bool Take(char c) {
    if (!Peek(c)) return false;
    ++m_pos;
    return true;
  }
  // Between minDigits and maxDigits digits.
  std::optional<int> Number(size_t minDigits, size_t maxDigits) {
    size_t start = m_pos;
    int value = 0;
    while (m_pos < m_text.size() && m_pos - start < maxDigits && std::isdigit(static_cast<unsigned char>(m_text[m_pos])))
      value = value * 10 + (m_text[m_pos++] - '0');
    if (m_pos - start < minDigits) return std::nullopt;
    return value;
  }
  size_t Position() const { return m_pos; }

 private:
  std::string_view m_text;
  size_t m_pos = 0;
};

std::optional<int64_t> Compose(int64_t y, int mo, int d, int h, int mi, int s) {
  if (mo < 1 || mo > 12 || d < 1 || d > DaysInMonth(y, mo) || h > 23 || mi > 59 || s > 59) return std::nullopt;
  return DaysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

// hh:mm[:ss]; true with zeros when the scanner is at its end.
bool ReadTime(Scanner& in, int& h, int& mi, int& s) {
  auto hour = in.Number(1, 2);
  if (!hour || !in.Take(':')) return false;
  auto minute = in.Number(2, 2);
  if (!minute) return false;
  h = *hour, mi = *minute, s = 0;
  if (in.Take(':')) {
    auto second = in.Number(2, 2);
    if (!second) return false;
    s = *second;
  }
  return true;
}

std::optional<int64_t> ParseDayMonthYear(std::string_view text) {
  Scanner in(text);
  auto d = in.Number(1, 2);
  if (!d || !in.Take('/')) return std::nullopt;
  auto mo = in.Number(1, 2);
  if (!mo || !in.Take('/')) return std::nullopt;
  size_t yearStart = in.Position();
  auto y = in.Number(2, 4);
  if (!y) return std::nullopt;
  size_t yearDigits = in.Position() - yearStart;
  if (yearDigits == 3) return std::nullopt;
  int64_t year = *y;
  if (yearDigits == 2) year += year < 30 ? 2000 : 1900;
  int h = 0, mi = 0, s = 0;
  if (in.Take(' ')) {
    while (in.Take(' ')) {
    }
    if (!ReadTime(in, h, mi, s)) return std::nullopt;
  }
  if (!in.AtEnd()) return std::nullopt;
  return Compose(year, *mo, *d, h, mi, s);
}

std::optional<int64_t> ParseIso(std::string_view text) {
  Scanner in(text);
  auto y = in.Number(4, 4);
  if (!y || !in.Take('-')) return std::nullopt;
  auto mo = in.Number(2, 2);
  if (!mo || !in.Take('-')) return std::nullopt;
  auto d = in.Number(2, 2);
  if (!d) return std::nullopt;
  int h = 0, mi = 0, s = 0;
  int64_t offset = 0;
  if (in.Take('T') || in.Take(' ')) {
    if (!ReadTime(in, h, mi, s)) return std::nullopt;
    if (in.Take('.') && !in.Number(1, 9)) return std::nullopt;
    if (in.Take('Z')) {
    } else if (in.Peek('+') || in.Peek('-')) {
      int sign = in.Take('+') ? 1 : (in.Take('-'), -1);
      auto oh = in.Number(2, 2);
      if (!oh) return std::nullopt;
      in.Take(':');
      auto om = in.Number(2, 2);
      offset = sign * ((*oh) * 3600 + (om ? *om : 0) * 60);
    }
  }
  if (!in.AtEnd()) return std::nullopt;
  auto local = Compose(*y, *mo, *d, h, mi, s);
  if (!local) return std::nullopt;
  return *local - offset;
}

}  // namespace

std::optional<int64_t> ParseDateTime(std::string_view text) {
  size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return std::nullopt;
  text = text.substr(first, text.find_last_not_of(' ') - first + 1);
  if (auto t = ParseDayMonthYear(text)) return t;
  return ParseIso(text);
}

std::optional<int64_t> CalendarDifference(const std::string& unit, int64_t from, int64_t to) {
  if (unit == "s") return to - from;
  if (unit == "n") return FloorDiv(to, 60) - FloorDiv(from, 60);
  if (unit == "h") return FloorDiv(to, 3600) - FloorDiv(from, 3600);
  if (unit == "d") return FloorDiv(to, 86400) - FloorDiv(from, 86400);
  if (unit == "ww") {
    // 1970-01-01 was a Thursday, four days after a Sunday.
    auto week = [](int64_t t) { return FloorDiv(FloorDiv(t, 86400) + 4, 7); };
    return week(to) - week(from);
  }
  return std::nullopt;
}

}  // namespace wendrel
