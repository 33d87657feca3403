// Reads the IFC files `qdat export ifc` writes with an independent reader,
// web-ifc, and checks them against the tool's own answers:
//  - every instance of the file parses, and web-ifc reports no error;
//  - the points web-ifc draws from the layouts lie on the alignment
//    (`qdat locate`, offset within 1 mm, stations in order) and on the
//    profile (`qdat profile`, within 1 mm);
//  - the layout segments read back (types, lengths, radii, start points and
//    directions, heights and gradients) agree with `qdat plan --json` and
//    `qdat profile --json`;
//  - the geometry (the composite curve and the gradient curve), evaluated
//    here from IFC's definitions of its curves, lies on the alignment and
//    the profile at the right distances along;
//  - the stationing referents and the cant are the ones the inputs give.
//
// web-ifc computes its points from the layouts alone and draws some
// segments wrongly (spirals between two finite radii, a first segment whose
// curvature decreases, vertical arcs of negative radius); those are checked
// by their parameters only.
//
// Usage: node check-ifc.js QDAT SOURCE_DIR WORK_DIR NODE_MODULES
'use strict';

const fs = require('fs');
const path = require('path');
const { execFileSync } = require('child_process');

const [qdat, sourceDir, workDir, modules] = process.argv.slice(2);
const WebIFC = require(path.join(modules, 'web-ifc'));

const MM = 0.001;
let failures = 0;
let checks = 0;
function check(ok, what) {
  checks++;
  if (!ok) failures++, console.error('FAIL: ' + what);
}
const near = (a, b, tol) => Math.abs(a - b) <= tol;

function run(args, input) {
  return execFileSync(qdat, args, { input, encoding: 'utf8', maxBuffer: 1 << 26 });
}

// Stations and offsets of points given as IFC (easting, northing).
function locate(plan, points) {
  const csv = points.map((p) => `${p.y},${p.x}`).join('\n') + '\n';
  const lines = run(['locate', plan, '--csv', '-'], csv).trim().split('\n').slice(1);
  return lines.map((l) => ({ station: Number(l.split(',')[2]), offset: Number(l.split(',')[3]) }));
}

// Station text as the tool reads it: digits and a decimal point.
const fixed = (s) => s.toFixed(7);

// Continuous stations as the lettered text the tool reads through a chain
// table.
function stationTexts(stations, chainOptions) {
  if (chainOptions.length === 0) return stations.map(fixed);
  const out = run(['station', 'format', ...stations.map(fixed), '--precision', '7', ...chainOptions]);
  return out.trim().split('\n').map((l) => l.split('\t')[1]);
}

function profileAt(zdm, stations, chainOptions) {
  if (stations.length === 0) return [];
  const texts = stationTexts(stations, chainOptions);
  const rows = JSON.parse(run(['profile', zdm, '--json', ...chainOptions, '--at', ...texts]));
  return rows.map((r) => ({ elevation: r.elevation, grade: r.grade }));
}

function planAt(plan, stations) {
  return JSON.parse(run(['plan', plan, '--json', '--at', ...stations.map(fixed)]));
}

// --- reading the file's instances --------------------------------------
function value(v) {
  if (v === null || v === undefined) return v;
  if (typeof v === 'object' && 'value' in v) return v.value;
  return v;
}
function makeReader(api, model) {
  const cache = new Map();
  const line = (id) => {
    if (!cache.has(id)) cache.set(id, api.GetLine(model, id, false));
    return cache.get(id);
  };
  const ofType = (type) => {
    const ids = api.GetLineIDsWithType(model, type);
    const out = [];
    for (let i = 0; i < ids.size(); i++) out.push(ids.get(i));
    return out;
  };
  return { line, ofType, ref: (h) => line(value(h)) };
}

// What an object nests, in order, over all its nesting relations.
function nested(reader, relating) {
  const out = [];
  for (const id of reader.ofType(WebIFC.IFCRELNESTS)) {
    const rel = reader.line(id);
    if (value(rel.RelatingObject) === relating) out.push(...rel.RelatedObjects.map(value));
  }
  return out;
}

function layoutOf(reader, alignmentId, type) {
  for (const id of nested(reader, alignmentId)) if (reader.line(id).type === type) return id;
  return null;
}

// --- evaluating IFC's curves -------------------------------------------
function placement2D(reader, h) {
  const p = reader.ref(h);
  const loc = reader.ref(p.Location).Coordinates.map(value);
  const dir = p.RefDirection ? reader.ref(p.RefDirection).DirectionRatios.map(value) : [1, 0];
  const n = Math.hypot(dir[0], dir[1]);
  return { x: loc[0], y: loc[1], ux: dir[0] / n, uy: dir[1] / n };
}
const apply = (pl, x, y) => ({ x: pl.x + pl.ux * x - pl.uy * y, y: pl.y + pl.uy * x + pl.ux * y });

// Simpson's rule over [0, u] with n panels.
function simpson(f, u, n = 400) {
  const h = u / n;
  let s = f(0) + f(u);
  for (let i = 1; i < n; i++) s += (i % 2 ? 4 : 2) * f(i * h);
  return (s * h) / 3;
}

// A parent curve as a function of its length measure: point and tangent
// angle in the coordinates its Position places it in.
function parentCurve(reader, h) {
  const c = reader.ref(h);
  if (c.type === WebIFC.IFCLINE) {
    const p = reader.ref(c.Pnt).Coordinates.map(value);
    const d = reader.ref(reader.ref(c.Dir).Orientation).DirectionRatios.map(value);
    const n = Math.hypot(d[0], d[1]);
    return (u) => ({ x: p[0] + (u * d[0]) / n, y: p[1] + (u * d[1]) / n, angle: Math.atan2(d[1], d[0]) });
  }
  const pos = placement2D(reader, c.Position);
  const axis = Math.atan2(pos.uy, pos.ux);
  if (c.type === WebIFC.IFCCIRCLE) {
    const r = value(c.Radius);
    return (u) => {
      const t = u / r;
      const q = apply(pos, r * Math.cos(t), r * Math.sin(t));
      return { x: q.x, y: q.y, angle: axis + t + Math.PI / 2 };
    };
  }
  if (c.type === WebIFC.IFCCLOTHOID) {
    const a = value(c.ClothoidConstant);
    const theta = (t) => (Math.sign(a) * t * t) / (2 * a * a);
    return (u) => {
      const x = simpson((t) => Math.cos(theta(t)), u);
      const y = simpson((t) => Math.sin(theta(t)), u);
      const q = apply(pos, x, y);
      return { x: q.x, y: q.y, angle: axis + theta(u) };
    };
  }
  if (c.type === WebIFC.IFCPOLYNOMIALCURVE) {
    const cx = c.CoefficientsX.map(value);
    const cy = c.CoefficientsY.map(value);
    const poly = (k, t) => k.reduce((s, v, i) => s + v * t ** i, 0);
    const dpoly = (k, t) => k.reduce((s, v, i) => s + (i ? i * v * t ** (i - 1) : 0), 0);
    const speed = (t) => Math.hypot(dpoly(cx, t), dpoly(cy, t));
    // The parameter at an arc length, by bisection on the integrated length.
    const paramAt = (u) => {
      let lo = 0;
      let hi = Math.abs(u) * 2 + 1;
      for (let i = 0; i < 60; i++) {
        const mid = (lo + hi) / 2;
        if (simpson(speed, mid, 200) < Math.abs(u)) lo = mid;
        else hi = mid;
      }
      return Math.sign(u) * lo;
    };
    return (u) => {
      const t = paramAt(u);
      const q = apply(pos, poly(cx, t), poly(cy, t));
      return { x: q.x, y: q.y, angle: axis + Math.atan2(dpoly(cy, t), dpoly(cx, t)) };
    };
  }
  throw new Error('parent curve of unknown type ' + c.type);
}

// Points along a curve segment: the parent's point at SegmentStart is placed
// at the segment's Placement, its tangent in the sense of travel along the
// Placement's RefDirection. Returns the points with their distance from the
// segment's start, and whether the parent's own Position already puts that
// point at the origin along +x (so that readers placing the parent in the
// Placement directly see the same curve).
function segmentPoints(reader, h, count) {
  const seg = reader.ref(h);
  const pl = placement2D(reader, seg.Placement);
  const start = value(seg.SegmentStart);
  const length = value(seg.SegmentLength);
  const f = parentCurve(reader, seg.ParentCurve);
  const p0 = f(start);
  const travel0 = p0.angle + (length < 0 ? Math.PI : 0);
  const turn = Math.atan2(pl.uy, pl.ux) - travel0;
  const rot = { x: 0, y: 0, ux: Math.cos(turn), uy: Math.sin(turn) };
  const aligned = Math.hypot(p0.x, p0.y) < 1e-6 && Math.abs(Math.sin(travel0)) < 1e-9 && Math.cos(travel0) > 0;
  const points = [];
  for (let i = 0; i <= count; i++) {
    const s = (Math.abs(length) * i) / count;
    const p = f(start + Math.sign(length || 1) * s);
    const q = apply(rot, p.x - p0.x, p.y - p0.y);
    points.push({ x: pl.x + q.x, y: pl.y + q.y, s });
  }
  return { points, length: Math.abs(length), aligned, transition: seg.Transition.value };
}

// --- the checks of one exported file ------------------------------------
async function checkFile(api, c) {
  const out = path.join(workDir, c.name + '.ifc');
  fs.rmSync(out, { force: true });
  const chain = c.breaks.flatMap((b) => ['--break', b]);
  const args = ['export', 'ifc', '--plan', c.plan, ...chain, '-o', out];
  if (c.project) args.push('--project', c.project);
  if (c.profile) args.push('--profile', c.profile);
  if (c.sup) args.push('--sup', c.sup);
  run(args);
  const text = fs.readFileSync(out, 'utf8');
  check(text.includes("FILE_SCHEMA(('IFC4X3_ADD2'));"), c.name + ': schema IFC4X3_ADD2');

  const errors = [];
  const original = { error: console.error, warn: console.warn };
  console.error = (...m) => errors.push(m.join(' '));
  console.warn = (...m) => errors.push(m.join(' '));
  const model = api.OpenModel(new Uint8Array(fs.readFileSync(out)));
  const reader = makeReader(api, model);
  const all = api.GetAllLines(model);
  let unread = 0;
  for (let i = 0; i < all.size(); i++) {
    try {
      reader.line(all.get(i));
    } catch (e) {
      unread++;
    }
  }
  const alignments = api.GetAllAlignments(model);
  console.error = original.error;
  console.warn = original.warn;
  check(all.size() > 50 && unread === 0, `${c.name}: all ${all.size()} instances parse (${unread} do not)`);
  check(errors.length === 0, `${c.name}: web-ifc reports no error (${errors.join('; ')})`);
  check(alignments.length === 1, `${c.name}: one alignment`);

  const alignmentId = reader.ofType(WebIFC.IFCALIGNMENT)[0];
  const hLayout = layoutOf(reader, alignmentId, WebIFC.IFCALIGNMENTHORIZONTAL);
  const hSegs = nested(reader, hLayout).map((id) => reader.ref(reader.line(id).DesignParameters));
  const start = c.start;

  // Business logic against `qdat plan`: start points, directions, radii.
  let along = 0;
  const starts = [];
  for (const s of hSegs) {
    starts.push(start + along);
    along += value(s.SegmentLength);
  }
  const mids = hSegs.map((s, i) => starts[i] + value(s.SegmentLength) / 2);
  const planStarts = planAt(c.plan, starts.map((s) => s + 1e-7));
  const planMids = planAt(c.plan, mids);
  const types = hSegs.map((s) => s.PredefinedType.value);
  check(JSON.stringify(types) === JSON.stringify(c.types), `${c.name}: segment types ${types}`);
  check(near(along, c.length, 1e-6), `${c.name}: length ${along} = ${c.length}`);
  hSegs.forEach((s, i) => {
    const p = reader.ref(s.StartPoint).Coordinates.map(value);
    const q = planStarts[i];
    check(near(p[0], q.y, 1e-6) && near(p[1], q.x, 1e-6), `${c.name}: segment ${i} starts at the plan's point`);
    const dir = Math.PI / 2 - q.azimuth;
    check(Math.abs(Math.sin(value(s.StartDirection) - dir)) < 1e-9, `${c.name}: segment ${i} direction`);
    const r1 = value(s.StartRadiusOfCurvature);
    const r2 = value(s.EndRadiusOfCurvature);
    const k = (r) => (r === 0 ? 0 : 1 / r);
    const kMid = (k(r1) + k(r2)) / 2;
    const planRadius = planMids[i].radius;
    if (kMid === 0) check(planRadius >= 9999, `${c.name}: segment ${i} straight`);
    else check(near(Math.abs(1 / kMid), planRadius, 1e-6 * planRadius), `${c.name}: segment ${i} radius ${1 / kMid} vs ${planRadius}`);
    // Left turns positive: the plan's azimuth (clockwise) falls.
    if (kMid !== 0 && value(s.SegmentLength) > 0) {
      const turn = planAt(c.plan, [starts[i] + value(s.SegmentLength) * 0.75])[0].azimuth - q.azimuth;
      check(Math.sign(Math.sin(turn)) === -Math.sign(kMid), `${c.name}: segment ${i} turns as its radius says`);
    }
  });

  // web-ifc's points on the alignment, except where it draws wrongly.
  const h = alignments[0].horizontal;
  check(h.length === hSegs.length, `${c.name}: web-ifc draws ${h.length} of ${hSegs.length} horizontal segments`);
  const kOf = (r) => (value(r) === 0 ? 0 : 1 / value(r));
  const drawn = [];
  hSegs.forEach((s, i) => {
    const k1 = Math.abs(kOf(s.StartRadiusOfCurvature));
    const k2 = Math.abs(kOf(s.EndRadiusOfCurvature));
    const type = s.PredefinedType.value;
    if (type === 'CLOTHOID' && k1 !== 0 && k2 !== 0) return;
    if (i === 0 && k2 < k1) return;
    const l = value(s.SegmentLength);
    const r = type === 'CLOTHOID' ? 1 / Math.max(k1, k2) : Infinity;
    // web-ifc's clothoid integration error at the ends, and 1 mm.
    const tol = MM + (type === 'CLOTHOID' ? (1.5 * l * Math.sin(l / (2 * r))) / 4000 : 0);
    drawn.push({ points: h[i].points, tol, from: starts[i], to: starts[i] + l, i });
  });
  const flat = drawn.flatMap((d) => d.points);
  const located = locate(c.plan, flat);
  let k = 0;
  const worst = { lines: 0, clothoids: 0 };
  for (const d of drawn) {
    let last = -Infinity;
    const kind = d.tol > MM ? 'clothoids' : 'lines';
    for (let j = 0; j < d.points.length; j++, k++) {
      const w = located[k];
      worst[kind] = Math.max(worst[kind], Math.abs(w.offset));
      check(Math.abs(w.offset) <= d.tol, `${c.name}: web-ifc point ${j} of segment ${d.i} off by ${w.offset}`);
      check(w.station >= last - 1e-6 && w.station >= d.from - d.tol && w.station <= d.to + d.tol,
        `${c.name}: web-ifc point ${j} of segment ${d.i} at station ${w.station} in order`);
      last = w.station;
    }
  }
  console.log(`${c.name}: ${flat.length} web-ifc plan points, worst offset ${worst.lines.toExponential(2)} m ` +
    `on lines and arcs, ${worst.clothoids.toExponential(2)} m on spirals`);

  // The composite curve, evaluated here, on the alignment.
  const composite = reader.ofType(WebIFC.IFCCOMPOSITECURVE)[0];
  const curveSegs = reader.line(composite).Segments.map((s) => segmentPoints(reader, s, 8));
  check(curveSegs.length === hSegs.length, `${c.name}: one curve segment per layout segment`);
  const geomPoints = [];
  curveSegs.forEach((g, i) => {
    check(g.aligned, `${c.name}: curve segment ${i}'s parent starts at its placement`);
    check(near(g.length, value(hSegs[i].SegmentLength), 1e-9), `${c.name}: curve segment ${i} length`);
    for (const p of g.points) geomPoints.push({ ...p, station: starts[i] + p.s });
  });
  const geomLocated = locate(c.plan, geomPoints);
  let geomWorst = 0;
  geomPoints.forEach((p, j) => {
    const w = geomLocated[j];
    geomWorst = Math.max(geomWorst, Math.abs(w.offset), Math.abs(w.station - p.station));
    check(Math.abs(w.offset) <= MM && near(w.station, p.station, MM),
      `${c.name}: geometry point at ${p.station} lies at ${w.station}, offset ${w.offset}`);
  });
  console.log(`${c.name}: ${geomPoints.length} points of the composite curve, worst ${geomWorst.toExponential(2)} m`);

  // Stationing referents.
  const referents = nested(reader, alignmentId).map((id) => reader.line(id)).filter((l) => l.type === WebIFC.IFCREFERENT);
  check(referents.length === 1 + c.breaks.length, `${c.name}: ${referents.length} referents`);
  const psets = new Map();
  for (const id of reader.ofType(WebIFC.IFCRELDEFINESBYPROPERTIES)) {
    const rel = reader.line(id);
    const set = reader.ref(rel.RelatingPropertyDefinition);
    const props = {};
    for (const p of set.HasProperties.map((x) => reader.ref(x))) props[value(p.Name)] = value(p.NominalValue);
    for (const o of rel.RelatedObjects) psets.set(value(o), { name: value(set.Name), props });
  }
  referents.forEach((r, i) => {
    const pset = psets.get(r.expressID);
    const distance = value(reader.ref(reader.ref(reader.ref(r.ObjectPlacement).RelativePlacement).Location).DistanceAlong);
    check(pset && pset.name === 'Pset_Stationing', `${c.name}: referent ${i} has Pset_Stationing`);
    // The continuous station of the referent's own text, read back by qdat.
    const continuous = Number(run(['station', 'parse', value(r.Name), ...chain]).trim().split(/\s+/).pop());
    check(near(start + distance, continuous, 1e-6), `${c.name}: referent ${value(r.Name)} at ${start + distance} vs ${continuous}`);
    if (i === 0) {
      check(pset && near(pset.props.Station, c.startStake, 1e-9), `${c.name}: start station`);
    } else {
      const [before, after] = c.breaks[i - 1].split(':').map(Number);
      check(pset && pset.props.IncomingStation === before && pset.props.Station === after,
        `${c.name}: break ${c.breaks[i - 1]} stated as ${JSON.stringify(pset && pset.props)}`);
    }
  });

  if (c.profile) checkVertical(api, c, reader, alignmentId, alignments[0], start, chain);
  if (c.cant) {
    const cLayout = layoutOf(reader, alignmentId, WebIFC.IFCALIGNMENTCANT);
    check(cLayout && near(value(reader.line(cLayout).RailHeadDistance), 1.5, 0), `${c.name}: rail head distance`);
    const cSegs = nested(reader, cLayout).map((id) => reader.ref(reader.line(id).DesignParameters));
    const got = cSegs.map((s) => [s.PredefinedType.value, value(s.StartDistAlong), value(s.HorizontalLength),
      value(s.StartCantLeft), value(s.EndCantLeft), value(s.StartCantRight), value(s.EndCantRight)]);
    check(got.length === c.cant.length, `${c.name}: ${got.length} cant segments`);
    c.cant.forEach((e, i) => check(got[i] && e.every((v, j) => (typeof v === 'string' ? v === got[i][j] : near(v, got[i][j], 1e-12))),
      `${c.name}: cant segment ${i} ${JSON.stringify(got[i])} vs ${JSON.stringify(e)}`));
  }
  api.CloseModel(model);
}

function checkVertical(api, c, reader, alignmentId, drawnAlignment, start, chain) {
  const vLayout = layoutOf(reader, alignmentId, WebIFC.IFCALIGNMENTVERTICAL);
  const vSegs = nested(reader, vLayout).map((id) => reader.ref(reader.line(id).DesignParameters));
  const types = vSegs.map((s) => s.PredefinedType.value);
  check(JSON.stringify(types) === JSON.stringify(c.vtypes), `${c.name}: vertical types ${types}`);
  // A segment's ends are asked for 2 mm inside it, beyond the station
  // tolerance, clear of a step or a grade point without a curve at its end;
  // the grade moves the height by far less than the tolerance there. A
  // zero-length segment (a step) states the height just after it.
  const nudge = 2 * MM;
  const inside = (d, len, u) =>
    start + d + (len === 0 ? nudge : Math.min(Math.max(u, Math.min(nudge, len / 2)), len - Math.min(nudge, len / 2)));
  const starts = vSegs.map((s) => inside(value(s.StartDistAlong), value(s.HorizontalLength), 0));
  const ends = vSegs.map((s) => inside(value(s.StartDistAlong), value(s.HorizontalLength), value(s.HorizontalLength)));
  const atStarts = profileAt(c.profile, starts, chain);
  const atEnds = profileAt(c.profile, ends, chain);
  vSegs.forEach((s, i) => {
    const h0 = value(s.StartHeight);
    const g1 = value(s.StartGradient);
    const g2 = value(s.EndGradient);
    const len = value(s.HorizontalLength);
    const heightAt = (x) => h0 + g1 * x + ((g2 - g1) * x * x) / (2 * (len || 1));
    check(near(heightAt(starts[i] - start - value(s.StartDistAlong)), atStarts[i].elevation, MM),
      `${c.name}: vertical segment ${i} starts at ${h0} vs ${atStarts[i].elevation}`);
    check(near(heightAt(ends[i] - start - value(s.StartDistAlong)), atEnds[i].elevation, MM),
      `${c.name}: vertical segment ${i} ends on the profile`);
    if (len > 0) {
      check(near(g1, atStarts[i].grade, 1e-5) && near(g2, atEnds[i].grade, 1e-5), `${c.name}: vertical segment ${i} gradients`);
      if (s.PredefinedType.value === 'PARABOLICARC')
        check(near(value(s.RadiusOfCurvature), len / (g2 - g1), 1e-6 * Math.abs(len / (g2 - g1))), `${c.name}: vertical radius ${i}`);
    }
  });

  // web-ifc's profile points, except the mirrored arcs of negative radius.
  const v = drawnAlignment.vertical;
  check(v.length === vSegs.length, `${c.name}: web-ifc draws ${v.length} of ${vSegs.length} vertical segments`);
  const pts = [];
  vSegs.forEach((s, i) => {
    if (value(s.RadiusOfCurvature) < 0 || value(s.HorizontalLength) === 0) return;
    const d = value(s.StartDistAlong);
    for (const p of v[i].points) pts.push({ station: inside(d, value(s.HorizontalLength), p.x - d), z: p.y });
  });
  const heights = profileAt(c.profile, pts.map((p) => p.station), chain);
  let worst = 0;
  pts.forEach((p, j) => {
    worst = Math.max(worst, Math.abs(p.z - heights[j].elevation));
    check(near(p.z, heights[j].elevation, MM), `${c.name}: web-ifc profile point at ${p.station}: ${p.z} vs ${heights[j].elevation}`);
  });
  console.log(`${c.name}: ${pts.length} web-ifc profile points, worst ${worst.toExponential(2)} m`);

  // The gradient curve, evaluated here, on the profile.
  const gradient = reader.ofType(WebIFC.IFCGRADIENTCURVE)[0];
  const segs = reader.line(gradient).Segments.map((h) => segmentPoints(reader, h, 6));
  check(segs.length === vSegs.length, `${c.name}: one gradient segment per vertical segment`);
  const gpts = [];
  segs.forEach((g, i) => {
    check(g.aligned, `${c.name}: gradient segment ${i}'s parent starts at its placement`);
    const d = value(vSegs[i].StartDistAlong);
    const len = value(vSegs[i].HorizontalLength);
    if (len === 0) return;
    for (const p of g.points) gpts.push({ station: inside(d, len, p.x - d), x: p.x, z: p.y, d });
  });
  const gh = profileAt(c.profile, gpts.map((p) => p.station), chain);
  gpts.forEach((p, j) => check(near(p.z, gh[j].elevation, MM),
    `${c.name}: gradient curve at ${start + p.x}: ${p.z} vs ${gh[j].elevation}`));
}

async function main() {
  fs.mkdirSync(workDir, { recursive: true });
  const api = new WebIFC.IfcAPI();
  await api.Init();
  const ex = (f) => path.join(sourceDir, 'examples', f);
  const data = (f) => path.join(sourceDir, 'tests', 'ifc', 'data', f);
  const demoTypes = ['LINE', 'CLOTHOID', 'CIRCULARARC', 'CLOTHOID', 'LINE', 'LINE'];
  const demoVTypes = ['CONSTANTGRADIENT', 'PARABOLICARC', 'CONSTANTGRADIENT', 'PARABOLICARC', 'CONSTANTGRADIENT',
    'PARABOLICARC', 'CONSTANTGRADIENT', 'CONSTANTGRADIENT', 'CONSTANTGRADIENT', 'CONSTANTGRADIENT'];
  const cases = [
    { name: 'demo-pm', plan: ex('demo-road.pm'), profile: ex('demo-road.zdm'), project: ex('demo-road.prj'),
      breaks: [], start: 0, startStake: 0, length: 1720, types: demoTypes, vtypes: demoVTypes },
    { name: 'demo-jd', plan: ex('demo-road.jd'), profile: ex('demo-road.zdm'), project: ex('demo-road.prj'),
      breaks: [], start: 0, startStake: 0, length: 1720, types: demoTypes, vtypes: demoVTypes },
    { name: 'every-element', plan: data('every-element.pm'), profile: data('every-element.zdm'),
      sup: data('railway.sup'), breaks: ['300:305', '650:660'], start: 0, startStake: 0, length: 940,
      types: ['LINE', 'CLOTHOID', 'CIRCULARARC', 'CLOTHOID', 'CIRCULARARC', 'CLOTHOID', 'LINE', 'CLOTHOID',
        'CIRCULARARC', 'CLOTHOID', 'CLOTHOID', 'LINE'],
      vtypes: ['CONSTANTGRADIENT', 'PARABOLICARC', 'CONSTANTGRADIENT', 'PARABOLICARC', 'CONSTANTGRADIENT',
        'PARABOLICARC', 'CONSTANTGRADIENT', 'CONSTANTGRADIENT', 'CONSTANTGRADIENT', 'CONSTANTGRADIENT',
        'PARABOLICARC', 'CONSTANTGRADIENT', 'CONSTANTGRADIENT'],
      // Cant of each rail: the railway table's per cent times 1.5 m / 2,
      // at the continuous stations of its stake stations.
      cant: [['CONSTANTCANT', 0, 100, 0, 0, 0, 0], ['LINEARTRANSITION', 100, 80, 0, 0.03, 0, -0.03],
        ['CONSTANTCANT', 180, 225, 0.03, 0.03, -0.03, -0.03], ['LINEARTRANSITION', 405, 150, 0.03, -0.0225, -0.03, 0.0225],
        ['CONSTANTCANT', 555, 80, -0.0225, -0.0225, 0.0225, 0.0225], ['LINEARTRANSITION', 635, 50, -0.0225, 0, 0.0225, 0],
        ['CONSTANTCANT', 685, 0, 0, 0, 0, 0]] },
  ];
  for (const c of cases) await checkFile(api, c);

  console.log(`${checks} checks, ${failures} failed`);
  process.exit(failures ? 1 : 0);
}

main().catch((e) => {
  console.error(e);
  process.exit(1);
});
