// The project report and the plots in a real browser: the system's Chromium,
// headless, driven by puppeteer-core.
//   node report.test.cjs QDAT SOURCE_DIR WORK_DIR CHROMIUM
// WORK_DIR holds node_modules (npm ci of this folder's lock file); the
// report, the plots and the screenshots are written there.
"use strict";
const path = require("path");
const fs = require("fs");
const { execFileSync } = require("child_process");
const { createRequire } = require("module");

const [qdat, source, work, chromium] = process.argv.slice(2);
const puppeteer = createRequire(path.join(work, "package.json"))("puppeteer-core");
const examples = path.join(source, "examples");
const screens = path.join(work, "screens");
fs.mkdirSync(screens, { recursive: true });

let failures = 0, passes = 0;
function check(ok, what) {
  if (ok) ++passes;
  else {
    ++failures;
    console.log("FAILED: " + what);
  }
}
function near(a, b, tol, what) {
  check(a !== null && b !== null && Math.abs(Number(a) - Number(b)) <= tol, what + ": " + a + " against " + b);
}
function tool(args) {
  return execFileSync(qdat, args, { encoding: "utf8", stdio: ["ignore", "pipe", "pipe"] });
}
const json = (args) => JSON.parse(tool(args.concat(["--json"])));
const demo = (ext) => path.join(examples, "demo-road." + ext);

// The sections of the demo, read from the file itself: a station line, then
// the left and the right side, each a count and pairs.
function hdmSections() {
  const lines = fs.readFileSync(demo("hdm"), "utf8").split(/\r?\n/).slice(1).filter((l) => l.trim());
  const out = [];
  for (let i = 0; i + 2 < lines.length + 1 && i < lines.length; i += 3) {
    const side = (l) => {
      const t = l.trim().split(/\s+/).map(Number);
      const pts = [];
      for (let k = 0; k < t[0]; ++k) pts.push([t[1 + 2 * k], t[2 + 2 * k]]);
      return pts;
    };
    const left = side(lines[i + 1]), right = side(lines[i + 2]);
    const offsets = left.map((p) => -p[0]).concat(right.map((p) => p[0]));
    out.push({ station: Number(lines[i]), points: left.length + right.length,
               lo: Math.min(...offsets), hi: Math.max(...offsets) });
  }
  return out.sort((a, b) => a.station - b.station);
}

// Text boxes in the root's user space, as Chromium lays the text out, and
// whether any two of them overlap or any leaves the page; every shape of the
// plot inside the frame.
async function checkLabels(page, selector, what) {
  const result = await page.evaluate((selector) => {
    const out = [];
    for (const svg of document.querySelectorAll(selector)) {
      const root = svg.getScreenCTM().inverse();
      const quad = (el) => {
        const b = el.getBBox(), m = root.multiply(el.getScreenCTM());
        return [[b.x, b.y], [b.x + b.width, b.y], [b.x + b.width, b.y + b.height], [b.x, b.y + b.height]]
          .map(([x, y]) => [m.a * x + m.c * y + m.e, m.b * x + m.d * y + m.f]);
      };
      const texts = Array.from(svg.querySelectorAll("text")).filter((t) => t.textContent.trim());
      const quads = texts.map(quad);
      const sep = (a, b) => {
        for (const q of [a, b])
          for (let i = 0; i < 2; ++i) {
            const nx = q[i][1] - q[i + 1][1], ny = q[i + 1][0] - q[i][0];
            const pa = a.map((p) => p[0] * nx + p[1] * ny), pb = b.map((p) => p[0] * nx + p[1] * ny);
            if (Math.max(...pa) <= Math.min(...pb) + 1e-6 || Math.max(...pb) <= Math.min(...pa) + 1e-6) return true;
          }
        return false;
      };
      const overlaps = [];
      for (let i = 0; i < quads.length; ++i)
        for (let j = i + 1; j < quads.length; ++j)
          if (!sep(quads[i], quads[j])) overlaps.push(texts[i].textContent + " / " + texts[j].textContent);
      const vb = svg.viewBox.baseVal;
      const off = [];
      quads.forEach((q, i) => {
        if (q.some(([x, y]) => x < vb.x - 0.01 || y < vb.y - 0.01 || x > vb.x + vb.width + 0.01 ||
                               y > vb.y + vb.height + 0.01)) off.push(texts[i].textContent);
      });
      const f = svg.getAttribute("data-frame").split(" ").map(Number);
      const outside = [];
      for (const el of svg.querySelectorAll("#plot > *")) {
        const q = quad(el);
        if (q.some(([x, y]) => x < f[0] - 0.5 || y < f[1] - 0.5 || x > f[2] + 0.5 || y > f[3] + 0.5))
          outside.push(el.tagName + " " + (el.getAttribute("class") || "") + " " + el.textContent);
      }
      out.push({ texts: texts.length, overlaps, off, outside, leftOut: svg.getAttribute("data-labels-left-out") });
    }
    return out;
  }, selector);
  check(result.length > 0, what + ": drawings found");
  for (const r of result) {
    check(r.texts > 10, what + ": labels drawn (" + r.texts + ")");
    check(r.overlaps.length === 0, what + ": no labels overlap: " + r.overlaps.slice(0, 5).join("; "));
    check(r.off.length === 0, what + ": no label leaves the page: " + r.off.slice(0, 5).join("; "));
    check(r.outside.length === 0, what + ": nothing drawn outside the frame: " + r.outside.slice(0, 5).join("; "));
    // On the demo every label finds a place.
    check(r.leftOut === null || r.leftOut === "0", what + ": labels left out: " + r.leftOut);
  }
}

(async () => {
  const report = path.join(work, "report.html");
  tool(["report", demo("prj"), "-o", report]);
  const plots = {
    plan: ["plot", "plan", demo("pm")],
    "plan-jd": ["plot", "plan", demo("jd"), "--paper", "A3"],
    profile: ["plot", "profile", demo("zdm"), "--ground", demo("dmx")],
    section: ["plot", "section", demo("hdm"), "--at", "120"],
  };
  for (const [name, args] of Object.entries(plots)) tool(args.concat(["-o", path.join(work, name + ".svg")]));

  const browser = await puppeteer.launch({
    executablePath: chromium, headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--no-first-run", "--disable-extensions"],
  });
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1400, height: 1000 });
    const errors = [], requests = [];
    page.on("console", (m) => { if (m.type() === "error" || m.type() === "warning") errors.push(m.text()); });
    page.on("pageerror", (e) => errors.push(String(e)));
    await page.setRequestInterception(true);
    page.on("request", (r) => {
      if (r.isNavigationRequest() && r.frame() === page.mainFrame() && r.url().startsWith("file:")) return r.continue();
      requests.push(r.url());
      r.abort();
    });

    for (const name of Object.keys(plots)) {
      await page.goto("file://" + path.join(work, name + ".svg"), { waitUntil: "load" });
      await checkLabels(page, "svg", "plot " + name);
      await page.screenshot({ path: path.join(screens, "plot-" + name + ".png") });
    }

    await page.goto("file://" + report, { waitUntil: "load" });
    await page.screenshot({ path: path.join(screens, "report-summary.png") });
    check(errors.length === 0, "no console error: " + errors.join("; "));
    check(requests.length === 0, "no network request: " + requests.join("; "));
    await checkLabels(page, ".drawing svg", "report drawings");

    // The summary names every file of the project.
    const files = await page.$$eval("#files tbody tr", (rows) => rows.map((r) => r.children[2].textContent));
    check(files.includes("demo-road.pm") && files.includes("demo-road.tf") && files.length === 13,
          "summary lists the 13 files: " + files.join(", "));

    // The station box at three stations, one of them in lettered text.
    const stations = [["260", 260], ["K0+640", 640], ["1220.000", 1220]];
    for (const [text, s] of stations) {
      await page.$eval("#station-input", (el) => { el.value = ""; });
      await page.type("#station-input", text);
      await page.keyboard.press("Enter");
      const box = await page.evaluate(() => {
        const v = (id) => document.getElementById(id).textContent;
        return { station: v("sb-station"), x: v("sb-x"), y: v("sb-y"), azimuth: v("sb-azimuth"), radius: v("sb-radius"),
                 design: v("sb-design"), sup: v("sb-sup"), left: v("sb-wid-left"), right: v("sb-wid-right"),
                 marker: !!document.getElementById("plan-marker") && !!document.getElementById("profile-marker") };
      });
      const at = String(s);
      const plan = json(["plan", demo("pm"), "--at", at])[0];
      const profile = json(["profile", demo("zdm"), "--at", at])[0];
      const sup = json(["sup", demo("sup"), "--at", at])[0];
      const wid = json(["wid", demo("wid"), "--at", at])[0];
      near(box.station, s, 1e-9, text + " station");
      near(box.x, plan.x, 1e-4, text + " x");
      near(box.y, plan.y, 1e-4, text + " y");
      near(box.azimuth, plan.azimuth * 180 / Math.PI, 1e-6, text + " azimuth");
      near(box.radius, plan.radius, 1e-3, text + " radius");
      near(box.design, profile.elevation, 1e-3, text + " design elevation");
      const supWant = ["leftInner", "leftMiddle", "leftOuter", "rightInner", "rightMiddle", "rightOuter"]
        .map((k) => Number(sup[k]).toFixed(3)).join(" / ");
      check(box.sup === supWant, text + " cross-falls " + box.sup + " against " + supWant);
      check(box.left === wid.left.map((v) => Number(v).toFixed(3)).join(" / "), text + " left widths " + box.left);
      check(box.right === wid.right.map((v) => Number(v).toFixed(3)).join(" / "), text + " right widths " + box.right);
      check(box.marker, text + " marked on the plan and the profile");
    }
    await page.$eval("#plan-drawing", (el) => el.scrollIntoView());
    await page.screenshot({ path: path.join(screens, "report-plan.png") });
    await page.$eval("#profile-drawing", (el) => el.scrollIntoView());
    await page.screenshot({ path: path.join(screens, "report-profile.png") });

    // The section viewer: the arrow keys and the slider step through the
    // sections in station order, each drawn with its points and extent.
    const want = hdmSections();
    const current = () => page.evaluate(() => {
      const v = document.querySelector(".section-view.current");
      const svg = v.querySelector("svg");
      const t = svg.getAttribute("data-transform").split(" ").map(Number);
      const d = svg.querySelector("g#plot > path.ground-line").getAttribute("d").split(/\s+/);
      const xs = [];
      for (let i = 0; i < d.length; i += 3) xs.push((Number(d[i + 1]) - t[0]) / t[1]);
      const shown = document.querySelectorAll(".section-view.current").length;
      return { station: Number(v.getAttribute("data-station")), count: xs.length,
               lo: Math.min(...xs), hi: Math.max(...xs), shown, visible: svg.getBoundingClientRect().width > 0,
               slider: Number(document.getElementById("section-slider").value) };
    });
    const max = await page.$eval("#section-slider", (el) => Number(el.max));
    check(max + 1 === want.length, "the slider runs over the " + want.length + " sections: " + (max + 1));
    await page.$eval("#section-controls", (el) => el.scrollIntoView({ block: "center" }));
    // Arrow keys typed in the station box move its cursor, not the sections.
    await page.$eval("#station-input", (el) => el.blur());
    for (let i = 0; i < want.length; ++i) {
      if (i > 0) await page.keyboard.press("ArrowRight");
      const c = await current();
      const ok = c.station === want[i].station && c.count === want[i].points && c.shown === 1 && c.visible &&
        Math.abs(c.lo - want[i].lo) < 1e-3 && Math.abs(c.hi - want[i].hi) < 1e-3 && c.slider === i;
      check(ok, "section " + i + " at " + want[i].station + ": " + JSON.stringify(c));
      if (i === 3) await page.screenshot({ path: path.join(screens, "report-section.png") });
    }
    await page.keyboard.press("ArrowRight");
    check((await current()).station === want[want.length - 1].station, "the last section stays on ArrowRight");
    await page.keyboard.press("ArrowLeft");
    check((await current()).station === want[want.length - 2].station, "ArrowLeft steps back");
    await page.$eval("#section-slider", (el) => { el.value = 5; el.dispatchEvent(new Event("input")); });
    check((await current()).station === want[5].station, "the slider shows its section");
    await page.click("#section-prev");
    check((await current()).station === want[4].station, "Previous steps back");

    // The tables hold the files' rows.
    const rows = (id) => page.$$eval("#" + id + " tbody tr", (trs) => trs.map((tr) =>
      Array.from(tr.children).map((td) => td.textContent)));
    const supFile = fs.readFileSync(demo("sup"), "utf8").split(/\r?\n/).slice(1).filter((l) => l.trim())
      .map((l) => l.trim().split(/\s+/).map(Number));
    const supRows = await rows("superelevation");
    check(supRows.length === supFile.length, "superelevation rows " + supRows.length);
    supFile.forEach((f, i) => {
      // A file row reads left outer, middle, inner, station, right inner, middle, outer.
      const r = supRows[i] || [];
      const got = [r[1], r[4], r[3], r[2], r[5], r[6], r[7]].map(Number);
      const fileRow = [f[3], f[0], f[1], f[2], f[4], f[5], f[6]];
      check(got.every((v, k) => Math.abs(v - fileRow[k]) < 1e-9), "superelevation row " + i + ": " + r.join(" "));
    });
    const zdmRows = await rows("vertical-curves");
    const zdmCount = Number(fs.readFileSync(demo("zdm"), "utf8").split(/\r?\n/)[1]);
    check(zdmRows.length === zdmCount, "grade point rows " + zdmRows.length + " of " + zdmCount);
    const tfCount = fs.readFileSync(demo("tf"), "utf8").split(/\r?\n/).slice(2).filter((l) => l.trim()).length;
    const tfRows = await rows("earthwork");
    check(tfRows.length === tfCount + 1 && tfRows[tfRows.length - 1][0] === "Total",
          "earthwork rows " + tfRows.length + " with the totals");
    check((await rows("structures")).length === 3 && (await rows("culverts")).length === 2,
          "the structures and culverts of the control data");
    const mains = await rows("main-points");
    check(mains.length > 2 && mains[0][0] === "BP" && mains[mains.length - 1][0] === "EP",
          "main points from BP to EP: " + mains.map((r) => r[0]).join(" "));
    await page.$eval("#tables", (el) => el.scrollIntoView());
    await page.screenshot({ path: path.join(screens, "report-tables.png") });

    // Printed, the page holds one drawing to a sheet.
    await page.emulateMediaType("print");
    const printed = await page.$$eval(".section-view", (vs) => vs.filter((v) => getComputedStyle(v).display !== "none").length);
    check(printed === want.length, "every section printed: " + printed);
    check(errors.length === 0 && requests.length === 0, "still no console error or request");
  } finally {
    await browser.close();
  }
  console.log(passes + " passed, " + failures + " failed");
  process.exit(failures ? 1 : 0);
})().catch((e) => {
  console.log("FAILED: " + (e && e.stack ? e.stack : e));
  process.exit(1);
});
