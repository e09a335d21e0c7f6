#include "jobfile/toml_access.hpp"

#include <algorithm>
#include <cmath>

#include "jobfile/nearest.hpp"
#include "services/errors.hpp"

namespace soilcal::jobfile {
namespace {

constexpr int kJobFileError = services::kNoOptimizationInputFile;

}  // namespace

std::string TypeWords(const toml::node& node) {
  switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "a whole number";
    case toml::node_type::floating_point: return "a number";
    case toml::node_type::boolean: return "true or false";
    case toml::node_type::array: return "a list";
    case toml::node_type::table: return "a table";
    case toml::node_type::date:
    case toml::node_type::time:
    case toml::node_type::date_time: return "a date or time";
    default: return "nothing";
  }
}

std::string TomlFile::Where(const toml::source_region& region) const {
  if (region.begin.line == 0) return name_;
  return name_ + " line " + std::to_string(region.begin.line);
}

void TomlFile::Fail(int code, const toml::source_region& at, const std::string& text) const {
  throw services::RunError(code, Where(at) + ": " + text);
}

std::vector<std::pair<const toml::key*, const toml::node*>> TomlFile::InFileOrder(
    const toml::table& table) {
  std::vector<std::pair<const toml::key*, const toml::node*>> entries;
  for (const auto& [key, node] : table) entries.emplace_back(&key, &node);
  std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
    const auto& pa = a.first->source().begin;
    const auto& pb = b.first->source().begin;
    return pa.line != pb.line ? pa.line < pb.line : pa.column < pb.column;
  });
  return entries;
}

void TomlFile::CheckKeys(const toml::table& table, const std::vector<std::string>& allowed,
                         const std::string& what) const {
  for (const auto& [key, node] : InFileOrder(table)) {
    const std::string name(key->str());
    if (std::find(allowed.begin(), allowed.end(), name) != allowed.end()) continue;
    std::string known;
    for (std::size_t i = 0; i < allowed.size(); ++i) known += (i > 0 ? ", " : "") + allowed[i];
    Fail(kJobFileError, key->source(),
         "unknown key \"" + name + "\" in " + what + DidYouMean(name, allowed) +
             " (known keys: " + known + ")");
  }
}

double TomlFile::NumberOf(const toml::node& node, const std::string& what) const {
  double v = 0.0;
  if (const auto* i = node.as_integer()) {
    v = static_cast<double>(i->get());
  } else if (const auto* f = node.as_floating_point()) {
    v = f->get();
  } else {
    Fail(kJobFileError, node, what + " must be a number, not " + TypeWords(node));
  }
  if (!std::isfinite(v)) Fail(kJobFileError, node, what + " must be a finite number");
  return v;
}

std::optional<double> TomlFile::Number(const toml::table& t, std::string_view key) const {
  const toml::node* node = t.get(key);
  if (node == nullptr) return std::nullopt;
  return NumberOf(*node, "\"" + std::string(key) + "\"");
}

double TomlFile::RequiredNumber(const toml::table& t, std::string_view key,
                                const std::string& what) const {
  const std::optional<double> v = Number(t, key);
  if (!v) {
    Fail(kJobFileError, t, what + " needs \"" + std::string(key) + "\"");
  }
  return *v;
}

std::optional<long long> TomlFile::Integer(const toml::table& t, std::string_view key) const {
  const toml::node* node = t.get(key);
  if (node == nullptr) return std::nullopt;
  if (const auto* i = node->as_integer()) return i->get();
  // 100.0 is a whole number too.
  if (const auto* f = node->as_floating_point()) {
    const double v = f->get();
    if (std::isfinite(v) && v == std::floor(v) && std::abs(v) < 1e15) {
      return static_cast<long long>(v);
    }
  }
  Fail(kJobFileError, *node,
       "\"" + std::string(key) + "\" must be a whole number, not " + TypeWords(*node));
}

std::optional<std::string> TomlFile::String(const toml::table& t, std::string_view key) const {
  const toml::node* node = t.get(key);
  if (node == nullptr) return std::nullopt;
  if (const auto* s = node->as_string()) return s->get();
  Fail(kJobFileError, *node,
       "\"" + std::string(key) + "\" must be a string in quotes, not " + TypeWords(*node));
}

std::optional<bool> TomlFile::Boolean(const toml::table& t, std::string_view key) const {
  const toml::node* node = t.get(key);
  if (node == nullptr) return std::nullopt;
  if (const auto* b = node->as_boolean()) return b->get();
  Fail(kJobFileError, *node,
       "\"" + std::string(key) + "\" must be true or false, not " + TypeWords(*node));
}

std::vector<double> TomlFile::Numbers(const toml::table& t, std::string_view key) const {
  const toml::node* node = t.get(key);
  if (node == nullptr) return {};
  const std::string what = "\"" + std::string(key) + "\"";
  if (const auto* list = node->as_array()) {
    std::vector<double> values;
    for (const toml::node& item : *list) values.push_back(NumberOf(item, "every value of " + what));
    if (values.empty()) Fail(kJobFileError, *node, what + " must not be an empty list");
    return values;
  }
  return {NumberOf(*node, what)};
}

std::vector<long long> TomlFile::Integers(const toml::table& t, std::string_view key) const {
  const toml::node* node = t.get(key);
  if (node == nullptr) return {};
  auto whole = [&](const toml::node& n) -> long long {
    if (const auto* i = n.as_integer()) return i->get();
    Fail(kJobFileError, n,
         "\"" + std::string(key) + "\" must be a whole number, not " + TypeWords(n));
  };
  if (const auto* list = node->as_array()) {
    std::vector<long long> values;
    for (const toml::node& item : *list) values.push_back(whole(item));
    if (values.empty()) {
      Fail(kJobFileError, *node, "\"" + std::string(key) + "\" must not be an empty list");
    }
    return values;
  }
  return {whole(*node)};
}

}  // namespace soilcal::jobfile
