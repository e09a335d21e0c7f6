// The groups of an AGS4 file: "GROUP" rows that open a group, its
// "HEADING", "UNIT" and "TYPE" rows, and its "DATA" rows; and the specimen
// each data row belongs to.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "labfiles/lab_file.hpp"
#include "labfiles/text.hpp"
#include "labfiles/units.hpp"

namespace soilcal::labfiles {

struct Ags4Group {
  std::string name;
  int line = 0;                          // the GROUP row
  std::vector<std::string> headings, units, types;
  std::vector<Row> data;                 // cells without the leading "DATA"

  int Heading(const std::string& heading) const;  // -1 when missing
};

struct Ags4File {
  std::string name;
  std::vector<Ags4Group> groups;
  const Ags4Group* Find(const std::string& group) const;
};

// Parses decoded AGS4 text; LabFileError for rows out of place.
Ags4File ParseAgs4(const std::string& text, const std::string& name);

// The index of `heading` in `group`, or a LabFileError saying the group lacks
// it.
int RequiredHeading(const Ags4File& f, const Ags4Group& g, const std::string& heading);

// The value of a data row's cell as a number in the readers' unit of `kind`
// (the group's UNIT row converted); nullopt for an empty cell. A cell that is
// no number, or a unit the reader does not convert, is a LabFileError.
std::optional<double> Number(const Ags4File& f, const Ags4Group& g, const Row& row, int column,
                             UnitKind kind);
std::string Text(const Row& row, int column);

// The specimen of a data row: LOCA_ID, SPEC_DPTH (else SAMP_TOP), SPEC_REF
// (else SAMP_REF).
SpecimenKey KeyOf(const Ags4Group& g, const Row& row);
bool SameSpecimen(const SpecimenKey& a, const SpecimenKey& b);
// True when `key` is what the selection names (missing parts match all).
bool Matches(const SpecimenKey& wanted, const SpecimenKey& key);
// "DBH01 at 2 m, ref 3".
std::string KeyWords(const SpecimenKey& key);
// The TOML line that selects the specimen.
std::string KeyToml(const SpecimenKey& key);

}  // namespace soilcal::labfiles
