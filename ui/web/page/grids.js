// The datum grid and the ground's corrections as the page carries them (build-page.mjs packs,
// the worker unpacks). Their nodes' shifts are float32 values of a few decimals of an arc-second:
// sent as whole numbers of 10^-scale arc-seconds they compress far better. Then every 32-bit word
// is told against what the two like it before foretell (a node's two shifts, each beside its own)
// and the bytes split into planes (every 4th byte together). The build unpacks what it packed
// with this code.
// QuorvelGrids.pack(bytes, scale) -> Uint8Array; QuorvelGrids.unpack(packed, length, scale)
// QuorvelGrids.scaleOf(bytes) -> the scale whose whole numbers give every shift back, or 0
'use strict';
var QuorvelGrids = (function () {
    const PLANES = 4;
    const MINUS_ZERO = -(2 ** 31); // -0 goes as its own bits, a whole number no shift comes near
    const u32 = (bytes, at) => new DataView(bytes.buffer, bytes.byteOffset).getUint32(at, true);
    // Where the nodes' shifts lie, as [first byte, values]: a compact grid (datum/DatumGrid.h) has
    // one stretch, a bundle (datum/GroundCorrections.h) one in each of its grids.
    function nodes(bytes) {
        const magic = String.fromCharCode(...bytes.subarray(0, 8));
        const grid = (base) => [base + 64 + 4 * (u32(bytes, base + 16) + 1) + 8 * u32(bytes, base + 20), 2 * u32(bytes, base + 24)];
        if (magic === 'QVGRID\x1a\n') return [grid(0)];
        if (magic === 'QVPATCH\n') return Array.from({ length: u32(bytes, 12) }, (_, i) => grid(u32(bytes, 16 + 40 * i + 32)));
        return [];
    }
    const wholes = (bytes, scale, each) => {
        const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.length);
        for (const [first, count] of nodes(bytes)) for (let at = first; at < first + 4 * count; at += 4) each(view, at, 10 ** scale);
    };
    // A word as the two like it before foretell it (each node's shift goes on as the two nodes
    // before it went): what the packing sends is the difference, as a zigzag (0, -1, 1, -2, ...).
    const guess = (words, i) => (i >= 4 ? 2 * words[i - 2] - words[i - 4] : i >= 2 ? words[i - 2] : 0);
    function scaleOf(bytes) {
        for (let scale = 1; scale <= 7; ++scale) {
            let exact = true;
            wholes(bytes, scale, (view, at, factor) => {
                const value = view.getFloat32(at, true);
                exact = exact && Math.abs(value * factor) < 2 ** 30 && Math.fround(Math.round(value * factor) / factor) === value;
            });
            if (exact) return scale;
        }
        return 0;
    }
    function pack(bytes, scale) {
        const out = new Uint8Array(bytes.length), told = new Uint8Array(bytes);
        if (scale) wholes(told, scale, (view, at, factor) => {
            const value = view.getFloat32(at, true);
            if (!Object.is(value, -0)) view.setInt32(at, Math.round(value * factor), true);
        });
        const per = Math.floor(bytes.length / PLANES), words = new Int32Array(told.buffer, 0, per), source = words.slice();
        for (let i = 0; i < per; ++i) {
            const difference = (source[i] - guess(source, i)) | 0;
            words[i] = (difference << 1) ^ (difference >> 31);
        }
        for (let p = 0; p < PLANES; ++p) for (let i = 0; i < per; ++i) out[p * per + i] = told[i * PLANES + p];
        out.set(told.subarray(per * PLANES), per * PLANES);
        return out;
    }
    function unpack(packed, length, scale) {
        const out = new Uint8Array(length);
        const per = Math.floor(length / PLANES);
        for (let p = 0; p < PLANES; ++p) for (let i = 0; i < per; ++i) out[i * PLANES + p] = packed[p * per + i];
        out.set(packed.subarray(per * PLANES, length), per * PLANES);
        const words = new Int32Array(out.buffer, 0, per);
        for (let i = 0; i < per; ++i) words[i] = (((words[i] >>> 1) ^ -(words[i] & 1)) + guess(words, i)) | 0;
        if (scale) {
            wholes(out, scale, (view, at, factor) => {
                const whole = view.getInt32(at, true);
                if (whole !== MINUS_ZERO) view.setFloat32(at, whole / factor, true);
            });
        }
        return out;
    }
    return { scaleOf, pack, unpack };
})();
if (typeof module !== 'undefined') module.exports = QuorvelGrids;
