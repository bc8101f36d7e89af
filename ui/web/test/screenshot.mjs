// docs/web-page.png: the page in Japanese with the sample's points, offline (the map without
// tiles). node screenshot.mjs PAGE INPUT OUT.png
import puppeteer from 'puppeteer-core';
import { mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

const [pagePath, input, out] = process.argv.slice(2);
const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium', headless: true, userDataDir: mkdtempSync(join(tmpdir(), 'quorvel-shot-')),
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
        '--disable-component-update', '--disable-sync', '--lang=ja'],
});
const page = await browser.newPage();
await page.setViewport({ width: 1100, height: 900 });
await page.evaluateOnNewDocument(() => Object.defineProperty(navigator, 'language', { get: () => 'ja-JP' }));
await page.setRequestInterception(true);
page.on('request', (r) => (/^(file|blob|data):/.test(r.url()) ? r.continue() : r.abort()));
await page.goto(`file://${pagePath}`);
await page.waitForFunction(() => document.body.dataset.state === 'ready');
await (await page.$('#files')).uploadFile(input);
await page.waitForFunction(() => document.body.dataset.runs === '1');
await new Promise((r) => setTimeout(r, 800)); // the marker tiles fade in
await page.screenshot({ path: out, fullPage: true });
await browser.close();
