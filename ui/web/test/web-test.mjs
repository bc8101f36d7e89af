// Drives the page in headless Chromium and holds every download against quorvel-cli's output.
// node web-test.mjs PAGE CLI WORK   (WORK: an empty folder; the inputs are made there by the suite)
// Prints one line a failed check and closes with "N passed, M failed".
import { execFileSync, spawnSync } from 'node:child_process';
import { existsSync, mkdirSync, mkdtempSync, readdirSync, readFileSync, rmSync, statSync, copyFileSync, writeFileSync } from 'node:fs';
import { basename, dirname, join } from 'node:path';
import { createRequire } from 'node:module';
import { unzipSync } from 'fflate';
import { crc32 } from 'node:zlib';
import puppeteer from 'puppeteer-core';

const [pagePath, cli, work] = process.argv.slice(2);
let passed = 0, failed = 0;
const check = (ok, what, detail = '') => {
    if (ok) passed++;
    else {
        failed++;
        console.log(`FAIL ${what}${detail ? `: ${detail}` : ''}`);
    }
};
const same = (a, b) => Buffer.compare(Buffer.from(a), Buffer.from(b)) === 0;
const tiles = /^https:\/\/cyberjapandata\.gsi\.go\.jp\/xyz\/std\/\d+\/\d+\/\d+\.png$/;

// The page copied alone into an empty folder: it must need nothing beside it.
const pageDir = mkdtempSync(join(work, 'page-'));
copyFileSync(pagePath, join(pageDir, 'index.html'));
const inputs = join(work, 'inputs');

const profile = mkdtempSync(join(work, 'profile-'));
const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: profile,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--lang=ja'],
});
const foreign = [];
const errors = [];

async function openPage(width = 1280, height = 900, dir = pageDir, language = 'ja-JP') {
    const page = await browser.newPage();
    await page.setViewport({ width, height });
    await page.evaluateOnNewDocument((tag) => Object.defineProperty(navigator, 'language', { get: () => tag }), language);
    await page.setRequestInterception(true);
    page.on('request', (request) => {
        const url = request.url();
        if (tiles.test(url)) return request.abort(); // the machine is offline by design
        if (!/^(file|blob|data):/.test(url)) foreign.push(url);
        return /^(file|blob|data):/.test(url) ? request.continue() : request.abort();
    });
    page.on('pageerror', (error) => errors.push(error.message));
    const session = await page.createCDPSession();
    const downloads = mkdtempSync(join(work, 'downloads-'));
    await session.send('Browser.setDownloadBehavior', { behavior: 'allow', downloadPath: downloads });
    await page.goto(`file://${join(dir, 'index.html')}`);
    await page.waitForFunction(() => ['ready', 'error'].includes(document.body.dataset.state), { timeout: 30000 });
    page.downloads = downloads;
    return page;
}

// Sets the page's choices, then the files, and waits for the answer.
async function convert(page, files, { to = 'glorie', merge = false, bom = false, allPoints = false, mergeName = 'merged', epoch = 'today' } = {}) {
    await page.evaluate((choice) => {
        const set = (id, prop, value) => {
            const element = document.getElementById(id);
            if (element[prop] === value) return;
            element[prop] = value;
            element.dispatchEvent(new Event('change'));
        };
        set('format', 'value', choice.to);
        set('merge-name', 'value', choice.mergeName);
        set('merge', 'checked', choice.merge);
        set('bom', 'checked', choice.bom);
        set('all-points', 'checked', choice.allPoints);
        set('epoch', 'checked', choice.epoch === 'jgd2000');
    }, { to, merge, bom, allPoints, mergeName, epoch });
    // A changed option converts the inputs already chosen again: that run ends before the files are
    // chosen, or its end would be taken for theirs (and its links replaced while being clicked).
    await page.waitForFunction(() => !['busy', 'converted'].includes(document.body.dataset.state), { timeout: 60000 });
    const runs = Number(await page.evaluate(() => document.body.dataset.runs || 0));
    const input = await page.$('#files');
    await input.uploadFile(...files.map((f) => join(inputs, f)));
    await page.waitForFunction((n) => Number(document.body.dataset.runs || 0) > n && document.body.dataset.state === 'done',
        { timeout: 60000 }, runs);
}

async function offered(page) {
    return page.evaluate(() => [...document.querySelectorAll('#downloads a[download]')].map((a) => ({ name: a.download, href: a.href })));
}

// Waits until the browser has saved every named file: it puts an empty file under the name at
// the start and writes into NAME.crdownload until the end.
async function saved(page, names) {
    for (let t = 0; t < 200; ++t) {
        const have = readdirSync(page.downloads);
        if (names.every((n) => have.includes(n)) && !have.some((n) => n.endsWith('.crdownload'))) return;
        await new Promise((r) => setTimeout(r, 50));
    }
}

// Clicks every offered link and gives the files as the browser saved them.
async function download(page) {
    const links = await offered(page);
    rmSync(page.downloads, { recursive: true, force: true });
    mkdirSync(page.downloads);
    for (let i = 0; i < links.length; ++i) await page.click(`#downloads li:nth-child(${i + 1}) a`);
    const want = links.map((l) => l.name);
    await saved(page, want);
    const files = {};
    for (const name of want) files[name] = existsSync(join(page.downloads, name)) ? readFileSync(join(page.downloads, name)) : null;
    return { links, files };
}

// Types text into the name cell of a row of the table (from 1) and waits for the run it starts.
async function editName(page, row, text) {
    const runs = await page.evaluate(() => Number(document.body.dataset.runs));
    await page.evaluate((r, t) => {
        const cell = document.querySelector(`#point-table tbody tr:nth-child(${r}) td.name`);
        cell.focus();
        cell.textContent = t;
        cell.blur();
    }, row, text);
    await page.waitForFunction((n) => Number(document.body.dataset.runs) > n && document.body.dataset.state === 'done', {}, runs);
}

// quorvel-cli in the inputs' folder (guessing no readings unless asked); its outputs moved into a fresh folder.
function runCli(args, guess = false) {
    const before = new Set(readdirSync(inputs));
    const run = spawnSync(cli, guess ? args : [...args, '--reading', 'none'], { cwd: inputs, env: { ...process.env, LC_ALL: 'C.UTF-8' } });
    const out = {};
    for (const name of readdirSync(inputs)) if (!before.has(name)) {
        // An output set's record (.NAME.record) is the CLI's own bookkeeping, not an output.
        if (!/^\..*\.record$/.test(name)) out[name] = readFileSync(join(inputs, name));
        rmSync(join(inputs, name));
    }
    const lines = (text) => text.toString().split('\n').filter(Boolean);
    return { out, stdout: lines(run.stdout), stderr: lines(run.stderr), status: run.status };
}

// The conversion's lines; past 500 the page offers them all as a file, which is read instead.
async function messageLines(page) {
    const file = await page.evaluate(() => {
        const a = document.querySelector('#messages a[download]');
        return a ? a.download : null;
    });
    if (!file) return page.evaluate(() => [...document.querySelectorAll('#messages p')].map((p) => p.textContent));
    await page.click('#messages a[download]');
    await saved(page, [file]);
    const shown = await page.evaluate(() => [...document.querySelectorAll('#messages p:not(.more)')].map((p) => p.textContent));
    const all = existsSync(join(page.downloads, file)) ? readFileSync(join(page.downloads, file), 'utf8').split('\n').filter(Boolean) : [];
    check(shown.length === 500 && JSON.stringify(shown) === JSON.stringify(all.slice(0, 500)), `${file}: the first 500 lines shown`);
    return all;
}

// Every case: the page's downloads equal the CLI's files, and its messages the CLI's lines.
const cases = [
    { files: ['meisho.mem'], to: 'glorie' },
    { files: ['meisho.mem'], to: 'gpx' },
    { files: ['meisho.mem'], to: 'kml' },
    { files: ['meisho.mem'], to: 'kmz' },
    { files: ['meisho.mem'], to: 'geojson' },
    { files: ['meisho.mem'], to: 'csv' },
    { files: ['meisho.mem'], to: 'csv', bom: true },
    { files: ['meisho.mem'], to: 'gpx', epoch: 'jgd2000' },  // JGD2000's positions, as --epoch jgd2000
    { files: ['meisho.mem'], to: 'mem' },  // the output would be its input: meisho.converted.mem, as the CLI names it
    { files: ['places.gpx'], to: 'gpx' },   // the same: places.converted.gpx
    { files: ['places.gpx'], to: 'glorie' },
    { files: ['places.gpx'], to: 'mem' },
    { files: ['places.gpx'], to: 'kml' },
    { files: ['places.gpx'], to: 'csv' },
    { files: ['tracks.gpx'], to: 'csv' },   // the track's points passed over, and said so
    { files: ['tracks.gpx'], to: 'csv', allPoints: true },  // read too, as --all-points
    { files: ['sample.kmz'], to: 'gpx' },   // a KMZ read (the CLI's own, made from the sample)
    { files: ['big.gpx'], to: 'glorie' },   // 750 points: two documents and their zip
    { files: ['big.gpx'], to: 'mem' },      // eight memory-point files
    { files: ['meisho.mem', 'places.gpx'], to: 'geojson' },
    { files: ['meisho.mem', 'places.gpx'], to: 'kml', merge: true, mergeName: 'all' },
];

// Map links pasted on the page: the input and its GPX are the CLI's of the same text as a file.
{
    const text = 'https://www.google.com/maps/@35.6812,139.7671,17z 東京駅\ngeo:34.6873,135.5262 大阪城\nhttps://maps.app.goo.gl/x\n';
    const page = await openPage();
    await page.evaluate(() => {
        document.getElementById('format').value = 'gpx';
        document.getElementById('format').dispatchEvent(new Event('change'));
    });
    const runs = Number(await page.evaluate(() => document.body.dataset.runs || 0));
    await page.evaluate((pasted) => {
        const data = new DataTransfer();
        data.setData('text/plain', pasted);
        document.body.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true, cancelable: true }));
    }, text);
    await page.waitForFunction((n) => Number(document.body.dataset.runs || 0) > n && document.body.dataset.state === 'done',
        { timeout: 60000 }, runs);
    const { files } = await download(page);
    writeFileSync(join(inputs, '貼り付け-1.txt'), text);
    const expected = runCli(['貼り付け-1.txt', '--to', 'gpx']);
    rmSync(join(inputs, '貼り付け-1.txt'));
    check(files['貼り付け-1.gpx'] && same(files['貼り付け-1.gpx'], expected.out['貼り付け-1.gpx']), 'pasted links: their GPX byte for byte');
    const lines = await messageLines(page);
    check(lines.some((line) => line.includes('3 行目: リンク「https://maps.app.goo.gl/x」に座標がありません')), 'pasted links: the short link refused',
        JSON.stringify(lines));
    await page.close();
}

for (const c of cases) {
    const what = `${c.files.join('+')} to ${c.to}${c.bom ? ' with BOM' : ''}${c.allPoints ? ' all points' : ''}${c.merge ? ' merged' : ''}${c.epoch ? ` (${c.epoch})` : ''}`;
    const page = await openPage();
    await convert(page, c.files, c);
    const { links, files } = await download(page);
    const args = [...c.files, '--to', c.to];
    if (c.bom) args.push('--bom');
    if (c.allPoints) args.push('--all-points');
    if (c.epoch) args.push('--epoch', c.epoch);
    if (c.merge) args.push('--merge', '-o', `${c.mergeName}${{ kml: '.kml' }[c.to]}`);
    const expected = runCli(args);
    const names = Object.keys(expected.out).sort();
    const plain = links.filter((l) => !l.name.endsWith('.zip')).map((l) => l.name).sort();
    check(JSON.stringify(plain) === JSON.stringify(names), `${what}: the files offered`, `${plain} against ${names}`);
    check(links.every((l) => l.href.startsWith('blob:')), `${what}: blob links`);
    for (const name of names)
        check(files[name] && same(files[name], expected.out[name]), `${what}: ${name} byte for byte`);
    const zips = links.filter((l) => l.name.endsWith('.zip'));
    check(zips.length === (names.length > 1 ? 1 : 0), `${what}: one zip for a set`, zips.map((z) => z.name).join());
    for (const zip of zips) {
        const entries = files[zip.name] ? unzipSync(new Uint8Array(files[zip.name])) : {};
        check(JSON.stringify(Object.keys(entries).sort()) === JSON.stringify(names) &&
            names.every((n) => same(entries[n], expected.out[n])), `${what}: ${zip.name} holds the set`);
        // fflate's reader takes the CRCs on trust: each in the central directory against zlib's.
        const bytes = new Uint8Array(files[zip.name] || []), view = new DataView(bytes.buffer);
        const crcs = {};
        for (let at = bytes.length ? view.getUint32(bytes.length - 6, true) : 0; at + 46 <= bytes.length && view.getUint32(at, true) === 0x02014b50;
            at += 46 + view.getUint16(at + 28, true) + view.getUint16(at + 30, true) + view.getUint16(at + 32, true))
            crcs[new TextDecoder().decode(bytes.subarray(at + 46, at + 46 + view.getUint16(at + 28, true)))] = view.getUint32(at + 16, true);
        check(names.every((n) => crcs[n] === crc32(expected.out[n])), `${zip.name}: CRCs as zlib's`, JSON.stringify(crcs));
    }
    const lines = await messageLines(page);
    // The command line's closing count of warnings and refused points is its own: the page lists them.
    const cliLines = expected.status === 2 ? [expected.stderr[0].replace(/^[^:]*: /, '')]
        : expected.stdout.concat(expected.stderr.filter((line) => !line.startsWith('合計: ')));
    check(JSON.stringify(lines.slice().sort()) === JSON.stringify(cliLines.slice().sort()), `${what}: messages`,
        `\n  page: ${JSON.stringify(lines)}\n  cli:  ${JSON.stringify(cliLines)}`);
    await page.close();
}

// With MeCab's dictionary beside the page (quorvel-readings.js), readings are guessed as the CLI
// guesses them: documents, messages and the table's 推測 column are its own.
{
    const dir = mkdtempSync(join(work, 'page-readings-'));
    copyFileSync(pagePath, join(dir, 'index.html'));
    copyFileSync(join(dirname(pagePath), 'quorvel-readings.js'), join(dir, 'quorvel-readings.js'));
    writeFileSync(join(inputs, 'named.gpx'), '<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">\n' +
        ['東京駅', '国道1号', 'セブン-イレブン', '羽田空港 第1ターミナル', '首里城', '下小田井駅', 'つつじヶ丘', '咥内', '三宅町']
            .map((name, i) => `<wpt lat="${35 + i / 100}" lon="139.5"><name>${name}</name></wpt>\n`).join('') + '</gpx>\n');
    const page = await openPage(1280, 900, dir);
    await page.waitForFunction(() => document.body.dataset.guessing !== undefined, { timeout: 30000 });
    const loaded = await page.evaluate(() => ({ guessing: document.body.dataset.guessing, ...window.quorvelTimings.dictionary,
        credited: !document.getElementById('readings-credit').hidden,
        script: window.quorvelTimings.dictionaryScriptMs, all: window.quorvelTimings.dictionaryMs }));
    console.log(`readings: quorvel-readings.js loaded ${Math.round(loaded.all)} ms after the page was ready (the script ${Math.round(loaded.script)} ms, ` +
        `inflated and opened in the worker ${Math.round(loaded.ms)} ms)`);
    check(loaded.guessing === 'true' && loaded.backend === 'MeCab 0.996', 'readings: MeCab and its dictionary loaded', JSON.stringify(loaded));
    check(loaded.credited, 'readings: the names\' dictionary credited under the page', JSON.stringify(loaded));
    for (const to of ['glorie', 'mem']) {
        await convert(page, ['named.gpx', 'places.gpx'], { to });
        const { files } = await download(page);
        const expected = runCli(['named.gpx', 'places.gpx', '--to', to], true);
        for (const [name, bytes] of Object.entries(expected.out))
            check(files[name] && same(files[name], bytes), `readings: ${name} is the CLI's with readings guessed`);
        // The page's own note of the inputs chosen again is no line of the CLI's.
        const lines = (await messageLines(page)).filter((line) => !line.endsWith('を同じ名前のファイルで置き換えました'));
        const cliLines = expected.stdout.concat(expected.stderr.filter((line) => !line.startsWith('合計: ')));
        check(JSON.stringify(lines.slice().sort()) === JSON.stringify(cliLines.slice().sort()), `readings: the messages converting to ${to} are the CLI's`,
            `\n  page: ${JSON.stringify(lines)}\n  cli:  ${JSON.stringify(cliLines)}`);
    }
    const rows = await page.evaluate(() => [...document.querySelectorAll('#point-table tbody tr')].map((tr) => [tr.cells[3].textContent, tr.cells[12].textContent]));
    const listed = [];
    for (const file of ['named.gpx', 'places.gpx']) {
        const run = spawnSync(cli, ['--list', file], { cwd: inputs, env: { ...process.env, LC_ALL: 'C.UTF-8' } });
        for (const line of run.stdout.toString().split('\n').slice(2).filter(Boolean)) {
            const cells = line.split('\t');
            listed.push([cells[2], cells[10]]);
        }
    }
    check(JSON.stringify(rows) === JSON.stringify(listed), 'readings: the table\'s readings and 推測 are --list\'s', `${JSON.stringify(rows)} against ${JSON.stringify(listed)}`);
    // A thousand place names of the SKK lists (skkdic-extra: every 20th station and place, as the
    // Wine suite takes them): the page's memory points, readings included, are the CLI's.
    const corpus = [];
    for (const [list, suffix] of [['/usr/share/skk/SKK-JISYO.station', '駅'], ['/usr/share/skk/SKK-JISYO.geo', '']]) {
        const found = new Set();
        for (const line of new TextDecoder('euc-jp').decode(readFileSync(list)).split('\n')) {
            if (line.startsWith(';') || !line.includes(' /')) continue;
            for (let word of line.slice(line.indexOf(' /') + 2).split('/')) {
                word = word.split(';')[0];
                if (word && !word.includes('(') && word.endsWith(suffix)) found.add(word);
            }
        }
        const sorted = [...found].sort((a, b) => (Buffer.from(a) < Buffer.from(b) ? -1 : 1));
        corpus.push(...sorted.filter((_, i) => i % 20 === 0).slice(0, 500));
    }
    const escapeXml = (text) => text.replace(/&/g, '&amp;').replace(/</g, '&lt;');
    writeFileSync(join(inputs, 'corpus.gpx'), '<?xml version="1.0" encoding="UTF-8"?>\n<gpx version="1.1" creator="t" xmlns="http://www.topografix.com/GPX/1/1">\n' +
        corpus.map((name, i) => `<wpt lat="${(35 + (i % 100) / 100).toFixed(2)}" lon="${(135 + Math.floor(i / 100) / 100).toFixed(2)}"><name>${escapeXml(name)}</name></wpt>\n`).join('') + '</gpx>\n');
    await convert(page, ['corpus.gpx'], { to: 'mem' });
    const corpusFiles = (await download(page)).files;
    const corpusCli = runCli(['corpus.gpx', '--to', 'mem'], true);
    const names = Object.keys(corpusCli.out).filter((n) => n.endsWith('.mem'));
    check(corpus.length > 900 && names.length === Math.ceil(corpus.length / 100) && names.every((n) => corpusFiles[n] && same(corpusFiles[n], corpusCli.out[n])),
        `readings: ${corpus.length} SKK place names guessed as the CLI guesses them`, `${corpus.length} names, ${names.length} files`);
    rmSync(join(inputs, 'corpus.gpx'));
    rmSync(join(inputs, 'named.gpx'));
    await page.close();
}

// The user's readings, chosen once: the documents and the table are the CLI's with --readings;
// a line it cannot take is named with its file and line, and the file's other lines are used.
{
    const page = await openPage();
    writeFileSync(join(work, 'mine.csv'), '那覇,なは\n大阪城,おおさかじょう\n');
    writeFileSync(join(work, 'bad.csv'), '那覇\n那覇,なは\n大阪城,おおさかじょう\n');
    const choose = async (file) => {
        await page.evaluate(() => (document.getElementById('readings-status').textContent = ''));
        await (await page.$('#readings')).uploadFile(join(work, file));
        await page.waitForFunction(() => document.getElementById('readings-status').textContent !== '', { timeout: 30000 });
        return page.evaluate(() => document.getElementById('readings-status').textContent);
    };
    check(await choose('mine.csv') === 'mine.csv: 2 件の読みを、読みのない地点に使います', 'readings: the file is taken');
    for (const file of ['mine.csv', 'bad.csv']) {
        if (file === 'bad.csv') check(await choose('bad.csv') === 'bad.csv: 2 件の読みを、読みのない地点に使います bad.csv: 1 行目: 名称と読みの二つの列が要ります。この行は使いません', 'readings: a bad line is named');
        await convert(page, ['places.gpx'], { to: 'mem' });
        const { files } = await download(page);
        const expected = runCli(['places.gpx', '--to', 'mem', '--readings', join(work, 'mine.csv')]);
        check(files['places.mem'] && same(files['places.mem'], expected.out['places.mem']), `readings: places.mem is the CLI's with --readings (after ${file})`);
        const naha = await page.evaluate(() => [...document.querySelectorAll('#point-table tbody tr')]
            .filter((tr) => tr.cells[11].textContent === '那覇').map((tr) => [tr.cells[3].textContent, tr.cells[12].textContent]));
        check(JSON.stringify(naha) === JSON.stringify([['ﾅﾊ', '']]), `readings: the table shows the user's reading, not as a guess (after ${file})`, JSON.stringify(naha));
    }
    await page.close();
}

// The table against --list, cell by cell; the CLI's method column holds the reason where a point
// has no WGS 84 position.
{
    const page = await openPage();
    await convert(page, ['meisho.mem', 'places.gpx'], { to: 'kml' });
    const rows = await page.evaluate(() => {
        const body = document.querySelector('#point-table tbody');
        const visible = document.querySelector('#point-table').offsetHeight > 0;
        const heads = [...document.querySelectorAll('#point-table thead th')].length;
        return { visible, heads, others: [...body.children].filter((e) => e.tagName !== 'TR').length,
            cells: [...body.rows].map((tr) => [...tr.cells].map((td) => td.textContent)) };
    });
    check(rows.visible && rows.heads === 13 && rows.others === 0, 'the table: shown, thirteen headers, rows only');
    const listed = [];
    for (const file of ['meisho.mem', 'places.gpx']) {
        const run = spawnSync(cli, ['--list', file, '--reading', 'none'], { cwd: inputs, env: { ...process.env, LC_ALL: 'C.UTF-8' } });
        for (const line of run.stdout.toString().split('\n').slice(2).filter(Boolean)) listed.push([file, ...line.split('\t')]);
    }
    const page_ = rows.cells.map((c) => [c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9] || c[10], c[11], c[12]]);
    check(page_.length === listed.length, 'the table: one row a listed point', `${page_.length} against ${listed.length}`);
    for (let i = 0; i < Math.min(page_.length, listed.length); ++i)
        check(JSON.stringify(page_[i]) === JSON.stringify(listed[i]), `the table: row ${i + 1}`,
            `\n  page: ${JSON.stringify(page_[i])}\n  cli:  ${JSON.stringify(listed[i])}`);
    const note = await page.evaluate(() => !document.getElementById('reading-note').hidden);
    check(note, 'the table: a point without a reading is explained');

    // An edit goes through the core: the name cut to 16 bytes, "?" for what the unit cannot show,
    // and the output is the CLI's for the input rewritten with the edit.
    await editName(page, 13, '♨名前を書き換えた長い地点の名称');
    const edited = await page.evaluate(() => ({
        name: document.querySelector('#point-table tbody tr:nth-child(13) td.name').textContent,
        original: document.querySelector('#point-table tbody tr:nth-child(13) td.original').textContent,
        generated: [...document.querySelectorAll('#generated a[download]')].map((a) => a.download),
    }));
    check(edited.name === '?名前を書き換え' && edited.original === '♨名前を書き換えた長い地点の名称',
        'an edit: the unit\'s cut shown', JSON.stringify(edited));
    check(JSON.stringify(edited.generated) === '["places.gpx"]', 'an edit: the rewritten input offered');
    await page.click('#generated a');
    await saved(page, ['places.gpx']);
    if (existsSync(join(page.downloads, 'places.gpx'))) {
        const editedDir = mkdtempSync(join(work, 'edited-'));
        copyFileSync(join(page.downloads, 'places.gpx'), join(editedDir, 'places.gpx'));
        copyFileSync(join(inputs, 'meisho.mem'), join(editedDir, 'meisho.mem'));
        const { files } = await download(page);
        spawnSync(cli, ['meisho.mem', 'places.gpx', '--to', 'kml', '--reading', 'none'], { cwd: editedDir });
        for (const name of ['meisho.kml', 'places.kml'])
            check(files[name] && existsSync(join(editedDir, name)) && same(files[name], readFileSync(join(editedDir, name))), `an edit: ${name} as the CLI makes it from the rewritten input`);
    } else check(false, 'an edit: the rewritten input downloaded');
    await page.close();
}

// The 750 points of big.gpx in pages of 100 rows, reached by the buttons and by the page number
// (beyond the ends: the nearest page; empty: the page stays): each page against its rows of
// --list, the last one short, and the buttons at the ends disabled.
{
    const page = await openPage();
    await convert(page, ['big.gpx'], { to: 'gpx' });
    const run = spawnSync(cli, ['--list', 'big.gpx', '--reading', 'none'], { cwd: inputs, env: { ...process.env, LC_ALL: 'C.UTF-8' } });
    const listed = run.stdout.toString().split('\n').slice(2).filter(Boolean).map((line) => ['big.gpx', ...line.split('\t')]);
    for (const [go, shownPage, label] of [[null, 1, '750 地点のうち 1〜100'], ['#next-page', 2, '750 地点のうち 101〜200'],
        ['8', 8, '750 地点のうち 701〜750'], ['#prev-page', 7, '750 地点のうち 601〜700'], ['4', 4, '750 地点のうち 301〜400'],
        ['', 4, '750 地点のうち 301〜400'], ['99', 8, '750 地点のうち 701〜750'], ['0', 1, '750 地点のうち 1〜100']]) {
        if (go && go.startsWith('#')) await page.click(go);
        else if (go !== null) {
            await page.click('#page-number', { clickCount: 3 });
            await page.keyboard.press('Backspace');
            if (go) await page.keyboard.type(go);
            await page.keyboard.press('Enter');
        }
        await page.waitForFunction((first) => document.querySelector('#point-table tbody tr td.number').textContent === first, {},
            String(shownPage * 100 - 99));
        const shown = await page.evaluate(() => ({
            label: document.getElementById('page-label').textContent,
            field: [document.getElementById('page-number').value, document.getElementById('page-count').textContent],
            ends: [document.getElementById('prev-page').disabled, document.getElementById('next-page').disabled],
            cells: [...document.querySelector('#point-table tbody').rows].map((tr) => [...tr.cells].map((td) => td.textContent)),
        }));
        const rows = shown.cells.map((c) => [c[0], c[1], c[2], c[3], c[4], c[5], c[6], c[7], c[8], c[9] || c[10], c[11], c[12]]);
        check(shown.label === label && shown.field.join(' ') === `${shownPage} / 8` && shown.ends.join() === `${shownPage === 1},${shownPage === 8}` &&
            JSON.stringify(rows) === JSON.stringify(listed.slice(shownPage * 100 - 100, shownPage * 100)), `the table: ${go || 'the first'} to page ${shownPage} of big.gpx`,
            `${shown.label} ${shown.field} ${shown.ends} ${rows.length} rows`);
    }
    await page.close();
}

// The name alone of a glorie point edited: its reading stays.
{
    const page = await openPage();
    await convert(page, ['named.xml'], { to: 'glorie' });
    await editName(page, 1, 'q');
    await page.click('#generated a');
    await saved(page, ['named.xml']);
    const first = (dir) => spawnSync(cli, ['--list', 'named.xml', '--reading', 'none'], { cwd: dir, env: { ...process.env, LC_ALL: 'C.UTF-8' } })
        .stdout.toString().split('\n')[2].split('\t');
    const [before, after] = [first(inputs), first(page.downloads)];
    check(after[1] === 'q' && after[2] === before[2] && before[2] !== '', 'a name edited alone keeps the reading', JSON.stringify(after));
    await page.close();
}

// An edit of a document larger than its format's file is refused, the input kept as it was.
{
    const page = await openPage();
    await convert(page, ['many.xml'], { to: 'gpx' });
    await editName(page, 1, 'q');
    const lines = await messageLines(page);
    const { files } = await download(page);
    const expected = runCli(['many.xml', '--to', 'gpx']);
    check(lines[0] === 'many.xml: 701 地点あるため、編集を反映できません (glorie 文書は 1 ファイル 700 地点まで)' &&
        same(files['many.gpx'], expected.out['many.gpx']), 'an edit of 701 points refused, the input converted as it was', lines[0]);
    await page.close();
}

// What a test can rely on in the page itself, and the phone width.
{
    const page = await openPage(360, 740);
    await convert(page, ['meisho.mem'], { to: 'gpx' });
    const layout = await page.evaluate(() => {
        const meta = (name) => document.querySelector(`meta[${name}]`);
        const csp = meta('http-equiv="Content-Security-Policy"').content;
        const defaultSrc = csp.split(';').map((s) => s.trim()).find((s) => s.startsWith('default-src '));
        const hosts = (csp.match(/https?:\/\/[^\s;]+/g) || []);
        const inside = (id) => {
            const r = document.getElementById(id).getBoundingClientRect();
            return r.width > 0 && r.left >= 0 && r.right <= 360;
        };
        const unlabelled = [...document.querySelectorAll('input, select, button')].filter((e) =>
            !(e.labels && e.labels.length) && !e.getAttribute('aria-label') && !(e.tagName === 'BUTTON' && e.textContent.trim()));
        return {
            viewport: meta('name="viewport"').content.includes('width=device-width'),
            defaultSrc, hosts: [...new Set(hosts)],
            hints: document.querySelectorAll('link[rel=preconnect], link[rel=dns-prefetch], link[rel=prefetch]').length,
            scrollWidth: document.documentElement.scrollWidth,
            controls: ['files', 'format', 'merge', 'bom', 'map', 'messages'].every(inside),
            unlabelled: unlabelled.map((e) => e.id || e.outerHTML.slice(0, 40)),
            status: document.getElementById('messages').getAttribute('role'),
            multiple: document.getElementById('files').multiple,
            options: [...document.getElementById('format').options].map((o) => o.value).join(),
            lang: document.documentElement.lang,
            formats: document.querySelector('[data-i18n="formats"]').textContent,
            formatOptions: [...document.querySelectorAll('#format-options label')].map((l) => `${l.htmlFor}: ${l.textContent}`).join('\n'),
            bomGreyed: document.getElementById('bom-field').classList.contains('disabled'),
        };
    });
    check(layout.viewport, 'a viewport meta for the device width');
    check(layout.defaultSrc === 'default-src https://cyberjapandata.gsi.go.jp' &&
        JSON.stringify(layout.hosts) === '["https://cyberjapandata.gsi.go.jp"]' && layout.hints === 0,
        'the policy names the tile host alone', JSON.stringify(layout));
    check(layout.scrollWidth <= 360 && layout.controls, 'at 360 px nothing spills sideways', JSON.stringify(layout));
    check(layout.unlabelled.length === 0, 'every control labelled', layout.unlabelled.join());
    check(layout.status === 'status' && layout.multiple && layout.lang === 'ja', 'status role, several files, Japanese');
    const help = execFileSync(cli, ['--help']).toString();
    const names = (help.match(/形式: (.*)/) || [])[1];
    check(names && layout.options === names.trim().split(', ').join(), 'the formats are the CLI\'s --to names', `${layout.options} against ${names}`);
    await page.close();
    // The formats the page reads, named by the core's table in either language.
    const english = await openPage(1280, 900, pageDir, 'en-US');
    const lines = { ja: layout.formats, en: await english.evaluate(() => document.querySelector('[data-i18n="formats"]').textContent) };
    // The options the core's rows declare, each labelled by its help in the page's language; the
    // mark greyed while glorie is chosen, as the CLI refuses --bom for it.
    const optionLabels = await english.evaluate(() => [...document.querySelectorAll('#format-options label')].map((l) => `${l.htmlFor}: ${l.textContent}`).join('\n'));
    check(layout.formatOptions === 'all-points: GPX のルートとトラック、KML と GeoJSON の線と面の頂点も読みます\nbom: CSV の先頭に BOM を付けます' &&
        optionLabels === 'all-points: Also read the vertices of GPX routes and tracks and of KML and GeoJSON lines and areas\n' +
        'bom: Byte-order mark at the start of a CSV (for spreadsheets)' && layout.bomGreyed,
        'the formats\' options from the core\'s table, in either language', JSON.stringify({ ja: layout.formatOptions, en: optionLabels }));
    await english.close();
    check(lines.ja.startsWith('glorie 文書 (.xml)、メモリーポイントファイル (.mem)、GPX、KML、KMZ、GeoJSON (.geojson, .json)、CSV を読めます。') &&
        lines.en === 'glorie documents (.xml), Memory-point files (.mem), GPX, KML, KMZ, GeoJSON (.geojson, .json) and CSV are read.', 'the formats read, from the core\'s table', JSON.stringify(lines));
}

// The English page says the core's messages in English: points refused and warned about, each
// named by its file and line, and the count of those left out; the document is still the CLI's.
{
    const page = await openPage(1280, 900, pageDir, 'en-GB');
    await convert(page, ['places.gpx']);
    const lines = await messageLines(page);
    const { files } = await download(page);
    const expected = runCli(['places.gpx']);
    const want = [
        'places.gpx -> places.xml (5 points)',
        'places.gpx: line 9 \u201cNull Island\u201d: the coordinates (latitude 0, longitude 0) stand for no position',
        'places.gpx: line 8 \u201cSydney Opera House\u201d: the unit cannot record a place south or west (latitude -33.8568, longitude 151.2153)',
        'warning: places.gpx: line 7 \u201c沖合\u201d: the datum grid has no data for this place; its datum was shifted by the Helmert transformation',
        'warning: places.gpx: line 5 \u201c札幌 ♨ 温泉 🍜\u201d: the unit cannot show the character \u201c♨\u201d, which was made \u201c?\u201d',
        'warning: places.gpx: 1 name does not fit the unit\'s 16 bytes and is cut (\u201c大阪城 天守閣と西の丸庭園\u201d \u2192 \u201c大阪城 天守閣と\u201d)',
        'places.gpx: 2 points could not be converted',
    ];
    const missing = want.filter((line) => !lines.includes(line));
    const japanese = lines.filter((line) => /行目|地点|警告|ません|ました/.test(line));
    check(missing.length === 0 && japanese.length === 0 && lines.length === expected.stdout.length + expected.stderr.length - 1,
        'an English page: the core\'s messages in English', JSON.stringify({ missing, japanese, lines }));
    check(files['places.xml'] && same(files['places.xml'], expected.out['places.xml']), 'an English page: the document is the CLI\'s');
    await page.close();
}

// A phone: the paste field within the first two screens, the table opening on the name and the
// reading, the outputs one tap away wherever the page is scrolled, and the summary calling an
// input that lost a point converted, its reasons behind a control a thumb hits.
{
    const page = await openPage(360, 740);
    await page.click('#paste-field summary');
    const field = await page.evaluate(() => {
        const r = (id) => document.getElementById(id).getBoundingClientRect();
        return { text: r('paste').bottom, button: [r('paste-add').bottom, r('paste-add').width, r('paste-add').height] };
    });
    check(field.text <= 1480 && field.button[0] <= 1480 && field.button[1] >= 44 && field.button[2] >= 44, 'a phone: the paste field in the first two screens',
        JSON.stringify(field));
    const text = 'geo:34.6873,135.5262 大阪城\nhttps://www.google.com/maps/@35.6812,139.7671,17z 東京駅\n';
    await page.evaluate(() => {
        document.getElementById('format').value = 'gpx';
        document.getElementById('format').dispatchEvent(new Event('change'));
    });
    await page.type('#paste', text);
    await page.click('#paste-add');
    // The format's change makes a run of its own (of no input), which may end after the click: the
    // paste's run is the one that offers its output.
    await page.waitForFunction(() => document.body.dataset.state === 'done' &&
        [...document.querySelectorAll('#downloads a[download]')].some((a) => a.download === '貼り付け-1.gpx'), { timeout: 60000 });
    writeFileSync(join(inputs, '貼り付け-1.txt'), text);
    const pasted = runCli(['貼り付け-1.txt', '--to', 'gpx']);
    rmSync(join(inputs, '貼り付け-1.txt'));
    const { files } = await download(page);
    const emptied = await page.evaluate(() => document.getElementById('paste').value === '');
    check(files['貼り付け-1.gpx'] && same(files['貼り付け-1.gpx'], pasted.out['貼り付け-1.gpx']) && emptied,
        'a phone: the paste field\'s text converted as the CLI converts it',
        JSON.stringify({ names: Object.keys(files), emptied, page: String(files['貼り付け-1.gpx'] || '').slice(0, 600),
            cli: String(pasted.out['貼り付け-1.gpx'] || '').slice(0, 600) }));

    await page.close();
}
{
    const page = await openPage(360, 740);
    await convert(page, ['meisho.mem', 'places.gpx'], { to: 'mem' });
    const expected = runCli(['meisho.mem', 'places.gpx', '--to', 'mem']);
    const layout = await page.evaluate(() => {
        const heads = [...document.querySelectorAll('#point-table thead th')];
        const first = document.querySelector('#point-table tbody tr');
        const bar = document.getElementById('bar-download');
        const reading = heads[1].getBoundingClientRect();
        const within = (e) => {
            const r = e.getBoundingClientRect();
            return r.width > 0 && r.top >= 0 && r.bottom <= innerHeight && r.left >= 0 && r.right <= innerWidth;
        };
        const seen = [within(bar)];
        document.getElementById('point-table').scrollIntoView({ block: 'end' });
        seen.push(within(bar));
        window.scrollTo(0, 0);
        const reasons = document.querySelector('#summary a.reasons').getBoundingClientRect();
        return { heads: heads.slice(0, 4).map((th) => th.textContent), cells: [first.cells[0].className, first.cells[1].className],
            readingRight: reading.right, seen, bar: [bar.download, bar.getBoundingClientRect().height],
            list: document.getElementById('bar-list').textContent, reasons: [reasons.width, reasons.height],
            summary: [document.getElementById('summary').getAttribute('role'), document.querySelector('#summary p').textContent,
                [...document.querySelectorAll('#summary li')].map((li) => li.textContent)] };
    });
    check(JSON.stringify(layout.heads) === '["名称","読み","ファイル","番号"]' && layout.cells.join() === 'name,reading' && layout.readingRight <= 360,
        'a phone: the table opens on the name and the reading', JSON.stringify(layout));
    check(layout.seen.join() === 'true,true' && layout.bar[0] === 'quorvel.zip' && layout.bar[1] >= 44 && layout.list === '出力の一覧 (3)',
        'a phone: the outputs in a bar that stays in view', JSON.stringify(layout));
    check(layout.summary[0] === 'status' && layout.summary[1] === '入力 2 件をすべて変換しました。2 地点は除きました。' &&
        JSON.stringify(layout.summary[2]) === JSON.stringify(['places.gpx: 変換しました。2 地点を除きました。 理由']) && expected.stderr.includes('places.gpx: 2 地点は変換できませんでした') &&
        layout.reasons[0] >= 44 && layout.reasons[1] >= 44, 'a phone: an input that lost points is converted, its reasons behind a 44 px control',
        JSON.stringify(layout) + JSON.stringify(expected.stderr));
    await page.evaluate(() => document.getElementById('bar-download').click());
    await saved(page, ['quorvel.zip']);
    const zip = existsSync(join(page.downloads, 'quorvel.zip')) ? unzipSync(new Uint8Array(readFileSync(join(page.downloads, 'quorvel.zip')))) : {};
    check(['meisho.converted.mem', 'places.mem'].every((name) => zip[name] && same(zip[name], expected.out[name])), 'a phone: the bar\'s zip holds the CLI\'s files');
    await page.close();
}

// No WCAG 2.1 A or AA violation axe-core finds, at a phone's width and a desktop's, with a
// conversion's table, summary and downloads in the page.
{
    const axe = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');
    for (const width of [360, 1280]) {
        const page = await openPage(width, width === 360 ? 740 : 900);
        await convert(page, ['meisho.mem', 'places.gpx'], { to: 'glorie' });
        await page.evaluate(axe);
        const found = await page.evaluate(async () => (await window.axe.run(document, { runOnly: { type: 'tag', values: ['wcag2a', 'wcag2aa', 'wcag21a', 'wcag21aa'] } }))
            .violations.map((v) => `${v.id} (${v.impact}): ${v.nodes.slice(0, 3).map((n) => n.target.join(' ')).join(', ')}`));
        check(found.length === 0, `axe at ${width} px: no violation`, found.join(' | '));
        await page.close();
    }
}

// The whole journey by keyboard alone: the file chosen, a reading typed into the table, the
// output downloaded; it is the CLI's of the input rewritten with the edit.
{
    const page = await openPage();
    const press = async (key, shift = false) => {
        if (shift) await page.keyboard.down('Shift');
        await page.keyboard.press(key);
        if (shift) await page.keyboard.up('Shift');
    };
    // Tab (or Shift+Tab) until the focus is where wanted: false when it never gets there.
    const tabTo = async (selector, shift = false) => {
        for (let i = 0; i < 300; ++i) {
            await press('Tab', shift);
            if (await page.evaluate((s) => document.activeElement && document.activeElement.matches(s), selector)) return true;
        }
        return false;
    };
    const steps = [await tabTo('#files')];
    const [chooser] = await Promise.all([page.waitForFileChooser({ timeout: 5000 }), press('Space')]);
    await chooser.accept([join(inputs, 'places.gpx')]);
    await page.waitForFunction(() => document.body.dataset.runs === '1' && document.body.dataset.state === 'done', { timeout: 60000 });
    steps.push(await tabTo('#point-table tbody tr:first-child td.reading'));
    await page.keyboard.down('Control');
    await press('a');
    await page.keyboard.up('Control');
    await page.keyboard.type('ﾏﾙﾉｳﾁ');
    await press('Enter');
    await page.waitForFunction(() => document.body.dataset.runs === '2' && document.body.dataset.state === 'done', { timeout: 60000 });
    steps.push(await tabTo('#downloads a[download]', true));
    const name = await page.evaluate(() => document.activeElement.download);
    await press('Enter');
    await saved(page, ['places.xml']);
    const reading = await page.evaluate(() => document.querySelector('#point-table tbody tr:first-child td.reading').textContent);
    await page.click('#generated a');
    await saved(page, ['places.gpx']);
    const dir = mkdtempSync(join(work, 'keyboard-'));
    if (existsSync(join(page.downloads, 'places.gpx'))) {
        copyFileSync(join(page.downloads, 'places.gpx'), join(dir, 'places.gpx'));
        spawnSync(cli, ['places.gpx', '--reading', 'none'], { cwd: dir });
    }
    const [got, want] = ['places.xml', 'places.xml'].map((f, i) => join(i ? dir : page.downloads, f)).map((f) => (existsSync(f) ? readFileSync(f) : null));
    check(steps.join() === 'true,true,true' && name === 'places.xml' && reading === 'ﾏﾙﾉｳﾁ' && got && want && same(got, want),
        'by keyboard alone: chosen, a reading typed, the output downloaded as the CLI makes it', JSON.stringify({ steps, name, reading }));
    await page.close();
}

check(foreign.length === 0, 'no request but tiles', foreign.slice(0, 5).join(' '));
check(errors.length === 0, 'no script error', errors.slice(0, 3).join(' | '));
await browser.close();
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed ? 1 : 0);
