#include "console_capture.hpp"

#include "bindings.hpp"

namespace soilcal::python {

namespace py = pybind11;

void ConsoleCapture::Write(services::ConsoleStream stream, std::string_view text) {
  std::lock_guard lock(mutex_);
  captured_.append(text);
  if (!passThrough_ || !Py_IsInitialized()) return;
  py::gil_scoped_acquire gil;
  try {
    py::object target = py::module_::import("sys").attr(
        stream == services::ConsoleStream::kOut ? "stdout" : "stderr");
    if (target.is_none()) return;
    target.attr("write")(Text(text));
    target.attr("flush")();
  } catch (py::error_already_set& error) {
    // A stream that cannot be written to must not end the calibration.
    error.discard_as_unraisable("soilcal console output");
  }
}

std::string ConsoleCapture::text() const {
  std::lock_guard lock(mutex_);
  return captured_;
}

}  // namespace soilcal::python
