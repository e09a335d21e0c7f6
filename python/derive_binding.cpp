// soilcal.derive(model, tests): the start values and bounds that `soilcal
// new` writes, from a TOML job's tests or from curves given in Python.
#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <optional>
#include <stdexcept>

#include "bindings.hpp"
#include "derive/derivation.hpp"
#include "input/test_kind.hpp"
#include "jobfile/measured_tests.hpp"
#include "jobfile/model_list.hpp"
#include "jobfile/toml_job.hpp"
#include "models/parameter_table.hpp"

namespace soilcal::python {
namespace {

// The kinds of test the start-value rules read.
derive::TestKind KindOf(const std::string& type) {
  const std::optional<input::TestKind> kind = input::TestKindByName(type);
  if (!kind || *kind == input::TestKind::kGeneral || input::IsCyclic(*kind)) {
    throw std::invalid_argument("unknown test type \"" + type +
                                "\" (triaxial_compression, triaxial_extension, oedometer, "
                                "isotropic_compression, direct_simple_shear)");
  }
  return *kind;
}

std::vector<double> Values(const py::handle& h) {
  return py::cast<std::vector<double>>(py::module_::import("numpy").attr("asarray")(h, "float64").attr("tolist")());
}

derive::MeasuredTest TestOf(const py::dict& d) {
  derive::MeasuredTest t;
  t.name = d.contains("name") ? py::cast<std::string>(d["name"]) : "test";
  t.kind = KindOf(py::cast<std::string>(d["type"]));
  t.drained = d.contains("drained") ? py::cast<bool>(d["drained"]) : true;
  t.cellPressure = d.contains("cell_pressure") ? py::cast<double>(d["cell_pressure"]) : 0.0;
  t.initialStress = d.contains("initial_stress") ? py::cast<double>(d["initial_stress"]) : 0.0;
  if (d.contains("curves")) {
    for (const py::handle& c : d["curves"]) {
      const py::dict curve = py::cast<py::dict>(c);
      derive::MeasuredCurve m;
      m.x = py::cast<std::string>(curve["x"]);
      m.y = py::cast<std::string>(curve["y"]);
      m.points.x = Values(curve["x_values"]);
      m.points.y = Values(curve["y_values"]);
      if (m.points.x.size() != m.points.y.size()) {
        throw std::invalid_argument("curve " + m.y + " of " + t.name +
                                    ": x_values and y_values differ in length");
      }
      t.curves.push_back(std::move(m));
    }
  }
  return t;
}

std::optional<double> Optional(const py::object& v) {
  if (v.is_none()) return std::nullopt;
  return py::cast<double>(v);
}

py::dict Derive(const std::string& model, const py::object& tests, double pref,
                const py::object& n160, const py::object& voidRatio, const py::object& emin,
                const py::object& emax) {
  std::vector<derive::MeasuredTest> measured;
  derive::DeriveOptions options;
  options.pref = pref;
  options.sand = {Optional(n160), Optional(voidRatio), Optional(emin), Optional(emax)};
  if (py::isinstance<py::str>(tests) ||
      py::isinstance(tests, py::module_::import("pathlib").attr("PurePath"))) {
    const std::string path = ExistingFile(py::cast<std::string>(py::str(tests)));
    // A comparison's tests are the same for every model: the first one's.
    const jobfile::NativeJob job = jobfile::HasModelList(path)
                                       ? jobfile::ReadModelList(path).front().job
                                       : jobfile::ReadTomlJob(path);
    measured = jobfile::MeasuredTests(job);
    options.pref = job.job.material.referencePressure;
    options.stressUnit = models::params::StressUnitText(job.job.material.forceUnit,
                                                        job.job.material.lengthUnit);
  } else {
    for (const py::handle& t : tests) measured.push_back(TestOf(py::cast<py::dict>(t)));
  }
  derive::Derivation d;
  {
    py::gil_scoped_release release;
    d = derive::Derive(model, measured, options);
  }
  py::dict parameters;
  for (const derive::DerivedValue& v : d.values) {
    py::dict entry;
    entry["value"] = v.value;
    entry["free"] = v.free;
    entry["from_data"] = v.fromData;
    entry["bounds"] = v.free ? py::object(py::make_tuple(v.lower, v.upper)) : py::object(py::none());
    entry["rule"] = Text(v.note);
    parameters[Text(v.name)] = entry;
  }
  py::list skipped;
  for (const std::string& s : d.skipped) skipped.append(Text(s));
  py::dict out;
  out["model"] = d.model;
  out["parameters"] = parameters;
  out["skipped"] = skipped;
  return out;
}

}  // namespace

void BindDerive(py::module_& m) {
  m.def("derive", &Derive, py::arg("model"), py::arg("tests"), py::arg("pref") = 100.0,
        py::arg("n160") = py::none(), py::arg("void_ratio") = py::none(),
        py::arg("emin") = py::none(), py::arg("emax") = py::none(),
        R"doc(Start values and bounds of ``model`` read off measured tests.

``tests`` is the path of a TOML job (its tests are read as the program
reads them) or a list of dicts, one per test: ``type``
("triaxial_compression", "triaxial_extension", "oedometer",
"isotropic_compression", "direct_simple_shear"), ``name``, ``drained``
(default True), ``cell_pressure`` (triaxial σ′3), ``initial_stress``
(oedometer σ′v0, isotropic p′0) and ``curves``: dicts of quantity names
``x`` and ``y`` ("axial_strain", "deviator_stress", "volumetric_strain",
"axial_stress", "mean_effective_stress", ...) with ``x_values`` and
``y_values`` in the job's units, compression positive. ``pref`` is 100 kPa
in the units of dict tests. ``n160``, or ``void_ratio`` with ``emin`` and
``emax``, give the state of a sand for UBC3D's correlations.

Returns a dict: ``model``, ``parameters`` (name -> ``value``, ``free``,
``from_data``, ``bounds`` of a free parameter, ``rule``: how the value was
found) and ``skipped`` (what the tests gave too little for).)doc");
}

}  // namespace soilcal::python
