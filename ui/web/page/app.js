// The page: inputs chosen or dropped, handed to the worker (the core), and what comes back shown
// as downloads, messages, a table and a map. Nothing is sent anywhere: the files stay in memory.
'use strict';
(function () {
    const $ = (id) => document.getElementById(id);
    const english = !/^ja\b/i.test(navigator.language || 'ja');
    const T = {
        privacy: 'Files are read and written inside this page only and never sent anywhere. When online, only the map images are loaded from the Geospatial Information Authority of Japan.',
        inputs: 'Inputs', choose: 'Choose files (several at once) or drop them here',
        formats: 'Memory-point files (.mem), glorie documents (.xml), GPX, KML, KMZ, GeoJSON and CSV are read. Map links, geo: URIs or coordinates, one place a line, may be pasted on the page (Ctrl+V).',
        options: 'Output', format: 'Output format', merge: 'Merge every input into one output',
        mergeName: 'Name of the merged output (without extension)', bom: 'Byte-order mark at the start of a CSV (for spreadsheets)',
        readings: 'Your readings (a CSV of name and reading, UTF-8 or CP932)', colGuessed: 'Guessed',
        downloads: 'Downloads', noOutputs: 'Outputs appear here once files are chosen.', messages: 'Messages',
        map: 'Map', points: 'Points',
        readingNote: 'This page guesses no readings (the dictionary is too large to carry). Points without a reading are written without one (as quorvel-cli --reading none). Names and readings can be edited; the cells show them cut to the unit\u2019s 16 bytes.',
        tableCaption: 'Points of the inputs (names and readings can be edited)',
        colFile: 'File', colNumber: 'No.', colName: 'Name', colReading: 'Reading', colLat: 'Latitude', colLon: 'Longitude',
        colDigits: 'Digits', colWgsLat: 'Latitude (WGS84)', colWgsLon: 'Longitude (WGS84)', colMethod: 'Datum shift',
        colReason: 'Why not converted', colOriginal: 'Original name', prevPage: 'Previous 100 points', nextPage: 'Next 100 points', pageNumber: 'Page',
        footer: 'Coordinates are shown in the Tokyo datum (the unit) and in WGS 84 (maps), shifted with the national grid (TKY2JGD).',
    };
    const say = {
        loading: english ? 'Loading the converter\u2026' : '変換の準備をしています\u2026',
        failedStart: english ? 'The converter could not be started: ' : '変換の準備ができませんでした: ',
        replaced: (name) => (english ? `${name} replaced by the file of the same name` : `${name} を同じ名前のファイルで置き換えました`),
        pasted: (n) => (english ? `pasted-${n}.txt` : `貼り付け-${n}.txt`),
        remove: (name) => (english ? `Remove ${name}` : `${name} を外す`),
        zip: (name) => (english ? `${name} (all files of the set as one zip)` : `${name} (この組のすべてのファイルを一つの zip に)`),
        all: english ? 'every output as one zip' : 'すべての出力を一つの zip に',
        generated: english ? 'Inputs rewritten with your edits (what the outputs were made from):' : '編集を反映した入力 (出力はこれから作られています):',
        bytes: (n) => `${n}/16 ${english ? 'bytes' : 'バイト'}`,
        notForUnit: 'ナビに記録不可',
        pages: (n) => `/ ${n.toLocaleString()}`,
        page: (first, last, all) => (english ? `points ${first.toLocaleString()}\u2013${last.toLocaleString()} of ${all.toLocaleString()}`
            : `${all.toLocaleString()} 地点のうち ${first.toLocaleString()}\u301c${last.toLocaleString()}`),
        moreLines: (n, name) => (english ? `${n.toLocaleString()} more lines: all of them in ${name}` : `ほか ${n.toLocaleString()} 行 (すべての行は ${name})`),
        busy: english ? 'Converting\u2026' : '変換しています\u2026',
        error: english ? 'The converter failed: ' : '変換に失敗しました: ',
        allConverted: (n) => (english ? `${n} of ${n} inputs converted.` : `入力 ${n} 件をすべて変換しました。`),
        someConverted: (n, ok) => (english ? `${ok} of ${n} inputs converted.` : `入力 ${n} 件のうち ${ok} 件を変換しました。`),
        failedCount: (n) => (english ? ` ${n} failed.` : `${n} 件は変換できませんでした。`),
        refusedCount: (n) => (english ? ` ${n} with points left out.` : `${n} 件は変換できない地点がありました。`),
        noReason: english ? 'not converted' : '変換できませんでした',
        toMessages: english ? 'messages' : 'メッセージ',
        share: english ? 'Share' : '共有',
        shareName: (name) => (english ? `Share ${name}` : `${name} を共有`),
        shareFailed: (name, why) => (english ? `${name} could not be shared: ${why}` : `${name} を共有できませんでした: ${why}`),
        sharedFailed: (why) => (english ? `The shared files could not be taken: ${why}` : `共有されたファイルを受け取れませんでした: ${why}`),
        offlineFailed: (why) => (english ? `This page will not open offline: ${why}` : `このページはオフラインでは開けません: ${why}`),
        twoFingers: english ? 'Move the map with two fingers' : '地図は 2 本の指で動かします',
        fitAll: english ? 'Show every point' : 'すべての地点を表示',
        noTiles: english ? 'The map images could not be loaded' : '地図の画像を読み込めません',
        readingsLoaded: (name, n) => (english ? `${name}: ${n.toLocaleString()} readings, taken before the input's own are missing`
            : `${name}: ${n.toLocaleString()} 件の読みを、読みのない地点に使います`),
    };
    if (english) {
        document.documentElement.lang = 'en';
        for (const element of document.querySelectorAll('[data-i18n]')) {
            const text = T[element.dataset.i18n];
            if (text) element.textContent = text;
        }
    }

    const fileInput = $('files'), formatSelect = $('format'), mergeBox = $('merge'), mergeName = $('merge-name');
    const bomBox = $('bom'), downloads = $('downloads'), messages = $('messages'), tbody = document.querySelector('#point-table tbody');
    const pageNumber = $('page-number');
    const inputs = new Map(); // name -> Uint8Array, in the order chosen
    let edits = {}; // input name -> { point index -> { name, reading } }
    let formats = [];
    let urls = [];
    let linkTimer = 0;
    const SHOWN_LINES = 500;
    let latest = 0;
    let sentAt = 0;
    let renderTimer = 0, renderFrame = 0;
    const timings = (window.quorvelTimings = { runs: 0 });

    // The worker, from the script the page carries: the page stays one file and responsive.
    const workerSource = $('quorvel-worker').textContent;
    const worker = new Worker(URL.createObjectURL(new Blob([workerSource], { type: 'text/javascript' })));
    const gridScript = $('quorvel-grid');
    showLines([{ kind: 'info', text: say.loading }]);
    worker.postMessage({
        type: 'init',
        wasm: $('quorvel-wasm').textContent.trim(),
        grid: gridScript.textContent.trim(),
        gridBytes: Number(gridScript.dataset.bytes),
    });
    worker.onmessage = (event) => {
        const message = event.data;
        if (message.type === 'ready') ready(message.formats);
        else if (message.type === 'result' && message.id === latest) show(message);
        else if (message.type === 'list' && message.id === latest) showList(message);
        else if (message.type === 'readings') readingsTaken(message);
        else if (message.type === 'dictionary') {
            guessing = message.guess;
            timings.dictionary = message;
            timings.dictionaryMs = performance.now() - timings.readyMs;
            document.body.dataset.guessing = String(guessing);
            if (guessing && inputs.size) run();
        }
        else if (message.type === 'error') {
            showLines([{ kind: 'failure', text: (formats.length ? say.error : say.failedStart) + message.text }]);
            document.body.dataset.state = 'error';
        }
    };

    function ready(list) {
        formats = list;
        for (const format of formats) {
            const option = document.createElement('option');
            option.value = format.name;
            option.textContent = `${format.title} (${format.extension})`;
            formatSelect.append(option);
        }
        formatSelect.value = 'glorie';
        syncOptions();
        document.body.dataset.state = 'ready';
        timings.readyMs = performance.now();
        showLines([]);
        loadDictionary();
        if (pendingReadings) worker.postMessage(pendingReadings);
        else if (inputs.size) run();
        pendingReadings = null;
    }

    // MeCab's dictionary, when the page has it beside itself (quorvel-readings.js, a script: the
    // only file a page opened from disk may load), after the page is ready: the worker then
    // guesses readings, and what was converted before is converted again.
    function loadDictionary() {
        const script = document.createElement('script');
        script.src = 'quorvel-readings.js';
        const asked = performance.now();
        script.onload = () => {
            timings.dictionaryScriptMs = performance.now() - asked;
            if (self.quorvelReadings) worker.postMessage({ type: 'dictionary', files: self.quorvelReadings });
            delete self.quorvelReadings;
            script.remove();
        };
        script.onerror = () => (document.body.dataset.guessing = 'false');
        document.body.append(script);
    }

    // The user's readings: read by the core once when chosen, then taken by every conversion.
    let pendingReadings = null;
    let guessing = false; // MeCab's dictionary loaded: readings are guessed as the CLI guesses them
    $('readings').addEventListener('change', async () => {
        const file = $('readings').files[0];
        const message = { type: 'readings', name: file ? file.name : '', bytes: file ? await file.arrayBuffer() : null };
        if (formats.length) worker.postMessage(message, message.bytes ? [message.bytes] : []);
        else pendingReadings = message;
    });
    function readingsTaken(message) {
        const status = $('readings-status');
        status.className = message.error ? 'hint failure' : 'hint';
        status.textContent = message.error || (message.name ? say.readingsLoaded(message.name, message.count) : '');
        if (inputs.size) run();
    }

    function syncOptions() {
        const format = formats.find((f) => f.name === formatSelect.value);
        // The mark applies to CSV alone (the CLI refuses --bom for the others); the box keeps its
        // state while another format is chosen.
        $('bom-field').classList.toggle('disabled', !(format && format.takesBom));
        $('merge-name-field').hidden = !mergeBox.checked;
    }

    async function addFiles(list) {
        const notes = [];
        for (const file of list) {
            if (inputs.has(file.name)) notes.push({ kind: 'info', text: say.replaced(file.name) });
            inputs.delete(file.name);
            delete edits[file.name];
            inputs.set(file.name, new Uint8Array(await file.arrayBuffer()));
        }
        filesChanged(notes);
    }

    function filesChanged(notes) {
        const list = $('file-list');
        list.textContent = '';
        for (const [name, bytes] of inputs) {
            const item = document.createElement('li');
            const label = document.createElement('span');
            label.textContent = `${name} (${bytes.length.toLocaleString()} B)`;
            const remove = document.createElement('button');
            remove.type = 'button';
            remove.textContent = '\u00d7';
            remove.setAttribute('aria-label', say.remove(name));
            remove.addEventListener('click', () => {
                inputs.delete(name);
                delete edits[name];
                filesChanged([]);
            });
            item.append(label, remove);
            list.append(item);
        }
        worker.postMessage({ type: 'files', files: [...inputs].map(([name, bytes]) => ({ name, bytes: bytes.slice().buffer })) });
        run(notes);
    }

    let pendingNotes = [];
    function run(notes) {
        if (notes) pendingNotes = notes;
        if (!formats.length) return;
        if (!inputs.size) {
            latest++;
            const none = { shown: [], count: 0, file: null };
            show({ jobs: [], lines: none, outputs: [], generated: [], zips: [], ms: {} });
            showList({ lists: [], lines: none, unread: false, points: new Uint8Array(0), starts: new Uint32Array(1),
                markers: new Float64Array(0), bounds: null, ms: {} });
            return;
        }
        document.body.dataset.state = 'busy';
        const merged = (mergeName.value.trim() || 'merged') + formats.find((f) => f.name === formatSelect.value).extension;
        sentAt = performance.now();
        worker.postMessage({
            type: 'run',
            id: ++latest,
            request: {
                inputs: [...inputs.keys()],
                to: formatSelect.value,
                merge: mergeBox.checked,
                output: merged,
                bom: formats.find((f) => f.name === formatSelect.value).takesBom && bomBox.checked,
                edits,
            },
        });
    }

    // The CLI's lines: a summary as it is, a warning after "警告: ", the rest as they are.
    function lineOf(message) {
        return message.kind === 'warning' ? `警告: ${message.text}` : message.text;
    }

    // The lines as paragraphs; past 500 (a file of 100,000 points at sea has a warning each), the
    // rest in a text file to download, so that the page does not make 100,000 paragraphs.
    function showLines(lines, box = messages, packed = null) {
        box.textContent = '';
        const text = (line) => (line.kind === 'info' ? line.text : lineOf(line));
        for (const line of lines.concat(packed ? packed.shown : [])) {
            const p = document.createElement('p');
            p.className = line.kind;
            p.textContent = text(line);
            box.append(p);
        }
        if (packed && packed.count > packed.shown.length) {
            const name = box === messages ? 'quorvel-messages.txt' : 'quorvel-list-messages.txt';
            const item = link(name, packed.file, say.moreLines(packed.count - packed.shown.length, name));
            const p = document.createElement('p');
            p.className = 'more';
            p.append(...item.childNodes);
            box.append(p);
        }
    }

    // A download of a blob the worker made. Its address costs the page's thread most of a
    // millisecond (a worker's own addresses cannot be opened by a page from disk).
    function link(name, blob, text) {
        const url = URL.createObjectURL(blob);
        urls.push(url);
        const a = document.createElement('a');
        a.href = url;
        a.download = name;
        a.textContent = text || name;
        const item = document.createElement('li');
        const size = document.createElement('span');
        size.className = 'size';
        size.textContent = ` ${blob.size.toLocaleString()} B`;
        item.append(a, size);
        return item;
    }

    // The system share sheet for an output, where the browser can share such a file.
    const types = { gpx: 'application/gpx+xml', kml: 'application/vnd.google-earth.kml+xml', kmz: 'application/vnd.google-earth.kmz',
        geojson: 'application/geo+json', csv: 'text/csv', xml: 'application/xml', zip: 'application/zip', txt: 'text/plain' };
    function withShare(item, name, blob) {
        if (!navigator.canShare) return item;
        const file = new File([blob], name, { type: types[name.replace(/^.*\./, '').toLowerCase()] || 'application/octet-stream' });
        if (!navigator.canShare({ files: [file] })) return item;
        const button = document.createElement('button');
        button.type = 'button';
        button.className = 'share';
        button.textContent = say.share;
        button.setAttribute('aria-label', say.shareName(name));
        button.addEventListener('click', () => navigator.share({ files: [file], title: name }).catch((error) => {
            // Closing the sheet is the user's choice, not a failure.
            if (error.name !== 'AbortError') showLines([{ kind: 'failure', text: say.shareFailed(name, error.message || error.name) }]);
        }));
        item.append(' ', button);
        return item;
    }

    // At the top of the outputs: how many inputs converted, and each that failed or lost points
    // with its first failure and a link to its lines among the messages. An alert when any failed.
    function summarize(message) {
        const box = $('summary');
        box.textContent = '';
        box.hidden = inputs.size === 0;
        if (!inputs.size) return;
        const offset = pendingNotes.length;
        const shown = message.lines.shown;
        const failures = [];
        let total = 0, converted = 0, failed = 0, partial = 0;
        for (const job of message.jobs) {
            total += job.inputs.length;
            const [first, end] = job.lines || [0, 0];
            const reason = shown.slice(first, end).find((line) => line.kind === 'failure');
            if (job.ok) converted += job.inputs.length;
            else if (job.outputs.length && job.refused) partial += job.inputs.length;
            else failed += job.inputs.length;
            if (!job.ok) failures.push({ name: job.inputs.join('、'), reason: reason ? reason.text : say.noReason, line: first });
        }
        if (!message.jobs.length) {
            // Nothing was planned (an output over an input, no such format): the reason is the last failure.
            total = inputs.size;
            failed = total;
            let at = shown.length - 1;
            while (at >= 0 && shown[at].kind !== 'failure') --at;
            failures.push({ name: [...inputs.keys()].join('、'), reason: at >= 0 ? shown[at].text : say.noReason, line: Math.max(at, 0) });
        }
        const head = document.createElement('p');
        head.className = 'summary-head';
        head.textContent = failures.length
            ? say.someConverted(total, converted) + (failed ? say.failedCount(failed) : '') + (partial ? say.refusedCount(partial) : '')
            : say.allConverted(total);
        box.append(head);
        if (failures.length) {
            const list = document.createElement('ul');
            for (const failure of failures) {
                const item = document.createElement('li');
                const name = document.createElement('strong');
                name.textContent = failure.name;
                const to = document.createElement('a');
                // Its first line among the paragraphs, or the file of every line past them.
                const paragraph = failure.line < shown.length ? messages.children[offset + failure.line] : messages.querySelector('.more');
                if (paragraph) {
                    paragraph.id = `message-${failure.line}`;
                    to.href = `#${paragraph.id}`;
                }
                to.textContent = say.toMessages;
                item.append(name, `: ${failure.reason} `, to);
                list.append(item);
            }
            box.append(list);
        }
        box.setAttribute('role', failures.length ? 'alert' : 'status');
        box.classList.toggle('failed', failures.length > 0);
    }

    function show(message) {
        for (const url of urls) URL.revokeObjectURL(url);
        urls = [];
        clearTimeout(linkTimer);
        downloads.textContent = '';
        // The links in the order the CLI writes the files, each set followed by its zip.
        const wanted = [];
        const zips = new Map(message.zips.map((file) => [file.name, file.blob]));
        const outputs = new Map(message.outputs.map((file) => [file.name, file.blob]));
        for (const job of message.jobs) {
            for (const name of job.outputs) if (outputs.has(name)) wanted.push([name, outputs.get(name)]);
            const zipName = job.output.replace(/\.[^.]*$/, '') + '.zip';
            if (job.outputs.length > 1 && zips.has(zipName)) wanted.push([zipName, zips.get(zipName), say.zip(zipName)]);
        }
        if (zips.has('quorvel.zip') && message.jobs.length > 1) wanted.push(['quorvel.zip', zips.get('quorvel.zip'), `quorvel.zip (${say.all})`]);
        // 25 links a task: the 143 documents of a set would hold the page for a tenth of a second.
        const addLinks = (from) => {
            const items = document.createDocumentFragment();
            for (const [name, blob, text] of wanted.slice(from, from + 25)) items.append(withShare(link(name, blob, text), name, blob));
            downloads.append(items);
            if (from + 25 < wanted.length) linkTimer = setTimeout(() => addLinks(from + 25), 0);
            else timings.convertedMs = performance.now() - sentAt;
        };
        addLinks(0);
        const generated = $('generated');
        if (generated) generated.remove();
        if (message.generated.length) {
            const box = document.createElement('div');
            box.id = 'generated';
            const p = document.createElement('p');
            p.textContent = say.generated;
            const list = document.createElement('ul');
            for (const file of message.generated) list.append(link(file.name, file.blob));
            box.append(p, list);
            downloads.after(box);
        }
        $('no-outputs').hidden = wanted.length > 0 || inputs.size > 0;

        showLines(pendingNotes, messages, message.lines);
        summarize(message);
        pendingNotes = [];
        timings.worker = message.ms;
        document.body.dataset.state = 'converted';
    }

    // The listing, after the outputs: the table, the map, and what only the listing says (a
    // point the unit cannot take, when converting for a map) beside the table.
    function showList(message) {
        showLines([], $('list-messages'), message.lines);
        $('reading-note').hidden = !message.unread || guessing;
        listing = message;
        page = 0;
        plot(message.lists, message.markers, message.bounds);
        timings.list = message.ms;
        renderTable(() => {
            timings.roundTripMs = performance.now() - sentAt;
            timings.runs++;
            document.body.dataset.state = 'done';
            document.body.dataset.runs = String(timings.runs);
        }, rowCount() > PAGE);
    }

    // A listed point is a line of fields (WebConverter.h): their places, and the line split.
    const P = { hasUnit: 0, unitName: 1, unitReading: 2, nameBytes: 3, readingBytes: 4, tokyoLat: 5, tokyoLon: 6, digits: 7,
        shifted: 8, latText: 9, lonText: 10, method: 11, name: 12, guessed: 13 };
    const unescapes = { t: '\t', n: '\n', r: '\r', '\\': '\\' };
    const fields = (line) => line.split('\t').map((f) => (f.includes('\\') ? f.replace(/\\(.)/g, (_, c) => unescapes[c] || c) : f));
    // Rows a page of the table: Chromium lays a table out whole at every change, 0.2 to 0.4 ms a
    // row here; 100 keep the page answering within a tenth of a second (250 held it 0.14 s).
    const PAGE = 100;
    // The last listing: its points as UTF-8 lines and where each starts, decoded a row at a time.
    let listing = { lists: [], points: new Uint8Array(0), starts: new Uint32Array(1) };
    let page = 0;
    const decoder = new TextDecoder();
    const rowCount = () => listing.starts.length - 1;
    // A row of the table: its input, the point's index in it, and its line.
    function rowAt(row) {
        let index = row, input = '';
        for (const list of listing.lists) {
            if (index < list.count) {
                input = list.input;
                break;
            }
            index -= list.count;
        }
        return [input, index, decoder.decode(listing.points.subarray(listing.starts[row], listing.starts[row + 1] - 1))];
    }
    const escape = (text) => String(text).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);

    // One row a point of the page shown, put in at once in a task of its own, after the rest of
    // the listing; then done().
    function renderTable(done, afterFrame = false) {
        clearTimeout(renderTimer);
        cancelAnimationFrame(renderFrame);
        const rows = rowCount();
        const pages = Math.ceil(rows / PAGE);
        $('table-pages').hidden = pages <= 1;
        $('page-label').textContent = say.page(page * PAGE + 1, Math.min(rows, (page + 1) * PAGE), rows);
        pageNumber.max = String(Math.max(pages, 1));
        pageNumber.value = String(page + 1);
        $('page-count').textContent = say.pages(pages);
        $('prev-page').disabled = page === 0;
        $('next-page').disabled = page >= pages - 1;
        const first = page * PAGE, last = Math.min(rows, first + PAGE);
        const put = () => {
            let html = '';
            for (let at = first; at < last; ++at) html += rowHtml(at);
            tbody.innerHTML = html;
            if (done) done();
        };
        // A listing of many pages (its message's transfer, map and lines took tens of milliseconds
        // of 100,000 points) is shown a frame before its rows: the two are never one pause.
        if (afterFrame) renderFrame = requestAnimationFrame(() => (renderTimer = setTimeout(put, 0)));
        else renderTimer = setTimeout(put, 0);
    }
    // A page typed in (Enter, leaving the field or its arrows): the nearest page there is; an
    // empty field puts the current one back.
    pageNumber.addEventListener('change', () => {
        const wanted = Math.round(Number(pageNumber.value));
        if (pageNumber.value !== '' && Number.isFinite(wanted)) page = Math.max(Math.min(wanted, Math.ceil(rowCount() / PAGE)), 1) - 1;
        renderTable();
    });
    $('prev-page').addEventListener('click', () => {
        page--;
        renderTable();
    });
    $('next-page').addEventListener('click', () => {
        page++;
        renderTable();
    });

    function rowHtml(at) {
        const [input, index, line] = rowAt(at);
        const p = fields(line);
        const td = (text, className) => `<td${className ? ` class="${className}"` : ''}>${escape(text)}</td>`;
        const unit = p[P.hasUnit] === '1', shifted = p[P.shifted] === '1';
        const editable = (field, text, bytes) => unit
            ? `<td class="${field}" contenteditable="plaintext-only" spellcheck="false" data-row="${at}" data-bytes="${escape(say.bytes(bytes))}">${escape(text)}</td>`
            : `<td class="${field}"></td>`;
        return `<tr>${td(input, 'file')}${td(index + 1, 'number')}${editable('name', p[P.unitName], p[P.nameBytes])}` +
            `${editable('reading', p[P.unitReading], p[P.readingBytes])}${td(p[P.tokyoLat])}${td(p[P.tokyoLon])}${td(p[P.digits])}` +
            `${td(p[P.latText])}${td(p[P.lonText])}${td(shifted ? p[P.method] : '')}` +
            `${td(shifted ? (unit ? '' : say.notForUnit) : p[P.method])}${td(p[P.name], 'original')}` +
            `${td(p[P.guessed] === '1' ? '\u25cb' : '', 'guessed')}</tr>`;
    }

    // An edited name or reading: Enter keeps it, Escape takes it back; leaving the cell converts again.
    const shown = (cell) => fields(rowAt(Number(cell.dataset.row))[2])[cell.classList.contains('name') ? P.unitName : P.unitReading];
    tbody.addEventListener('keydown', (event) => {
        const cell = event.target;
        if (!cell.dataset || cell.dataset.row === undefined) return;
        if (event.key === 'Enter') {
            event.preventDefault();
            cell.blur();
        } else if (event.key === 'Escape') {
            cell.textContent = shown(cell);
            cell.blur();
        }
    });
    tbody.addEventListener('focusout', (event) => {
        const cell = event.target;
        if (!cell.dataset || cell.dataset.row === undefined) return;
        const value = cell.textContent.replace(/[\r\n]+/g, ' ');
        if (value === shown(cell)) return;
        const [input, index] = rowAt(Number(cell.dataset.row));
        const field = cell.classList.contains('name') ? 'name' : 'reading';
        const forInput = (edits[input] = edits[input] || {});
        forInput[index] = Object.assign(forInput[index] || {}, { [field]: value });
        run();
    });

    // The map: Leaflet, tiles of the GSI standard map when online, the points drawn on canvas
    // tiles from an index sorted by x, so that 100,000 of them pan as smoothly as ten.
    // On a touch screen one finger scrolls the page (the map would otherwise hold it over most of a
    // phone's screen) and two fingers move and zoom the map; a hint says so when one finger tries.
    const touch = window.matchMedia('(pointer: coarse)').matches;
    const map = L.map('map', { preferCanvas: true, worldCopyJump: false, dragging: !touch }).setView([36.5, 137.5], 5);
    const mapBox = map.getContainer();
    const overlay = (className, role) => {
        const element = L.DomUtil.create('div', className, mapBox);
        element.hidden = true;
        if (role) element.setAttribute('role', role);
        return element;
    };
    const hint = overlay('map-hint'), mapNote = overlay('map-note', 'status');
    hint.textContent = say.twoFingers;
    mapNote.textContent = say.noTiles;
    let hintTimer = 0;
    if (touch) {
        mapBox.addEventListener('touchmove', (event) => {
            if (event.touches.length !== 1) return;
            hint.hidden = false;
            clearTimeout(hintTimer);
            hintTimer = setTimeout(() => (hint.hidden = true), 1500);
        }, { passive: true });
        mapBox.addEventListener('touchstart', (event) => {
            if (event.touches.length > 1) hint.hidden = true;
        }, { passive: true });
    }
    // Every point in view again, after panning or zooming away.
    let allBounds = null;
    const fitAll = () => allBounds && map.fitBounds(allBounds, { padding: [20, 20], maxZoom: 15 });
    const FitControl = L.Control.extend({
        options: { position: 'topleft' },
        onAdd() {
            const button = L.DomUtil.create('button', 'leaflet-bar map-fit');
            button.type = 'button';
            button.textContent = '\u2922';
            button.title = say.fitAll;
            button.setAttribute('aria-label', say.fitAll);
            L.DomEvent.disableClickPropagation(button);
            L.DomEvent.on(button, 'click', fitAll);
            return button;
        },
    });
    new FitControl().addTo(map);
    // The view's centre in world pixels and its zoom, for tests that move the map.
    window.quorvelView = () => [map.project(map.getCenter()).x, map.project(map.getCenter()).y, map.getZoom()];
    const tiles = L.tileLayer('https://cyberjapandata.gsi.go.jp/xyz/std/{z}/{x}/{y}.png', {
        attribution: '<a href="https://maps.gsi.go.jp/development/ichiran.html" target="_blank" rel="noopener noreferrer">出典：国土地理院</a>',
        minZoom: 2,
        maxZoom: 18,
        referrerPolicy: 'no-referrer',
    });
    // Without the map's images the map says so in one line; the points stay. Offline, the site's
    // service worker may still hold the tiles viewed before.
    const goOnline = () => {
        const kept = Boolean(navigator.serviceWorker && navigator.serviceWorker.controller);
        mapNote.hidden = navigator.onLine || kept;
        if ((navigator.onLine || kept) && !map.hasLayer(tiles)) tiles.addTo(map);
    };
    window.addEventListener('online', goOnline);
    window.addEventListener('offline', goOnline);
    tiles.on('tileerror', () => (mapNote.hidden = false));
    tiles.on('tileload', () => (mapNote.hidden = true));
    goOnline();

    // A marker is a red disc on a white one a little larger; every white one of a tile lies under
    // every red one, so that close markers merge into one red shape with a white edge. The discs
    // are stamped into the tile's pixels from their antialiased shapes, measured once: thousands
    // of them cost a few milliseconds where as many drawn arcs or images cost a hundred.
    const stampOf = (radius) => {
        const canvas = document.createElement('canvas');
        canvas.width = canvas.height = 14;
        const context = canvas.getContext('2d');
        context.arc(7, 7, radius, 0, 2 * Math.PI);
        context.fill();
        const alpha = context.getImageData(0, 0, 14, 14).data;
        const stamp = [];
        for (let y = 0; y < 14; ++y) for (let x = 0; x < 14; ++x) if (alpha[(y * 14 + x) * 4 + 3]) stamp.push(x - 7, y - 7, alpha[(y * 14 + x) * 4 + 3]);
        return stamp;
    };
    const edgeStamp = stampOf(5.75), faceStamp = stampOf(5);
    const PointLayer = L.GridLayer.extend({
        setPoints(points) {
            this.points = points; // five numbers a marker (WebConverter.h: Markers), sorted by x
            this.redraw();
        },
        // Each tile is drawn in a task of its own: a map of dense tiles never holds the page for
        // all of them at once.
        createTile(coords, done) {
            const tile = L.DomUtil.create('canvas', 'leaflet-tile');
            const size = this.getTileSize();
            tile.width = size.x;
            tile.height = size.y;
            const points = this.points || new Float64Array(0);
            setTimeout(() => {
                drawTile(tile, coords, size, points);
                done(null, tile);
            }, 0);
            return tile;
        },
    });
    // The markers of a tile, one a 3-pixel cell, so that a dense tile costs no more than its cells.
    function drawTile(tile, coords, size, points) {
        const scale = Math.pow(2, coords.z);
        const left = (coords.x * size.x) / scale, top = (coords.y * size.y) / scale;
        const margin = 8 / scale;
        const width = size.x, height = size.y;
        const stride = Math.ceil(width / 3 + 6);
        const taken = new Uint8Array(stride * Math.ceil(height / 3 + 6));
        const edge = new Uint8Array(width * height), face = new Uint8Array(width * height);
        const stamp = (coverage, shape, cx, cy) => {
            for (let k = 0; k < shape.length; k += 3) {
                const x = cx + shape[k], y = cy + shape[k + 1];
                if (x < 0 || y < 0 || x >= width || y >= height) continue;
                const at = y * width + x;
                if (coverage[at] < shape[k + 2]) coverage[at] = shape[k + 2];
            }
        };
        let any = false;
        for (let i = lowerBound(points, left - margin); i < points.length && points[i] <= left + width / scale + margin; i += 5) {
            const x = (points[i] - left) * scale, y = (points[i + 1] - top) * scale;
            if (y < -8 || y > height + 8) continue;
            const cell = Math.floor((y + 6) / 3) * stride + Math.floor((x + 6) / 3);
            if (taken[cell]) continue;
            taken[cell] = 1;
            any = true;
            stamp(edge, edgeStamp, Math.round(x), Math.round(y));
            stamp(face, faceStamp, Math.round(x), Math.round(y));
        }
        if (!any) return;
        // Red (#d7263d) over white, both by their coverage.
        const image = new ImageData(width, height);
        const pixels = image.data;
        for (let at = 0; at < width * height; ++at) {
            const f = face[at] / 255, e = edge[at] / 255;
            const alpha = f + e * (1 - f);
            if (!alpha) continue;
            const white = 255 * e * (1 - f);
            pixels[4 * at] = (0xd7 * f + white) / alpha;
            pixels[4 * at + 1] = (0x26 * f + white) / alpha;
            pixels[4 * at + 2] = (0x3d * f + white) / alpha;
            pixels[4 * at + 3] = 255 * alpha;
        }
        tile.getContext('2d').putImageData(image, 0, 0);
    }
    // The offset of the first marker whose x is not below x.
    function lowerBound(points, x) {
        let low = 0, high = points.length / 5;
        while (low < high) {
            const mid = (low + high) >> 1;
            if (points[mid * 5] < x) low = mid + 1;
            else high = mid;
        }
        return low * 5;
    }
    const layer = new PointLayer({ pane: 'overlayPane' }).addTo(map);
    let plotted = '';

    function plot(lists, markers, bounds) {
        layer.setPoints(markers);
        // A new set of files is fitted into view; an edit keeps the view.
        const key = lists.map((list) => `${list.input}:${list.count}`).join('|');
        allBounds = bounds;
        if (key !== plotted && bounds) fitAll();
        plotted = key;
    }

    map.on('click', (event) => {
        const points = layer.points || new Float64Array(0);
        const scale = Math.pow(2, map.getZoom());
        const at = map.options.crs.latLngToPoint(event.latlng, 0);
        const reach = 8 / scale;
        let best = -1, bestDistance = reach * reach;
        for (let i = lowerBound(points, at.x - reach); i < points.length && points[i] <= at.x + reach; i += 5) {
            const d = (points[i] - at.x) ** 2 + (points[i + 1] - at.y) ** 2;
            if (d <= bestDistance) {
                best = i;
                bestDistance = d;
            }
        }
        if (best < 0) return;
        const [input, index, line] = rowAt(points[best + 2]);
        L.popup().setLatLng([points[best + 3], points[best + 4]]).setContent(escape(`${input} ${index + 1}: ${fields(line)[P.name]}`)).openOn(map);
    });

    fileInput.addEventListener('change', () => {
        addFiles([...fileInput.files]);
        fileInput.value = '';
    });
    for (const control of [formatSelect, mergeBox, bomBox]) control.addEventListener('change', () => {
        syncOptions();
        run();
    });
    mergeName.addEventListener('change', () => run());
    // Text pasted on the page outside its own fields (map links, geo: URIs, coordinates, a table)
    // is an input of its own, as if saved as a text file: the converter knows a list of links by
    // its content.
    let pastes = 0;
    document.addEventListener('paste', (event) => {
        if (event.target instanceof Element && event.target.closest('input, textarea, [contenteditable]')) return;
        const text = event.clipboardData ? event.clipboardData.getData('text/plain') : '';
        if (!text.trim()) return;
        event.preventDefault();
        addFiles([new File([text], say.pasted(++pastes))]);
    });
    // A drop anywhere on the page adds the files; the browser would otherwise open them.
    document.addEventListener('dragover', (event) => {
        event.preventDefault();
        document.body.classList.add('dragging');
    });
    document.addEventListener('dragleave', (event) => {
        if (!event.relatedTarget) document.body.classList.remove('dragging');
    });
    document.addEventListener('drop', (event) => {
        event.preventDefault();
        document.body.classList.remove('dragging');
        if (event.dataTransfer && event.dataTransfer.files.length) addFiles([...event.dataTransfer.files]);
    });

    // Served as the site (its manifest beside it): the service worker keeps the page for offline
    // use; files come from another app's share sheet (the worker hands them over in a cache) and,
    // on a desktop that installed the page, from opening them with it.
    if (document.querySelector('link[rel=manifest]') && window.isSecureContext) {
        const note = (text) => {
            $('offline-note').textContent = text;
            $('offline-note').hidden = false;
        };
        if ('serviceWorker' in navigator) navigator.serviceWorker.register('sw.js').catch((error) => note(say.offlineFailed(error.message || error)));
        else note(say.offlineFailed('service worker'));
        const shared = new URLSearchParams(location.search).get('shared');
        if (shared !== null) {
            history.replaceState(null, '', location.pathname);
            takeShared(shared).catch((error) => showLines([{ kind: 'failure', text: say.sharedFailed(error.message || error) }]));
        }
        if ('launchQueue' in window) window.launchQueue.setConsumer(async (launch) => {
            if (launch.files && launch.files.length) addFiles(await Promise.all(launch.files.map((handle) => handle.getFile())));
        });
    }
    async function takeShared(outcome) {
        if (outcome.startsWith('failed:')) throw new Error(outcome.slice(7));
        const cache = await caches.open('quorvel-shared');
        const kept = await cache.keys();
        const order = (request) => Number(request.url.split('/').slice(-2)[0]);
        const files = [];
        for (const request of kept.sort((a, b) => order(a) - order(b))) {
            const response = await cache.match(request);
            files.push(new File([await response.blob()], decodeURIComponent(request.url.split('/').pop())));
            await cache.delete(request);
        }
        if (files.length) await addFiles(files);
    }
})();
