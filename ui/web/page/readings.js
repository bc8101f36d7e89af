// The readings' data as the page downloads it (quorvel-readings.bin, packed by the build's
// readings-pack.mjs), unpacked in the worker into the files the core reads. MeCab's sys.dic is
// sent as its parts, each gzipping well: the words (front-coded), the tokens' fields column by
// column, the features split into their part of speech, base form, reading and pronunciation;
// its double array is built again here from the words. matrix.bin goes as each row's difference
// from the row before. The build checks that what comes out here reads as the original did.
// QuorvelReadings.unpack(directory, payload) -> [[name, Uint8Array], ...]
'use strict';
var QuorvelReadings = (function () {
    const MAGIC = 0xef718f77; // MeCab's: a dictionary's first word is its size xor this
    const HEADER = 72;

    // A reader of the payload's streams in order.
    function streams(payload, lengths) {
        let at = 0;
        return lengths.map((length) => payload.subarray(at, (at += length)));
    }
    // Columns of 16- and 32-bit values go as their byte planes (every low byte, then every high one).
    function unplane(bytes, width) {
        const count = bytes.length / width;
        const out = new Uint8Array(bytes.length);
        for (let p = 0; p < width; ++p) for (let i = 0; i < count; ++i) out[i * width + p] = bytes[p * count + i];
        return out;
    }
    const u16 = (bytes) => new Uint16Array(unplane(bytes, 2).buffer);
    // The inverse of the build's frontCoded(): texts from the characters each shares with the one
    // before and its own (a kana of the block from kana a byte from 0x80, ASCII as it is, else 0xf0
    // and its UTF-8).
    function frontCoded(shared, own, kana = 0x30a0) {
        const list = [], decoder = new TextDecoder('utf-8', { fatal: true });
        let previous = [], at = 0;
        for (let i = 0; i < shared.length; ++i) {
            const characters = previous.slice(0, shared[i]);
            for (let byte; (byte = own[at++]) !== 0; ) {
                if (byte >= 0x80 && byte < 0xe0) characters.push(String.fromCharCode(kana + byte - 0x80));
                else if (byte < 0x80) characters.push(String.fromCharCode(byte));
                else {
                    const lead = own[at], length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0x80 ? 2 : 1;
                    characters.push(decoder.decode(own.subarray(at, (at += length))));
                }
            }
            list.push(characters.join(''));
            previous = characters;
        }
        return list;
    }
    const texts = (bytes) => {
        const all = new TextDecoder('utf-8', { fatal: true }).decode(bytes).split('\0');
        all.pop();
        return all;
    };

    // A double array over sorted words as MeCab looks words up in one: a node's children at its
    // base plus their byte + 1 (0 ends a word, its base -value - 1), each child's check the
    // parent's base, every base used by one node alone.
    function doubleArray(words, values) {
        let capacity = 1 << 21;
        let base = new Int32Array(capacity), check = new Uint32Array(capacity), taken = new Uint8Array(capacity), used = new Uint8Array(capacity);
        const grow = (need) => {
            if (need < capacity) return;
            while (capacity <= need) capacity *= 2;
            const more = (Type, old) => {
                const bigger = new Type(capacity);
                bigger.set(old);
                return bigger;
            };
            base = more(Int32Array, base);
            check = more(Uint32Array, check);
            taken = more(Uint8Array, taken);
            used = more(Uint8Array, used);
        };
        taken[0] = 1; // the root
        let nextFree = 1, size = 1;
        const children = (left, right, depth) => {
            const list = [];
            for (let i = left; i < right; ++i) {
                const word = words[i];
                const code = word.length === depth ? 0 : word[depth] + 1;
                if (list.length && list[list.length - 1].code === code) continue;
                if (list.length) list[list.length - 1].right = i;
                list.push({ code, left: i, right, depth: depth + 1 });
            }
            return list;
        };
        const place = (siblings) => {
            const first = siblings[0].code, last = siblings[siblings.length - 1].code;
            let pos = Math.max(nextFree, first + 1), begin, filled = 0;
            for (;; ++pos) {
                grow(pos + last + 1);
                if (taken[pos]) {
                    ++filled;
                    continue;
                }
                begin = pos - first;
                if (used[begin]) continue;
                if (siblings.every((s) => !taken[begin + s.code])) break;
            }
            while (taken[nextFree]) ++nextFree;
            // Past a stretch nearly full, the search starts further on (as Darts does).
            if (filled / (pos - nextFree + 1) >= 0.95) nextFree = pos;
            used[begin] = 1;
            for (const s of siblings) {
                taken[begin + s.code] = 1;
                check[begin + s.code] = begin;
            }
            size = Math.max(size, begin + last + 1);
            for (const s of siblings) {
                if (s.code === 0) base[begin] = -values[s.left] - 1;
                else base[begin + s.code] = place(children(s.left, s.right, s.depth));
            }
            return begin;
        };
        base[0] = place(children(0, words.length, 0));
        size += 257; // a lookup reads up to a base plus 256
        grow(size);
        const out = new Uint8Array(size * 8);
        const view = new DataView(out.buffer);
        for (let i = 0; i < size; ++i) {
            view.setInt32(i * 8, base[i], true);
            view.setUint32(i * 8 + 4, check[i], true);
        }
        return out;
    }

    function dictionary(file, parts) {
        const [header, wordBytes, counts, headBytes, headIndex, shapes, baseShared, baseOwn, readingShared, readingOwn, soundShared, soundOwn, wholes,
            leftIds, rightIds, posIds, costs, compounds] = parts;
        // The words, each as the bytes it shares with the one before and its own.
        const words = [], values = [];
        let previous = new Uint8Array(0), tokens = 0;
        for (let at = 0, w = 0; at < wordBytes.length; ++w) {
            const shared = wordBytes[at], own = wordBytes[at + 1];
            const word = new Uint8Array(shared + own);
            word.set(previous.subarray(0, shared));
            word.set(wordBytes.subarray(at + 2, at + 2 + own), shared);
            at += 2 + own;
            words.push(word);
            values.push((tokens << 8) | counts[w]);
            tokens += counts[w];
            previous = word;
        }
        const heads = texts(headBytes), index = u16(headIndex), baseList = frontCoded(baseShared, baseOwn);
        const readingList = frontCoded(readingShared, readingOwn), soundList = frontCoded(soundShared, soundOwn), wholeList = texts(wholes);
        const left = u16(leftIds), right = u16(rightIds), pos = u16(posIds), cost = u16(costs);
        const compound = new Uint32Array(unplane(compounds, 4).buffer);
        // Each token's features in token order, encoded at once; their offsets are found after.
        const decoder = new TextDecoder();
        const features = [];
        let b = 0, r = 0, s = 0, x = 0;
        const token = new Uint8Array(tokens * 16);
        const tokenView = new DataView(token.buffer);
        // The left id and the part of speech's id of each head's first token, which the others' are told against.
        const headLeft = new Int32Array(heads.length).fill(-1), headPos = new Int32Array(heads.length);
        let t = 0;
        for (let w = 0; w < words.length; ++w) {
            const surface = counts[w] ? decoder.decode(words[w]) : '';
            for (let k = 0; k < counts[w]; ++k, ++t) {
                const h = index[t];
                let lid = left[t], pid = pos[t];
                if (h === 0xffff) features.push(wholeList[x++]);
                else {
                    const reading = readingList[r++];
                    features.push(`${heads[h]},${shapes[t] & 1 ? baseList[b++] : surface},${reading},${shapes[t] & 2 ? soundList[s++] : reading}`);
                    if (headLeft[h] < 0) {
                        headLeft[h] = lid;
                        headPos[h] = pid;
                    } else {
                        lid = (lid + headLeft[h]) & 0xffff;
                        pid = (pid + headPos[h]) & 0xffff;
                    }
                }
                tokenView.setUint16(t * 16, lid, true);
                tokenView.setUint16(t * 16 + 2, (lid + right[t]) & 0xffff, true);
                tokenView.setUint16(t * 16 + 4, pid, true);
                tokenView.setUint16(t * 16 + 6, cost[t], true);
                tokenView.setUint32(t * 16 + 12, compound[t], true);
            }
        }
        features.push('');
        const featureBytes = new TextEncoder().encode(features.join('\0'));
        for (let at = 0, t = 0; t < tokens; ++at) {
            tokenView.setUint32(t++ * 16 + 8, at, true);
            at = featureBytes.indexOf(0, at);
        }
        const featureSize = featureBytes.length;
        const trie = doubleArray(words, values);
        const size = HEADER + trie.length + token.length + featureSize;
        const out = new Uint8Array(size);
        const view = new DataView(out.buffer);
        out.set(header);
        view.setUint32(0, (size ^ MAGIC) >>> 0, true);
        view.setUint32(24, trie.length, true);
        view.setUint32(28, token.length, true);
        view.setUint32(32, featureSize, true);
        out.set(trie, HEADER);
        out.set(token, HEADER + trie.length);
        out.set(featureBytes, HEADER + trie.length + token.length);
        return out;
    }

    function matrix(file, parts) {
        const [header, rows] = parts;
        const width = new DataView(header.buffer, header.byteOffset).getUint16(2, true);
        const differences = u16(rows);
        const out = new Uint8Array(file.bytes);
        out.set(header);
        const values = new Uint16Array(differences.length);
        for (let i = 0; i < values.length; ++i) values[i] = (differences[i] + (i >= width ? values[i - width] : 0)) & 0xffff;
        out.set(new Uint8Array(values.buffer), header.length);
        return out;
    }

    function unpack(directory, payload) {
        let at = 0;
        return directory.files.map((file) => {
            const total = file.parts.reduce((sum, length) => sum + length, 0);
            const parts = streams(payload.subarray(at, (at += total)), file.parts);
            if (file.kind === 'dictionary') return [file.name, dictionary(file, parts)];
            if (file.kind === 'matrix') return [file.name, matrix(file, parts)];
            if (file.kind === 'lines') return [file.name, new TextEncoder().encode(frontCoded(parts[0], parts[1], file.kana).join('\n'))];
            return [file.name, parts[0].slice()];
        });
    }

    return { unpack, doubleArray };
})();
if (typeof module !== 'undefined') module.exports = QuorvelReadings;
