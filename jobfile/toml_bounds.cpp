// A single pass over the text that knows just enough TOML to tell keys from
// values and strings and comments from structure.
#include "jobfile/toml_bounds.hpp"

#include <vector>

#include "jobfile/native_job.hpp"
#include "services/errors.hpp"
#include "services/paths.hpp"

namespace soilcal::jobfile {
namespace {

class NestingScan {
 public:
  explicit NestingScan(const std::string& text) : t_(text) {}

  TomlNesting Run() {
    while (i_ < t_.size()) {
      const char c = t_[i_];
      if (c == '\n') {
        ++line_;
        ++i_;
        if (frames_.empty()) {
          lineStart_ = true;
          keyDots_ = 0;
        }
        continue;
      }
      if (c == ' ' || c == '\t' || c == '\r') {
        ++i_;
        continue;
      }
      if (c == '#') {
        SkipComment();
        continue;
      }
      if (lineStart_) {
        lineStart_ = false;
        if (c == '[') {
          Header();
        } else {
          inKey_ = true;
        }
        continue;
      }
      if (c == '"' || c == '\'') {
        SkipString();
        continue;
      }
      Structure(c);
      ++i_;
    }
    return deepest_;
  }

 private:
  void Note() {
    const int depth = header_ + keyDots_ + static_cast<int>(frames_.size());
    if (depth > kMaxTomlNesting && deepest_.firstLineTooDeep == 0) {
      deepest_.firstLineTooDeep = line_;
    }
    if (depth > deepest_.depth) {
      deepest_.depth = depth;
      deepest_.line = line_;
    }
  }

  void Structure(char c) {
    if (inKey_) {
      if (c == '.') {
        ++keyDots_;
        Note();
      } else if (c == '=') {
        inKey_ = false;
      }
      return;
    }
    if (c == '[' || c == '{') {
      frames_.push_back({c, keyDots_});
      Note();
      inKey_ = c == '{';
    } else if ((c == ']' || c == '}') && !frames_.empty()) {
      keyDots_ = frames_.back().dots;
      frames_.pop_back();
    } else if (c == ',' && !frames_.empty() && frames_.back().open == '{') {
      keyDots_ = frames_.back().dots;
      inKey_ = true;
    }
  }

  // [a.b.c] or [[a.b]]: the depth of the table that follows.
  void Header() {
    header_ = 1;
    ++i_;
    while (i_ < t_.size() && t_[i_] != '\n' && t_[i_] != ']') {
      const char c = t_[i_];
      if (c == '"' || c == '\'') {
        SkipString();
        continue;
      }
      if (c == '.') ++header_;
      ++i_;
    }
    keyDots_ = 0;
    Note();
  }

  void SkipComment() {
    while (i_ < t_.size() && t_[i_] != '\n') ++i_;
  }

  void SkipString() {
    const char q = t_[i_];
    const bool multi = t_.compare(i_, 3, std::string(3, q)) == 0;
    i_ += multi ? 3 : 1;
    while (i_ < t_.size()) {
      const char c = t_[i_];
      if (c == '\\' && q == '"') {
        i_ += 2;
        continue;
      }
      if (c == '\n') {
        if (!multi) return;  // an unclosed string: the parser says so
        ++line_;
      }
      if (c == q && (!multi || t_.compare(i_, 3, std::string(3, q)) == 0)) {
        i_ += multi ? 3 : 1;
        return;
      }
      ++i_;
    }
  }

  struct Frame {
    char open;
    int dots;  // dotted-key depth where the frame opened
  };

  const std::string& t_;
  std::size_t i_ = 0;
  int line_ = 1;
  bool lineStart_ = true;
  bool inKey_ = false;
  int header_ = 0;
  int keyDots_ = 0;
  std::vector<Frame> frames_;
  TomlNesting deepest_;
};

}  // namespace

TomlNesting DeepestNesting(const std::string& text) { return NestingScan(text).Run(); }

void CheckTomlSize(std::uintmax_t bytes, const std::string& path) {
  if (bytes <= kMaxTomlBytes) return;
  throw services::RunError(
      kJobFileUnreadable,
      services::BareName(path) + " is " + std::to_string(bytes) +
          " bytes; a job file is read up to " + std::to_string(kMaxTomlBytes >> 20) +
          " MiB (a job keeps its measured points in CSV files and needs a few kilobytes)");
}

void CheckTomlBounds(const std::string& text, const std::string& path) {
  const std::string name = services::BareName(path);
  CheckTomlSize(text.size(), path);
  const TomlNesting nesting = DeepestNesting(text);
  if (nesting.depth > kMaxTomlNesting) {
    throw services::RunError(
        kJobFileUnreadable,
        name + " line " + std::to_string(nesting.firstLineTooDeep) + ": tables, arrays and dotted keys are "
            "nested more than " + std::to_string(kMaxTomlNesting) +
            " levels deep; a job needs a few levels: close the brackets that are left open");
  }
}

}  // namespace soilcal::jobfile
