#include "jobfile/test_text.hpp"

#include <charconv>
#include <sstream>

#include "jobfile/toml_access.hpp"

namespace soilcal::jobfile {
namespace {

std::string Value(const toml::node& node);

// The shortest text that reads back as exactly `v`, always a TOML float.
std::string Float(double v) {
  char buffer[64];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
  std::string text(buffer, end);
  if (text.find_first_of(".e") == std::string::npos && text.find("inf") == std::string::npos &&
      text.find("nan") == std::string::npos) {
    text += ".0";
  }
  return text;
}

std::string Inline(const toml::table& t) {
  std::string text = "{ ";
  bool first = true;
  for (const auto& [key, node] : TomlFile::InFileOrder(t)) {
    text += (first ? "" : ", ") + std::string(key->str()) + " = " + Value(*node);
    first = false;
  }
  return text + " }";
}

std::string Value(const toml::node& node) {
  if (const auto* s = node.as_string()) {
    std::ostringstream out;
    out << *s;
    return out.str();
  }
  if (const auto* i = node.as_integer()) return std::to_string(i->get());
  if (const auto* f = node.as_floating_point()) return Float(f->get());
  if (const auto* b = node.as_boolean()) return b->get() ? "true" : "false";
  if (const auto* a = node.as_array()) {
    std::string text = "[";
    for (std::size_t k = 0; k < a->size(); ++k) text += (k ? ", " : "") + Value(*a->get(k));
    return text + "]";
  }
  if (const auto* t = node.as_table()) return Inline(*t);
  std::ostringstream out;
  if (const auto* d = node.as_date()) out << *d;
  if (const auto* t = node.as_time()) out << *t;
  if (const auto* dt = node.as_date_time()) out << *dt;
  return out.str();
}

bool IsTableArray(const toml::node& node) {
  const toml::array* a = node.as_array();
  return a != nullptr && !a->empty() && a->is_array_of_tables();
}

void Table(const toml::table& t, const std::string& header, std::ostringstream& out) {
  out << "[[" << header << "]]\n";
  for (const auto& [key, node] : TomlFile::InFileOrder(t)) {
    if (IsTableArray(*node)) continue;
    out << key->str() << " = " << Value(*node) << "\n";
  }
  for (const auto& [key, node] : TomlFile::InFileOrder(t)) {
    if (!IsTableArray(*node)) continue;
    for (const toml::node& sub : *node->as_array()) {
      out << "\n";
      Table(*sub.as_table(), header + "." + std::string(key->str()), out);
    }
  }
}

}  // namespace

std::string TestsText(const toml::array& tests) {
  std::ostringstream out;
  bool first = true;
  for (const toml::node& node : tests) {
    const toml::table* t = node.as_table();
    if (t == nullptr) continue;
    if (!first) out << "\n";
    Table(*t, "tests", out);
    first = false;
  }
  return out.str();
}

}  // namespace soilcal::jobfile
