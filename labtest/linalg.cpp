#include "labtest/linalg.hpp"

#include <cmath>
#include <string>
#include <utility>

#include "services/diag.hpp"

namespace soilcal::labtest {
namespace {

void ReportZeroPivot(double pivot, const Mat6& a, int n, bool dumpMatrix) {
  services::DiagChannel& diag = services::Diag();
  if (!diag.on()) return;
  diag.Line("(nearly) zero pivot", pivot);
  if (dumpMatrix) {
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        diag.Raw(std::to_string(i + 1) + " " + std::to_string(j + 1) + " " +
                 services::FormatReal(a[i][j]));
      }
    }
  }
  diag.Flush();
}

}  // namespace

int InvertMatrix(const Mat6& a, Mat6& ainv, int n, bool dumpMatrix) {
  Mat6 w = a;
  ainv = Mat6{};
  for (int i = 0; i < n; ++i) ainv[i][i] = 1.0;
  int replaced = 0;

  for (int i = 0; i < n; ++i) {
    // Partial pivoting: a later row wins only when strictly larger.
    int k = i;
    for (int r = i + 1; r < n; ++r) {
      if (std::abs(w[r][i]) > std::abs(w[k][i])) k = r;
    }
    if (k != i) {
      std::swap(w[k], w[i]);
      std::swap(ainv[k], ainv[i]);
    }
    double pivot = w[i][i];
    if (std::abs(pivot) < kPivotGuard) {
      ReportZeroPivot(pivot, a, n, dumpMatrix);
      pivot = pivot < 0.0 ? -kPivotGuard : kPivotGuard;
      w[i][i] = pivot;
      ++replaced;
    }
    const double inv = 1.0 / pivot;
    for (int j = 0; j < n; ++j) {
      w[i][j] *= inv;
      ainv[i][j] *= inv;
    }
    for (int r = 0; r < n; ++r) {
      if (r == i) continue;
      const double f = w[r][i];
      if (f == 0.0) continue;
      for (int j = 0; j < n; ++j) {
        w[r][j] -= f * w[i][j];
        ainv[r][j] -= f * ainv[i][j];
      }
    }
  }
  return replaced;
}

}  // namespace soilcal::labtest
