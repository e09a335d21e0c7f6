// Free-format reading of the job's text files.
//
// A record (line) holds up to 255 characters; a longer one is cut to 255 and
// one diagnostic line names the file and the line (the rest of the line is
// dropped, it is never taken for the next record). A trailing CR (files
// written with CRLF) is removed, and so is a UTF-8 byte-order mark at the
// start of any record. Bytes are bytes: nothing here decodes text, so a file
// in any encoding reads without harm.
//
// Values on a record are separated by blanks, tabs or commas. A value in
// single or double quotes is one value whatever it holds (blanks, commas,
// slashes); a doubled quote inside stands for one quote. Two commas with only
// blanks between give a null value, which leaves its item unchanged. A '/'
// where a value would begin ends the record: the items not yet read keep
// their values. Integers read as integers; an integer item also accepts a
// real written with an integral value ("8.0"). Reals accept the exponent
// letters e, E, d and D; "nan" and "inf" are not numbers here.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace soilcal::input {

inline constexpr std::size_t kMaxRecordLength = 255;

// Reads records from an open stream that it does not own.
class LineReader {
 public:
  LineReader(std::FILE* file, std::string fileName);

  // Next record into `line`. Returns false at end of file or on a read error;
  // the end flag is then set and `line` is not to be used.
  bool Next(std::string& line);
  bool ended() const { return ended_; }
  // Number of the record read last (1-based).
  int lineNumber() const { return lineNumber_; }
  const std::string& fileName() const { return fileName_; }
  // The record read last, as read (empty before the first).
  const std::string& lastRecord() const { return last_; }
  // Set once a decimal comma has been reported for this file.
  bool commaWarned = false;
  // Bytes not read yet; a very large number when the size is unknown. Counts
  // read from a file can never exceed what the rest of the file can hold.
  long long remainingBytes() const;

 private:
  std::FILE* file_;
  std::string fileName_;
  long long size_ = -1;
  long long consumed_ = 0;
  int lineNumber_ = 0;
  bool ended_ = false;
  std::string last_;
};

// Opens a file of the job for reading on the first free unit from 10 and
// closes the unit when it goes away.
class InputFile {
 public:
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool opened() const { return file_ != nullptr; }
  LineReader& lines() { return lines_; }

 private:
  int unit_ = 0;
  std::FILE* file_ = nullptr;
  LineReader lines_;
};

// Removes a UTF-8 byte-order mark from the start of a record of at least
// three characters.
void StripByteOrderMark(std::string& line);
// The record without trailing blanks.
std::string_view TrimRight(std::string_view text);

// One value of a record; null values are empty optionals, a slash ends the
// list.
struct FreeValue {
  std::string text;
  bool null = false;
};
struct SplitRecord {
  std::vector<FreeValue> values;
  bool slash = false;  // a '/' ended the record
};
SplitRecord SplitValues(std::string_view record);

bool ParseReal(std::string_view text, double& value);
bool ParseInteger(std::string_view text, int& value);
// Nearest integer, halves away from zero (add 0.5 to a non-negative value,
// subtract 0.5 from a negative one, truncate); held inside the int range.
int RoundHalfAway(double value);

// An item of a read statement.
using ReadItem = std::variant<int*, double*, std::string*>;

enum class ReadStatus {
  kOk,        // every item got a value (or was left by a null value or '/')
  kMissing,   // the record(s) ended before every item had a value
  kBadValue,  // a value could not be read as its item's type
};

// One read from a single record, as from an internal file: a record with
// fewer values than items is kMissing.
ReadStatus ReadFromRecord(std::string_view record, std::initializer_list<ReadItem> items);

// One read statement on a file: it starts on a new record and goes on to the
// following records while items still want values (blank records are thus
// passed over). kMissing means the file ended first.
ReadStatus ReadStatement(LineReader& lines, std::initializer_list<ReadItem> items);

// Text of a status for diagnostic lines.
const char* StatusText(ReadStatus status);

// Writes "<what> in <file> line <n>" to unit 2 and raises run error `code`
// with "<FILE> line <n>: <what>" as its cause.
[[noreturn]] void StopMalformed(int code, const LineReader& lines, const std::string& what);
// Raises run error `code` for a read statement of `what` that failed with
// `status`: the cause names the file, the line and the value found there.
[[noreturn]] void StopUnreadable(int code, const LineReader& lines, const std::string& what,
                                 ReadStatus status);
// The first value of `record` that is not a number, quoted ("" when all are).
std::string FirstNonNumber(std::string_view record);
// One warning per file when `record` gives more values than the `wanted`
// items of its read and holds a comma between two digits: most likely a
// decimal comma, which free format reads as two values.
void CheckDecimalComma(LineReader& lines, std::string_view record, std::size_t wanted);

}  // namespace soilcal::input
