// The page's zips (worker.js), checked in Node without a browser: the entry names (safeNames) of
// names made to climb out of the folder, disguise their extension, steer a terminal or open a
// Windows device; and the zips themselves (storedZip), read back by fflate's reader, their
// central directory's CRCs, names' UTF-8 flag and time checked. Prints one line a failed check and closes with "N passed, M failed".
import { readFileSync } from 'node:fs';
import { crc32 } from 'node:zlib';
import { runInNewContext } from 'node:vm';
import { unzipSync } from 'fflate';

const worker = readFileSync(new URL('../page/worker.js', import.meta.url), 'utf8');
// The core's CRC export (zlib's crc32_z over its heap) stands in as Node's zlib over a heap of its own.
const heap = new Uint8Array(2 << 20);
const core = { HEAPU8: heap, _malloc: (n) => (n <= heap.length - 16 ? 16 : 0), _quorvel_crc32: (crc, at, n) => crc32(heap.subarray(at, at + n), crc >>> 0) | 0 };
const context = { Blob, TextEncoder, fflate: await import('fflate'), testCore: core };
runInNewContext(`${worker}\ncore = this.testCore;\nthis.safeNames = safeNames;\nthis.storedZip = storedZip;`, context);

const cases = [
    // [names as the outputs came, names in the zip]
    [['..\\..\\evil.xml', '../../etc/passwd.gpx', '..'], ['_._evil.xml', '_._etc_passwd.gpx', '_']],
    [['invoice\u202Eslx.xml', 'a\u2066b\u2069\u200F.kml'], ['invoice_slx.xml', 'a_b__.kml']],
    [['\u001b]0;title\u0007.xml', 'tab\there\u0085.csv', 'a:b*c?"d"<e>|f.gpx'], ['_]0;title_.xml', 'tab_here_.csv', 'a_b_c__d__e__f.gpx']],
    [['CON', 'nul.xml', 'Com1.tar.gz', 'lpt9 .kml', 'console.xml', 'con-1.xml'], ['_CON', '_nul.xml', '_Com1.tar.gz', '_lpt9 .kml', 'console.xml', 'con-1.xml']],
    [['東京駅 丸の内-1.xml', '札幌 ♨ 🍜.gpx', ' .hidden. '], ['東京駅 丸の内-1.xml', '札幌 ♨ 🍜.gpx', 'hidden']],
    // Names made the same are told apart, Windows' case folding included.
    [['a/b.xml', 'a\\b.xml', 'A_B.xml', 'a_b (2).xml'], ['a_b.xml', 'a_b (2).xml', 'A_B (3).xml', 'a_b (2) (2).xml']],
    [['lone\ud800.xml'], ['lone_.xml']],
];
let passed = 0, failed = 0;
for (const [names, expected] of cases) {
    const got = context.safeNames(names);
    if (JSON.stringify(got) === JSON.stringify(expected)) passed++;
    else {
        failed++;
        console.log(`FAIL zip names ${JSON.stringify(names)}: ${JSON.stringify(got)}, wanted ${JSON.stringify(expected)}`);
    }
}

// Zips of entries [name, bytes]: what fflate reads back, and every entry's CRC as zlib has it.
const bytes = (n, seed) => Uint8Array.from({ length: n }, (_, i) => (i * 2654435761 + seed) >>> 11);
const zips = [
    [['a.xml', bytes(0, 1)]],
    [['東京-1.xml', bytes(1, 2)], ['東京-2.xml', bytes(7, 3)], ['b.csv', bytes(8, 4)], ['c.gpx', bytes(100003, 5)]],
    // More than the megabyte the CRC is taken a piece at a time of.
    [['d.xml', bytes((1 << 20) * 2 + 5, 6)], ['e.xml', bytes(1 << 20, 7)]],
];
for (const entries of zips) {
    const what = `zip of ${entries.map(([name, b]) => `${name} (${b.length} B)`).join(', ')}`;
    const zip = new Uint8Array(await context.storedZip(entries.map(([name, b]) => ({ name, bytes: b, blob: new Blob([b]) })),
        new Date(2024, 4, 6, 7, 8, 10)).arrayBuffer());
    const back = unzipSync(zip);
    const same = entries.length === Object.keys(back).length &&
        entries.every(([name, b]) => back[name] && Buffer.compare(Buffer.from(back[name]), Buffer.from(b)) === 0);
    // The central directory: one record an entry, in order, after the files.
    const view = new DataView(zip.buffer);
    const end = zip.length - 22;
    let at = view.getUint32(end + 16, true);
    const crcs = view.getUint32(end, true) === 0x06054b50 && view.getUint16(end + 10, true) === entries.length &&
        entries.every(([name, b]) => {
            const ok = view.getUint32(at, true) === 0x02014b50 && view.getUint32(at + 16, true) === crc32(b) &&
                view.getUint32(at + 24, true) === b.length && view.getUint16(at + 10, true) === 0 &&
                view.getUint16(at + 12, true) === ((7 << 11) | (8 << 5) | 5) && view.getUint16(at + 14, true) === ((44 << 9) | (5 << 5) | 6) &&
                (view.getUint16(at + 8, true) & 0x800) === (/^[\x00-\x7f]*$/.test(name) ? 0 : 0x800);
            at += 46 + view.getUint16(at + 28, true) + view.getUint16(at + 30, true) + view.getUint16(at + 32, true);
            return ok;
        });
    if (same && crcs) passed++;
    else {
        failed++;
        console.log(`FAIL ${what}: ${same ? '' : 'read back otherwise '}${crcs ? '' : 'headers or CRCs wrong'}`);
    }
}
console.log(`${passed} passed, ${failed} failed`);
process.exitCode = failed ? 1 : 0;
