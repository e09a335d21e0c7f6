#include "jobfile/nearest.hpp"

#include <algorithm>
#include <cctype>

namespace soilcal::jobfile {

int EditDistance(std::string_view a, std::string_view b) {
  auto lower = [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); };
  std::vector<int> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const int substitute = diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1);
      diagonal = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, substitute});
    }
  }
  return row[b.size()];
}

std::vector<std::string> NearestNames(std::string_view given,
                                      const std::vector<std::string>& valid) {
  const int limit = std::max(2, static_cast<int>(given.size()) / 3);
  std::vector<std::pair<int, std::string>> near;
  for (const std::string& name : valid) {
    const int d = EditDistance(given, name);
    if (d <= limit) near.emplace_back(d, name);
  }
  std::stable_sort(near.begin(), near.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::string> names;
  for (const auto& entry : near) {
    if (names.size() == 3) break;
    if (std::find(names.begin(), names.end(), entry.second) == names.end()) {
      names.push_back(entry.second);
    }
  }
  return names;
}

std::string DidYouMean(std::string_view given, const std::vector<std::string>& valid) {
  const std::vector<std::string> names = NearestNames(given, valid);
  if (names.empty()) return "";
  std::string text = "; did you mean ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += "\"" + names[i] + "\"";
  }
  return text + "?";
}

}  // namespace soilcal::jobfile
