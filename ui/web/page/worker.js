// The page's worker: the core (QuorvelCore, the CLI's conversion code as WebAssembly) over MEMFS.
// Each run writes the inputs into a fresh folder, converts there as quorvel-cli would in the
// inputs' folder, reads the outputs back and empties the folder again.
'use strict';
let core = null;
let files = new Map(); // name -> Uint8Array
let runs = 0;

function bytesOf(base64) {
    const raw = atob(base64);
    const bytes = new Uint8Array(raw.length);
    for (let i = 0; i < raw.length; ++i) bytes[i] = raw.charCodeAt(i);
    return bytes;
}

// The inverse of the build's byte planes (build-page.mjs).
function unplane(bytes, planes, length) {
    const out = new Uint8Array(length);
    const per = Math.floor(length / planes);
    for (let p = 0; p < planes; ++p) for (let i = 0; i < per; ++i) out[i * planes + p] = bytes[p * per + i];
    out.set(bytes.subarray(per * planes), per * planes);
    return out;
}

function call(name, text) {
    const length = core.lengthBytesUTF8(text) + 1;
    const at = core._malloc(length);
    try {
        core.stringToUTF8(text, at, length);
        return JSON.parse(core.UTF8ToString(core[name](at)));
    } finally {
        core._free(at);
    }
}

async function init(message) {
    const wasm = fflate.inflateSync(bytesOf(message.wasm));
    const grid = unplane(fflate.inflateSync(bytesOf(message.grid)), 4, message.gridBytes);
    core = await QuorvelCore({ wasmBinary: wasm, print: () => {}, printErr: () => {} });
    core.FS.mkdir('/data');
    core.FS.writeFile('/data/TKY2JGD.grid', grid);
    core.ccall('quorvel_init', null, ['string'], ['/data']);
    return { type: 'ready', formats: JSON.parse(core.UTF8ToString(core._quorvel_formats())) };
}

// The CLI's lines: a warning after "警告: ". Past 500 (a file of 100,000 points at sea has a
// warning each), the page shows the first and offers all as text: the rest never reach it one
// by one.
const lineOf = (m) => (m.kind === 'warning' ? `警告: ${m.text}` : m.text);
function pack(lines) {
    const shown = lines.slice(0, 500);
    const all = lines.length > shown.length ? new TextEncoder().encode(lines.map(lineOf).join('\n') + '\n') : new Uint8Array(0);
    return { shown, count: lines.length, bytes: all };
}

// The map's markers from the listing's lines (fields 8: shifted, 11 and 12: WGS 84 in full), made
// here so that 100,000 of them cost the page nothing: [x, y, line, latitude, longitude] a marker,
// x and y in Leaflet's world pixels at zoom 0 (Web Mercator, as its EPSG:3857 projects them),
// sorted by x; and their bounds.
function markersOf(points) {
    const lines = points.split('\n');
    const found = [];
    for (let row = 0; row < lines.length; ++row) {
        const p = lines[row].split('\t', 13);
        if (p[8] === '1') found.push(row, Number(p[11]), Number(p[12]));
    }
    const count = found.length / 3;
    const xs = new Float64Array(count), ys = new Float64Array(count);
    let south = 90, north = -90, west = 180, east = -180;
    for (let i = 0; i < count; ++i) {
        const lat = found[3 * i + 1], lon = found[3 * i + 2];
        const clamped = Math.max(Math.min(lat, 85.0511287798), -85.0511287798) * Math.PI / 180;
        xs[i] = 256 * (0.5 + lon / 360);
        ys[i] = 256 * (0.5 - Math.log(Math.tan(Math.PI / 4 + clamped / 2)) / (2 * Math.PI));
        south = Math.min(south, lat), north = Math.max(north, lat), west = Math.min(west, lon), east = Math.max(east, lon);
    }
    const order = Array.from({ length: count }, (_, i) => i).sort((a, b) => xs[a] - xs[b]);
    const markers = new Float64Array(count * 5);
    order.forEach((i, k) => markers.set([xs[i], ys[i], found[3 * i], found[3 * i + 1], found[3 * i + 2]], k * 5));
    return { markers, bounds: count ? [[south, west], [north, east]] : null };
}

function removeTree(path) {
    for (const name of core.FS.readdir(path)) {
        if (name === '.' || name === '..') continue;
        const full = `${path}/${name}`;
        if (core.FS.isDir(core.FS.stat(full).mode)) removeTree(full);
        else core.FS.unlink(full);
    }
    core.FS.rmdir(path);
}

// Converts, posts the outputs, then lists the points and posts them: the downloads do not wait
// for the table of a large input.
function run(message) {
    const started = performance.now();
    const folder = `/job${++runs}`;
    core.FS.mkdir(folder);
    try {
        for (const name of message.request.inputs) core.FS.writeFile(`${folder}/${name}`, files.get(name));
        core.FS.chdir(folder);
        const request = JSON.stringify(message.request);
        const answer = call('_quorvel_convert', request);
        const converted = performance.now();
        const read = (name) => ({ name, bytes: core.FS.readFile(name) });
        const outputs = [];
        // A set (or several outputs) is offered as one zip too, made here off the page's thread; stored,
        // not deflated: 143 documents of a 100,000-point input take 1.6 s to deflate.
        const zips = [];
        const zip = (name, set) => zips.push({ name, bytes: fflate.zipSync(Object.fromEntries(set.map((f) => [f.name, f.bytes])), { level: 0 }) });
        for (const job of answer.jobs || []) {
            const set = job.outputs.map(read);
            for (const file of set) outputs.push(file);
            if (set.length > 1) zip(job.output.replace(/\.[^.]*$/, '') + '.zip', set);
        }
        if ((answer.jobs || []).length > 1 && outputs.length > 1) zip('quorvel.zip', outputs);
        const generated = (answer.generated || []).map(read);
        const lines = (answer.editMessages || []).slice();
        if (answer.error) lines.push({ kind: 'failure', text: answer.error });
        if (answer.plan) lines.push({ kind: 'failure', text: answer.plan });
        for (const job of answer.jobs || []) {
            for (const m of job.messages) lines.push(m); // not push(...): too many arguments for 100,000
            delete job.messages;
        }
        const seen = new Set(lines.map(lineOf));
        const ms = { convert: answer.ms, call: converted - started, zip: performance.now() - converted, total: performance.now() - started };
        const packed = pack(lines);
        postMessage({ type: 'result', id: message.id, answer, lines: packed, outputs, generated, zips, ms },
            outputs.concat(generated, zips, [packed]).map((file) => file.bytes.buffer));

        const listStarted = performance.now();
        const listed = call('_quorvel_list', request);
        const points = core.UTF8ToString(core._quorvel_points());
        // What only the listing says, once.
        const listLines = listed.error ? [{ kind: 'failure', text: listed.error }] : [];
        for (const list of listed.lists || []) {
            for (const m of list.messages) {
                if (!seen.has(lineOf(m))) listLines.push(m);
                seen.add(lineOf(m));
            }
            delete list.messages;
        }
        const { markers, bounds } = markersOf(points);
        const packedList = pack(listLines);
        postMessage({ type: 'list', id: message.id, lists: listed.lists || [], lines: packedList, points, markers, bounds,
            ms: { list: listed.ms, total: performance.now() - listStarted } }, [markers.buffer, packedList.bytes.buffer]);
    } finally {
        core.FS.chdir('/');
        removeTree(folder);
    }
}

onmessage = async (event) => {
    const message = event.data;
    try {
        if (message.type === 'init') {
            postMessage(await init(message));
        } else if (message.type === 'files') {
            files = new Map(message.files.map((file) => [file.name, new Uint8Array(file.bytes)]));
        } else if (message.type === 'run') {
            run(message);
        }
    } catch (error) {
        postMessage({ type: 'error', id: message.id, text: String(error && error.message ? error.message : error) });
    }
};
