#include "labfiles/ags4_groups.hpp"

#include <cmath>

#include "services/diag.hpp"

namespace soilcal::labfiles {

int Ags4Group::Heading(const std::string& heading) const {
  for (std::size_t i = 0; i < headings.size(); ++i) {
    if (headings[i] == heading) return static_cast<int>(i);
  }
  return -1;
}

const Ags4Group* Ags4File::Find(const std::string& group) const {
  for (const Ags4Group& g : groups) {
    if (g.name == group) return &g;
  }
  return nullptr;
}

Ags4File ParseAgs4(const std::string& text, const std::string& name) {
  Ags4File f;
  f.name = name;
  for (Row& row : SplitRows(text, name)) {
    const std::string kind = row.cells[0];
    std::vector<std::string> rest(row.cells.begin() + 1, row.cells.end());
    if (kind == "GROUP") {
      if (rest.empty() || rest[0].empty()) {
        throw LabFileError(At(name, row.line) + "a GROUP row without the group's name");
      }
      f.groups.push_back(Ags4Group{rest[0], row.line, {}, {}, {}, {}});
      continue;
    }
    if (f.groups.empty()) {
      throw LabFileError(At(name, row.line) + "\"" + kind + "\" before the first \"GROUP\" row: "
                         "an AGS4 file starts each group with \"GROUP\",\"NAME\"");
    }
    Ags4Group& g = f.groups.back();
    if (kind == "HEADING") {
      g.headings = std::move(rest);
    } else if (kind == "UNIT") {
      g.units = std::move(rest);
    } else if (kind == "TYPE") {
      g.types = std::move(rest);
    } else if (kind == "DATA") {
      if (g.headings.empty()) {
        throw LabFileError(At(name, row.line) + "DATA of group " + g.name +
                           " before its HEADING row");
      }
      if (rest.size() > g.headings.size()) {
        throw LabFileError(At(name, row.line) + "the DATA row of group " + g.name + " has " +
                           std::to_string(rest.size()) + " cells for " +
                           std::to_string(g.headings.size()) + " headings");
      }
      row.cells = std::move(rest);
      g.data.push_back(std::move(row));
    } else {
      throw LabFileError(At(name, row.line) + "a row must begin with \"GROUP\", \"HEADING\", "
                         "\"UNIT\", \"TYPE\" or \"DATA\", not \"" + kind.substr(0, 40) + "\"");
    }
  }
  if (f.groups.empty()) throw LabFileError(name + " holds no AGS4 group (no \"GROUP\" row)");
  return f;
}

int RequiredHeading(const Ags4File& f, const Ags4Group& g, const std::string& heading) {
  const int i = g.Heading(heading);
  if (i < 0) {
    throw LabFileError(At(f.name, g.line) + "group " + g.name + " lacks the heading " + heading +
                       ", which the reader needs; add the column");
  }
  return i;
}

std::string Text(const Row& row, int column) {
  if (column < 0 || static_cast<std::size_t>(column) >= row.cells.size()) return "";
  return row.cells[static_cast<std::size_t>(column)];
}

std::optional<double> Number(const Ags4File& f, const Ags4Group& g, const Row& row, int column,
                             UnitKind kind) {
  const std::string cell = Text(row, column);
  if (cell.empty()) return std::nullopt;
  const std::optional<double> v = ParseNumber(cell);
  const std::string& heading = g.headings[static_cast<std::size_t>(column)];
  if (!v) {
    throw LabFileError(At(f.name, row.line) + heading + " holds \"" + cell.substr(0, 40) +
                       "\", which is no number");
  }
  const std::string unit =
      static_cast<std::size_t>(column) < g.units.size() ? g.units[static_cast<std::size_t>(column)] : "";
  const std::optional<double> factor = UnitFactor(kind, unit);
  if (!factor) {
    throw LabFileError(At(f.name, g.line) + "the unit \"" + unit + "\" of " + heading +
                       " cannot be converted (the reader knows " + UnitsOf(kind) + ")");
  }
  return *v * *factor;
}

SpecimenKey KeyOf(const Ags4Group& g, const Row& row) {
  SpecimenKey k;
  k.location = Text(row, g.Heading("LOCA_ID"));
  std::string depth = Text(row, g.Heading("SPEC_DPTH"));
  if (depth.empty()) depth = Text(row, g.Heading("SAMP_TOP"));
  k.depth = ParseNumber(depth);
  k.ref = Text(row, g.Heading("SPEC_REF"));
  if (k.ref.empty()) k.ref = Text(row, g.Heading("SAMP_REF"));
  return k;
}

bool SameSpecimen(const SpecimenKey& a, const SpecimenKey& b) {
  return a.location == b.location && a.ref == b.ref && a.depth.has_value() == b.depth.has_value() &&
         (!a.depth || std::abs(*a.depth - *b.depth) <= 1e-6);
}

bool Matches(const SpecimenKey& wanted, const SpecimenKey& key) {
  if (!wanted.location.empty() && wanted.location != key.location) return false;
  if (!wanted.ref.empty() && wanted.ref != key.ref) return false;
  if (wanted.depth && (!key.depth || std::abs(*wanted.depth - *key.depth) > 1e-6)) return false;
  return true;
}

std::string KeyWords(const SpecimenKey& k) {
  std::string s = k.location.empty() ? std::string("(no LOCA_ID)") : k.location;
  if (k.depth) s += " at " + services::FormatReal(*k.depth) + " m";
  if (!k.ref.empty()) s += ", ref " + k.ref;
  return s;
}

std::string KeyToml(const SpecimenKey& k) {
  std::string s = "specimen = { location = \"" + k.location + "\"";
  if (k.depth) s += ", depth = " + services::FormatReal(*k.depth);
  if (!k.ref.empty()) s += ", ref = \"" + k.ref + "\"";
  return s + " }";
}

}  // namespace soilcal::labfiles
