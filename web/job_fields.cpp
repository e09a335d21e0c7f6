#include "web/job_fields.hpp"

#include <cctype>
#include <regex>
#include <sstream>
#include <vector>

#include "jobfile/model_list.hpp"
#include "jobfile/toml_job.hpp"
#include "run/messages.hpp"
#include "services/errors.hpp"

namespace soilcal::web {
namespace {

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  const auto last = s.find_last_not_of(" \t\r");
  return s.substr(first, last - first + 1);
}

// A bare or quoted key up to its end; `at` moves past it.
std::string KeyAt(const std::string& s, std::size_t& at) {
  while (at < s.size() && (s[at] == ' ' || s[at] == '\t')) ++at;
  if (at < s.size() && (s[at] == '"' || s[at] == '\'')) {
    const char quote = s[at];
    const auto end = s.find(quote, at + 1);
    if (end == std::string::npos) return "";
    std::string key = s.substr(at + 1, end - at - 1);
    at = end + 1;
    return key;
  }
  const std::size_t start = at;
  while (at < s.size() && (std::isalnum(static_cast<unsigned char>(s[at])) != 0 || s[at] == '_' ||
                           s[at] == '-')) {
    ++at;
  }
  return s.substr(start, at - start);
}

// Keys of the inline table opening at `brace`: its commas outside nested
// arrays, tables and strings, plus one.
int InlineKeys(const std::string& s, std::size_t brace) {
  int depth = 0, keys = 1;
  char quote = 0;
  for (std::size_t i = brace + 1; i < s.size(); ++i) {
    const char c = s[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if (c == '"' || c == '\'') quote = c;
    else if (c == '[' || c == '{') ++depth;
    else if (c == ']' || (c == '}' && depth > 0)) --depth;
    else if (c == '}') break;
    else if (c == ',' && depth == 0) ++keys;
  }
  return keys;
}

}  // namespace

nlohmann::json FieldOfLine(const std::string& text, int line) {
  if (line < 1) return nullptr;
  std::istringstream in(text);
  std::string row;
  std::string table;
  int tests = -1, models = -1;
  bool inTest = false, inModel = false;
  for (int n = 1; std::getline(in, row); ++n) {
    const std::string t = Trim(row);
    const bool header = !t.empty() && t[0] == '[';
    if (header) {
      const bool array = t.rfind("[[", 0) == 0;
      const std::size_t open = array ? 2 : 1;
      const std::size_t close = t.find(array ? "]]" : "]", open);
      std::string name = Trim(t.substr(open, close == std::string::npos ? std::string::npos : close - open));
      std::string clean;
      for (const char c : name) {
        if (c != ' ' && c != '"' && c != '\'') clean += c;
      }
      table = clean;
      const std::string first = table.substr(0, table.find('.'));
      if (array && table == "tests") ++tests;
      if (array && table == "models") ++models;
      inTest = first == "tests";
      inModel = first == "models";
    }
    if (n < line) continue;
    nlohmann::json field = {{"table", table}, {"key", ""}};
    if (!header && !t.empty() && t[0] != '#') {
      std::size_t at = 0;
      std::string key = KeyAt(t, at);
      field["key"] = key;
      // An inline table of keys on the line: `free = { G = [..] }` names G
      // when it holds one key.
      const auto brace = t.find('{');
      if (brace != std::string::npos && t.find('=', brace) != std::string::npos) {
        std::size_t inner = brace + 1;
        const std::string first = KeyAt(t, inner);
        if (!first.empty() && InlineKeys(t, brace) == 1) {
          field["table"] = table.empty() ? key : table + "." + key;
          field["key"] = first;
        }
      }
      // A dotted key (`free.G = [..]`): the table and the last part.
      while (at < t.size() && t[at] == '.') {
        ++at;
        const std::string next = KeyAt(t, at);
        field["table"] = field["table"].get<std::string>().empty() ? key : field["table"].get<std::string>() + "." + key;
        key = next;
        field["key"] = key;
      }
    }
    if (inTest) field["test"] = tests;
    if (inModel) field["model"] = models;
    return field;
  }
  return nullptr;
}

int LineOf(const std::string& sentence) {
  static const std::regex kLine(R"(line (\d+))");
  std::smatch m;
  return std::regex_search(sentence, m, kLine) ? std::stoi(m[1].str()) : 0;
}

nlohmann::json JobTextRefusal(const std::string& text, const std::string& path) {
  static const std::regex kModelList(R"((^|\n)[ \t]*\[\[[ \t]*models[ \t]*\]\])");
  try {
    if (std::regex_search(text, kModelList)) {
      jobfile::ReadModelListText(text, path);
    } else {
      jobfile::ReadTomlText(text, path);
    }
  } catch (const services::RunError& error) {
    const std::string sentence = run::RunErrorLine(error);
    const int line = LineOf(sentence);
    return {{"error", sentence}, {"line", line}, {"field", FieldOfLine(text, line)},
            {"exit_code", error.code}};
  } catch (const std::exception& error) {
    return {{"error", std::string("the job does not read: ") + error.what()}, {"line", 0},
            {"field", nullptr}};
  }
  return nullptr;
}

}  // namespace soilcal::web
