// The workbench page in a real browser (Debian's chromium, driven by
// puppeteer-core): a job made from an example's files and run, its values
// equal to the command line's; a long run aborted; a job's error shown
// beside its text. Run by scripts/test: node --test tests/browser/
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
  await p.click(item);
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
  await p.waitForFunction((n) => document.querySelectorAll("[data-test=upload]").length === n, {}, csv.length);
  await p.select("[data-test=model-choice]", "modified_cam_clay");
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

test("Abort ends a long run as the abort file does", { timeout: 240000 }, async () => {
  fs.writeFileSync(path.join(folder, "fine.toml"), jobText({ fine: true }));
  const p = await page();
  await openJob(p, "fine.toml");
  await p.$eval("[data-test=threads]", (e) => { e.value = "1"; });
  await p.click("[data-test=run-button]");
  // Once the search draws its starting points, Abort.
  await p.waitForFunction(() => /starting|iterations/.test(document.querySelector("[data-test=progress-phase]").textContent),
                          { timeout: 120000 });
  if (shots) {
    // The picture of a run shows its error falling: a few iterations in.
    await p.waitForFunction(() => Number(document.querySelector("[data-test=progress-iteration]").textContent) >= 2,
                            { timeout: 120000 });
    await p.screenshot({ path: path.join(shots, "workbench_run.png"), clip: { x: 0, y: 0, width: 1200, height: 480 } });
  }
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
