#include <qdat/exchange/detail/ReportPage.h>

#include <cmath>

#include <qdat/docbase/NumberFormat.h>
#include <qdat/host/HostException.h>

namespace qdat::report {
namespace {

constexpr const char* kStyle = R"CSS(
body { font-family: sans-serif; margin: 0; color: #222; }
header { background: #2c3e50; color: #fff; padding: 10px 20px; }
header h1 { margin: 0; font-size: 20px; }
nav a { color: #fff; margin-right: 14px; font-size: 13px; }
main { padding: 0 20px 40px; }
h2 { border-bottom: 2px solid #2c3e50; padding-top: 14px; }
h2, table, .drawing-block, #section-controls { scroll-margin-top: 130px; }
table { border-collapse: collapse; margin: 8px 0 18px; font-size: 12px; }
caption { text-align: left; font-weight: bold; padding: 4px 0; }
th, td { border: 1px solid #bbb; padding: 2px 6px; }
th { background: #eef; }
td.n { text-align: right; font-variant-numeric: tabular-nums; }
tr.total td { font-weight: bold; background: #f4f4f4; }
.note { color: #8a4b00; }
.drawing { border: 1px solid #999; overflow: hidden; cursor: grab; background: #fff; height: 70vh; }
.drawing svg { width: 100%; height: 100%; display: block; }
.controls { margin: 6px 0; font-size: 13px; }
.controls button { margin-right: 6px; }
#station-box { position: sticky; top: 0; z-index: 2; background: #f7f7fb; border: 1px solid #bbc;
  padding: 6px 10px; margin: 10px 0; font-size: 13px; }
#station-box table { margin: 4px 0 0; }
#station-message { color: #8a4b00; margin-left: 10px; }
.section-view { display: none; }
.section-view.current { display: block; }
#section-slider { width: 50%; vertical-align: middle; }
.marker { fill: none; stroke: #e67e22; stroke-width: 3; }
@media print {
  header nav, .controls, #station-box { display: none; }
  .drawing { height: auto; border: none; overflow: visible; }
  .drawing svg { width: 100%; height: auto; }
  .drawing-block, .section-view { break-after: page; page-break-after: always; }
  .section-view { display: block; }
  h2 { break-before: page; }
  h2:first-of-type { break-before: auto; }
}
)CSS";

// The script: pan and zoom on the drawings, the station box and the
// cross-section viewer. It reads the page's data object and asks for nothing
// from outside.
constexpr const char* kScript = R"JS(
"use strict";
const data = JSON.parse(document.getElementById("report-data").textContent);
const NS = "http://www.w3.org/2000/svg";

function transformOf(svg) {
  const t = svg.getAttribute("data-transform").split(" ").map(Number);
  return { ox: t[0], sx: t[1], oy: t[2], sy: t[3] };
}
function frameOf(svg) {
  const f = svg.getAttribute("data-frame").split(" ").map(Number);
  return { left: f[0], top: f[1], right: f[2], bottom: f[3] };
}

// Pan and zoom: the view box of the drawing moves; a double click fits it.
function panZoom(holder) {
  const svg = holder.querySelector("svg");
  if (!svg) return null;
  const home = svg.getAttribute("viewBox").split(" ").map(Number);
  let box = home.slice();
  const apply = () => svg.setAttribute("viewBox", box.join(" "));
  const toSvg = (ev) => {
    const r = svg.getBoundingClientRect();
    const k = Math.max(box[2] / r.width, box[3] / r.height);
    const cx = box[0] + box[2] / 2 - (r.width / 2) * k, cy = box[1] + box[3] / 2 - (r.height / 2) * k;
    return [cx + (ev.clientX - r.left) * k, cy + (ev.clientY - r.top) * k, k];
  };
  holder.addEventListener("wheel", (ev) => {
    ev.preventDefault();
    const [x, y] = toSvg(ev);
    const f = ev.deltaY < 0 ? 0.8 : 1.25;
    box = [x - (x - box[0]) * f, y - (y - box[1]) * f, box[2] * f, box[3] * f];
    apply();
  }, { passive: false });
  let drag = null;
  holder.addEventListener("mousedown", (ev) => { drag = toSvg(ev); });
  window.addEventListener("mouseup", () => { drag = null; });
  holder.addEventListener("mousemove", (ev) => {
    if (!drag) return;
    const [x, y] = toSvg(ev);
    box[0] -= x - drag[0];
    box[1] -= y - drag[1];
    apply();
  });
  const fit = () => { box = home.slice(); apply(); };
  holder.addEventListener("dblclick", fit);
  return {
    fit,
    zoom: (f) => { const cx = box[0] + box[2] / 2, cy = box[1] + box[3] / 2;
      box = [cx - box[2] * f / 2, cy - box[3] * f / 2, box[2] * f, box[3] * f]; apply(); },
    centre: (x, y) => { box[0] = x - box[2] / 2; box[1] = y - box[3] / 2; apply(); },
  };
}
const views = {};
for (const holder of document.querySelectorAll(".drawing")) {
  views[holder.id] = panZoom(holder);
}
for (const b of document.querySelectorAll("button[data-view]")) {
  b.addEventListener("click", () => {
    const v = views[b.getAttribute("data-view")];
    if (!v) return;
    const act = b.getAttribute("data-act");
    if (act === "fit") v.fit(); else v.zoom(act === "in" ? 0.5 : 2);
  });
}

// Station text: "K1+234.5" with the chain letters before the kilometre, or
// a plain continuous station.
function parseLettered(text) {
  const m = /^([A-Z]*)(\d+)\+(\d+(?:\.\d*)?)$/.exec(text.trim().toUpperCase().replace(/\s+/g, ""));
  return m ? { prefix: m[1], stake: Number(m[2]) * 1000 + Number(m[3]) } : null;
}
const rows = data.stations ? data.stations.rows : [];
const lettered = rows.map((r) => parseLettered(r[1]));
function stationOf(text) {
  const t = text.trim();
  if (/^[-+]?\d+(\.\d*)?$/.test(t)) return Number(t);
  const want = parseLettered(t);
  if (!want) return null;
  for (let i = 0; i < rows.length; ++i) {
    const a = lettered[i];
    if (a && a.prefix === want.prefix && Math.abs(a.stake - want.stake) < 1e-6) return rows[i][0];
  }
  for (let i = 0; i + 1 < rows.length; ++i) {
    const a = lettered[i], b = lettered[i + 1];
    if (!a || !b || a.prefix !== want.prefix || b.prefix !== want.prefix) continue;
    if (want.stake > a.stake && want.stake < b.stake)
      return rows[i][0] + (rows[i + 1][0] - rows[i][0]) * (want.stake - a.stake) / (b.stake - a.stake);
  }
  return null;
}
function lerp(a, b, t) {
  if (a === null || b === null) return null;
  if (Array.isArray(a)) return a.map((v, k) => lerp(v, b[k], t));
  return a + (b - a) * t;
}
function angleLerp(a, b, t) {
  if (a === null || b === null) return null;
  let d = b - a;
  if (d > 180) d -= 360;
  if (d < -180) d += 360;
  return (a + d * t + 360) % 360;
}
function valuesAt(s) {
  if (!rows.length || s < rows[0][0] - 1e-6 || s > rows[rows.length - 1][0] + 1e-6) return null;
  let i = 0;
  while (i + 1 < rows.length && rows[i + 1][0] <= s + 1e-9) ++i;
  const a = rows[i], b = rows[Math.min(i + 1, rows.length - 1)];
  if (Math.abs(a[0] - s) < 1e-6 || a === b) return { row: a, exact: true };
  const t = (s - a[0]) / (b[0] - a[0]);
  const row = a.map((v, k) => k === 1 ? null : k === 4 ? angleLerp(v, b[k], t) : lerp(v, b[k], t));
  row[0] = s;
  row[5] = a[5] === b[5] ? a[5] : (t < 0.5 ? a[5] : b[5]);
  return { row, exact: false, between: [a[1], b[1]] };
}
const fmt = (v, p) => v === null || v === undefined ? "" : Number(v).toFixed(p);
const list = (v, p) => v === null || v === undefined ? "none" : v.map((x) => fmt(x, p)).join(" / ");
function marker(svg, id, build) {
  const old = svg.getElementById(id);
  if (old) old.remove();
  const m = build();
  m.setAttribute("id", id);
  m.setAttribute("class", "marker");
  svg.appendChild(m);
}
function showStation(text) {
  const message = document.getElementById("station-message");
  const s = stationOf(text);
  if (s === null) { message.textContent = "No station " + text + " in the tabulated range"; return false; }
  const found = valuesAt(s);
  if (!found) { message.textContent = "Station " + text + " lies outside the tabulated range"; return false; }
  const r = found.row;
  message.textContent = found.exact ? "At a tabulated station" :
    "Interpolated between " + found.between[0] + " and " + found.between[1];
  const set = (id, v) => { document.getElementById(id).textContent = v; };
  set("sb-station", fmt(r[0], 3));
  set("sb-text", r[1] === null ? "" : r[1]);
  set("sb-x", fmt(r[2], 4));
  set("sb-y", fmt(r[3], 4));
  set("sb-azimuth", fmt(r[4], 6));
  set("sb-radius", fmt(r[5], 3));
  set("sb-design", fmt(r[6], 3));
  set("sb-ground", fmt(r[7], 3));
  set("sb-sup", list(r[8], 3));
  set("sb-wid-left", list(r[9], 3));
  set("sb-wid-right", list(r[10], 3));
  const plan = document.querySelector("#plan-drawing svg");
  if (plan && r[2] !== null) {
    const t = transformOf(plan);
    const px = t.ox + t.sx * r[3], py = t.oy - t.sy * r[2];
    marker(plan, "plan-marker", () => {
      const c = document.createElementNS(NS, "circle");
      c.setAttribute("cx", px); c.setAttribute("cy", py); c.setAttribute("r", 9);
      return c;
    });
    views["plan-drawing"].centre(px, py);
  }
  const profile = document.querySelector("#profile-drawing svg");
  if (profile) {
    const t = transformOf(profile), f = frameOf(profile);
    const px = t.ox + t.sx * r[0];
    marker(profile, "profile-marker", () => {
      const l = document.createElementNS(NS, "line");
      l.setAttribute("x1", px); l.setAttribute("x2", px); l.setAttribute("y1", f.top); l.setAttribute("y2", f.bottom);
      return l;
    });
  }
  return true;
}
document.getElementById("station-form").addEventListener("submit", (ev) => {
  ev.preventDefault();
  showStation(document.getElementById("station-input").value);
});

// The cross-section viewer.
const sectionViews = Array.from(document.querySelectorAll(".section-view"));
const slider = document.getElementById("section-slider");
let current = 0;
function showSection(i) {
  if (!sectionViews.length) return;
  current = Math.max(0, Math.min(sectionViews.length - 1, i));
  sectionViews.forEach((v, k) => v.classList.toggle("current", k === current));
  if (slider) slider.value = current;
  const v = sectionViews[current];
  document.getElementById("section-label").textContent =
    (current + 1) + " of " + sectionViews.length + ": " + v.getAttribute("data-text");
}
if (slider) {
  slider.addEventListener("input", () => showSection(Number(slider.value)));
  document.getElementById("section-prev").addEventListener("click", () => showSection(current - 1));
  document.getElementById("section-next").addEventListener("click", () => showSection(current + 1));
  document.addEventListener("keydown", (ev) => {
    if (ev.target && (ev.target.tagName === "INPUT" && ev.target.type === "text")) return;
    if (ev.key === "ArrowRight" || ev.key === "ArrowDown") { showSection(current + 1); ev.preventDefault(); }
    if (ev.key === "ArrowLeft" || ev.key === "ArrowUp") { showSection(current - 1); ev.preventDefault(); }
  });
  showSection(0);
}
)JS";

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

std::string SvgText(const pugi::xml_document& svg) {
    StringWriter writer;
    svg.document_element().print(writer, "", pugi::format_raw, pugi::encoding_utf8);
    return writer.text;
}

}  // namespace

Cell Cell::Number(double value, int places) {
    return {std::isfinite(value) ? FormatFixed(value, places) : std::string(), true};
}

std::string Escape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else if (c == '<') {
            // Never a closing script tag inside the data.
            out += "\\u003c";
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value, int places) {
    if (!std::isfinite(value)) return "null";
    std::string text = FormatFixed(value, places);
    return text == "-0" ? "0" : text;
}

void Page::Begin(const std::string& title) {
    m_title = title;
}

void Page::Heading(const std::string& id, const std::string& text) {
    m_contents.emplace_back(id, text);
    m_body += "<h2 id=\"" + Escape(id) + "\">" + Escape(text) + "</h2>\n";
}

void Page::Paragraph(const std::string& text) {
    m_body += "<p>" + Escape(text) + "</p>\n";
}

void Page::Note(const std::string& text) {
    m_body += "<p class=\"note\">" + Escape(text) + "</p>\n";
}

void Page::Table(const std::string& id, const std::string& caption, const std::vector<std::string>& headings,
                 const std::vector<std::vector<Cell>>& rows) {
    m_body += "<table id=\"" + Escape(id) + "\" data-rows=\"" + std::to_string(rows.size()) + "\"><caption>" +
              Escape(caption) + "</caption>\n<thead><tr>";
    for (const std::string& h : headings) m_body += "<th>" + Escape(h) + "</th>";
    m_body += "</tr></thead>\n<tbody>\n";
    for (const std::vector<Cell>& row : rows) {
        // A row whose first cell reads "Total" closes the table.
        const bool total = !row.empty() && row.front().text == "Total";
        m_body += total ? "<tr class=\"total\">" : "<tr>";
        for (const Cell& c : row)
            m_body += (c.number ? "<td class=\"n\">" : "<td>") + Escape(c.text) + "</td>";
        m_body += "</tr>\n";
    }
    m_body += "</tbody></table>\n";
}

void Page::Drawing(const std::string& id, const pugi::xml_document& svg) {
    m_body +=
        "<div class=\"drawing-block\"><div class=\"controls\">Wheel to zoom, drag to pan, double click "
        "to fit: <button type=\"button\" data-view=\"" +
        id + "\" data-act=\"in\">Zoom in</button><button type=\"button\" data-view=\"" + id +
        "\" data-act=\"out\">Zoom out</button><button type=\"button\" data-view=\"" + id +
        "\" data-act=\"fit\">Fit</button></div>\n<div class=\"drawing\" id=\"" + id + "\">" + SvgText(svg) +
        "</div></div>\n";
}

void Page::Data(const std::string& name, const std::string& json) {
    m_data += (m_data.empty() ? "" : ",") + JsonString(name) + ":" + json;
}

void Page::StationBox() {
    m_body += R"HTML(<div id="station-box"><form id="station-form">Station
<input id="station-input" type="text" size="14" placeholder="K0+250 or 250">
<button type="submit">Go</button><span id="station-message"></span></form>
<table><tr><th>Station</th><th>Text</th><th>X</th><th>Y</th><th>Azimuth (&deg;)</th><th>Radius</th>
<th>Design</th><th>Ground</th><th>Cross-falls (%)</th><th>Widths left</th><th>Widths right</th></tr>
<tr><td id="sb-station" class="n"></td><td id="sb-text"></td><td id="sb-x" class="n"></td>
<td id="sb-y" class="n"></td><td id="sb-azimuth" class="n"></td><td id="sb-radius" class="n"></td>
<td id="sb-design" class="n"></td><td id="sb-ground" class="n"></td><td id="sb-sup"></td>
<td id="sb-wid-left"></td><td id="sb-wid-right"></td></tr></table></div>
)HTML";
}

void Page::BeginSections() {
    m_body += R"HTML(<div class="controls" id="section-controls">
<button type="button" id="section-prev">Previous</button><button type="button" id="section-next">Next</button>
<input type="range" id="section-slider" min="0" value="0" step="1"> <span id="section-label"></span>
(arrow keys step through the sections)</div>
<div id="section-views">
)HTML";
}

void Page::Section(double station, const std::string& text, int points, double left, double right,
                   const pugi::xml_document& svg) {
    m_body += "<div class=\"section-view\" data-station=\"" + JsonNumber(station, 3) + "\" data-text=\"" +
              Escape(text) + "\" data-points=\"" + std::to_string(points) + "\" data-left=\"" +
              JsonNumber(left, 3) + "\" data-right=\"" + JsonNumber(right, 3) + "\">" + SvgText(svg) +
              "</div>\n";
    ++m_sections;
}

void Page::SectionNote(double station, const std::string& text, const std::string& message) {
    m_body += "<div class=\"section-view\" data-station=\"" + JsonNumber(station, 3) + "\" data-text=\"" +
              Escape(text) + "\" data-points=\"0\"><p class=\"note\">" + Escape(message) + "</p></div>\n";
    ++m_sections;
}

void Page::EndSections() {
    m_body += "</div>\n";
    const std::string marker = "id=\"section-slider\" min=\"0\"";
    const std::size_t at = m_body.rfind(marker);
    if (at != std::string::npos)
        m_body.insert(at + marker.size(),
                      " max=\"" + std::to_string(m_sections > 0 ? m_sections - 1 : 0) + "\"");
}

std::string Page::End() {
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>" +
                       Escape(m_title) + "</title>\n<style>" + kStyle +
                       "</style></head>\n<body>\n<header><h1>" + Escape(m_title) + "</h1><nav>";
    for (const auto& [id, text] : m_contents)
        html += "<a href=\"#" + Escape(id) + "\">" + Escape(text) + "</a>";
    html += "</nav></header>\n<main>\n" + m_body +
            "</main>\n<script type=\"application/json\" id=\"report-data\">{" + m_data +
            "}</script>\n<script>" + kScript + "</script>\n</body></html>\n";
    return html;
}

}  // namespace qdat::report
