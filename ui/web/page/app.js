// The page: inputs chosen or dropped, handed to the worker (the core), and what comes back shown
// as downloads, messages, a table and a map. Nothing is sent anywhere: the files stay in memory.
'use strict';
(function () {
    const $ = (id) => document.getElementById(id);
    const english = !/^ja\b/i.test(navigator.language || 'ja');
    const T = {
        privacy: 'Files are read and written inside this page only and never sent anywhere. When online, only the map images are loaded from the Geospatial Information Authority of Japan.',
        inputs: 'Inputs', choose: 'Choose files (several at once) or drop them here',
        formats: 'Memory-point files (.mem), glorie documents (.xml), GPX, KML, GeoJSON and CSV are read.',
        options: 'Output', format: 'Output format', merge: 'Merge every input into one output',
        mergeName: 'Name of the merged output (without extension)', bom: 'Byte-order mark at the start of a CSV (for spreadsheets)',
        downloads: 'Downloads', noOutputs: 'Outputs appear here once files are chosen.', messages: 'Messages',
        map: 'Map', points: 'Points',
        readingNote: 'This page guesses no readings (the dictionary is too large to carry). Points without a reading are written without one (as quorvel-cli --reading none). Names and readings can be edited; the cells show them cut to the unit\u2019s 16 bytes.',
        tableCaption: 'Points of the inputs (names and readings can be edited)',
        colFile: 'File', colNumber: 'No.', colName: 'Name', colReading: 'Reading', colLat: 'Latitude', colLon: 'Longitude',
        colDigits: 'Digits', colWgsLat: 'Latitude (WGS84)', colWgsLon: 'Longitude (WGS84)', colMethod: 'Datum shift',
        colReason: 'Why not converted', colOriginal: 'Original name',
        footer: 'Coordinates are shown in the Tokyo datum (the unit) and in WGS 84 (maps), shifted with the national grid (TKY2JGD).',
    };
    const say = {
        loading: english ? 'Loading the converter\u2026' : '変換の準備をしています\u2026',
        failedStart: english ? 'The converter could not be started: ' : '変換の準備ができませんでした: ',
        replaced: (name) => (english ? `${name} replaced by the file of the same name` : `${name} を同じ名前のファイルで置き換えました`),
        remove: (name) => (english ? `Remove ${name}` : `${name} を外す`),
        zip: (name) => (english ? `${name} (all files of the set as one zip)` : `${name} (この組のすべてのファイルを一つの zip に)`),
        all: english ? 'every output as one zip' : 'すべての出力を一つの zip に',
        generated: english ? 'Inputs rewritten with your edits (what the outputs were made from):' : '編集を反映した入力 (出力はこれから作られています):',
        bytes: (n) => `${n}/16 ${english ? 'bytes' : 'バイト'}`,
        notForUnit: 'ナビに記録不可',
        busy: english ? 'Converting\u2026' : '変換しています\u2026',
        error: english ? 'The converter failed: ' : '変換に失敗しました: ',
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
    const inputs = new Map(); // name -> Uint8Array, in the order chosen
    let edits = {}; // input name -> { point index -> { name, reading } }
    let formats = [];
    let urls = [];
    let latest = 0;
    let sentAt = 0;
    let renderTimer = 0;
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
        showLines([]);
        if (inputs.size) run();
    }

    function syncOptions() {
        const format = formats.find((f) => f.name === formatSelect.value);
        bomBox.disabled = !(format && format.takesBom);
        $('bom-field').classList.toggle('disabled', bomBox.disabled);
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
            show({ answer: { lists: [], jobs: [], plan: '', generated: [], editMessages: [] }, outputs: [], generated: [] });
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
                bom: !bomBox.disabled && bomBox.checked,
                edits,
            },
        });
    }

    // The CLI's lines: a summary as it is, a warning after "警告: ", the rest as they are.
    function lineOf(message) {
        return message.kind === 'warning' ? `警告: ${message.text}` : message.text;
    }

    function showLines(lines, box = messages) {
        box.textContent = '';
        for (const line of lines) {
            const p = document.createElement('p');
            p.className = line.kind;
            p.textContent = line.kind === 'info' ? line.text : lineOf(line);
            box.append(p);
        }
    }

    function link(name, bytes, text) {
        const url = URL.createObjectURL(new Blob([bytes], { type: 'application/octet-stream' }));
        urls.push(url);
        const a = document.createElement('a');
        a.href = url;
        a.download = name;
        a.textContent = text || name;
        const item = document.createElement('li');
        const size = document.createElement('span');
        size.className = 'size';
        size.textContent = ` ${bytes.length.toLocaleString()} B`;
        item.append(a, size);
        return item;
    }

    function show(message) {
        const answer = message.answer;
        for (const url of urls) URL.revokeObjectURL(url);
        urls = [];
        downloads.textContent = '';
        const byName = new Map(message.outputs.map((file) => [file.name, file.bytes]));
        const all = {};
        for (const job of answer.jobs || []) {
            for (const name of job.outputs) {
                downloads.append(link(name, byName.get(name)));
                all[name] = byName.get(name);
            }
            if (job.outputs.length > 1) {
                const set = {};
                for (const name of job.outputs) set[name] = byName.get(name);
                const zipName = job.output.replace(/\.[^.]*$/, '') + '.zip';
                downloads.append(link(zipName, fflate.zipSync(set), say.zip(zipName)));
            }
        }
        if (Object.keys(all).length > 1 && (answer.jobs || []).length > 1)
            downloads.append(link('quorvel.zip', fflate.zipSync(all), `quorvel.zip (${say.all})`));
        const generated = $('generated');
        if (generated) generated.remove();
        if (message.generated.length) {
            const box = document.createElement('div');
            box.id = 'generated';
            const p = document.createElement('p');
            p.textContent = say.generated;
            const list = document.createElement('ul');
            for (const file of message.generated) list.append(link(file.name, file.bytes));
            box.append(p, list);
            downloads.after(box);
        }
        $('no-outputs').hidden = downloads.children.length > 0;

        const lines = pendingNotes.concat(answer.editMessages || []);
        pendingNotes = [];
        if (answer.error) lines.push({ kind: 'failure', text: answer.error });
        if (answer.plan) lines.push({ kind: 'failure', text: answer.plan });
        const seen = new Set();
        for (const job of answer.jobs || []) for (const m of job.messages) {
            lines.push(m);
            seen.add(lineOf(m));
        }
        showLines(lines);
        // What only the listing says (a point the unit cannot take, when converting for a map),
        // beside the table rather than among the conversion's own lines.
        const listLines = [];
        for (const list of answer.lists || []) for (const m of list.messages) {
            if (!seen.has(lineOf(m))) listLines.push(m);
            seen.add(lineOf(m));
        }
        showLines(listLines, $('list-messages'));
        renderTable(answer.lists || []);
        plot(answer.lists || []);
        timings.runs++;
        timings.workerMs = message.ms;
        timings.roundTripMs = performance.now() - sentAt;
        document.body.dataset.state = 'done';
        document.body.dataset.runs = String(timings.runs);
    }

    // One row a point, in chunks so that 100,000 rows never block the page.
    function renderTable(lists) {
        clearTimeout(renderTimer);
        tbody.textContent = '';
        const rows = [];
        let missingReading = false;
        for (const list of lists) list.points.forEach((point, index) => {
            rows.push([list.input, index, point]);
            if (point.hasUnit && !point.unitReading) missingReading = true;
        });
        $('reading-note').hidden = !missingReading;
        let at = 0;
        const chunk = () => {
            const fragment = document.createDocumentFragment();
            const end = Math.min(rows.length, at + (at === 0 ? 500 : 2000));
            for (; at < end; ++at) fragment.append(row(...rows[at]));
            tbody.append(fragment);
            if (at < rows.length) renderTimer = setTimeout(chunk, 0);
        };
        chunk();
    }

    function cell(tr, text, className) {
        const td = document.createElement('td');
        td.textContent = text == null ? '' : text;
        if (className) td.className = className;
        tr.append(td);
        return td;
    }

    function row(input, index, point) {
        const tr = document.createElement('tr');
        cell(tr, input, 'file');
        cell(tr, index + 1, 'number');
        for (const field of ['name', 'reading']) {
            const text = point.hasUnit ? point[field === 'name' ? 'unitName' : 'unitReading'] : '';
            const td = cell(tr, text, field);
            if (!point.hasUnit) continue;
            td.contentEditable = 'plaintext-only';
            td.spellcheck = false;
            td.dataset.bytes = say.bytes(point[field === 'name' ? 'unitNameBytes' : 'unitReadingBytes']);
            td.addEventListener('keydown', (event) => {
                if (event.key === 'Enter') {
                    event.preventDefault();
                    td.blur();
                } else if (event.key === 'Escape') {
                    td.textContent = text;
                    td.blur();
                }
            });
            td.addEventListener('blur', () => {
                const value = td.textContent.replace(/[\r\n]+/g, ' ');
                if (value === text) return;
                const forInput = (edits[input] = edits[input] || {});
                forInput[index] = Object.assign(forInput[index] || {}, { [field]: value });
                run();
            });
        }
        cell(tr, point.tokyoLatitude);
        cell(tr, point.tokyoLongitude);
        cell(tr, point.digits);
        cell(tr, point.latitude);
        cell(tr, point.longitude);
        cell(tr, point.shifted ? point.method : '');
        cell(tr, point.shifted ? (point.hasUnit ? '' : say.notForUnit) : point.method);
        cell(tr, point.name, 'original');
        return tr;
    }

    // The map: Leaflet, tiles of the GSI standard map when online, the points drawn on canvas
    // tiles from an index sorted by x, so that 100,000 of them pan as smoothly as ten.
    const map = L.map('map', { preferCanvas: true, worldCopyJump: false }).setView([36.5, 137.5], 5);
    const tiles = L.tileLayer('https://cyberjapandata.gsi.go.jp/xyz/std/{z}/{x}/{y}.png', {
        attribution: '<a href="https://maps.gsi.go.jp/development/ichiran.html" target="_blank" rel="noopener noreferrer">出典：国土地理院</a>',
        minZoom: 2,
        maxZoom: 18,
        referrerPolicy: 'no-referrer',
    });
    const goOnline = () => {
        if (navigator.onLine && !map.hasLayer(tiles)) tiles.addTo(map);
    };
    window.addEventListener('online', goOnline);
    goOnline();

    const PointLayer = L.GridLayer.extend({
        setPoints(points) {
            this.points = points; // [x, y (world pixels at zoom 0), label], sorted by x
            this.redraw();
        },
        createTile(coords) {
            const tile = L.DomUtil.create('canvas', 'leaflet-tile');
            const size = this.getTileSize();
            tile.width = size.x;
            tile.height = size.y;
            const scale = Math.pow(2, coords.z);
            const left = (coords.x * size.x) / scale, top = (coords.y * size.y) / scale;
            const margin = 6 / scale;
            const points = this.points || [];
            const context = tile.getContext('2d');
            context.fillStyle = '#d7263d';
            context.strokeStyle = '#ffffff';
            context.lineWidth = 1.5;
            for (let i = lowerBound(points, left - margin); i < points.length && points[i][0] <= left + size.x / scale + margin; ++i) {
                const y = (points[i][1] - top) * scale;
                if (y < -6 || y > size.y + 6) continue;
                context.beginPath();
                context.arc((points[i][0] - left) * scale, y, 5, 0, 2 * Math.PI);
                context.fill();
                context.stroke();
            }
            return tile;
        },
    });
    function lowerBound(points, x) {
        let low = 0, high = points.length;
        while (low < high) {
            const mid = (low + high) >> 1;
            if (points[mid][0] < x) low = mid + 1;
            else high = mid;
        }
        return low;
    }
    const layer = new PointLayer({ pane: 'overlayPane' }).addTo(map);
    let plotted = '';

    function plot(lists) {
        const points = [];
        const bounds = [];
        for (const list of lists) list.points.forEach((point, index) => {
            if (!point.shifted) return;
            const at = map.options.crs.latLngToPoint(L.latLng(point.lat, point.lon), 0);
            points.push([at.x, at.y, `${list.input} ${index + 1}: ${point.name}`, point.lat, point.lon]);
            bounds.push([point.lat, point.lon]);
        });
        points.sort((a, b) => a[0] - b[0]);
        layer.setPoints(points);
        // A new set of files is fitted into view; an edit keeps the view.
        const key = lists.map((list) => `${list.input}:${list.points.length}`).join('|');
        if (key !== plotted && bounds.length) map.fitBounds(bounds, { padding: [20, 20], maxZoom: 15 });
        plotted = key;
    }

    map.on('click', (event) => {
        const points = layer.points || [];
        const scale = Math.pow(2, map.getZoom());
        const at = map.options.crs.latLngToPoint(event.latlng, 0);
        const reach = 8 / scale;
        let best = null, bestDistance = reach * reach;
        for (let i = lowerBound(points, at.x - reach); i < points.length && points[i][0] <= at.x + reach; ++i) {
            const d = (points[i][0] - at.x) ** 2 + (points[i][1] - at.y) ** 2;
            if (d <= bestDistance) {
                best = points[i];
                bestDistance = d;
            }
        }
        if (best) L.popup().setLatLng([best[3], best[4]]).setContent(escapeHtml(best[2])).openOn(map);
    });
    function escapeHtml(text) {
        return text.replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);
    }

    fileInput.addEventListener('change', () => {
        addFiles([...fileInput.files]);
        fileInput.value = '';
    });
    for (const control of [formatSelect, mergeBox, bomBox]) control.addEventListener('change', () => {
        syncOptions();
        run();
    });
    mergeName.addEventListener('change', () => run());
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
})();
