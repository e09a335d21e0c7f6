#include "report/curve_axes_json.hpp"

namespace soilcal::report {

nlohmann::json CurveAxesJson(const CurveView& v) {
  return {{"x_label", v.x.Label()}, {"y_label", v.y.Label()}, {"x_scale", v.x.scale},
          {"y_scale", v.y.scale},   {"swap", v.swap},         {"log_x", v.logX},
          {"reverse_y", v.reverseY}};
}

}  // namespace soilcal::report
