// soilcal.inspect(path, ...): what the readers of laboratory files make of a
// GDS export, an AGS4 file or a tidy table, as the program's `soilcal
// inspect` and `from` tests see it, with the readings as numpy arrays. A file
// the readers refuse raises ValueError with their sentence.
#include <optional>
#include <stdexcept>

#include <pybind11/stl.h>

#include "arrays.hpp"
#include "bindings.hpp"
#include "labfiles/lab_file.hpp"

namespace soilcal::python {
namespace {

labfiles::SpecimenKey SpecimenOf(const py::object& given) {
  labfiles::SpecimenKey key;
  if (py::isinstance<py::str>(given)) {
    // "LOCATION:DEPTH:REF" as the command line takes it.
    const std::string text = given.cast<std::string>();
    const std::optional<labfiles::SpecimenKey> parsed = labfiles::ParseSpecimenKey(text);
    if (!parsed) throw std::invalid_argument("specimen \"" + text + "\" is not LOCATION:DEPTH:REF");
    return *parsed;
  }
  const py::dict d = given.cast<py::dict>();
  if (d.contains("location")) key.location = py::str(d["location"]).cast<std::string>();
  if (d.contains("depth")) key.depth = d["depth"].cast<double>();
  if (d.contains("ref")) key.ref = py::str(d["ref"]).cast<std::string>();
  return key;
}

py::object TestDict(const labfiles::LabTest& t) {
  py::dict d;
  d["kind"] = t.kind;
  d["undrained"] = t.undrained;
  d["cell_pressure"] = t.cellPressure;
  d["initial_axial_stress"] =
      t.initialAxialStress ? py::object(py::float_(*t.initialAxialStress)) : py::object(py::none());
  d["axial_strain"] = t.axialStrain;
  d["initial_vertical_stress"] = t.initialVerticalStress;
  d["levels"] = Array(t.levels);
  d["amplitude"] = t.amplitude;
  d["cycles"] = t.cycles;
  d["x"] = t.x;
  d["default_curves"] = t.defaultCurves;
  d["phase"] = Array(t.phase);
  py::dict curves;
  for (const labfiles::Column& c : t.columns) curves[py::str(c.quantity)] = Array(c.values);
  d["curves"] = curves;
  return d;
}

py::dict Inspect(const std::string& path, std::optional<int> stage, const py::object& specimen,
                 std::optional<std::string> group, std::optional<double> initialVerticalStress,
                 bool needTest) {
  labfiles::Selection sel;
  sel.stage = stage;
  sel.group = group;
  sel.initialVerticalStress = initialVerticalStress;
  if (!specimen.is_none()) sel.specimen = SpecimenOf(specimen);
  const std::string file = ExistingFile(path);
  labfiles::LabFile f;
  try {
    f = labfiles::ReadLabFile(file, file, sel, needTest);
  } catch (const labfiles::LabFileError& e) {
    throw std::invalid_argument(e.what());
  }
  py::dict d;
  d["name"] = Text(f.name);
  d["format"] = f.format;
  py::list header;
  for (const auto& [k, v] : f.header) header.append(py::make_tuple(Text(k), Text(v)));
  d["header"] = header;
  py::list entries, choices, failures;
  for (const std::string& e : f.entries) entries.append(Text(e));
  for (const std::string& c : f.choices) choices.append(Text(c));
  for (const labfiles::FailurePoint& p : f.failures) {
    py::dict fp;
    fp["specimen"] = Text(p.specimen);
    fp["sigma3"] = p.sigma3;
    fp["sigma1"] = p.sigma1;
    fp["effective"] = p.effective;
    failures.append(fp);
  }
  d["entries"] = entries;
  d["choices"] = choices;
  d["failures"] = failures;
  if (f.strength) {
    py::dict s;
    s["cohesion"] = f.strength->cohesion;
    s["phi"] = f.strength->phiDegrees;
    s["points"] = f.strength->points;
    d["strength"] = s;
  } else {
    d["strength"] = py::none();
  }
  d["test"] = f.test ? TestDict(*f.test) : py::object(py::none());
  d["text"] = Text(labfiles::InspectText(f));
  return d;
}

}  // namespace

void BindInspect(py::module_& m) {
  m.def("inspect", &Inspect, py::arg("path"), py::kw_only(), py::arg("stage") = py::none(),
        py::arg("specimen") = py::none(), py::arg("group") = py::none(),
        py::arg("initial_vertical_stress") = py::none(), py::arg("need_test") = false,
        R"(What the readers of laboratory files read in a GDS export, an AGS4 file or a
tidy table: a dict with the file's format, header, entries (stages,
specimens, column mapping, each with the TOML lines that select it), the
failure points and strength of triaxial summaries, the readers' choices,
and the selected test (kind, drainage, start, and its readings as numpy
arrays under "curves", in the job's quantity names) or None. ``stage``,
``specimen`` ({"location", "depth", "ref"} or "LOCATION:DEPTH:REF") and
``group`` select the test as a TOML `from` test does; with
``need_test=True`` a file without a test under the selection is an error.
Stresses in kPa, strains as fractions. A file the readers refuse raises
ValueError with their sentence.)");
}

}  // namespace soilcal::python
