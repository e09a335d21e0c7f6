// The page's model choice offers the models the start-value rules know, by
// the names the TOML job uses: an option under another name would send the
// derivation a model it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "derive/derivation.hpp"
#include "web/page_assets.hpp"

namespace soilcal::testing {
namespace {

std::string ModelChoice() {
  for (const web::PageAsset& a : web::PageAssets()) {
    if (a.path != "/") continue;
    const std::string page(a.bytes);
    const std::size_t from = page.find("id=\"model\"");
    const std::size_t to = page.find("</select>", from);
    if (from == std::string::npos || to == std::string::npos) return "";
    return page.substr(from, to - from);
  }
  return "";
}

TEST(PageModels, EveryModelOfTheChoiceIsOneTheRulesDeriveAndEachIsOffered) {
  const std::string choice = ModelChoice();
  ASSERT_FALSE(choice.empty()) << "no model choice on the page";
  const std::vector<std::string> derivable = derive::DerivableModels();
  std::vector<std::string> offered;
  const std::regex option("<option value=\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(choice.begin(), choice.end(), option);
       it != std::sregex_iterator(); ++it) {
    offered.push_back((*it)[1]);
  }
  for (const std::string& name : offered) {
    EXPECT_NE(std::find(derivable.begin(), derivable.end(), name), derivable.end()) << name;
  }
  for (const std::string& name : derivable) {
    EXPECT_NE(std::find(offered.begin(), offered.end(), name), offered.end()) << name;
  }
}

}  // namespace
}  // namespace soilcal::testing
