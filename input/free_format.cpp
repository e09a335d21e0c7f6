#include "input/free_format.hpp"

#include <sys/stat.h>

#include <charconv>
#include <climits>
#include <cmath>
#include <limits>

#include "services/channels.hpp"
#include "services/diag.hpp"
#include "services/errors.hpp"
#include "services/notices.hpp"
#include "services/paths.hpp"

namespace soilcal::input {

LineReader::LineReader(std::FILE* file, std::string fileName)
    : file_(file), fileName_(std::move(fileName)) {
  struct stat info {};
  if (file_ && fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode)) size_ = info.st_size;
}

long long LineReader::remainingBytes() const {
  if (size_ < 0) return std::numeric_limits<long long>::max() / 4;
  return size_ > consumed_ ? size_ - consumed_ : 0;
}

bool LineReader::Next(std::string& line) {
  line.clear();
  if (ended_ || !file_) {
    ended_ = true;
    return false;
  }
  // Keep one character more than a record holds, so that a CR just past the
  // limit is still seen as the line end and not as a cut.
  std::size_t length = 0;
  int last = 0;
  int c;
  while ((c = std::getc(file_)) != EOF && c != '\n') {
    if (line.size() <= kMaxRecordLength) line.push_back(static_cast<char>(c));
    ++length;
    last = c;
  }
  consumed_ += static_cast<long long>(length) + (c == '\n' ? 1 : 0);
  if (c == EOF && (length == 0 || std::ferror(file_))) {
    ended_ = true;
    line.clear();
    return false;
  }
  ++lineNumber_;
  if (last == '\r') --length;
  if (line.size() > length) line.resize(length);
  if (line.size() > kMaxRecordLength) {
    line.resize(kMaxRecordLength);
    if (services::Diag().on()) {
      services::Diag().Line("line longer than 255 characters cut: " + fileName_ + " line " +
                            std::to_string(lineNumber_));
    }
  }
  StripByteOrderMark(line);
  last_ = line;
  return true;
}

namespace {

std::FILE* OpenOnUnit(int unit, const std::string& path) {
  if (!services::OpenWithRetry(unit, services::ResolvePath(path), services::OpenMode::kRead)) {
    return nullptr;
  }
  return services::UnitFile(unit);
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : unit_(services::FindFreeUnit(10)), file_(OpenOnUnit(unit_, path)), lines_(file_, path) {}

InputFile::~InputFile() {
  if (file_) services::CloseUnit(unit_);
}

void StripByteOrderMark(std::string& line) {
  if (line.size() >= 3 && static_cast<unsigned char>(line[0]) == 0xEF &&
      static_cast<unsigned char>(line[1]) == 0xBB && static_cast<unsigned char>(line[2]) == 0xBF) {
    line.erase(0, 3);
  }
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A quoted value starting at `pos` (on the quote); returns the position
// after the closing quote (or the end of the record when it is missing).
std::size_t ReadQuoted(std::string_view record, std::size_t pos, std::string& text) {
  const char quote = record[pos++];
  while (pos < record.size()) {
    if (record[pos] == quote) {
      if (pos + 1 < record.size() && record[pos + 1] == quote) {
        text.push_back(quote);
        pos += 2;
        continue;
      }
      return pos + 1;
    }
    text.push_back(record[pos++]);
  }
  return pos;
}

}  // namespace

SplitRecord SplitValues(std::string_view record) {
  SplitRecord out;
  std::size_t pos = 0;
  // True at the start and after a comma: a further comma there is a null
  // value ("1,,3" and ",5" each hold one).
  bool awaitingValue = true;
  while (pos < record.size()) {
    while (pos < record.size() && IsBlank(record[pos])) ++pos;
    if (pos >= record.size()) break;
    const char c = record[pos];
    if (c == ',') {
      if (awaitingValue) out.values.push_back({"", true});
      awaitingValue = true;
      ++pos;
      continue;
    }
    if (c == '/') {
      out.slash = true;
      break;
    }
    FreeValue value;
    if (c == '\'' || c == '"') {
      pos = ReadQuoted(record, pos, value.text);
    } else {
      while (pos < record.size() && !IsBlank(record[pos]) && record[pos] != ',') {
        value.text.push_back(record[pos++]);
      }
    }
    out.values.push_back(std::move(value));
    awaitingValue = false;
  }
  return out;
}

bool ParseReal(std::string_view text, double& value) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty() || text.size() > 64) return false;
  char buffer[64];
  std::size_t n = 0;
  for (char c : text) buffer[n++] = (c == 'd' || c == 'D') ? 'e' : c;
  double v = 0.0;
  const auto [ptr, ec] = std::from_chars(buffer, buffer + n, v);
  if (ec != std::errc() || ptr != buffer + n || !std::isfinite(v)) return false;
  value = v;
  return true;
}

bool ParseInteger(std::string_view text, int& value) {
  std::string_view digits = text;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  int v = 0;
  const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (!digits.empty() && ec == std::errc() && ptr == digits.data() + digits.size()) {
    value = v;
    return true;
  }
  // A real with an integral value, as a spreadsheet may write it.
  double real = 0.0;
  if (!ParseReal(text, real) || real != std::trunc(real) || real < INT_MIN || real > INT_MAX) {
    return false;
  }
  value = static_cast<int>(real);
  return true;
}

int RoundHalfAway(double value) {
  const double r = value >= 0.0 ? std::trunc(value + 0.5) : std::trunc(value - 0.5);
  if (!(r > static_cast<double>(INT_MIN))) return INT_MIN;
  if (!(r < static_cast<double>(INT_MAX))) return INT_MAX;
  return static_cast<int>(r);
}

namespace {

bool Assign(const ReadItem& item, const std::string& text) {
  if (auto* i = std::get_if<int*>(&item)) return ParseInteger(text, **i);
  if (auto* d = std::get_if<double*>(&item)) return ParseReal(text, **d);
  *std::get<std::string*>(item) = text;
  return true;
}

// Fills items from `next` on with the values of one record. Returns kOk when
// the list is complete (or a slash ended it), kMissing when values ran out.
ReadStatus FillFrom(std::string_view record, std::initializer_list<ReadItem> items,
                    std::size_t& next) {
  const SplitRecord split = SplitValues(record);
  for (const FreeValue& value : split.values) {
    if (next >= items.size()) return ReadStatus::kOk;
    const ReadItem& item = items.begin()[next++];
    if (!value.null && !Assign(item, value.text)) return ReadStatus::kBadValue;
  }
  if (next >= items.size() || split.slash) return ReadStatus::kOk;
  return ReadStatus::kMissing;
}

}  // namespace

ReadStatus ReadFromRecord(std::string_view record, std::initializer_list<ReadItem> items) {
  std::size_t next = 0;
  return FillFrom(record, items, next);
}

ReadStatus ReadStatement(LineReader& lines, std::initializer_list<ReadItem> items) {
  std::size_t next = 0;
  std::string line;
  while (lines.Next(line)) {
    const std::size_t wanted = items.size() - next;
    const ReadStatus status = FillFrom(line, items, next);
    if (status == ReadStatus::kOk) CheckDecimalComma(lines, line, wanted);
    if (status != ReadStatus::kMissing) return status;
  }
  return ReadStatus::kMissing;
}

const char* StatusText(ReadStatus status) {
  switch (status) {
    case ReadStatus::kOk: return "values read";
    case ReadStatus::kMissing: return "values missing";
    case ReadStatus::kBadValue: return "a value that is not a number";
  }
  return "";
}

void StopMalformed(int code, const LineReader& lines, const std::string& what) {
  if (services::Diag().on()) {
    services::Diag().Line(what + " in " + lines.fileName() + " line " +
                          std::to_string(lines.lineNumber()));
  }
  services::StopWithError(code, services::BareName(lines.fileName()) + " line " +
                                    std::to_string(lines.lineNumber()) + ": " + what);
}

std::string FirstNonNumber(std::string_view record) {
  for (const FreeValue& value : SplitValues(record).values) {
    double v = 0.0;
    if (!value.null && !ParseReal(value.text, v)) return services::Quoted(value.text);
  }
  return {};
}

void StopUnreadable(int code, const LineReader& lines, const std::string& what,
                    ReadStatus status) {
  if (status == ReadStatus::kMissing) {
    StopMalformed(code, lines, "the file ends before the " + what);
  }
  std::string found = FirstNonNumber(lines.lastRecord());
  if (found.empty()) found = services::Quoted(lines.lastRecord());
  StopMalformed(code, lines, found + " is not a number (" + what + ")");
}

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The blank-separated word of `record` around position `pos`.
std::string_view WordAt(std::string_view record, std::size_t pos) {
  std::size_t begin = pos;
  while (begin > 0 && !IsBlank(record[begin - 1])) --begin;
  std::size_t end = pos;
  while (end < record.size() && !IsBlank(record[end])) ++end;
  return record.substr(begin, end - begin);
}

}  // namespace

void CheckDecimalComma(LineReader& lines, std::string_view record, std::size_t wanted) {
  if (lines.commaWarned) return;
  std::size_t comma = std::string_view::npos;
  for (std::size_t i = 1; i + 1 < record.size(); ++i) {
    if (record[i] == ',' && IsDigit(record[i - 1]) && IsDigit(record[i + 1])) {
      comma = i;
      break;
    }
  }
  if (comma == std::string_view::npos || SplitValues(record).values.size() <= wanted) return;
  lines.commaWarned = true;
  services::Warn(services::BareName(lines.fileName()) + " line " +
                 std::to_string(lines.lineNumber()) + ": " +
                 services::Quoted(WordAt(record, comma)) +
                 " looks like a decimal comma; a comma separates values, so it is read as two "
                 "numbers (write a decimal point)");
}

}  // namespace soilcal::input
