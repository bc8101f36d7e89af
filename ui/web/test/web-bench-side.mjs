// A 100,000-waypoint GPX into glorie documents in two or more builds of the page, alternately, each
// run in a fresh page as a user would open it: from choosing the file to the last download link
// (quorvelTimings.chosenToLinksMs) and the worker's parts of it. With --dictionary each page first
// loads MeCab's dictionary beside it (readings then guessed, as a page left open a while does).
// node web-bench-side.mjs [--runs N] [--dictionary] BIG.gpx NAME=PAGE...
import { median, openBenchPage } from './bench-browser.mjs';
import { loadavg } from 'node:os';

const args = process.argv.slice(2);
let runs = 3, dictionary = false;
while (args[0] && args[0].startsWith('--')) {
    const option = args.shift();
    if (option === '--runs') runs = Number(args.shift());
    else if (option === '--dictionary') dictionary = true;
    else throw new Error(`unknown option ${option}`);
}
const [big, ...named] = args;
const pages = named.map((pair) => pair.split(/=(.*)/s).slice(0, 2));
const { browser, page } = await openBenchPage();
const results = new Map(pages.map(([name]) => [name, []]));
for (let run = 0; run < runs; ++run)
    for (const [name, path] of pages) {
        await page.goto(`file://${path}`);
        await page.waitForFunction(() => document.body.dataset.state === 'ready', { timeout: 60000 });
        if (dictionary) await page.waitForFunction(() => document.body.dataset.guessing !== undefined, { timeout: 120000 });
        const before = await page.evaluate(() => Number(document.body.dataset.runs || 0));
        await (await page.$('#files')).uploadFile(big);
        await page.waitForFunction((n) => Number(document.body.dataset.runs || 0) > n, { timeout: 300000, polling: 5 }, before);
        const t = await page.evaluate(() => ({ ...window.quorvelTimings, guessing: document.body.dataset.guessing }));
        const row = { links: t.chosenToLinksMs, convert: t.worker.convert, zip: t.worker.zip, total: t.worker.total };
        results.get(name).push(row);
        console.log(`${name} run ${run + 1}: links ${row.links.toFixed(0)} ms (worker: converting ${row.convert.toFixed(0)}, ` +
            `outputs read, zipped and made blobs ${row.zip.toFixed(0)}); dictionary loaded by then: ${t.guessing === 'true'}; load ${loadavg()[0].toFixed(1)}`);
    }
for (const [name, rows] of results)
    console.log(`${name}: median of ${rows.length}: links ${median(rows.map((r) => r.links)).toFixed(0)} ms, converting ` +
        `${median(rows.map((r) => r.convert)).toFixed(0)} ms, outputs to blobs and zip ${median(rows.map((r) => r.zip)).toFixed(0)} ms`);
await browser.close();
