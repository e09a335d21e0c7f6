// The field of a TOML job a line belongs to, so that the workbench can show
// a reader's sentence beside the form field that caused it (a parameter's
// row, a test's row, the model choice) and not only beside the text.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace soilcal::web {

// {"table": "parameters", "key": "kappa"} for line `line` (1-based) of
// `text`: the table the line is in as its header names it ("model",
// "parameters", "calibrate.free", "tests", "models.parameters", ...; "" before
// any header), the key the line sets ("" for a header or a blank line; the
// first part of a dotted key; each key of an inline table `free = { a = [..] }`
// gives "free" and, when one key of it is on the line alone, that one), and
// for a line inside the n-th [[tests]] or [[models]] (from 0) "test" or
// "model" n. Null when the line is not in the text.
nlohmann::json FieldOfLine(const std::string& text, int line);

// The line a reader's sentence names ("job.toml line 4: ..."), 0 when none.
int LineOf(const std::string& sentence);

// Reads `text` as the TOML job `path` (a job of several models as such);
// null when it reads, else {"error": the command line's sentence, "line",
// "field": FieldOfLine, "exit_code"}.
nlohmann::json JobTextRefusal(const std::string& text, const std::string& path);

}  // namespace soilcal::web
