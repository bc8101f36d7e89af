// The readings' packing (readings-pack.mjs) and the page's unpacking (page/readings.js), in Node:
// a small MeCab dictionary of our own (words sharing starts, a word of several tokens, a feature
// not of nine fields, a base form unlike the word), text files at their edges and a gazetteer of
// our own come back as they went, the dictionary read word by word and token by token; a file
// that is not UTF-8, a matrix of the wrong size or a gazetteer the packing cannot hold goes as
// it is. Then the page's grids (page/grids.js). Closes with "N passed, M failed".
import { createRequire } from 'node:module';
import { inflateRawSync } from 'node:zlib';
import { dictionaryParts, pack } from '../readings-pack.mjs';

const QuorvelReadings = createRequire(import.meta.url)('../page/readings.js');
let passed = 0, failed = 0;
const check = (ok, what, detail = '') => {
    if (ok) passed++;
    else {
        failed++;
        console.log(`FAIL ${what}${detail ? `: ${detail}` : ''}`);
    }
};

// A dictionary as mecab-dict-index lays one out: [word, [left id, right id, pos id, cost, feature]].
function dictionary(entries) {
    const words = [...new Set(entries.map(([word]) => word))].sort((a, b) => Buffer.compare(Buffer.from(a), Buffer.from(b)));
    const tokens = [], values = [];
    for (const word of words) {
        const own = entries.filter(([w]) => w === word);
        values.push((tokens.length << 8) | own.length);
        tokens.push(...own.map(([, token]) => token));
    }
    const encoded = words.map((w) => Buffer.from(w)), starts = [], stops = [];
    encoded.reduce((at, w) => (starts.push(at), stops.push(at + w.length), at + w.length), 0);
    const trie = QuorvelReadings.doubleArray({ bytes: Buffer.concat(encoded), starts, stops, count: words.length }, values);
    // Features stored in reverse, as the source's order need not be the tokens'.
    const features = Buffer.from(tokens.map((t) => `${t[4]}\0`).reverse().join(''));
    const offsets = [];
    for (let at = features.length, i = 0; i < tokens.length; ++i) offsets.push((at -= Buffer.byteLength(tokens[i][4]) + 1));
    const body = Buffer.alloc(tokens.length * 16);
    tokens.forEach((t, i) => {
        [t[0], t[1], t[2], t[3] & 0xffff].forEach((v, k) => body.writeUInt16LE(v, i * 16 + k * 2));
        body.writeUInt32LE(offsets[i], i * 16 + 8);
    });
    const header = Buffer.alloc(72);
    const size = 72 + trie.length + body.length + features.length;
    [(size ^ 0xef718f77) >>> 0, 102, 0, tokens.length, 3, 3, trie.length, body.length, features.length].forEach((v, i) => header.writeUInt32LE(v, i * 4));
    header.write('utf-8', 40);
    return Buffer.concat([header, Buffer.from(trie), body, features]);
}

const unpacked = (packed) => {
    const length = packed.readUInt32LE(4);
    const directory = JSON.parse(packed.subarray(8, 8 + length));
    return { directory, files: QuorvelReadings.unpack(directory, new Uint8Array(inflateRawSync(packed.subarray(8 + length)))) };
};

const matrix = Buffer.alloc(4 + 2 * 3 * 2);
[3, 2, 0, -5, 7, 32767, -32768, 1].forEach((v, i) => (i < 2 ? matrix.writeUInt16LE(v, i * 2) : matrix.writeInt16LE(v, 4 + (i - 2) * 2)));
const sys = dictionary([
    ['東京', [1, 1, 10, 3000, '名詞,固有名詞,地域,一般,*,*,東京,トウキョウ,トーキョー']],
    ['東京', [2, 2, 11, -200, '名詞,固有名詞,人名,姓,*,*,東京,ヒガシキョウ,ヒガシキョー']],
    ['東', [1, 1, 10, 5000, '名詞,一般,*,*,*,*,東,ヒガシ,ヒガシ']],
    ['行っ', [5, 5, 30, 100, '動詞,自立,*,*,五段・カ行促音便,連用タ接続,行く,イッ,イッ']],
    ['ＡＢ', [1, 1, 10, 4000, '名詞,固有名詞,組織,*,*,*,*']],
    ['橋', [1, 1, 10, 10, '名詞,一般,*,*,*,*,橋,ハシ,ハシ']],
]);
// A gazetteer as tools/gazetteer/build.js lays one out: each string stored once, where first named.
function gazetteer({ strings: order = null, extra = 0 } = {}) {
    const strings = [], at = new Map(), words = [];
    const string = (text) => {
        if (!at.has(text)) {
            at.set(text, [strings.reduce((n, s) => n + Buffer.byteLength(s), 0), Buffer.byteLength(text)]);
            strings.push(text);
        }
        return at.get(text);
    };
    const put = (...values) => values.forEach((v) => words.push(v >>> 0));
    put(...string('北海道'), ...string('ﾎｯｶｲﾄﾞｳ'), 1, ...string('東京都'), ...string('ﾄｳｷｮｳﾄ'), 2);
    put(...string('札幌市'), ...string('ｻｯﾎﾟﾛｼ'), 0, 43062000, 141354000, 0, 2, ...string('𠮷田町'), ...string(''), 1, -35000000, 139000000, 2, 2);
    put(...string('本町'), ...string('ﾎﾝﾁｮｳ'), ...string('本町🍜'), ...string('ﾎﾝﾁｮｳ'), ...string('本町'), ...string('ﾎﾝﾏﾁ'), ...string('ﾎﾝﾁｮｳ'), ...string('本町'));
    put(0, 0, 0, 3, 10, -20, 900, 40, 0xffffffff, 1, 3, 1, 5, 5, 6, 6, 0, ~1, 2, 1); // areas, their arcs (one reversed)
    put(0, 3, 4, 6, 10, -20, 900, 40, 5, 5, 6, 6, 0, 0, 0, 0); // where each arc's points start, the arcs' boxes
    put(10, 40, 900, -20, 899, -19, 0x7fffffff, 0x80000000, 5, 5, 6, 6); // points, two far apart
    put(0, 2, 0, 1); // a cell and its areas
    if (order) {
        // The same strings stored in another order, each reference still to its own.
        const offsets = new Map(order.map((text, i) => [text, Buffer.byteLength(order.slice(0, i).join(''))]));
        for (let i = 0; i < 10 + 18 + 16; ++i) {
            const record = i < 10 ? i % 5 : i < 28 ? (i - 10) % 9 : (i - 28) % 4;
            if (record === 0 || record === 2) words[i] = offsets.get(strings.find((text) => at.get(text)[0] === words[i] && at.get(text)[1] === words[i + 1]));
        }
    }
    const texts = (order || strings).map((text) => Buffer.from(text));
    const header = Buffer.alloc(88);
    header.write('QGAZ');
    [2, 2, 2, 4, 2, 4, 3, 6, 1, 1, 2048, 2, Buffer.concat(texts).length].forEach((v, i) => header.writeUInt32LE(v, 4 + 4 * i));
    header.writeDoubleLE(0.0001, 56);
    return Buffer.concat([header, Buffer.from(new Uint32Array(words).buffer), ...texts, Buffer.alloc(extra)]);
}
// [what, name, bytes, the kind it is sent as]
const cases = [
    ['a dictionary', 'sys.dic', sys, 'dictionary'],
    ['a matrix', 'matrix.bin', matrix, 'matrix'],
    ['a matrix of the wrong size', 'matrix.bin', matrix.subarray(0, 10), 'file'],
    ['sorted names and readings, two sharing 300 characters', 'place-readings.txt', Buffer.from(`${[...Array(2000)].map((_, i) =>
        `あいの里${i}条\tあいのさと${[...String(i * 7919)].map((d) => String.fromCharCode(0x3042 + 2 * Number(d))).join('')}じょう\n`).join('')}${`イ${'ー'.repeat(300)}\t${'い'.repeat(300)}\n`.repeat(2)}`), 'lines'],
    ['characters of four bytes, NUL and no last newline', 'gazetteer.txt', Buffer.from('札幌 🍜\t\0さっぽろ\r\n札幌 🍜🍜\tｻｯﾎﾟﾛ'.repeat(50)), 'lines'],
    ['a gazetteer: strings named again, empty, of four bytes; points far apart', 'gazetteer.bin', gazetteer(), 'gazetteer'],
    ['a gazetteer whose strings are not stored in the order named', 'gazetteer.bin', gazetteer({ strings: ['東京都', '北海道', 'ﾎｯｶｲﾄﾞｳ', 'ﾄｳｷｮｳﾄ', '札幌市', 'ｻｯﾎﾟﾛｼ', '𠮷田町', '', '本町', 'ﾎﾝﾁｮｳ', '本町🍜', 'ﾎﾝﾏﾁ'] }), 'file'],
    ['a gazetteer longer than its counts', 'gazetteer.bin', gazetteer({ extra: 4 }), 'file'],
    ['an empty file', 'empty.txt', Buffer.alloc(0), 'file'],
    ['not UTF-8', 'char.bin', Buffer.from([0xff, 0xfe, 0x80, 0, 1, 2, 0xe3, 0x82]), 'file'],
];
const packed = pack(cases.map(([, name, bytes]) => [name, bytes]));
const { directory, files } = unpacked(packed);
cases.forEach(([what, name, bytes, kind], i) => {
    const [madeName, made] = files[i];
    const same = kind === 'dictionary'
        ? JSON.stringify(dictionaryParts(bytes)) === JSON.stringify(dictionaryParts(Buffer.from(made)))
        : Buffer.compare(bytes, Buffer.from(made)) === 0;
    check(madeName === name && directory.files[i].kind === kind && same, `${what}: sent as ${kind} and unpacked as it was`, `${directory.files[i].kind}, ${made.length} bytes`);
});
{
    const { words, tokens } = dictionaryParts(Buffer.from(files[0][1]));
    // In the words' byte order, each with its first token and its count.
    check(JSON.stringify(words.map(([w, v]) => [w.toString(), v >> 8, v & 255])) ===
        JSON.stringify([['東', 0, 1], ['東京', 1, 2], ['橋', 3, 1], ['行っ', 4, 1], ['ＡＢ', 5, 1]]) &&
        tokens[2].feature === '名詞,固有名詞,人名,姓,*,*,東京,ヒガシキョウ,ヒガシキョー' && tokens[2].cost === 0x10000 - 200 && tokens[2].pos === 11,
        'the dictionary\'s words and tokens read back', JSON.stringify(words.map(([w]) => w.toString())));
}
// The page's grids (page/grids.js): shifts of a few decimals go as whole numbers, -0 among them;
// one of more decimals, or a file that is not a grid, goes as it is; all come back byte for byte.
const QuorvelGrids = createRequire(import.meta.url)('../page/grids.js');
function compactGrid(shifts) {
    const header = Buffer.alloc(64 + 4 * 2 + 8);
    header.write('QVGRID\x1a\n', 'latin1');
    [1, 2, 1, 1, shifts.length / 2].forEach((v, i) => header.writeUInt32LE(v, 8 + 4 * i));
    header.writeDoubleLE(139.5, 32);
    header.writeUInt32LE(1, 68);
    header.writeUInt16LE(shifts.length / 2, 76);
    return Buffer.concat([header, Buffer.from(new Float32Array(shifts).buffer)]);
}
const bundle = (grids) => {
    const head = Buffer.alloc(16 + 40 * grids.length);
    head.write('QVPATCH\n', 'latin1');
    head.writeUInt32LE(1, 8);
    head.writeUInt32LE(grids.length, 12);
    let at = head.length;
    grids.forEach((grid, i) => {
        head.write(`grid${i}`, 16 + 40 * i, 'latin1');
        head.writeUInt32LE(at, 16 + 40 * i + 32);
        head.writeUInt32LE(grid.length, 16 + 40 * i + 36);
        at += grid.length;
    });
    return Buffer.concat([head, ...grids]);
};
// [what, bytes, the scale it goes at]
[
    ['a grid of five decimals, -0 among them', compactGrid([-12.34567, 9.87654, -0, 0, 2147.48364, -0.00001]), 5],
    ['a grid with a shift of more decimals', compactGrid([1.5, 0.1 + 2 ** -20, 3, 4]), 0],
    ['a bundle of grids of six decimals', bundle([compactGrid([0.123456, -0.000001]), compactGrid([0.5, -0, 0.25, 1])]), 6],
    ['not a grid', Buffer.from('QVGRIE\x1a\n and more'), 1],
].forEach(([what, bytes, scale]) => {
    const made = QuorvelGrids.scaleOf(bytes), packedGrid = QuorvelGrids.pack(bytes, made);
    check(made === scale && Buffer.compare(Buffer.from(QuorvelGrids.unpack(packedGrid, bytes.length, made)), bytes) === 0, `${what}: at scale ${scale}, back as it was`, String(made));
});
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
