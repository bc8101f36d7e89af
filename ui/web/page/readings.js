// The readings' data as the page downloads it (quorvel-readings.bin, packed by the build's
// readings-pack.mjs), unpacked in the worker into the files the core reads. MeCab's sys.dic is
// sent as its parts, each gzipping well: the words (front-coded), the tokens' fields column by
// column, the features split into their part of speech, base form, reading and pronunciation;
// its double array is built again here from the words. matrix.bin goes as each row's difference
// from the row before; the gazetteer as its string references, its strings and its other words
// (gazetteer() below). The build checks that what comes out here reads as the original did.
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
    // Texts in one buffer of UTF-8: text i is bytes from starts[i] to stops[i].
    function copyText(texts, i, out, at) {
        const { bytes } = texts, from = texts.starts[i], to = texts.stops[i];
        for (let k = from; k < to; ++k) out[at++] = bytes[k];
        return at;
    }
    // The inverse of the build's frontCoded(): texts from the characters each shares with the one
    // before and its own (a kana of the block from kana a byte from 0x80, ASCII as it is, else 0xf0
    // and its UTF-8), made as UTF-8 at once.
    function frontCoded(shared, own, kana = 0x30a0) {
        const count = shared.length, starts = new Int32Array(count), stops = new Int32Array(count);
        let bytes = new Uint8Array(own.length * 3 + 1024), end = 0, at = 0;
        const ends = [0]; // where each character of the text before ends, from its start
        for (let i = 0; i < count; ++i) {
            const start = end, keep = ends[shared[i]];
            ends.length = shared[i] + 1;
            if (end + keep + 4 >= bytes.length) {
                const bigger = new Uint8Array(bytes.length * 2 + keep);
                bigger.set(bytes.subarray(0, end));
                bytes = bigger;
            }
            if (i) bytes.copyWithin(start, starts[i - 1], starts[i - 1] + keep);
            end += keep;
            for (let byte; (byte = own[at++]) !== 0; ) {
                if (end + 4 >= bytes.length) {
                    const bigger = new Uint8Array(bytes.length * 2);
                    bigger.set(bytes.subarray(0, end));
                    bytes = bigger;
                }
                if (byte >= 0x80 && byte < 0xe0) {
                    const code = kana + byte - 0x80;
                    bytes[end++] = 0xe0 | (code >> 12);
                    bytes[end++] = 0x80 | ((code >> 6) & 0x3f);
                    bytes[end++] = 0x80 | (code & 0x3f);
                } else if (byte < 0x80) bytes[end++] = byte;
                else {
                    const lead = own[at], length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0x80 ? 2 : 1;
                    for (let k = 0; k < length; ++k) bytes[end++] = own[at++];
                }
                ends.push(end - start);
            }
            starts[i] = start;
            stops[i] = end;
        }
        return { bytes, starts, stops, count };
    }
    // Texts each ending in 0.
    function zeroEnded(bytes) {
        const starts = [], stops = [];
        for (let at = 0, zero; (zero = bytes.indexOf(0, at)) >= 0; at = zero + 1) {
            starts.push(at);
            stops.push(zero);
        }
        return { bytes, starts, stops, count: starts.length };
    }

    // A double array over sorted words as MeCab looks words up in one: a node's children at its
    // base plus their byte + 1 (0 ends a word, its base -value - 1), each child's check the
    // parent's base, every base used by one node alone.
    // words: texts (as frontCoded() makes them) in their bytes' order, each once.
    function doubleArray(words, values) {
        const { bytes: wordBytes, starts: wordStarts, stops: wordStops } = words;
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
                const code = wordStops[i] - wordStarts[i] === depth ? 0 : wordBytes[wordStarts[i] + depth] + 1;
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
        base[0] = place(children(0, words.count, 0));
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

    function dictionary(parts) {
        const [header, wordBytes, counts, headBytes, headIndex, shapes, baseShared, baseOwn, readingShared, readingOwn, soundShared, soundOwn, wholeBytes,
            leftIds, rightIds, posIds, costs, compounds] = parts;
        // The words, each as the bytes it shares with the one before and its own.
        const count = counts.length, starts = new Int32Array(count), stops = new Int32Array(count), values = new Int32Array(count);
        let wordSize = 0;
        for (let at = 0; at < wordBytes.length; at += 2 + wordBytes[at + 1]) wordSize += wordBytes[at] + wordBytes[at + 1];
        const bytes = new Uint8Array(wordSize);
        let tokens = 0, end = 0;
        for (let at = 0, w = 0; w < count; ++w) {
            const shared = wordBytes[at], own = wordBytes[at + 1];
            if (w) bytes.copyWithin(end, starts[w - 1], starts[w - 1] + shared);
            starts[w] = end;
            end += shared;
            bytes.set(wordBytes.subarray(at + 2, at + 2 + own), end);
            end += own;
            stops[w] = end;
            at += 2 + own;
            values[w] = (tokens << 8) | counts[w];
            tokens += counts[w];
        }
        const words = { bytes, starts, stops, count };
        const heads = zeroEnded(headBytes), index = u16(headIndex), bases = frontCoded(baseShared, baseOwn);
        const readings = frontCoded(readingShared, readingOwn), sounds = frontCoded(soundShared, soundOwn), wholes = zeroEnded(wholeBytes);
        const left = u16(leftIds), right = u16(rightIds), pos = u16(posIds), cost = u16(costs);
        const compound = new Uint32Array(unplane(compounds, 4).buffer);
        // Each token's features in token order: head,base,reading,sound (the word itself where the
        // base form is, the reading where the sound is) or the whole as it came.
        let featureSize = 0;
        for (let t = 0, w = 0, k = 0, b = 0, r = 0, s = 0, x = 0; t < tokens; ++t, ++k) {
            while (k >= counts[w]) (k = 0), ++w;
            const h = index[t];
            if (h === 0xffff) featureSize += wholes.stops[x] - wholes.starts[x++] + 1;
            else {
                const reading = readings.stops[r] - readings.starts[r++];
                featureSize += heads.stops[h] - heads.starts[h] + 4 + reading + (shapes[t] & 1 ? bases.stops[b] - bases.starts[b++] : stops[w] - starts[w]) +
                    (shapes[t] & 2 ? sounds.stops[s] - sounds.starts[s++] : reading);
            }
        }
        const trie = doubleArray(words, values);
        const tokenAt = HEADER + trie.length, featureAt = tokenAt + tokens * 16, size = featureAt + featureSize;
        const out = new Uint8Array(size);
        const view = new DataView(out.buffer);
        out.set(header);
        view.setUint32(0, (size ^ MAGIC) >>> 0, true);
        view.setUint32(24, trie.length, true);
        view.setUint32(28, tokens * 16, true);
        view.setUint32(32, featureSize, true);
        out.set(trie, HEADER);
        // The left id and the part of speech's id of each head's first token, which the others' are told against.
        const headLeft = new Int32Array(heads.count).fill(-1), headPos = new Int32Array(heads.count);
        const COMMA = 0x2c;
        let at = featureAt;
        for (let t = 0, w = 0, k = 0, b = 0, r = 0, s = 0, x = 0; t < tokens; ++t, ++k) {
            while (k >= counts[w]) (k = 0), ++w;
            const h = index[t], place = tokenAt + t * 16;
            let lid = left[t], pid = pos[t];
            view.setUint32(place + 8, at - featureAt, true);
            if (h === 0xffff) at = copyText(wholes, x++, out, at);
            else {
                at = copyText(heads, h, out, at);
                out[at++] = COMMA;
                if (shapes[t] & 1) at = copyText(bases, b++, out, at);
                else for (let i = starts[w]; i < stops[w]; ++i) out[at++] = bytes[i];
                out[at++] = COMMA;
                const readingAt = at;
                at = copyText(readings, r++, out, at);
                const readingEnd = at;
                out[at++] = COMMA;
                if (shapes[t] & 2) at = copyText(sounds, s++, out, at);
                else for (let i = readingAt; i < readingEnd; ++i) out[at++] = out[i];
                if (headLeft[h] < 0) {
                    headLeft[h] = lid;
                    headPos[h] = pid;
                } else {
                    lid = (lid + headLeft[h]) & 0xffff;
                    pid = (pid + headPos[h]) & 0xffff;
                }
            }
            out[at++] = 0;
            view.setUint16(place, lid, true);
            view.setUint16(place + 2, (lid + right[t]) & 0xffff, true);
            view.setUint16(place + 4, pid, true);
            view.setUint16(place + 6, cost[t], true);
            view.setUint32(place + 12, compound[t], true);
        }
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

    // A text file's lines, each with its newline but the last.
    function lines(file, parts) {
        const texts = frontCoded(parts[0], parts[1], file.kana);
        const out = new Uint8Array(file.bytes);
        let at = 0;
        for (let i = 0; i < texts.count; ++i) {
            if (i) out[at++] = 0x0a;
            at = copyText(texts, i, out, at);
        }
        if (at !== out.length) throw new Error(`${file.name}: ${at} bytes made, ${out.length} expected`);
        return out;
    }

    // The gazetteer's words (readings/Gazetteer.h) as the packing sees them, from its header's counts:
    // the string references (a name's and a reading's offset and length, in each prefecture,
    // municipality and town); the points (x and y of each arc's, in turn); and the other words in
    // sections of records ([first word, records, width, the first word of a record in it]), each
    // told against the same word of the record before. Null unless the file has wordCount words.
    function gazetteerLayout(count, wordCount) {
        const [prefectures, municipalities, towns, areas, arcRefs, arcs, points, columns, rows, , entries] = Array.from({ length: 11 }, (_, i) => count(i + 1));
        if (prefectures * 5 + municipalities * 9 + towns * 4 + areas * 8 + arcRefs + arcs * 5 + 1 + points * 2 + columns * rows + 1 + entries !== wordCount) return null;
        const slots = [], sections = [];
        let at = 0;
        for (const [records, width] of [[prefectures, 5], [municipalities, 9], [towns, 4]]) {
            for (let i = 0; i < records; ++i) slots.push(at + i * width, at + i * width + 2);
            if (width > 4) sections.push([at, records, width, 4]);
            at += records * width;
        }
        const section = (records, width) => {
            sections.push([at, records, width, 0]);
            at += records * width;
        };
        const areasAt = at;
        section(areas, 8);
        const arcRefsAt = at;
        section(arcRefs, 1);
        const arcStarts = at;
        section(arcs + 1, 1);
        const arcBoxes = at;
        section(arcs, 4);
        const pointsAt = at;
        at += points * 2;
        section(columns * rows + 1, 1);
        section(entries, 1);
        return { slots, sections, areasAt, areas, arcRefsAt, arcRefs, arcStarts, arcBoxes, arcs, pointsAt, points, wordCount: at };
    }
    // The boxes the points give: each arc's, each area's (its arcs'), as put(word, value) for the
    // four words of each; none (0) where the words point past the points or the arcs. The packing
    // sends each box as its difference from these.
    function gazetteerBoxes(layout, word, put) {
        const arcBox = (a) => {
            const box = [2 ** 31, 2 ** 31, -(2 ** 31), -(2 ** 31)];
            const start = word(layout.arcStarts + a), end = word(layout.arcStarts + a + 1);
            if (start >= end || end > layout.points) return [0, 0, 0, 0];
            for (let i = start; i < end; ++i) {
                const x = word(layout.pointsAt + 2 * i) | 0, y = word(layout.pointsAt + 2 * i + 1) | 0;
                box[0] = Math.min(box[0], x), box[1] = Math.min(box[1], y), box[2] = Math.max(box[2], x), box[3] = Math.max(box[3], y);
            }
            return box;
        };
        const arcs = Array.from({ length: layout.arcs }, (_, a) => arcBox(a));
        arcs.forEach((box, a) => box.forEach((value, k) => put(layout.arcBoxes + 4 * a + k, value >>> 0)));
        for (let r = 0; r < layout.areas; ++r) {
            const at = layout.areasAt + 8 * r, first = word(at + 2), count = word(at + 3);
            let box = null;
            for (let k = first; k < first + count && k < layout.arcRefs; ++k) {
                const ref = word(layout.arcRefsAt + k) | 0, arc = ref >= 0 ? ref : ~ref;
                if (arc >= layout.arcs) continue;
                box = box ? [Math.min(box[0], arcs[arc][0]), Math.min(box[1], arcs[arc][1]), Math.max(box[2], arcs[arc][2]), Math.max(box[3], arcs[arc][3])] : arcs[arc];
            }
            (box || [0, 0, 0, 0]).forEach((value, k) => put(at + 4 + k, value >>> 0));
        }
    }
    // Each point that begins an arc, marked.
    function arcFirsts(layout, word) {
        const firsts = new Uint8Array(layout.points);
        for (let a = 0; a <= layout.arcs; ++a) if (word(layout.arcStarts + a) < layout.points) firsts[word(layout.arcStarts + a)] = 1;
        return firsts;
    }
    // A point's x or y, told against the one before in its arc (an arc's first against the first
    // of the arc before), as a zigzag (0, -1, 1, -2, ...).
    const zigzag = (difference) => ((difference << 1) ^ (difference >> 31)) >>> 0;
    const unzigzag = (value) => (value >>> 1) ^ -(value & 1);

    // The gazetteer from its parts (readings-pack.mjs): the string references as 0 (a new string,
    // the next of the names' or the readings' texts, stored after those before it) or 1 + the
    // index of an earlier one; the sections' words (the boxes as their differences from the
    // points'); the points.
    function bytesFrontCoded(shared, own) {
        const texts = [];
        let previous = new Uint8Array(0), at = 0;
        for (let i = 0; i < shared.length; ++i) {
            const text = [];
            for (let k = 0; k < shared[i]; ++k) text.push(previous[k]);
            for (let byte; (byte = own[at++]) !== 0; ) {
                if (byte >= 0x80 && byte < 0xc0) {
                    const code = 0xff60 + byte - 0x80;
                    text.push(0xef, 0x80 | ((code >> 6) & 0x3f), 0x80 | (code & 0x3f));
                } else {
                    text.push(byte);
                    for (let more = byte >= 0xf0 ? 3 : byte >= 0xe0 ? 2 : byte >= 0xc0 ? 1 : 0; more > 0; --more) text.push(own[at++]);
                }
            }
            texts.push((previous = Uint8Array.from(text)));
        }
        return texts;
    }
    function gazetteer(file, parts) {
        const [header, refBytes, nameShared, nameOwn, readingShared, readingOwn, restBytes, pointBytes] = parts;
        const count = (i) => new DataView(header.buffer, header.byteOffset).getUint32(4 + 4 * i, true);
        const stringBytes = count(12), layout = gazetteerLayout(count, (file.bytes - header.length - stringBytes) / 4);
        if (!layout) throw new Error(`${file.name}: not the size its counts give`);
        const out = new Uint8Array(file.bytes);
        out.set(header);
        const words = new DataView(out.buffer, header.length, layout.wordCount * 4);
        const word = (i) => words.getUint32(i * 4, true), put = (i, value) => words.setUint32(i * 4, value, true);
        const refs = new Uint32Array(unplane(refBytes, 4).buffer), texts = [bytesFrontCoded(nameShared, nameOwn), bytesFrontCoded(readingShared, readingOwn)];
        const taken = [0, 0], known = [];
        let next = 0;
        layout.slots.forEach((at, r) => {
            let string;
            if (refs[r] === 0) {
                const text = texts[r & 1][taken[r & 1]++];
                out.set(text, out.length - stringBytes + next);
                known.push((string = [next, text.length]));
                next += text.length;
            } else string = known[refs[r] - 1];
            put(at, string[0]);
            put(at + 1, string[1]);
        });
        const rest = new Uint32Array(unplane(restBytes, 4).buffer);
        let k = 0;
        for (const [first, records, width, from] of layout.sections) {
            for (let r = 0; r < records; ++r) {
                for (let c = from; c < width; ++c) put(first + r * width + c, (rest[k++] + (r ? word(first + (r - 1) * width + c) : 0)) >>> 0);
            }
        }
        const points = new Uint32Array(unplane(pointBytes, 4).buffer), firsts = arcFirsts(layout, word);
        for (let axis = 0; axis < 2; ++axis) {
            for (let i = 0, first = 0, previous = 0; i < layout.points; ++i) {
                const value = (unzigzag(points[axis * layout.points + i]) + (firsts[i] ? first : previous)) | 0;
                if (firsts[i]) first = value;
                put(layout.pointsAt + 2 * i + axis, (previous = value));
            }
        }
        gazetteerBoxes(layout, word, (at, value) => put(at, (word(at) + value) >>> 0));
        if (next !== stringBytes) throw new Error(`${file.name}: ${next} bytes of strings made, ${stringBytes} expected`);
        return out;
    }

    function unpack(directory, payload) {
        let at = 0;
        return directory.files.map((file) => {
            const total = file.parts.reduce((sum, length) => sum + length, 0);
            const parts = streams(payload.subarray(at, (at += total)), file.parts);
            if (file.kind === 'dictionary') return [file.name, dictionary(parts)];
            if (file.kind === 'matrix') return [file.name, matrix(file, parts)];
            if (file.kind === 'lines') return [file.name, lines(file, parts)];
            if (file.kind === 'gazetteer') return [file.name, gazetteer(file, parts)];
            return [file.name, parts[0].slice()];
        });
    }

    return { unpack, doubleArray, gazetteerLayout, gazetteerBoxes, arcFirsts, zigzag };
})();
if (typeof module !== 'undefined') module.exports = QuorvelReadings;
