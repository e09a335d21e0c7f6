// Typed access to a parsed TOML job file with the file's own words in every
// error: "job.toml line 12: ..." and the nearest valid names for a key that
// is not known. Errors are run errors (services::RunError) with the exit
// code of the closest native failure.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <toml++/toml.h>

namespace soilcal::jobfile {

class TomlFile {
 public:
  explicit TomlFile(std::string name) : name_(std::move(name)) {}
  const std::string& name() const { return name_; }

  // "job.toml line 12" (line of `node`; the file alone when it has none).
  std::string Where(const toml::source_region& region) const;
  std::string Where(const toml::node& node) const { return Where(node.source()); }

  [[noreturn]] void Fail(int code, const toml::source_region& at, const std::string& text) const;
  [[noreturn]] void Fail(int code, const toml::node& at, const std::string& text) const {
    Fail(code, at.source(), text);
  }

  // Every key of `table` must be one of `allowed`; `what` says whose keys
  // they are ("[model]", "test \"TXA\"").
  void CheckKeys(const toml::table& table, const std::vector<std::string>& allowed,
                 const std::string& what) const;

  // Keys and values of `table` in the order the file gives them.
  static std::vector<std::pair<const toml::key*, const toml::node*>> InFileOrder(
      const toml::table& table);

  // Typed values: nullopt when the key is missing, an error when the value
  // has another type or (numbers) is not finite.
  std::optional<double> Number(const toml::table& t, std::string_view key) const;
  double Number(const toml::table& t, std::string_view key, double fallback) const {
    return Number(t, key).value_or(fallback);
  }
  double RequiredNumber(const toml::table& t, std::string_view key, const std::string& what) const;
  std::optional<long long> Integer(const toml::table& t, std::string_view key) const;
  std::optional<std::string> String(const toml::table& t, std::string_view key) const;
  std::optional<bool> Boolean(const toml::table& t, std::string_view key) const;
  // A number or an array of numbers (empty when the key is missing).
  std::vector<double> Numbers(const toml::table& t, std::string_view key) const;
  // A whole number or an array of them.
  std::vector<long long> Integers(const toml::table& t, std::string_view key) const;
  // The number held by `node` (integer or floating point, finite).
  double NumberOf(const toml::node& node, const std::string& what) const;

 private:
  std::string name_;
};

// "a string", "a table", ... for messages.
std::string TypeWords(const toml::node& node);

}  // namespace soilcal::jobfile
