// Speed of the page in headless Chromium: the worker's start, a 100-point memory-point file
// listed and converted (file read to table and downloads shown), a 100,000-waypoint GPX converted
// while the page stays responsive, and panning the map with all its points.
// node web-bench.mjs PAGE HUNDRED.mem BIG.gpx
import { median, openBenchPage } from './bench-browser.mjs';
import { statSync } from 'node:fs';

const [pagePath, hundred, big] = process.argv.slice(2);
const { browser, page } = await openBenchPage();
console.log(`page: ${(statSync(pagePath).size / 1e6).toFixed(2)} MB`);
const opened = Date.now();
await page.goto(`file://${pagePath}`);
await page.waitForFunction(() => document.body.dataset.state === 'ready', { timeout: 60000 });
console.log(`open to ready (worker started, core and grid loaded): ${Date.now() - opened} ms`);

async function load(file) {
    const runs = await page.evaluate(() => Number(document.body.dataset.runs || 0));
    await (await page.$('#files')).uploadFile(file);
    await page.waitForFunction((n) => Number(document.body.dataset.runs || 0) > n, { timeout: 120000, polling: 5 }, runs);
    await new Promise((r) => setTimeout(r, 50));
    return page.evaluate(() => ({ ...window.quorvelTimings }));
}

// The 100 points, once per output format and again: each run lists and converts.
const hundredRuns = [];
await load(hundred);
for (let i = 0; i < 3; ++i)
    for (const to of ['glorie', 'gpx', 'kml', 'geojson', 'csv']) {
        const runs = await page.evaluate(() => Number(document.body.dataset.runs));
        await page.select('#format', to);
        await page.waitForFunction((n) => Number(document.body.dataset.runs) > n, { polling: 5 }, runs);
        hundredRuns.push(await page.evaluate(() => ({ ...window.quorvelTimings })));
    }
console.log(`100-point .mem, listed and converted: median ${median(hundredRuns.map((t) => t.roundTripMs)).toFixed(1)} ms ` +
    `from the file's bytes to table, map and downloads shown (outputs shown after ${median(hundredRuns.map((t) => t.convertedMs)).toFixed(1)} ms; ` +
    `in the worker: converting ${median(hundredRuns.map((t) => t.worker.total)).toFixed(1)} ms, listing ${median(hundredRuns.map((t) => t.list.total)).toFixed(1)} ms), ${hundredRuns.length} runs`);

// The big GPX to glorie documents, in a fresh page; the longest pause of its thread meanwhile.
await page.goto(`file://${pagePath}`);
await page.waitForFunction(() => document.body.dataset.state === 'ready', { timeout: 60000 });
await page.evaluate(() => {
    window.longest = 0;
    window.frames = 0;
    const tick = (() => {
        let last = performance.now();
        return function frame(now) {
            window.longest = Math.max(window.longest, now - last);
            window.frames++;
            last = now;
            window.ticking = requestAnimationFrame(frame);
        };
    })();
    window.ticking = requestAnimationFrame(tick);
    // The page's longest task (the frame above holds it and whatever the browser did around it).
    window.longestTask = 0;
    window.tasks = new PerformanceObserver((list) => {
        for (const entry of list.getEntries()) window.longestTask = Math.max(window.longestTask, entry.duration);
    });
    window.tasks.observe({ type: 'longtask' });
});
const bigTimes = await load(big);
const pause = await page.evaluate(() => {
    cancelAnimationFrame(window.ticking);
    window.tasks.disconnect();
    return { frame: window.longest, task: window.longestTask };
});
const rows = await page.evaluate(() => document.querySelector('#point-table tbody').rows.length);
console.log(`100,000-waypoint GPX to glorie: the last download link ${bigTimes.chosenToLinksMs.toFixed(0)} ms after the file was chosen; ` +
    `downloads shown ${bigTimes.convertedMs.toFixed(0)} ms after the file's bytes ` +
    `(in the worker: converting ${bigTimes.worker.convert.toFixed(0)} ms, with reading the 143 documents back and zipping them ` +
    `${bigTimes.worker.total.toFixed(0)} ms); listed (table and map) after ${bigTimes.roundTripMs.toFixed(0)} ms ` +
    `(listing ${bigTimes.list.list.toFixed(0)} ms in the worker); longest frame meanwhile ${pause.frame.toFixed(0)} ms, ${pause.task ? `longest task ${pause.task.toFixed(0)} ms` : 'no task over 50 ms (the browser reports only those)'}; table rows ${rows}`);
const tableStart = Date.now();
await page.waitForFunction(() => document.querySelector('#point-table tbody').rows.length >= 100, { timeout: 300000 });
console.log(`  the table's first page of 100 rows complete ${Date.now() - tableStart} ms later`);

// Panning over all the points: frame times during drags across the map.
const box = await (await page.$('#map')).boundingBox();
await page.evaluate(() => {
    window.intervals = [];
    let last = performance.now();
    const frame = (now) => {
        window.intervals.push(now - last);
        last = now;
        window.panning = requestAnimationFrame(frame);
    };
    window.panning = requestAnimationFrame(frame);
});
for (let k = 0; k < 4; ++k) {
    await page.mouse.move(box.x + box.width / 2, box.y + box.height / 2);
    await page.mouse.down();
    for (let s = 1; s <= 30; ++s) await page.mouse.move(box.x + box.width / 2 + (k % 2 ? -8 : 8) * s, box.y + box.height / 2 + 4 * s);
    await page.mouse.up();
    await new Promise((r) => setTimeout(r, 300));
}
const intervals = await page.evaluate(() => {
    cancelAnimationFrame(window.panning);
    return window.intervals;
});
console.log(`panning 100,000 points: ${intervals.length} frames, median ${median(intervals).toFixed(1)} ms, ` +
    `longest ${Math.max(...intervals).toFixed(0)} ms`);
await browser.close();
