// The workbench page: everything it shows comes from the JSON API of
// `soilcal serve` (docs/workbench.md), so a script can do what it does.
"use strict";

const $ = (id) => document.getElementById(id);
const jobUrl = (job, what) =>
  "/api/jobs/" + job.split("/").map(encodeURIComponent).join("/") + (what ? "/" + what : "");
const fileUrl = (file) => "/api/files/" + file.split("/").map(encodeURIComponent).join("/");

let current = null;      // the job shown
let stream = null;       // its EventSource while a run goes on
let errorPlot = null;    // best error against iteration
let errorData = [[], []];
const curvePlots = [];
let live = null;         // the fit drawn while a run goes on: {model, plots, measured}
let runModel = null;     // the model a comparison runs now (its progress names it)

async function api(method, url, body, type) {
  const options = { method, headers: {} };
  if (body !== undefined) {
    options.body = body;
    if (type) options.headers["Content-Type"] = type;
  }
  const res = await fetch(url, options);
  const text = await res.text();
  let json = null;
  try { json = JSON.parse(text); } catch (e) { /* a report or a plain file */ }
  return { status: res.status, ok: res.ok, json, text };
}

function stateText(s, long) {
  if (s.state === "calibrated") return "calibrated " + fmt(s.mean_relative_error) + " %";
  if (s.state === "never_run") return "never run";
  if (s.state === "compared") return "compared" + (long ? ": best " + (s.best_model || "") : "") + " " + fmt(s.mean_relative_error) + " %";
  if (s.state === "failed") return "failed";
  return s.state;
}

function fmt(v, digits = 4) {
  if (v === null || v === undefined || Number.isNaN(v)) return "–";
  // Trailing zeros of the fraction only ("9000" stays, "0.5000" is "0.5").
  return Number(v).toPrecision(digits).replace(/(\.\d*?)0+(e|$)/, "$1$2").replace(/\.(e|$)/, "$1");
}

async function loadJobs() {
  const r = await api("GET", "/api/jobs");
  if (!r.ok) return;
  const list = $("jobs");
  list.replaceChildren();
  for (const s of r.json.jobs) {
    const li = document.createElement("li");
    li.dataset.test = "job-item";
    li.dataset.job = s.job;
    if (current === s.job) li.classList.add("current");
    const name = document.createElement("span");
    name.className = "name";
    name.textContent = s.job;
    const state = document.createElement("span");
    state.className = "state " + s.state;
    state.dataset.test = "job-item-state";
    state.textContent = stateText(s);
    state.title = s.message || s.verdict || "";
    li.append(name, state);
    li.addEventListener("click", () => showJob(s.job));
    list.append(li);
  }
}

function showState(s) {
  const el = $("job-state");
  el.className = "state " + s.state;
  el.textContent = stateText(s, true);
  el.title = s.message || "";
  el.dataset.state = s.state;
  const running = s.state === "running";
  $("run").disabled = running;
  $("abort").disabled = !running;
}

async function showJob(job) {
  current = job;
  $("new-panel").hidden = true;
  $("job-panel").hidden = false;
  $("job-title").textContent = job;
  $("job-error").hidden = true;
  $("messages").textContent = "";
  for (const id of ["p-phase", "p-iteration", "p-evaluations", "p-error", "p-elapsed"]) $(id).textContent = "–";
  errorData = [[], []];
  drawErrorPlot();
  $("error-plot").hidden = true;  // shown while a run of the job is followed
  $("live").hidden = true;
  $("live-curves").replaceChildren();
  delete $("live-curves").dataset.updates;
  $("live-note").textContent = "";
  const r = await api("GET", jobUrl(job));
  if (!r.ok) return;
  $("job-text").value = r.json.text || "";
  $("job-text").readOnly = r.json.kind !== "toml";
  $("save").hidden = r.json.kind !== "toml";
  showState(r.json);
  loadJobs();
  await showResults(job, r.json);
  if (r.json.state === "running") follow(job);
}

async function showResults(job, status) {
  const panel = $("results");
  $("comparison").hidden = status.state !== "compared";
  if (status.state === "compared") {
    // Several models: the verdict here, the ranking and curves in the comparison's report.
    panel.hidden = true;
    $("verdict").textContent = status.verdict || "";
    $("comparison-report").src = jobUrl(job, "report");
    return;
  }
  if (status.state === "never_run" || status.state === "running") { panel.hidden = true; return; }
  const r = await api("GET", jobUrl(job, "summary"));
  if (!r.ok || !r.json) { panel.hidden = true; return; }
  const summary = r.json;
  panel.hidden = false;
  const rows = $("result-rows");
  rows.replaceChildren();
  for (const p of summary.parameters || []) {
    const d = p.display || {};
    const u = p.uncertainty || {};
    const tr = document.createElement("tr");
    tr.dataset.test = "result-row";
    tr.dataset.param = p.name;
    const interval = u.interval_95 ? "[" + fmt(u.interval_95[0]) + ", " + fmt(u.interval_95[1]) + "]" : "–";
    const cells = [d.symbol || p.name, fmt(d.start), fmt(d.calibrated, 6), d.unit || "", interval,
                   fmt(p.relative_sensitivity, 3), (u.flags || []).join(", ")];
    cells.forEach((text, i) => {
      const td = document.createElement("td");
      td.textContent = text;
      if (i === 0) td.title = d.words || "";
      if (i === 2) { td.dataset.test = "result-value"; td.dataset.value = String(p.best); }
      tr.append(td);
    });
    rows.append(tr);
  }
  $("mean-error").textContent = "Mean relative error: " + fmt(summary.start && summary.start.mean_relative_error) +
    " % at the start values, " + fmt(summary.best && summary.best.mean_relative_error) + " % calibrated.";
  const warnings = $("warnings");
  warnings.replaceChildren();
  for (const w of (summary.input_warnings || []).concat(summary.warnings || [])) {
    const li = document.createElement("li");
    li.textContent = w.text || String(w);
    warnings.append(li);
  }
  const out = job.endsWith(".toml") ? job + "/../" + job.split("/").pop().replace(/\.toml$/i, ".out") : job + "/..";
  const folder = out.split("/").reduce((acc, part) => {
    if (part === "..") acc.pop(); else acc.push(part);
    return acc;
  }, []).join("/");
  const prefix = folder ? folder + "/" : "";
  $("dl-job").href = fileUrl(job);
  $("dl-result").href = fileUrl(prefix + "Optimization_result.txt");
  $("dl-summary").href = jobUrl(job, "summary");
  $("dl-report").href = jobUrl(job, "report");
  // The curves as the run wrote them (CSV), measured, start and calibrated.
  const csv = $("dl-curves");
  csv.replaceChildren();
  const files = status.curve_files || [];
  if (files.length) csv.append("Curves (CSV): ");
  files.forEach((f, k) => {
    const a = document.createElement("a");
    a.href = fileUrl(f);
    a.textContent = f.split("/").pop();
    a.dataset.test = "download-curve";
    if (k) csv.append(" · ");
    csv.append(a);
  });
  await drawCurves(job);
}

// A curve's series in the report's axes (which column on x, percent for
// strains); a gap (null) stays a gap, and a log axis drops what it cannot show.
function viewed(series, axes) {
  if (!axes) return thinned(series.x, series.y);
  let xs = axes.swap ? series.y : series.x, ys = axes.swap ? series.x : series.y;
  const scale = (v, f) => (v == null ? null : v * f);
  xs = xs.map((v) => scale(v, axes.x_scale));
  ys = ys.map((v) => scale(v, axes.y_scale));
  if (axes.log_x) {
    const keep = xs.map((v) => v == null || v > 0);
    xs = xs.filter((_, i) => keep[i]); ys = ys.filter((_, i) => keep[i]);
  }
  return thinned(xs, ys);
}

// At most about 600 points a curve, each phase's ends and the gaps between
// phases kept: uPlot leaves out parts of a dense curve whose x runs back (an
// unloading of 400 steps), and a 380-pixel plot shows no more anyway.
function thinned(xs, ys, most = 600) {
  const step = Math.ceil(xs.length / most);
  if (step <= 1) return [xs, ys];
  const keep = xs.map((v, i) => v == null || i % step === 0 || i === xs.length - 1 ||
                               xs[i - 1] == null || xs[i + 1] == null);
  return [xs.filter((_, i) => keep[i]), ys.filter((_, i) => keep[i])];
}

// The scales and axes of a curve plot in the report's axes.
function axesOptions(a) {
  return {
    scales: { x: { time: false, distr: a && a.log_x ? 3 : 1 }, y: { dir: a && a.reverse_y ? -1 : 1 } },
    axes: a ? [{ label: a.x_label }, { label: a.y_label, size: 56, labelFont: "11px system-ui, sans-serif" }] : undefined,
  };
}

// One plot per measured curve: measured points, start and best curves.
async function drawCurves(job) {
  while (curvePlots.length) curvePlots.pop().destroy();
  const box = $("curves");
  box.replaceChildren();
  const r = await api("GET", jobUrl(job, "curves"));
  if (!r.ok) return;
  for (const test of r.json.tests) {
    for (const c of test.curves) {
      const div = document.createElement("div");
      div.dataset.test = "curve-plot";
      box.append(div);
      // Each curve in the order of its points (an unloading runs backwards in x).
      const a = c.axes;
      curvePlots.push(new uPlot({
        mode: 2, title: c.name || c.file, width: 380, height: 260, ...axesOptions(a),
        legend: { show: true, live: false },
        series: [{},
          { label: "measured", stroke: "#222", fill: "#222", paths: uPlot.paths.points(),
            points: { show: false, size: 6, width: 1 } },
          { label: "start", stroke: "#999", width: 1, dash: [4, 4], points: { show: false } },
          { label: "calibrated", stroke: "#c0392b", width: 2, points: { show: false } }],
      }, [null, viewed(c.measured, a), viewed(c.start, a), viewed(c.best, a)], div));
    }
  }
}

function drawErrorPlot() {
  if (errorPlot) { errorPlot.destroy(); errorPlot = null; }
  errorPlot = new uPlot({
    // The search keeps the point of least objective (mean squared relative
    // deviation); the mean relative error of that point may rise between
    // iterations, so the title names the point, not a best error.
    title: "Mean relative error of the best point (%)", width: 560, height: 200,
    scales: { x: { time: false } },
    axes: [{ label: "iteration" }, {}],
    series: [{ label: "iteration" }, { label: "error of the best point %", stroke: "#2f4f4f", width: 2, points: { show: true, size: 4 } }],
  }, errorData, $("error-plot"));
}

// The measured curves of the run: one plot each, the best curve drawn over
// them as the search improves (after each iteration with a new best point).
function startLiveCurves(m) {
  const box = $("live-curves");
  if (live) for (const p of live.plots) p.destroy();
  box.replaceChildren();
  live = { model: m.model, plots: [], measured: [], axes: [] };
  for (const test of m.tests) {
    for (const c of test.curves) {
      const div = document.createElement("div");
      div.dataset.test = "live-plot";
      box.append(div);
      const a = c.axes;
      live.axes.push(a);
      live.measured.push(viewed(c, a));
      live.plots.push(new uPlot({
        mode: 2, title: (m.model ? m.model + ": " : "") + c.name, width: 380, height: 260, ...axesOptions(a),
        legend: { show: true, live: false },
        series: [{},
          { label: "measured", stroke: "#222", fill: "#222", paths: uPlot.paths.points(),
            points: { show: false, size: 6, width: 1 } },
          { label: "best so far", stroke: "#c0392b", width: 2, points: { show: false } }],
      }, [null, live.measured[live.measured.length - 1], [[], []]], div));
    }
  }
  $("live").hidden = false;
}

// Curves and the error are drawn once per frame, the latest only: a search
// that improves faster than the screen redraws does not queue drawings in
// front of the events that follow.
let pendingCurves = null;
let pendingError = false;
let frameAsked = false;

function drawSoon() {
  if (frameAsked) return;
  frameAsked = true;
  requestAnimationFrame(() => {
    frameAsked = false;
    if (pendingError) { pendingError = false; errorPlot.setData(errorData); }
    if (pendingCurves) { const b = pendingCurves; pendingCurves = null; drawBestCurves(b); }
  });
}

function onBestCurves(e) {
  pendingCurves = e.best_curves;
  drawSoon();
}

function drawBestCurves(b) {
  if (!live || live.model !== b.model) return;
  let k = 0;
  for (const test of b.tests) {
    for (const c of test.curves) {
      if (k < live.plots.length) live.plots[k].setData([null, live.measured[k], viewed(c, live.axes[k])]);
      ++k;
    }
  }
  const box = $("live-curves");
  box.dataset.iteration = b.iteration;
  box.dataset.bestError = b.best_error;
  box.dataset.updates = Number(box.dataset.updates || 0) + 1;
  $("live-note").textContent = "Best so far: iteration " + b.iteration + ", " + b.evaluations +
      " evaluations, mean relative error " + fmt(b.best_error) + " %.";
}

// How long after the server read a progress line the page has it (the
// largest so far in data-max-lag-ms of the progress table, those above
// 200 ms in data-late), for lines read while the page listens.
let streamOpened = Infinity;  // events read before the page listened are no delay

function noteLag(e) {
  if (!e.at_ms || e.at_ms < streamOpened) return;
  const table = $("progress");
  const lag = Date.now() - e.at_ms;
  table.dataset.maxLagMs = Math.max(Number(table.dataset.maxLagMs || 0), lag);
  table.dataset.events = Number(table.dataset.events || 0) + 1;
  if (lag > 200) table.dataset.late = Number(table.dataset.late || 0) + 1;
}

function onProgress(e) {
  const p = e.progress;
  noteLag(e);
  if (p.model !== undefined && p.model !== runModel) {
    // The next model of a comparison: its own error curve.
    if (runModel !== null) { errorData = [[], []]; drawErrorPlot(); }
    runModel = p.model;
  }
  $("p-phase").textContent = (p.model ? p.model + ": " : "") + p.phase.replace("_", " ");
  $("p-iteration").textContent = p.iteration;
  $("p-evaluations").textContent = p.evaluations;
  $("p-error").textContent = p.best_error === null ? "–" : fmt(p.best_error) + " %";
  $("p-elapsed").textContent = (e.elapsed_ms / 1000).toFixed(1) + " s";
  if (p.best_error !== null) {
    const xs = errorData[0];
    if (xs.length && xs[xs.length - 1] === p.iteration) errorData[1][xs.length - 1] = p.best_error;
    else { xs.push(p.iteration); errorData[1].push(p.best_error); }
    pendingError = true;
    drawSoon();
  }
}

function follow(job) {
  if (stream) stream.close();
  $("error-plot").hidden = false;
  stream = new EventSource(jobUrl(job, "events"));
  streamOpened = Infinity;
  stream.onopen = () => { streamOpened = Date.now(); };
  stream.onmessage = async (m) => {
    if (job !== current) return;
    const e = JSON.parse(m.data);
    if (e.type === "start") {
      errorData = [[], []]; drawErrorPlot(); $("messages").textContent = ""; runModel = null;
      for (const k of ["maxLagMs", "events", "late"]) delete $("progress").dataset[k];
    }
    else if (e.type === "progress") onProgress(e);
    else if (e.type === "measured_curves") startLiveCurves(e.measured_curves);
    else if (e.type === "best_curves") onBestCurves(e);
    else if (e.type === "message") $("messages").textContent += e.text + "\n";
    else if (e.type === "end" || e.type === "idle") {
      stream.close();
      stream = null;
      await showJob(job);
    }
  };
  stream.onerror = () => { if (stream) { stream.close(); stream = null; } };
}

async function run() {
  const body = JSON.stringify({ search: $("search").value, threads: Number($("threads").value) || 0 });
  const r = await api("POST", jobUrl(current, "run"), body, "application/json");
  if (!r.ok) { $("messages").textContent = r.json ? r.json.error : r.text; return; }
  showState({ state: "running" });
  $("results").hidden = true;
  follow(current);
  loadJobs();
}

async function abort() {
  const r = await api("POST", jobUrl(current, "abort"));
  if (!r.ok) $("messages").textContent += (r.json ? r.json.error : r.text) + "\n";
}

// Saves the text; a job that does not read keeps its text and shows the
// reader's sentence beside the field it names (on the new-job form) and
// beside the line it names.
async function save(job, text) {
  const r = await api("PUT", jobUrl(job), text, "application/toml");
  clearFieldErrors();
  if (!r.ok) {
    showFieldError(r.json || { error: r.text, line: 0 }, $("job-text"));
    return false;
  }
  $("job-error").hidden = true;
  return true;
}

function selectLine(area, line) {
  const lines = area.value.split("\n");
  let start = 0;
  for (let i = 0; i < line - 1 && i < lines.length; ++i) start += lines[i].length + 1;
  area.focus();
  area.setSelectionRange(start, start + (lines[line - 1] || "").length);
  const lineHeight = parseFloat(getComputedStyle(area).lineHeight) || 17;
  area.scrollTop = Math.max(0, (line - 4) * lineHeight);
}

function setUp() {
  $("run").addEventListener("click", run);
  $("abort").addEventListener("click", abort);
  setUpNewJob();
  $("save").addEventListener("click", async () => {
    const job = current || $("new-name").value;
    if (await save(job, $("job-text").value)) { await loadJobs(); await showJob(job); }
  });
  drawErrorPlot();
  loadJobs();
  // #job=PATH opens a job at once (an address to keep or to hand on).
  const linked = /^#job=(.+)$/.exec(location.hash);
  if (linked) showJob(decodeURIComponent(linked[1]));
}

// After every script of the page (newjob.js) is read.
window.addEventListener("DOMContentLoaded", setUp);
