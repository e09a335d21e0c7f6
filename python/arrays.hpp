// numpy arrays from the engine's vectors (copies: the engine's records are
// gone once a call returns).
#pragma once

#include <pybind11/numpy.h>

#include <array>
#include <vector>

namespace soilcal::python {

namespace py = pybind11;

template <typename T>
py::array_t<T> Array(const std::vector<T>& values) {
  py::array_t<T> out(static_cast<py::ssize_t>(values.size()));
  auto view = out.template mutable_unchecked<1>();
  for (std::size_t i = 0; i < values.size(); ++i) view(static_cast<py::ssize_t>(i)) = values[i];
  return out;
}

// The first n rows of six components (strains or stresses), n x 6.
inline py::array_t<double> Rows6(const std::vector<std::array<double, 6>>& rows, std::size_t n) {
  py::array_t<double> out({static_cast<py::ssize_t>(n), static_cast<py::ssize_t>(6)});
  auto view = out.mutable_unchecked<2>();
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < 6; ++k) {
      view(static_cast<py::ssize_t>(i), static_cast<py::ssize_t>(k)) = rows[i][k];
    }
  }
  return out;
}

}  // namespace soilcal::python
