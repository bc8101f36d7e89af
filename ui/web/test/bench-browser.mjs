// The headless Chromium both benches drive: a private profile, no network but the page's own
// files, one page of a desktop's size.
import puppeteer from 'puppeteer-core';
import { mkdtempSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';

export async function openBenchPage() {
    const browser = await puppeteer.launch({
        executablePath: '/usr/bin/chromium', headless: true, userDataDir: mkdtempSync(join(tmpdir(), 'quorvel-bench-')),
        args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
            '--disable-component-update', '--disable-sync'],
    });
    const page = await browser.newPage();
    await page.setViewport({ width: 1280, height: 900 });
    await page.setRequestInterception(true);
    page.on('request', (r) => (/^(file|blob|data):/.test(r.url()) ? r.continue() : r.abort()));
    return { browser, page };
}

export const median = (values) => values.slice().sort((a, b) => a - b)[Math.floor(values.length / 2)];
