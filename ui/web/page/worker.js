// The page's worker: the core (QuorvelCore, the CLI's conversion code as WebAssembly) over MEMFS.
// Each run writes the inputs into a fresh folder, converts there as quorvel-cli would in the
// inputs' folder and reads the outputs back; the folder goes once its points are listed (or the
// next run starts).
'use strict';
let core = null;
let protocol = null; // what the page and the core agree on (WebProtocol.h)
let files = new Map(); // name -> Uint8Array
let runs = 0;

function bytesOf(base64) {
    const raw = atob(base64);
    const bytes = new Uint8Array(raw.length);
    for (let i = 0; i < raw.length; ++i) bytes[i] = raw.charCodeAt(i);
    return bytes;
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
    const grid = QuorvelGrids.unpack(fflate.inflateSync(bytesOf(message.grid)), message.gridBytes, message.gridScale);
    core = await QuorvelCore({ wasmBinary: wasm, print: () => {}, printErr: () => {} });
    core.FS.mkdir('/data');
    core.FS.writeFile('/data/TKY2JGD.grid', grid);
    core.FS.writeFile('/data/PatchJGD.grid', QuorvelGrids.unpack(fflate.inflateSync(bytesOf(message.patch)), message.patchBytes, message.patchScale));
    core.ccall('quorvel_init', null, ['string'], ['/data']);
    core.ccall('quorvel_language', null, ['string'], [message.language]);
    protocol = JSON.parse(core.UTF8ToString(core._quorvel_protocol()));
    return { type: 'ready', formats: JSON.parse(core.UTF8ToString(core._quorvel_formats())), protocol };
}

// A buffer the core left beside its last answer (protocol.buffers), copied out whole.
function buffer(which) {
    const at = core._quorvel_buffer(which) >>> 0;
    return core.HEAPU8.slice(at, at + (core._quorvel_buffer_size(which) >>> 0));
}

// A call's message lines for the page: the first ones to show (protocol.shownLines), and past
// them (a file of 100,000 points at sea has a warning each) all of them as the text file the page
// offers. A call the core could not answer has its reason as the only line.
function linesOf(answer) {
    if (answer.error) return { shown: [{ kind: 'failure', text: answer.error }], count: 1, file: null };
    const lines = answer.lines;
    return { shown: lines.shown, count: lines.count, file: lines.count > protocol.shownLines ? new Blob([buffer(protocol.buffers.lineText)]) : null };
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

// An entry's name in a zip the page makes, made as safe as the browser makes a download's: to the
// program that unpacks it the name is a path, so nothing may climb out of the folder (/, \, ..),
// hide the real extension behind a bidi override (invoice\u202Eslx.xml shows as invoicelmx.xls),
// steer a terminal or open a Windows device (CON, nul.xml). Japanese and other text stays.
const UNSAFE_IN_NAME = /[\u0000-\u001f\u007f-\u009f\u061c\u200e\u200f\u202a-\u202e\u2066-\u2069/\\:*?"<>|]|[\ud800-\udbff](?![\udc00-\udfff])|(?<![\ud800-\udbff])[\udc00-\udfff]/g;
const WINDOWS_DEVICE = /^(con|prn|aux|nul|com[0-9\u00b9\u00b2\u00b3]|lpt[0-9\u00b9\u00b2\u00b3]|conin\$|conout\$)\s*(\..*)?$/i;
function safeName(name) {
    let safe = String(name).replace(UNSAFE_IN_NAME, '_').replace(/\.{2,}/g, '.').replace(/^[\s.]+|[\s.]+$/g, '');
    if (WINDOWS_DEVICE.test(safe)) safe = `_${safe}`;
    return safe || '_';
}

// The safe names of a set, each once: two names made the same (or the same but for case, as
// Windows sees them) are told apart by a number, so that no file of the set replaces another.
function safeNames(names) {
    const taken = new Set();
    return names.map((name) => {
        const safe = safeName(name);
        const dot = safe.lastIndexOf('.');
        const [stem, extension] = dot > 0 ? [safe.slice(0, dot), safe.slice(dot)] : [safe, ''];
        let unique = safe;
        for (let n = 2; taken.has(unique.toLowerCase()); ++n) unique = `${stem} (${n})${extension}`;
        taken.add(unique.toLowerCase());
        return unique;
    });
}

// The CRC-32 of bytes by the core (zlib's; fflate's own takes a byte at a time), through a
// scratch buffer of its heap a megabyte at a time, so that no output is copied there whole.
const CRC_CHUNK = 1 << 20;
let crcScratch = 0;
function crc32(bytes) {
    if (!crcScratch) crcScratch = core._malloc(CRC_CHUNK);
    if (!crcScratch) throw new Error('no memory for the CRC');
    let crc = 0;
    for (let at = 0; at < bytes.length; at += CRC_CHUNK) {
        const chunk = bytes.subarray(at, at + CRC_CHUNK);
        core.HEAPU8.set(chunk, crcScratch);
        crc = core._quorvel_crc32(crc, crcScratch, chunk.length);
    }
    return crc >>> 0;
}

// A zip of stored entries [{name, bytes, blob}] by fflate's streaming writer: each entry's bytes
// pass through as they are, their CRC taken by the core (an entry of fflate's ZipInputFile form,
// as its ZipPassThrough but for the CRC), and the archive is made of the entries' own blobs, so
// that the 47 MB of a 100,000-point set are not copied once more.
function storedZip(entries, now = new Date()) {
    const blobOf = new Map(entries.map((entry) => [entry.bytes, entry.blob]));
    const parts = [];
    let failure = null;
    const zip = new fflate.Zip((error, chunk) => {
        if (error) failure = failure || error;
        else if (chunk) parts.push(blobOf.get(chunk) || chunk);
    });
    for (const entry of entries) {
        const file = { filename: entry.name, compression: 0, mtime: now, size: entry.bytes.length, crc: crc32(entry.bytes) };
        zip.add(file);
        file.ondata(null, entry.bytes, true);
    }
    zip.end();
    if (failure) throw failure;
    return new Blob(parts);
}

// The run whose points are listed when the page has shown its downloads: { id, folder, request }.
let pending = null;
function dropPending() {
    if (pending) removeTree(pending.folder);
    pending = null;
}

// Converts and posts the outputs; the points are listed when the page asks (list), once it has
// shown the downloads: they wait neither for the table of a large input nor share the machine with
// it. Files reach the page as blobs, made here off its thread.
function run(message) {
    dropPending();
    const started = performance.now();
    const folder = `/job${++runs}`;
    core.FS.mkdir(folder);
    let kept = false;
    try {
        for (const name of message.request[protocol.options.inputs]) core.FS.writeFile(`${folder}/${name}`, files.get(name));
        // The inputs as the user edited them are written here by the core.
        core.FS.mkdir(`${folder}/${protocol.editedFolder}`);
        core.FS.chdir(folder);
        const request = JSON.stringify(message.request);
        const answer = call('_quorvel_convert', request);
        const converted = performance.now();
        const lines = linesOf(answer);
        const jobs = answer.jobs || [];
        // A file the core wrote, its bytes as MEMFS holds them (not copied: its blob is made at once,
        // before the folder goes).
        const read = (name) => {
            const node = core.FS.lookupPath(name).node;
            const bytes = ArrayBuffer.isView(node.contents) ? node.contents.subarray(0, node.usedBytes) : core.FS.readFile(name);
            return { name, bytes, blob: new Blob([bytes]) };
        };
        const file = (f) => ({ name: f.name, blob: f.blob });
        // A set (or several outputs) is offered as one zip too; stored, not deflated: 143
        // documents of a 100,000-point input take 1.6 s to deflate.
        const zips = [];
        const zip = (name, set) => {
            const names = safeNames(set.map((f) => f.name));
            zips.push({ name, blob: storedZip(set.map((f, i) => ({ name: names[i], bytes: f.bytes, blob: f.blob }))) });
        };
        const all = [];
        for (const job of jobs) {
            const set = job.outputs.map(read);
            for (const f of set) all.push(f);
            if (set.length > 1) zip(job.zip, set);
        }
        if (jobs.length > 1 && all.length > 1) zip(protocol.files.allZip, all);
        const outputs = all.map(file);
        const generated = (answer.generated || []).map((name) => file({ name, blob: read(`${protocol.editedFolder}/${name}`).blob }));
        const ms = { convert: answer.ms, call: converted - started, zip: performance.now() - converted, total: performance.now() - started };
        postMessage({ type: 'result', id: message.id, jobs, lines, outputs, generated, zips, ms });
        pending = { id: message.id, folder, request };
        kept = true;
    } finally {
        core.FS.chdir('/');
        if (!kept) removeTree(folder);
    }
}

// The points of the run the page showed, as the conversion read them (edits included).
function list(message) {
    if (!pending || pending.id !== message.id) return;
    const { folder, request } = pending;
    core.FS.chdir(folder);
    try {
        const listStarted = performance.now();
        const listed = call('_quorvel_list', request);
        const listLines = linesOf(listed);
        const B = protocol.buffers;
        const points = buffer(B.points), starts = buffer(B.pointStarts), markers = buffer(B.markers);
        postMessage({ type: 'list', id: message.id, lists: listed.lists || [], lines: listLines, unread: Boolean(listed.unread),
            bounds: listed.bounds || null, points, starts: new Uint32Array(starts.buffer), markers: new Float64Array(markers.buffer),
            ms: { list: listed.ms, total: performance.now() - listStarted } }, [points.buffer, starts.buffer, markers.buffer]);
    } finally {
        core.FS.chdir('/');
        dropPending();
    }
}

// The readings' data as the build packed it (page/readings.js): 'QRD1', the directory's length
// and the directory, then every file's parts deflated as one; its files go into /ipadic, where
// the core guesses readings from. The answer says whether it does.
// The browser's own inflater where it has one (five times fflate's speed).
async function inflated(bytes) {
    if (typeof DecompressionStream === 'undefined') return fflate.inflateSync(bytes);
    return new Uint8Array(await new Response(new Blob([bytes]).stream().pipeThrough(new DecompressionStream('deflate-raw'))).arrayBuffer());
}

async function dictionary(message) {
    const started = performance.now();
    const packed = typeof message.data === 'string' ? bytesOf(message.data) : new Uint8Array(message.data);
    const view = new DataView(packed.buffer, packed.byteOffset, packed.length);
    if (packed.length < 8 || String.fromCharCode(...packed.subarray(0, 4)) !== 'QRD1') throw new Error('the readings\' data is not of this page');
    const length = view.getUint32(4, true);
    const directory = JSON.parse(new TextDecoder().decode(packed.subarray(8, 8 + length)));
    const files = QuorvelReadings.unpack(directory, await inflated(packed.subarray(8 + length)));
    core.FS.mkdir('/ipadic');
    for (const [name, bytes] of files) core.FS.writeFile(`/ipadic/${name}`, bytes);
    const answer = JSON.parse(core.UTF8ToString(core._quorvel_guess(1)));
    return { type: 'dictionary', ...answer, ms: performance.now() - started };
}

// The user's readings, read by the core once from a folder of their own (its messages name the
// file as the user named it) and kept for every later run; no bytes drop them.
function readings(message) {
    core.FS.mkdir('/readings');
    try {
        if (message.bytes) core.FS.writeFile(`/readings/${message.name}`, new Uint8Array(message.bytes));
        core.FS.chdir('/readings');
        return { type: 'readings', name: message.name, ...call('_quorvel_readings', message.bytes ? message.name : '') };
    } finally {
        core.FS.chdir('/');
        removeTree('/readings');
    }
}

onmessage = async (event) => {
    const message = event.data;
    try {
        if (message.type === 'init') {
            postMessage(await init(message));
        } else if (message.type === 'files') {
            files = new Map(message.files.map((file) => [file.name, new Uint8Array(file.bytes)]));
        } else if (message.type === 'dictionary') {
            postMessage(await dictionary(message).catch((error) => ({ type: 'dictionary', guess: false, error: String(error && error.message ? error.message : error) })));
        } else if (message.type === 'readings') {
            postMessage(readings(message));
        } else if (message.type === 'run') {
            run(message);
        } else if (message.type === 'list') {
            list(message);
        }
    } catch (error) {
        postMessage({ type: 'error', id: message.id, text: String(error && error.message ? error.message : error) });
    }
};
