// docs/web-page.png: the page in Japanese with the sample's points, offline (the map without
// tiles). node screenshot.mjs PAGE INPUT OUT.png
// docs/web-phone.png and docs/web-phone-map.png: at 360 x 740 with touch, the first screen after
// the inputs, and the map scrolled into view. node screenshot.mjs --phone PAGE OUT-PREFIX INPUT...
import puppeteer from 'puppeteer-core';
import { mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const phone = process.argv[2] === '--phone';
const [pagePath, ...rest] = process.argv.slice(phone ? 3 : 2);
const [inputs, out] = phone ? [rest.slice(1), rest[0]] : [[rest[0]], rest[1]];
const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: mkdtempSync(join(tmpdir(), 'quorvel-shot-')),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--lang=ja'],
});
const page = await browser.newPage();
if (phone) {
    await page.emulate({ viewport: { width: 360, height: 740, isMobile: true, hasTouch: true, deviceScaleFactor: 1 },
        userAgent: await browser.userAgent() });
} else await page.setViewport({ width: 1100, height: 900 });
await page.evaluateOnNewDocument(() => Object.defineProperty(navigator, 'language', { get: () => 'ja-JP' }));
await page.setRequestInterception(true);
page.on('request', (r) => (/^(file|blob|data):/.test(r.url()) ? r.continue() : r.abort()));
await page.goto(`file://${pagePath}`);
await page.waitForFunction(() => document.body.dataset.state === 'ready');
await (await page.$('#files')).uploadFile(...inputs);
await page.waitForFunction(() => document.body.dataset.runs === '1');
await new Promise((r) => setTimeout(r, 800)); // the marker tiles fade in
if (!phone) await page.screenshot({ path: out, fullPage: true });
else {
    await page.screenshot({ path: `${out}.png` });
    await page.evaluate(() => document.getElementById('map-section').scrollIntoView({ block: 'start' }));
    await new Promise((r) => setTimeout(r, 300));
    await page.screenshot({ path: `${out}-map.png` });
}
await browser.close();
