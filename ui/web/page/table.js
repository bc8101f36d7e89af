// The page's table of the listed points: a page of rows at a time from the listing's buffers, the
// unit's name and reading editable. Its fields are the core's (protocol.fields, WebProtocol.h).
// QuorvelTable({ say, protocol, onEdit(input, index, field, value) }): setListing, render, rowAt,
// point (a field of a row by its name), escape, rows, pageRows.
'use strict';
function QuorvelTable({ say, protocol, onEdit }) {
    const $ = (id) => document.getElementById(id);
    const tbody = document.querySelector('#point-table tbody');
    const pageNumber = $('page-number');
    let renderTimer = 0, renderFrame = 0;
    // On a phone the name and the reading, which a driver checks, come first, in the first screen;
    // wider, the columns are in the CLI's order (--list).
    const narrow = matchMedia('(max-width: 599px)');
    const heads = [...document.querySelectorAll('#point-table thead th')], cols = [...document.querySelectorAll('#point-table col')];
    let order = [];
    function arrange() {
        order = narrow.matches ? [2, 3, 0, 1, 4, 5, 6, 7, 8, 9, 10, 11, 12] : heads.map((_, at) => at);
        heads[0].parentNode.append(...order.map((at) => heads[at]));
        cols[0].parentNode.append(...order.map((at) => cols[at]));
    }
    arrange();
    narrow.addEventListener('change', () => {
        arrange();
        render();
    });

    // A listed point is a line of fields: their places from the core's names, and the line split.
    let P = {};
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
    // A field of a line by its name.
    const point = (line, name) => fields(line)[P[name]];
    const escape = (text) => String(text).replace(/[&<>"']/g, (c) => `&#${c.charCodeAt(0)};`);

    function setListing(message) {
        P = Object.fromEntries(protocol.fields.map((name, at) => [name, at]));
        listing = message;
        page = 0;
    }

    // One row a point of the page shown, put in at once in a task of its own, after the rest of
    // the listing; then done().
    function render(done, afterFrame = false) {
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
        render();
    });
    $('prev-page').addEventListener('click', () => {
        page--;
        render();
    });
    $('next-page').addEventListener('click', () => {
        page++;
        render();
    });

    function rowHtml(at) {
        const [input, index, line] = rowAt(at);
        const p = fields(line);
        const td = (text, className) => `<td${className ? ` class="${className}"` : ''}>${escape(text)}</td>`;
        const unit = p[P.hasUnit] === '1', shifted = p[P.shifted] === '1';
        const editable = (field, text, bytes) => unit
            ? `<td class="${field}" contenteditable="plaintext-only" spellcheck="false" data-row="${at}" data-bytes="${escape(say.bytes(bytes))}">${escape(text)}</td>`
            : `<td class="${field}"></td>`;
        const cells = [td(input, 'file'), td(index + 1, 'number'), editable('name', p[P.unitName], p[P.nameBytes]),
            editable('reading', p[P.unitReading], p[P.readingBytes]), td(p[P.tokyoLat]), td(p[P.tokyoLon]), td(p[P.digits]),
            td(p[P.latText]), td(p[P.lonText]), td(shifted ? p[P.method] : ''), td(shifted ? (unit ? '' : say.notForUnit) : p[P.method]),
            td(p[P.name], 'original'), td(p[P.guessed] === '1' ? '\u25cb' : '', 'guessed')];
        return `<tr>${order.map((at) => cells[at]).join('')}</tr>`;
    }

    // An edited name or reading: Enter keeps it, Escape takes it back; leaving the cell converts again.
    const fieldOf = (cell) => (cell.classList.contains('name') ? 'name' : 'reading');
    const shown = (cell) => point(rowAt(Number(cell.dataset.row))[2], fieldOf(cell) === 'name' ? 'unitName' : 'unitReading');
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
        onEdit(input, index, fieldOf(cell), value);
    });

    return { setListing, render, rowAt, point, escape, rows: () => rowCount(), pageRows: PAGE };
}
