// The page's outputs: the downloads of a run (each set followed by its zip), the inputs rewritten
// with the user's edits, the message lines, the summary under the inputs and the bar of a phone.
// QuorvelOutputs({ say, protocol, state, shown }): showLines, show. state() gives { inputs (name ->
// bytes), notes (lines of the page's own before the core's), timings, sentAt }; shown(message) is
// called when every link of a run is in the page.
function QuorvelOutputs({ say, protocol, state, shown }) {
    const $ = (id) => document.getElementById(id);
    const downloads = $('downloads'), messages = $('messages');
    let urls = [];
    let linkTimer = 0;

    // The CLI's lines: a summary as it is, a warning after "警告: " ("warning: "), the rest as they are.
    function lineOf(message) {
        return message.kind === 'warning' ? say.warning(message.text) : message.text;
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
            const name = box === messages ? protocol.files.messages : protocol.files.listMessages;
            const item = link(name, packed.file, say.moreLines(packed.count - packed.shown.length, name));
            const p = document.createElement('p');
            p.className = 'more';
            p.append(...item.childNodes);
            box.append(p);
        }
        // A box of lines may scroll: reached by the keyboard then, as its lines are.
        if (box.childElementCount) box.tabIndex = 0;
        else box.removeAttribute('tabindex');
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

    // Under the inputs: how many converted (one that lost points is converted,
    // the points counted), and each that failed or lost points with its first reason and a way to
    // its lines among the messages. An alert when any failed.
    function summarize(message, inputs, notes) {
        const box = $('summary');
        box.textContent = '';
        box.hidden = inputs.size === 0;
        if (!inputs.size) return;
        const offset = notes.length;
        const shown = message.lines.shown;
        const items = [];
        let total = 0, converted = 0, failed = 0, leftOut = 0;
        for (const job of message.jobs) {
            total += job.inputs.length;
            const [first, end] = job.lines || [0, 0];
            const lines = shown.slice(first, end);
            const partial = !job.ok && job.outputs.length > 0 && job.refused > 0;
            if (job.ok || partial) converted += job.inputs.length;
            else failed += job.inputs.length;
            if (partial) leftOut += job.refused;
            if (job.ok) continue;
            const reason = lines.find((line) => line.kind === 'failure');
            items.push({ names: job.inputs, reason: reason ? reason.text : say.noReason, line: first, refused: partial ? job.refused : 0 });
        }
        if (!message.jobs.length) {
            // Nothing was planned (an output over an input, no such format): the reason is the last failure.
            total = inputs.size;
            failed = total;
            let at = shown.length - 1;
            while (at >= 0 && shown[at].kind !== 'failure') --at;
            items.push({ names: [...inputs.keys()], reason: at >= 0 ? shown[at].text : say.noReason, line: Math.max(at, 0), refused: 0 });
        }
        const head = document.createElement('p');
        head.className = 'summary-head';
        head.textContent = (failed ? say.someConverted(total, converted) + say.failedCount(failed) : say.allConverted(total)) +
            (leftOut ? say.leftOutCount(leftOut) : '');
        box.append(head);
        if (items.length) {
            const list = document.createElement('ul');
            for (const item of items) {
                const entry = document.createElement('li');
                const name = document.createElement('strong');
                const names = item.names.join('、');
                name.textContent = names;
                // The core's line starts with the file it speaks of: named once, in bold.
                const reason = item.reason.startsWith(`${names}: `) ? item.reason.slice(names.length + 2) : item.reason;
                const to = document.createElement('a');
                to.className = 'reasons';
                // Its first line among the paragraphs, or the file of every line past them.
                const paragraph = item.line < shown.length ? messages.children[offset + item.line] : messages.querySelector('.more');
                if (paragraph) {
                    paragraph.id = `message-${item.line}`;
                    to.href = `#${paragraph.id}`;
                }
                to.textContent = say.toMessages;
                to.setAttribute('aria-label', say.toReasons(names));
                // One that lost points: converted, the points counted; their reasons are among the messages.
                entry.append(name, `: ${item.refused ? say.convertedLeftOut(item.refused) : reason} `, to);
                list.append(entry);
            }
            box.append(list);
        }
        box.setAttribute('role', failed ? 'alert' : 'status');
        box.classList.toggle('failed', failed > 0);
        box.classList.toggle('partial', !failed && leftOut > 0);
    }

    // Below two columns, the outputs' bar at the foot of the screen: everything in one download
    // (the single output, else the zip of them all) and the way to the list.
    function showBar(wanted) {
        const bar = $('download-bar');
        bar.hidden = wanted.length === 0;
        document.body.classList.toggle('with-bar', wanted.length > 0);
        if (!wanted.length) return;
        const [name, blob, text] = wanted[wanted.length - 1];
        const url = URL.createObjectURL(blob);
        urls.push(url);
        const a = $('bar-download');
        a.href = url;
        a.download = name;
        a.textContent = text || name;
        $('bar-list').textContent = say.allOutputs(wanted.length);
    }

    function show(message) {
        const { inputs, notes, timings, sentAt } = state();
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
            if (job.outputs.length > 1 && zips.has(job.zip)) wanted.push([job.zip, zips.get(job.zip), say.zip(job.zip)]);
        }
        const all = protocol.files.allZip;
        if (zips.has(all) && message.jobs.length > 1) wanted.push([all, zips.get(all), `${all} (${say.all})`]);
        // 25 links a task: the 143 documents of a set would hold the page for a tenth of a second.
        const addLinks = (from) => {
            const items = document.createDocumentFragment();
            for (const [name, blob, text] of wanted.slice(from, from + 25)) items.append(withShare(link(name, blob, text), name, blob));
            downloads.append(items);
            if (from + 25 < wanted.length) linkTimer = setTimeout(() => addLinks(from + 25), 0);
            else {
                timings.convertedMs = performance.now() - sentAt;
                // From the files chosen to their first run's last link, the wait a user sees.
                if (timings.chosenAt !== undefined) timings.chosenToLinksMs = performance.now() - timings.chosenAt;
                timings.chosenAt = undefined;
                shown(message);
            }
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
        showBar(wanted);

        showLines(notes, messages, message.lines);
        summarize(message, inputs, notes);
        timings.worker = message.ms;
        document.body.dataset.state = 'converted';
    }
    return { showLines, show };
}
