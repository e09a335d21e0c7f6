// The new-job panel: dropped lab files inspected and drawn at once, the
// test of each file picked (stage, specimen), the start values and bounds
// derived from them in an editable table, and a refused job's sentence
// shown beside the field that caused it. Everything through the JSON API.
"use strict";

const uploaded = [];   // {file, lab, selections, choice} in the order stored
let edits = {};        // "model/name" -> {value, lower, upper, free} set by hand

// The models chosen (several: a comparison, [[models]]).
const chosenModels = () => [...$("model").selectedOptions].map((o) => o.value);
let deriveTimer = null;
const labPlots = [];

// The plots a lab test is read as, where it has both columns.
const LAB_PLOTS = [
  { x: "axial_strain", y: "deviator_stress", title: "q – ε1" },
  { x: "axial_strain", y: "volumetric_strain", title: "εv – ε1" },
  { x: "axial_strain", y: "excess_pore_pressure", title: "Δu – ε1" },
  { x: "axial_strain", y: "pore_pressure", title: "u – ε1" },
  { x: "vertical_stress", y: "axial_strain", title: "ε – log σ′v", log: true },
  { x: "vertical_stress", y: "vertical_strain", title: "ε – log σ′v", log: true },
  { x: "vertical_stress", y: "void_ratio", title: "e – log σ′v", log: true },
  { x: "cycles", y: "excess_pore_pressure_ratio", title: "r_u – N" },
];

function labPlotsOf(test) {
  const cols = test.columns;
  const out = LAB_PLOTS.filter((p) => cols[p.x] && cols[p.y]);
  if (!out.length && cols[test.x]) {
    for (const y of Object.keys(cols)) if (y !== test.x) out.push({ x: test.x, y, title: y + " – " + test.x });
  }
  return out;
}

// Tick labels that keep small strains apart (uPlot's default rounds 0.0005 to 0).
function tickLabels(u, splits) {
  return splits.map((v) => {
    if (v == null) return "";
    const a = Math.abs(v);
    if (a !== 0 && (a < 1e-3 || a >= 1e5)) return v.toExponential(1);
    return String(+v.toPrecision(4));
  });
}

function drawLabTest(box, test) {
  box.replaceChildren();
  for (const p of labPlotsOf(test)) {
    const div = document.createElement("div");
    div.dataset.test = "lab-plot";
    div.dataset.plot = p.title;
    box.append(div);
    let xs = test.columns[p.x], ys = test.columns[p.y];
    if (p.log) {  // a logarithmic axis has no place for σ′v = 0
      const keep = xs.map((v) => v > 0);
      xs = xs.filter((_, i) => keep[i]); ys = ys.filter((_, i) => keep[i]);
    }
    labPlots.push(new uPlot({
      mode: 2, title: p.title, width: 300, height: 220,
      scales: { x: { time: false, distr: p.log ? 3 : 1 } },
      legend: { show: false },
      axes: [{ label: p.x.replaceAll("_", " "), values: tickLabels },
             { label: p.y.replaceAll("_", " "), values: tickLabels, size: 56,
               labelFont: "11px system-ui, sans-serif" }],
      series: [{}, { label: p.y, stroke: "#2f4f4f", width: 1.5, points: { show: false } }],
    }, [null, [xs, ys]], div));
  }
}

function selectionQuery(s) {
  if (!s) return "";
  const q = new URLSearchParams();
  if (s.stage) q.set("stage", s.stage);
  if (s.specimen) q.set("specimen", s.specimen);
  if (s.group) q.set("group", s.group);
  const text = q.toString();
  return text ? "?" + text : "";
}

// Inspects one stored file under its chosen selection and draws its test.
async function inspectInto(entry, row) {
  const note = row.querySelector("[data-test=inspected]");
  const plots = row.querySelector("[data-test=lab-plots]");
  const r = await api("GET", fileUrl(entry.file) + "/inspect" + selectionQuery(entry.choice));
  if (!r.ok || !r.json) { note.textContent = r.json ? r.json.error : r.text; plots.replaceChildren(); return; }
  const i = r.json;
  if (!entry.selections) {
    entry.selections = i.selections || [];
    if (!i.test && entry.selections.length) {
      // A file of several stages or specimens: the reader's default, else the first.
      entry.choice = entry.selections.find((s) => s.default) || entry.selections[0];
      fillChoices(entry, row);
      return inspectInto(entry, row);
    }
    fillChoices(entry, row);
  }
  if (!i.test) { note.textContent = i.format + ": no test under this choice"; plots.replaceChildren(); return; }
  const t = i.test;
  const n = Object.values(t.columns)[0] ? Object.values(t.columns)[0].length : 0;
  note.textContent = i.format + ": " + t.kind.replaceAll("_", " ") + (t.undrained ? ", undrained" : "") +
      ", " + n + " readings of " + Object.keys(t.columns).join(", ");
  row.dataset.kind = t.kind;
  drawLabTest(plots, t);
}

function fillChoices(entry, row) {
  const select = row.querySelector("[data-test=test-choice]");
  select.replaceChildren();
  select.hidden = entry.selections.length < 2;
  entry.selections.forEach((s, k) => {
    const o = document.createElement("option");
    o.value = String(k);
    o.textContent = s.label;
    if (entry.choice === s) o.selected = true;
    select.append(o);
  });
}

function addTestRow(entry) {
  const row = document.createElement("li");
  row.dataset.test = "test-row";
  row.dataset.file = entry.file;
  row.innerHTML = '<div class="test-head"><b class="file"></b> <select data-test="test-choice" hidden></select></div>' +
      '<div class="hint" data-test="inspected"></div><div class="error" data-test="field-error" hidden></div>' +
      '<div class="lab-plots" data-test="lab-plots"></div>';
  row.querySelector(".file").textContent = entry.file;
  row.querySelector("[data-test=test-choice]").addEventListener("change", async (e) => {
    entry.choice = entry.selections[Number(e.target.value)];
    await inspectInto(entry, row);
    derive();
  });
  $("uploads").append(row);
  return row;
}

// data-busy on the panel while files are stored, inspected or derived from:
// the editor's text is then about to change.
let busy = 0;
async function busyWhile(work) {
  $("new-panel").dataset.busy = ++busy;
  try { return await work(); } finally { if (--busy === 0) delete $("new-panel").dataset.busy; }
}

function upload(files) { return busyWhile(() => store(files)); }

async function store(files) {
  const form = new FormData();
  for (const f of files) form.append("file", f, f.name);
  const r = await api("POST", "/api/files", form);
  if (!r.ok) {
    const li = document.createElement("li");
    li.className = "error";
    li.dataset.test = "upload-error";
    li.textContent = r.json ? r.json.error : r.text;
    $("uploads").append(li);
    return;
  }
  const rows = [];
  for (const f of r.json.files) {
    const entry = { file: f.file, lab: !/\.toml$/i.test(f.file), selections: null, choice: null };
    uploaded.push(entry);
    const row = addTestRow(entry);
    row.dataset.bytes = f.bytes;
    rows.push(inspectInto(entry, row));
  }
  await Promise.all(rows);
  loadJobs();
  await deriveNow();
}

function deriveBody() {
  // Uploaded TOML jobs bring their curve files along: the jobs are the tests then.
  const jobs = uploaded.filter((u) => !u.lab).map((u) => u.file);
  const files = jobs.length ? jobs : uploaded.map((u) => u.file);
  const models = chosenModels();
  const choices = uploaded.filter((u) => u.lab && u.choice).map((u) =>
    ({ file: u.file, stage: u.choice.stage, specimen: u.choice.specimen, group: u.choice.group }));
  const list = Object.entries(edits).filter(([key]) => models.includes(key.split("/")[0])).map(([key, e]) =>
    Object.assign({ model: key.split("/")[0], name: key.split("/")[1] }, e));
  return JSON.stringify({ models, files, job: $("new-name").value, edits: list, choices });
}

function deriveSoon() {
  clearTimeout(deriveTimer);
  $("new-panel").dataset.busy = "soon";
  deriveTimer = setTimeout(derive, 250);
}

function derive() { return busyWhile(deriveNow); }

// Start values and bounds of the chosen model read off the stored files (and
// the values set by hand); the job they make goes into the editor.
async function deriveNow() {
  const note = $("derive-note");
  const table = $("derived");
  if (!uploaded.length) { table.hidden = true; return; }
  const r = await api("POST", "/api/derive", deriveBody(), "application/json");
  clearFieldErrors();
  if (!r.json || !r.json.derivations) {
    note.textContent = r.json ? r.json.error : r.text;
    note.classList.add("error");
    table.hidden = true;
    // The tests give this model nothing (or no such model): said beside the choice too.
    if (r.json && r.json.error && chosenModels().some((m) => r.json.error.includes(m))) {
      $("model-error").hidden = false;
      $("model-error").textContent = r.json.error;
    }
    return;
  }
  note.textContent = "";
  note.classList.remove("error");
  drawDerivedTable(r.json.derivations);
  table.hidden = false;
  $("job-text").value = r.json.toml;
  $("derived").dataset.toml = r.json.toml;
  if (!r.ok) showFieldError(r.json, $("job-text"));
}

function numberInput(value, test, onChange) {
  const input = document.createElement("input");
  input.type = "number";
  input.step = "any";
  input.dataset.test = test;
  input.value = value === undefined || value === null ? "" : String(Number(fmt(value, 4)));
  input.addEventListener("change", onChange);
  return input;
}

function drawDerivedTable(derivations) {
  const rows = $("derived-rows");
  rows.replaceChildren();
  for (const d of derivations) {
    if (derivations.length > 1) {
      // Several models: each one's rows under its name.
      const head = document.createElement("tr");
      head.className = "model-head";
      head.dataset.test = "model-head";
      const th = document.createElement("th");
      th.colSpan = 8;
      th.textContent = $("model").querySelector(`option[value="${d.model}"]`)?.textContent || d.model;
      head.append(th);
      rows.append(head);
    }
    for (const v of d.values) {
      const tr = document.createElement("tr");
      tr.dataset.test = "param-row";
      tr.dataset.param = v.name;
      tr.dataset.model = d.model;
      tr.title = v.note || "";  // how the value was found
      const key = d.model + "/" + v.name;
      const mine = edits[key] || (edits[key] = {});
      const cell = (child, cls) => { const td = document.createElement("td"); if (cls) td.className = cls; td.append(child); tr.append(td); return td; };
      const name = document.createElement("span");
      name.textContent = (v.symbol || v.name) + (v.symbol && v.symbol !== v.name ? " (" + v.name + ")" : "");
      name.title = (v.words ? v.words + ": " : "") + (v.note || "");
      cell(name);
      const changed = (field) => (e) => {
        const x = e.target.value === "" ? undefined : Number(e.target.value);
        if (x === undefined) delete mine[field]; else mine[field] = x;
        deriveSoon();
      };
      cell(numberInput(v.value, "param-value", changed("value")));
      const lower = cell(numberInput(v.free ? v.lower : undefined, "param-lower", changed("lower")));
      const upper = cell(numberInput(v.free ? v.upper : undefined, "param-upper", changed("upper")));
      lower.firstChild.disabled = upper.firstChild.disabled = !v.free;
      cell(document.createTextNode((v.unit || "") + (v.degrees ? " (degrees)" : "")), "unit");
      const free = document.createElement("input");
      free.type = "checkbox";
      free.checked = v.free;
      free.dataset.test = "param-free";
      free.addEventListener("change", () => {
        mine.free = free.checked;
        if (free.checked && mine.lower === undefined && mine.upper === undefined && v.value) {
          // Freed by hand: a range around the start to begin with.
          const a = v.value / 2, b = v.value * 2;
          mine.lower = Math.min(a, b); mine.upper = Math.max(a, b);
        }
        deriveSoon();
      });
      cell(free);
      cell(document.createTextNode(/set by hand/.test(v.note) ? "by hand" : v.from_data ? "the tests" : "default"));
      const err = document.createElement("span");
      err.className = "error";
      err.dataset.test = "field-error";
      err.hidden = true;
      cell(err, "field-error");
      rows.append(tr);
    }
  }
}

function clearFieldErrors() {
  for (const el of document.querySelectorAll("[data-test=field-error], #model-error")) {
    el.hidden = true;
    el.textContent = "";
  }
  for (const el of document.querySelectorAll(".has-error")) el.classList.remove("has-error");
}

// The form field a refused job names: a parameter's row, a test's row or the
// model choice, from the table and key of the line the sentence names.
function fieldElement(refusal) {
  const f = refusal.field;
  if (!f) return null;
  const table = f.table || "";
  // In a job of several models, the rows of the model the line is in.
  const models = chosenModels();
  const model = f.model !== undefined && f.model !== null ? models[f.model] : models[0];
  const rows = [...document.querySelectorAll("#derived-rows [data-test=param-row]")]
    .filter((r) => r.dataset.model === model);
  const row = (name) => rows.find((r) => r.dataset.param === name);
  if (/(^|\.)model$|^models$/.test(table) && (f.key === "name" || f.key === "")) return $("model-error");
  if (/parameters$|calibrate\.free$/.test(table) && row(f.key)) return row(f.key).querySelector("[data-test=field-error]");
  if (/calibrate$/.test(table) && f.key === "free") {
    // An inline table of bounds: the parameter the sentence names.
    const named = rows.find((r) => new RegExp("\\b" + r.dataset.param + "\\b").test(refusal.error));
    if (named) return named.querySelector("[data-test=field-error]");
  }
  // A test's row where each row is one test (lab files; a TOML job brings several).
  if (f.test !== undefined && f.test !== null && uploaded.every((u) => u.lab)) {
    const tests = [...document.querySelectorAll("#uploads [data-test=test-row]")];
    if (tests[f.test]) return tests[f.test].querySelector("[data-test=field-error]");
  }
  return null;
}

// Shows the sentence beside its field (when the form has it) and beside the
// line of the text, which is selected.
function showFieldError(refusal, area) {
  const el = fieldElement(refusal);
  if (el) {
    el.hidden = false;
    el.textContent = refusal.error;
    el.dataset.line = refusal.line || "";
    el.closest("tr, li, label, div").classList.add("has-error");
  }
  const box = $("job-error");
  box.hidden = false;
  box.textContent = refusal.error;
  box.dataset.line = refusal.line || "";
  if (refusal.line && area) selectLine(area, refusal.line);
  return el;
}

function newJob() {
  current = null;
  if (stream) { stream.close(); stream = null; }
  $("new-panel").hidden = false;
  $("derive-note").textContent = "Drop the measured tests (lab files or TOML jobs): each is drawn, and the start values derived from them appear here.";
  $("derive-note").classList.remove("error");
  uploaded.length = 0;
  edits = {};
  while (labPlots.length) labPlots.pop().destroy();
  $("uploads").replaceChildren();
  $("derived").hidden = true;
  clearFieldErrors();
  // The editor below the new job holds a skeleton of the chosen model.
  $("job-panel").hidden = false;
  $("job-title").textContent = $("new-name").value;
  $("job-state").textContent = "";
  $("job-state").className = "";
  $("job-error").hidden = true;
  $("error-plot").hidden = true;
  $("live").hidden = true;
  $("results").hidden = true;
  $("comparison").hidden = true;
  $("run").disabled = true;
  $("abort").disabled = true;
  $("save").hidden = false;
  $("job-text").readOnly = false;
  $("job-text").value = "[model]\nname = \"" + chosenModels()[0] + "\"\n\n[parameters]\n\n[calibrate]\n\n";
}

function setUpNewJob() {
  $("new-job").addEventListener("click", newJob);
  $("new-name").addEventListener("input", () => { $("job-title").textContent = $("new-name").value; });
  $("model").addEventListener("change", () => {
    if (!chosenModels().length) $("model").options[0].selected = true;
    if (!uploaded.length) {
      $("job-text").value = $("job-text").value.replace(/^name = ".*"$/m, "name = \"" + chosenModels()[0] + "\"");
    }
    derive();
  });
  const drop = $("drop");
  drop.addEventListener("dragover", (e) => { e.preventDefault(); drop.classList.add("over"); });
  drop.addEventListener("dragleave", () => drop.classList.remove("over"));
  drop.addEventListener("drop", (e) => { e.preventDefault(); drop.classList.remove("over"); upload(e.dataTransfer.files); });
  $("pick").addEventListener("change", (e) => upload(e.target.files));
}
