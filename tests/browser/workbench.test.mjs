// The workbench page in a real browser (Debian's chromium, driven by
// puppeteer-core): a job made from an example's files and run, its values
// equal to the command line's; a long run drawn live, then aborted; a job's
// error shown beside its text; lab files drawn and picked, the derived
// table edited and saved, a refusal beside its field. Run by scripts/test:
// node --test tests/browser/
// Environment: SOILCAL_BUILD_DIR (default build), SOILCAL_SCREENSHOTS (a
// folder: the page's states are saved there as PNG).
import { test, before, after } from "node:test";
import assert from "node:assert/strict";
import { spawn, spawnSync } from "node:child_process";
import fs from "node:fs";
import os from "node:os";
import path from "node:path";
import puppeteer from "puppeteer-core";

const source = path.resolve(path.dirname(new URL(import.meta.url).pathname), "../..");
const build = path.resolve(source, process.env.SOILCAL_BUILD_DIR || "build");
const soilcal = path.join(build, "soilcal");
const shots = process.env.SOILCAL_SCREENSHOTS;
const example = path.join(source, "examples/soft_clay");
const labFiles = path.join(source, "examples/lab_files/lab");

let folder, server, address, browser;

function copyExample(to) {
  fs.mkdirSync(to, { recursive: true });
  for (const f of fs.readdirSync(example)) {
    const from = path.join(example, f);
    if (fs.statSync(from).isFile()) fs.copyFileSync(from, path.join(to, f));
  }
}

// The example's job with its CSV files under data/ and its steps many times
// finer, so that a run lasts long enough to be aborted.
function jobText({ fine = false } = {}) {
  let text = fs.readFileSync(path.join(example, "job.toml"), "utf8");
  text = text.replace(/^file = "([^"]+\.csv)"/gm, 'file = "data/$1"');
  if (fine) text = text.replace(/^steps = \[40, 20\]/m, "steps = [800, 400]").replace(/^steps = 60$/m, "steps = 1200");
  return text;
}

async function page() {
  const p = await browser.newPage();
  await p.setViewport({ width: 1200, height: 900 });
  await p.goto(address, { waitUntil: "networkidle0" });
  return p;
}

async function openJob(p, job) {
  const item = `[data-test=job-item][data-job="${job}"]`;
  await p.waitForSelector(item);
  // Clicked inside the page: the list may be drawn anew between a lookup and a click from here.
  await p.$eval(item, (e) => e.click());
  await p.waitForFunction((j) => document.querySelector("[data-test=job-title]").textContent === j, {}, job);
}

const stateOf = (p) => p.$eval("[data-test=job-state]", (e) => e.dataset.state);

before(async () => {
  folder = fs.mkdtempSync(path.join(os.tmpdir(), "soilcal-browser-"));
  copyExample(path.join(folder, "soft_clay"));
  server = spawn(soilcal, ["serve", folder, "--port", "0"], { stdio: ["ignore", "pipe", "inherit"] });
  address = await new Promise((resolve, reject) => {
    let out = "";
    server.stdout.on("data", (d) => {
      out += d;
      const m = /(http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]+)/.exec(out);
      if (m) resolve(m[1]);
    });
    server.on("exit", () => reject(new Error("soilcal serve ended: " + out)));
  });
  browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-background-networking", "--disable-component-update",
           "--disable-sync", "--no-first-run"],
  });
});

after(async () => {
  if (browser) await browser.close();
  if (server) {
    const ended = new Promise((resolve) => server.on("exit", resolve));
    server.kill("SIGINT");
    await ended;
  }
  fs.rmSync(folder, { recursive: true, force: true });
});

test("a job made from an example's files runs and shows the command line's values", { timeout: 240000 }, async () => {
  const p = await page();
  await p.click("[data-test=new-job]");
  const csv = fs.readdirSync(example).filter((f) => f.endsWith(".csv")).map((f) => path.join(example, f));
  const pick = await p.$("[data-test=file-pick]");
  await pick.uploadFile(...csv);
  await p.waitForFunction((n) => document.querySelectorAll("[data-test=test-row]").length === n, {}, csv.length);
  await p.select("[data-test=model-choice]", "modified_cam_clay");
  await p.waitForSelector("[data-test=new-panel]:not([data-busy])");
  await p.$eval("[data-test=job-name]", (e) => { e.value = "clay.toml"; });
  await p.$eval("[data-test=job-text]", (e, text) => { e.value = text; }, jobText());
  await p.click("[data-test=save-job]");
  await p.waitForSelector('[data-test=job-item][data-job="clay.toml"]');
  assert.equal(fs.readFileSync(path.join(folder, "clay.toml"), "utf8"), jobText());

  await openJob(p, "clay.toml");
  await p.select("[data-test=search-choice]", "default");
  await p.click("[data-test=run-button]");
  await p.waitForFunction(() => document.querySelector("[data-test=job-state]").dataset.state === "calibrated",
                          { timeout: 200000 });
  await p.waitForSelector("[data-test=result-row]");
  // One plot per measured curve of the job (two tests, three curves).
  await p.waitForFunction(() => document.querySelectorAll("[data-test=curve-plot]").length === 3);
  // Each curve as the run wrote it, measured, start and calibrated, to download.
  const links = await p.$$eval("[data-test=download-curve]", (all) => all.map((a) => a.textContent));
  assert.equal(links.filter((name) => name.endsWith("_calculated.csv")).length, 3, links.join(" "));
  if (shots) await p.screenshot({ path: path.join(shots, "workbench_results.png"), clip: { x: 0, y: 0, width: 1200, height: 860 } });
  const shown = await p.$$eval("[data-test=result-row]", (rows) =>
    Object.fromEntries(rows.map((r) => [r.dataset.param, Number(r.querySelector("[data-test=result-value]").dataset.value)])));

  // The same job from the command line, in a folder of its own.
  const cli = fs.mkdtempSync(path.join(os.tmpdir(), "soilcal-browser-cli-"));
  copyExample(path.join(cli, "data"));
  fs.writeFileSync(path.join(cli, "clay.toml"), jobText());
  const run = spawnSync(soilcal, ["clay.toml"], { cwd: cli, encoding: "utf8" });
  assert.equal(run.status, 0, run.stderr);
  const summary = JSON.parse(fs.readFileSync(path.join(cli, "clay.out/calibration_summary.json"), "utf8"));
  assert.ok(summary.parameters.length >= 3);
  for (const param of summary.parameters) assert.equal(shown[param.name], param.best, param.name);
  fs.rmSync(cli, { recursive: true, force: true });
  await p.close();
});

test("a long run draws its fit live, then Abort ends it as the abort file does", { timeout: 240000 }, async () => {
  fs.writeFileSync(path.join(folder, "fine.toml"), jobText({ fine: true }));
  const p = await page();
  await openJob(p, "fine.toml");
  await p.$eval("[data-test=threads]", (e) => { e.value = "1"; });
  await p.click("[data-test=run-button]");
  // The measured curves (two tests, three curves) with the best curve of
  // the search over them (the API tests follow every new best).
  await p.waitForFunction(() => document.querySelectorAll("[data-test=live-plot]").length === 3, { timeout: 120000 });
  await p.waitForFunction(() => Number(document.querySelector("[data-test=live-curves]").dataset.updates || 0) >= 1,
                          { timeout: 120000 });
  const drawn = await p.$eval("[data-test=live-curves]", (e) => ({ iteration: Number(e.dataset.iteration), error: Number(e.dataset.bestError) }));
  assert.ok(drawn.error > 0 && drawn.error < 100, JSON.stringify(drawn));
  if (shots) {
    // The picture of a run shows its error falling: a few iterations in.
    await p.waitForFunction(() => Number(document.querySelector("[data-test=progress-iteration]").textContent) >= 3,
                            { timeout: 120000 });
    await p.screenshot({ path: path.join(shots, "workbench_run.png"), clip: { x: 0, y: 0, width: 1200, height: 900 } });
  }
  // How long progress events take from the server to the page (a figure for
  // the record; the target is 200 ms, the test only catches a stream that stalls).
  const lag = await p.$eval("[data-test=progress]", (e) => ({ max: Number(e.dataset.maxLagMs), events: Number(e.dataset.events), late: Number(e.dataset.late || 0) }));
  console.log(`progress events to the page: ${lag.events}, largest delay ${lag.max} ms, ${lag.late} above 200 ms`);
  assert.ok(lag.events > 0 && lag.max < 2000, JSON.stringify(lag));
  await p.click("[data-test=abort-button]");
  await p.waitForFunction(() => document.querySelector("[data-test=job-state]").dataset.state === "aborted",
                          { timeout: 120000 });
  const summary = JSON.parse(fs.readFileSync(path.join(folder, "fine.out/calibration_summary.json"), "utf8"));
  assert.equal(summary.exit_code, 18);
  await p.close();
});

test("a job that does not read keeps its file and shows the reader's sentence beside it", { timeout: 60000 }, async () => {
  const p = await page();
  await openJob(p, "soft_clay/job.toml");
  const before = fs.readFileSync(path.join(folder, "soft_clay/job.toml"), "utf8");
  await p.$eval("[data-test=job-text]", (e) => { e.value = e.value.replace(/^M = 0\.95$/m, 'M = "steep"'); });
  await p.click("[data-test=save-job]");
  await p.waitForSelector("[data-test=job-error]:not([hidden])");
  const error = await p.$eval("[data-test=job-error]", (e) => ({ text: e.textContent, line: e.dataset.line }));
  const line = before.split("\n").findIndex((l) => l === "M = 0.95") + 1;
  assert.equal(Number(error.line), line);
  assert.match(error.text, new RegExp(`line ${line}:.*"M"`));
  assert.equal(fs.readFileSync(path.join(folder, "soft_clay/job.toml"), "utf8"), before);
  if (shots) {
    await p.screenshot({ path: path.join(shots, "workbench_error.png"), clip: { x: 0, y: 0, width: 1200, height: 480 } });
  }
  await p.close();
});

// Sets a number in a row of the derived table as a person types it.
async function typeInto(p, selector, text) {
  const input = await p.$(selector);
  await input.click({ clickCount: 3 });
  await input.type(text);
  await p.keyboard.press("Tab");
}

const idle = (p) => p.waitForSelector("[data-test=new-panel]:not([data-busy])");
const jobTextNow = (p) => p.$eval("[data-test=job-text]", (e) => e.value);

test("lab files are drawn and picked, the derived table is edited and saved, a refusal shows beside its field", { timeout: 120000 }, async () => {
  const p = await page();
  await p.setViewport({ width: 1200, height: 1700 });
  await p.click("[data-test=new-job]");
  await p.select("[data-test=model-choice]", "mohr_coulomb");
  const pick = await p.$("[data-test=file-pick]");
  await pick.uploadFile(path.join(labFiles, "CD100.gds"), path.join(labFiles, "CD200.gds"));
  // Each file inspected and its test drawn at once: q and εv against ε1.
  await p.waitForFunction(() => document.querySelectorAll("[data-test=test-row] [data-test=lab-plot]").length === 4);
  const plots = await p.$$eval("[data-test=test-row]", (rows) => rows.map((r) =>
    [r.dataset.file, [...r.querySelectorAll("[data-test=lab-plot]")].map((d) => d.dataset.plot)]));
  assert.deepEqual(plots, [["data/CD100.gds", ["q – ε1", "εv – ε1"]], ["data/CD200.gds", ["q – ε1", "εv – ε1"]]]);
  await p.waitForSelector("[data-test=param-row]");
  await idle(p);

  // The stages of a file to pick: the one that shears is taken; stage 1 is refused with the reader's sentence.
  const row = '[data-test=test-row][data-file="data/CD100.gds"]';
  assert.equal(await p.$eval(`${row} [data-test=test-choice]`, (s) => s.options.length), 2);
  assert.match(await p.$eval(`${row} [data-test=test-choice]`, (s) => s.selectedOptions[0].textContent), /^stage 2/);
  assert.match(await jobTextNow(p), /name = 'CD100_stage2'\nstage = 2/);
  await p.select(`${row} [data-test=test-choice]`, "0");
  await p.waitForFunction((r) => /nothing shears in stage 1/.test(document.querySelector(r + " [data-test=inspected]").textContent), {}, row);
  await p.select(`${row} [data-test=test-choice]`, "1");
  await p.waitForFunction((r) => document.querySelectorAll(r + " [data-test=lab-plot]").length === 2, {}, row);
  await idle(p);

  // The table: symbols, units and degrees, the rule as a tooltip.
  const phi = '[data-test=param-row][data-param=phi]';
  assert.match(await p.$eval(phi, (r) => r.textContent), /φ \(phi\).*° \(degrees\)/);
  assert.match(await p.$eval(phi, (r) => r.title), /Mohr circles/);
  assert.match(await p.$eval('[data-test=param-row][data-param=G]', (r) => r.textContent), /kPa/);
  // Edited by hand: the job says so; psi no longer free.
  await typeInto(p, `${phi} [data-test=param-value]`, "31.25");
  await p.waitForFunction(() => /^phi = 31\.25  # set by hand/m.test(document.querySelector("[data-test=job-text]").value));
  await p.click('[data-test=param-row][data-param=psi] [data-test=param-free]');
  await p.waitForFunction(() => !/^psi = \[/m.test(document.querySelector("[data-test=job-text]").value.split("[calibrate.free]")[1]));
  await idle(p);

  // A value the reader refuses: its sentence beside the row, with the line.
  await typeInto(p, '[data-test=param-row][data-param=nu] [data-test=param-value]', "0.7");
  const nuError = '[data-test=param-row][data-param=nu] [data-test=field-error]';
  await p.waitForSelector(`${nuError}:not([hidden])`);
  const text = await jobTextNow(p);
  const line = text.split("\n").findIndex((l) => l.startsWith("nu = 0.7")) + 1;
  const shown = await p.$eval(nuError, (e) => ({ text: e.textContent, line: Number(e.dataset.line) }));
  assert.equal(shown.line, line);
  assert.match(shown.text, new RegExp(`line ${line}: nu = 0\\.7 lies outside its physical range`));
  if (shots) await p.screenshot({ path: path.join(shots, "workbench_new_job.png"), clip: { x: 0, y: 0, width: 1200, height: 1250 } });
  await typeInto(p, '[data-test=param-row][data-param=nu] [data-test=param-value]', "0.3");
  await p.waitForSelector(`${nuError}[hidden]`);
  await idle(p);

  // The model named wrongly in the text: the sentence beside the model choice.
  await p.$eval("[data-test=job-name]", (e) => { e.value = "lab.toml"; });
  const good = await jobTextNow(p);
  await p.$eval("[data-test=job-text]", (e) => { e.value = e.value.replace('name = "mohr_coulomb"', 'name = "mohr_colomb"'); });
  await p.click("[data-test=save-job]");
  await p.waitForSelector("[data-test=model-error]:not([hidden])");
  const modelLine = good.split("\n").findIndex((l) => l === 'name = "mohr_coulomb"') + 1;
  assert.match(await p.$eval("[data-test=model-error]", (e) => e.textContent), new RegExp(`lab\\.toml line ${modelLine}: .*mohr_colomb`));
  assert.ok(!fs.existsSync(path.join(folder, "lab.toml")));

  // Saved as it reads in the editor.
  await p.$eval("[data-test=job-text]", (e, t) => { e.value = t; }, good);
  await p.click("[data-test=save-job]");
  await p.waitForSelector('[data-test=job-item][data-job="lab.toml"]');
  assert.equal(fs.readFileSync(path.join(folder, "lab.toml"), "utf8"), good);
  assert.match(good, /^phi = 31\.25  # set by hand/m);
  await p.close();
});

test("several models make a comparison job, each with its rows, and a refusal goes to its model's row", { timeout: 120000 }, async () => {
  const p = await page();
  await p.click("[data-test=new-job]");
  await p.select("[data-test=model-choice]", "mohr_coulomb", "hardening_soil");
  const pick = await p.$("[data-test=file-pick]");
  await pick.uploadFile(path.join(labFiles, "CD100.gds"), path.join(labFiles, "CD200.gds"));
  await p.waitForSelector('[data-test=param-row][data-model="hardening_soil"]');
  await idle(p);
  assert.equal(await p.$$eval("[data-test=model-head]", (h) => h.length), 2);
  assert.equal((await jobTextNow(p)).match(/^\[\[models\]\]$/gm).length, 2);
  // phi of each model: 95° refused for the second only, beside its row.
  const hsPhi = '[data-test=param-row][data-model="hardening_soil"][data-param=phi]';
  await typeInto(p, `${hsPhi} [data-test=param-value]`, "95");
  await p.waitForSelector(`${hsPhi} [data-test=field-error]:not([hidden])`);
  assert.match(await p.$eval(`${hsPhi} [data-test=field-error]`, (e) => e.textContent), /line \d+: phi = 95 lies outside its physical range/);
  assert.equal(await p.$eval('[data-test=param-row][data-model="mohr_coulomb"][data-param=phi] [data-test=field-error]', (e) => e.hidden), true);
  await typeInto(p, `${hsPhi} [data-test=param-value]`, "34");
  await p.waitForSelector(`${hsPhi} [data-test=field-error][hidden]`);
  await idle(p);
  assert.match(await jobTextNow(p), /name = "hardening_soil"\n\n\[models\.parameters\]\nfrom_data = true.*\nphi = 34  # set by hand/);
  await p.close();
});
