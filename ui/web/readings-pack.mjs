// The readings' data files packed as the page downloads them (quorvel-readings.bin): a small
// directory, then every file's parts deflated as one. MeCab's sys.dic and matrix.bin, text files
// and the gazetteer are sent in parts that compress well (page/readings.js says which, and makes
// the files again); any other file goes as it is. Before anything is written, the packed files
// are unpacked by the page's own code and must read as the originals: the same words with the
// same tokens, each token's fields and features the same, every other file byte for byte.
// pack([[name, bytes], ...]) -> Buffer
import { createRequire } from 'node:module';
import { deflateRawSync, inflateRawSync } from 'node:zlib';

const QuorvelReadings = createRequire(import.meta.url)('./page/readings.js');
const MAGIC = 0xef718f77;
const HEADER = 72;

const planes = (bytes, width) => {
    const count = bytes.length / width;
    const out = Buffer.alloc(bytes.length);
    for (let p = 0; p < width; ++p) for (let i = 0; i < count; ++i) out[p * count + i] = bytes[i * width + p];
    return out;
};
const column = (values, Type) => planes(Buffer.from(new Type(values).buffer), Type.BYTES_PER_ELEMENT);
const texts = (list) => Buffer.from(list.map((text) => `${text}\0`).join(''));
// A list of texts (readings, each like the one before it), each as the characters it shares with
// the one before (a byte of their count) and its own: a kana of the block from kana (katakana
// 0x30a0, hiragana 0x3040) in a byte (0x80 + its place), ASCII as it is, any other character 0xf0
// and its UTF-8; each text ends in 0.
function frontCoded(list, kana = 0x30a0) {
    const shared = [], own = [];
    let previous = [];
    for (const text of list) {
        const characters = [...text];
        let n = 0;
        while (n < previous.length && n < characters.length && n < 255 && previous[n] === characters[n]) ++n;
        shared.push(n);
        for (const character of characters.slice(n)) {
            const code = character.codePointAt(0);
            if (code >= kana && code < kana + 0x60) own.push(0x80 + code - kana);
            else if (code > 0 && code < 0x80) own.push(code);
            else own.push(0xf0, ...Buffer.from(character));
        }
        own.push(0);
        previous = characters;
    }
    return [Buffer.from(shared), Buffer.from(own)];
}

// A dictionary's parts: its words with their tokens, each token's fields and features.
export function dictionaryParts(bytes) {
    const dsize = bytes.readUInt32LE(24), tsize = bytes.readUInt32LE(28), fsize = bytes.readUInt32LE(32);
    if ((bytes.readUInt32LE(0) ^ MAGIC) >>> 0 !== bytes.length || HEADER + dsize + tsize + fsize !== bytes.length) throw new Error('not a MeCab dictionary');
    const base = (i) => bytes.readInt32LE(HEADER + i * 8), check = (i) => bytes.readUInt32LE(HEADER + i * 8 + 4);
    const cells = dsize / 8;
    const words = [];
    const walk = (node, word) => {
        const begin = base(node);
        for (let code = 0; code <= 256; ++code) {
            const at = begin + code;
            if (at < 0 || at >= cells || check(at) !== begin) continue;
            if (code === 0) words.push([Buffer.from(word), -base(at) - 1]);
            else {
                word.push(code - 1);
                walk(at, word);
                word.pop();
            }
        }
    };
    walk(0, []);
    const tokenAt = HEADER + dsize, features = bytes.subarray(tokenAt + tsize);
    const tokens = [];
    for (let t = 0; t < tsize / 16; ++t) {
        const at = tokenAt + t * 16, offset = bytes.readUInt32LE(at + 8);
        tokens.push({ left: bytes.readUInt16LE(at), right: bytes.readUInt16LE(at + 2), pos: bytes.readUInt16LE(at + 4),
            cost: bytes.readUInt16LE(at + 6), compound: bytes.readUInt32LE(at + 12),
            feature: features.toString('utf8', offset, features.indexOf(0, offset)) });
    }
    return { header: bytes.subarray(0, HEADER), words, tokens };
}

function packDictionary(bytes) {
    const { header, words, tokens } = dictionaryParts(bytes);
    const wordBytes = [], counts = [];
    let previous = Buffer.alloc(0), next = 0;
    for (const [word, value] of words) {
        // Tokens follow one another in the words' order, so that a word's value is its count alone.
        if (value >>> 8 !== next || word.length > 255) throw new Error('a word the packing cannot hold');
        next += value & 255;
        counts.push(value & 255);
        let shared = 0;
        while (shared < previous.length && shared < word.length && shared < 255 && previous[shared] === word[shared]) ++shared;
        wordBytes.push(Buffer.from([shared, word.length - shared]), word.subarray(shared));
        previous = word;
    }
    if (next !== tokens.length) throw new Error('tokens no word holds');
    const heads = new Map(), firstOfHead = new Map();
    const index = [], shapes = [], bases = [], readings = [], sounds = [], wholes = [], left = [], right = [], pos = [], cost = [], compound = [];
    let t = 0;
    for (const [word, value] of words) {
        const surface = word.toString('utf8');
        for (let k = 0; k < (value & 255); ++k, ++t) {
            const token = tokens[t], fields = token.feature.split(',');
            let reference = [0, 0];
            if (fields.length === 9) {
                const head = fields.slice(0, 6).join(',');
                if (!heads.has(head)) heads.set(head, heads.size);
                const h = heads.get(head);
                index.push(h);
                shapes.push((fields[6] === surface ? 0 : 1) | (fields[8] === fields[7] ? 0 : 2));
                if (fields[6] !== surface) bases.push(fields[6]);
                readings.push(fields[7]);
                if (fields[8] !== fields[7]) sounds.push(fields[8]);
                if (firstOfHead.has(h)) reference = firstOfHead.get(h);
                else firstOfHead.set(h, [token.left, token.pos]);
            } else {
                index.push(0xffff);
                shapes.push(0);
                wholes.push(token.feature);
            }
            left.push((token.left - reference[0]) & 0xffff);
            right.push((token.right - token.left) & 0xffff);
            pos.push((token.pos - reference[1]) & 0xffff);
            cost.push(token.cost);
            compound.push(token.compound);
        }
    }
    if (heads.size >= 0xffff) throw new Error('too many parts of speech');
    return [header, Buffer.concat(wordBytes), Buffer.from(counts), texts([...heads.keys()]), column(index, Uint16Array), Buffer.from(shapes),
        ...frontCoded(bases), ...frontCoded(readings), ...frontCoded(sounds), texts(wholes), column(left, Uint16Array), column(right, Uint16Array),
        column(pos, Uint16Array), column(cost, Uint16Array), column(compound, Uint32Array)];
}

function packMatrix(bytes) {
    const width = bytes.readUInt16LE(2);
    const values = new Uint16Array(bytes.buffer.slice(bytes.byteOffset + 4, bytes.byteOffset + bytes.length));
    const differences = values.map((value, i) => (value - (i >= width ? values[i - width] : 0)) & 0xffff);
    return [bytes.subarray(0, 4), column(differences, Uint16Array)];
}

// The gazetteer (readings/Gazetteer.h, its words as page/readings.js lays them out): its header; its
// string references (every string is stored once, in the order first referred to) as 0 for a new
// string or 1 + the index of the one it repeats; the new strings, names and readings apart,
// front-coded in bytes (a half-width katakana a byte, 0x81 to 0xbf); the other words (the arcs'
// and areas' boxes as their differences from what the points give) as each one's difference from
// the same word of the record before, in planes; the points (the arcs' x, then their y) as
// differences in planes. Kept as it is unless it unpacks as it was.
const GAZETTEER_HEADER = 88;
const HALF_KANA = (bytes, i) => bytes[i] === 0xef && ((bytes[i + 1] === 0xbd && bytes[i + 2] >= 0xa1) || (bytes[i + 1] === 0xbe && bytes[i + 2] <= 0x9f));
function frontCodedBytes(list) {
    const shared = [], own = [];
    let previous = Buffer.alloc(0);
    for (const text of list) {
        let n = 0;
        while (n < previous.length && n < text.length && n < 255 && previous[n] === text[n]) ++n;
        while (n > 0 && (text[n] & 0xc0) === 0x80) --n; // whole characters only
        shared.push(n);
        for (let i = n; i < text.length; ) {
            if (HALF_KANA(text, i)) {
                own.push(0x80 + ((text[i + 1] & 3) << 6 | (text[i + 2] & 0x3f)) - 0x60);
                i += 3;
            } else if (text[i] === 0 || (text[i] >= 0x80 && text[i] < 0xc0)) return null; // not whole UTF-8
            else {
                const length = text[i] >= 0xf0 ? 4 : text[i] >= 0xe0 ? 3 : text[i] >= 0xc0 ? 2 : 1;
                for (let k = 0; k < length; ++k) own.push(text[i++]);
            }
        }
        own.push(0);
        previous = text;
    }
    return [Buffer.from(shared), Buffer.from(own)];
}
// -> its parts, or why it cannot go as a gazetteer
function packGazetteer(bytes) {
    const stringBytes = bytes.readUInt32LE(4 + 4 * 12);
    const layout = QuorvelReadings.gazetteerLayout((i) => bytes.readUInt32LE(4 + 4 * i), (bytes.length - GAZETTEER_HEADER - stringBytes) / 4);
    if (!layout) return 'not the size its counts give';
    const words = new Uint32Array(layout.wordCount);
    for (let i = 0; i < words.length; ++i) words[i] = bytes.readUInt32LE(GAZETTEER_HEADER + i * 4);
    const word = (i) => words[i];
    const strings = bytes.subarray(bytes.length - stringBytes);
    const refs = [], texts = [[], []], known = new Map();
    let next = 0;
    layout.slots.forEach((slot, i) => {
        const offset = word(slot), length = word(slot + 1), key = `${offset},${length}`;
        if (offset === next && !known.has(key)) {
            known.set(key, known.size);
            refs.push(0);
            texts[i & 1].push(strings.subarray(offset, offset + length));
            next += length;
        } else refs.push(known.has(key) ? known.get(key) + 1 : -1);
    });
    if (next !== stringBytes || refs.includes(-1)) return 'strings not stored once each in the order first named';
    const names = frontCodedBytes(texts[0]), readings = frontCodedBytes(texts[1]);
    if (!names || !readings) return 'a string not of whole UTF-8 characters or holding NUL';
    QuorvelReadings.gazetteerBoxes(layout, word, (at, value) => (words[at] = (words[at] - value) >>> 0));
    const rest = [];
    for (const [first, records, width, from] of layout.sections) {
        for (let r = 0; r < records; ++r) for (let c = from; c < width; ++c) rest.push((word(first + r * width + c) - (r ? word(first + (r - 1) * width + c) : 0)) >>> 0);
    }
    const firsts = QuorvelReadings.arcFirsts(layout, word), points = [];
    for (let axis = 0; axis < 2; ++axis) {
        for (let i = 0, first = 0, previous = 0; i < layout.points; ++i) {
            const value = word(layout.pointsAt + 2 * i + axis) | 0;
            points.push(QuorvelReadings.zigzag(value - (firsts[i] ? first : previous)));
            if (firsts[i]) first = value;
            previous = value;
        }
    }
    const parts = [bytes.subarray(0, GAZETTEER_HEADER), column(refs, Uint32Array), ...names, ...readings, column(rest, Uint32Array), column(points, Uint32Array)];
    const directory = { files: [{ name: 'gazetteer.bin', kind: 'gazetteer', bytes: bytes.length, parts: parts.map((part) => part.length) }] };
    try {
        const [[, made]] = QuorvelReadings.unpack(directory, new Uint8Array(Buffer.concat(parts)));
        return Buffer.compare(Buffer.from(made), bytes) === 0 ? parts : 'it does not unpack as it was';
    } catch (error) {
        return `it does not unpack: ${error.message}`;
    }
}

const kindOf = (name, bytes) => {
    if (name === 'sys.dic') return 'dictionary';
    if (name === 'gazetteer.bin' && bytes.length >= GAZETTEER_HEADER && bytes.toString('latin1', 0, 4) === 'QGAZ') return 'gazetteer';
    if (name === 'matrix.bin' && bytes.length === 4 + 2 * bytes.readUInt16LE(0) * bytes.readUInt16LE(2)) return 'matrix';
    return Buffer.compare(Buffer.from(bytes.toString('utf8')), bytes) === 0 ? 'lines' : 'file';
};

// A text file (a sorted list of names and readings) as its lines front-coded, in the kana block
// it holds more of; kept as it is when that is no smaller.
function packLines(bytes) {
    const text = bytes.toString('utf8');
    let hiragana = 0, katakana = 0;
    for (let i = 0; i < text.length; ++i) {
        const code = text.charCodeAt(i);
        if (code >= 0x3040 && code < 0x30a0) ++hiragana;
        else if (code >= 0x30a0 && code < 0x3100) ++katakana;
    }
    const kana = hiragana > katakana ? 0x3040 : 0x30a0;
    const parts = frontCoded(text.split('\n'), kana);
    const size = (list) => list.reduce((sum, part) => sum + deflateRawSync(part, { level: 6 }).length, 0);
    return size(parts) < size([bytes]) ? { kana, parts } : null;
}

// Whether an unpacked file reads as its original: a dictionary by its words, tokens and features
// (its double array and the order of its features may differ), any other byte for byte.
function sameAs(name, kind, original, made) {
    if (kind !== 'dictionary') return Buffer.compare(original, Buffer.from(made)) === 0;
    const a = dictionaryParts(original), b = dictionaryParts(Buffer.from(made.buffer, made.byteOffset, made.length));
    const at = (bytes, from, to) => bytes.subarray(from, to).toString('hex');
    return at(a.header, 4, 24) === at(b.header, 4, 24) && at(a.header, 36, HEADER) === at(b.header, 36, HEADER) &&
        JSON.stringify(a.words) === JSON.stringify(b.words) && JSON.stringify(a.tokens) === JSON.stringify(b.tokens);
}

export function pack(files) {
    const directory = { files: [] }, payload = [];
    for (const [name, bytes] of files) {
        let kind = kindOf(name, bytes), lines = null, gazetteer = null;
        if (kind === 'lines' && !(lines = packLines(bytes))) kind = 'file';
        if (kind === 'gazetteer' && typeof (gazetteer = packGazetteer(bytes)) === 'string') {
            console.warn(`${name}: sent as it is (${gazetteer})`);
            kind = 'file';
            gazetteer = null;
        }
        const parts = kind === 'dictionary' ? packDictionary(bytes) : kind === 'matrix' ? packMatrix(bytes) : lines ? lines.parts : gazetteer || [bytes];
        directory.files.push({ name, kind, bytes: bytes.length, parts: parts.map((part) => part.length), ...(lines ? { kana: lines.kana } : {}) });
        payload.push(...parts);
    }
    const deflated = deflateRawSync(Buffer.concat(payload), { level: 9, memLevel: 9 });
    const made = QuorvelReadings.unpack(directory, new Uint8Array(inflateRawSync(deflated)));
    directory.files.forEach((file, i) => {
        if (!sameAs(file.name, file.kind, files[i][1], made[i][1])) throw new Error(`${file.name} does not unpack as it was`);
    });
    const head = Buffer.from(JSON.stringify(directory));
    const length = Buffer.alloc(4);
    length.writeUInt32LE(head.length);
    return Buffer.concat([Buffer.from('QRD1'), length, head, deflated]);
}
