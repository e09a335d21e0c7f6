// The page's files, embedded into the program when it is built (from web/page/
// and web/vendor/), so an installed program serves its workbench alone.
#pragma once

#include <span>
#include <string_view>

namespace soilcal::web {

struct PageAsset {
  std::string_view path;  // as requested: "/", "/app.js", "/vendor/uPlot.iife.min.js"
  std::string_view type;  // Content-Type
  std::string_view bytes;
};

std::span<const PageAsset> PageAssets();

}  // namespace soilcal::web
