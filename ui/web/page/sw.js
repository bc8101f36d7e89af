// The site's service worker: the page and what it needs are kept at the first load and served
// from there, so that the page opens offline; map tiles are kept as they are viewed, up to a cap;
// files, text and links another app shares (the manifest's share target, a POST) are handed to the page.
'use strict';
const VERSION = '{{VERSION}}';
const FILES = {{FILES}};
const SHELL = `quorvel-shell-${VERSION}`, TILES = 'quorvel-tiles', SHARED = 'quorvel-shared';
const TILE_HOST = 'https://cyberjapandata.gsi.go.jp/';
// About 40 MB of the standard map's tiles; the oldest go first.
const TILE_CAP = 2000;
const scope = self.registration.scope;
const at = (path) => new URL(path, scope).href;
const bare = (url) => url.split(/[?#]/)[0];

// Every file as this build has it (FILES: name -> SHA-256): the copy the browser fetched for the
// page when it is that (no second download), else fetched past the HTTP cache. A redirect (a
// host's pretty URL) is kept as its body, since a redirected response cannot answer a navigation.
// The readings' data is kept by the page, which fetches it.
const hex = async (blob) => [...new Uint8Array(await crypto.subtle.digest('SHA-256', await blob.arrayBuffer()))]
    .map((byte) => byte.toString(16).padStart(2, '0')).join('');
async function fetched(file, cache) {
    const response = await fetch(new Request(at(file), { cache }));
    if (!response.ok) throw new Error(`${at(file)}: HTTP ${response.status}`);
    const body = await response.blob();
    return (await hex(body)) === FILES[file] ? new Response(body, { headers: response.headers }) : null;
}
self.addEventListener('install', (event) => event.waitUntil((async () => {
    const cache = await caches.open(SHELL);
    await Promise.all(Object.keys(FILES).map(async (file) => {
        const kept = (await fetched(file, 'force-cache').catch(() => null)) || (await fetched(file, 'reload'));
        if (!kept) throw new Error(`${at(file)}: not the file of this version`);
        await cache.put(at(file), kept);
    }));
    await self.skipWaiting();
})()));

self.addEventListener('activate', (event) => event.waitUntil((async () => {
    for (const name of await caches.keys()) if (name.startsWith('quorvel-shell-') && name !== SHELL) await caches.delete(name);
    await self.clients.claim();
})()));

self.addEventListener('fetch', (event) => {
    const request = event.request, url = bare(request.url);
    if (request.method === 'POST' && url === at('share'))
        return event.respondWith(fromShareSheet(event).then((taken) => (taken ? receiveShared(request) : Response.redirect(scope, 303))));
    if (request.method !== 'GET') return;
    if (url.startsWith(TILE_HOST)) return event.respondWith(tile(event));
    if (!url.startsWith(scope)) return;
    const key = request.mode === 'navigate' && url === at('index.html') ? scope : url;
    event.respondWith(caches.open(SHELL).then((cache) => cache.match(key)).then((kept) => kept || fetch(request)));
});

// A share is the browser's share sheet (a navigation no page started) or this site's own; a POST
// another website's form makes is not converted: the page opens empty. Fetch metadata says which
// where the worker sees it; Chromium attaches it past the worker, and there the navigation's
// initiator tells: none (the share sheet), or a page of this origin (its Origin header too).
async function fromShareSheet(event) {
    const request = event.request;
    if (request.mode !== 'navigate') return false;
    const site = request.headers.get('Sec-Fetch-Site');
    if (site !== null) return site === 'none' || site === 'same-origin';
    const origin = request.headers.get('Origin');
    if (origin !== null && origin !== 'null' && origin !== self.location.origin) return false;
    if (!event.clientId) return true;
    return origin === self.location.origin && (await self.clients.get(event.clientId)) !== undefined;
}

// The shared files into a cache of their own, in order, the shared text and link after them as
// one text (as if pasted), and the page opened to take them.
async function receiveShared(request) {
    let outcome;
    try {
        const form = await request.formData();
        const files = form.getAll('files').filter((file) => typeof file !== 'string');
        const words = (name) => String(form.get(name) || '').trim();
        const text = words('text'), link = words('url');
        const pasted = [text, text.includes(link) ? '' : link].filter(Boolean).join('\n');
        const cache = await caches.open(SHARED);
        for (const key of await cache.keys()) await cache.delete(key);
        await Promise.all(files.map((file, i) => cache.put(at(`shared/${i}/${encodeURIComponent(file.name)}`), new Response(file))));
        if (pasted) await cache.put(at(`shared/${files.length}/`), new Response(`${pasted}\n`));
        outcome = String(files.length + (pasted ? 1 : 0));
    } catch (error) {
        outcome = `failed:${error && error.message ? error.message : error}`;
    }
    return Response.redirect(`${scope}?shared=${encodeURIComponent(outcome)}`, 303);
}

// A tile from the cache, else from the host (CORS, so that it can be kept and never pads the
// quota as an opaque answer would); a host without CORS is asked as the page asked, not kept.
let tilePuts = 0;
async function tile(event) {
    const request = event.request;
    const cache = await caches.open(TILES);
    const kept = await cache.match(request.url);
    if (kept) return kept;
    let response;
    try {
        response = await fetch(request.url, { mode: 'cors', credentials: 'omit', referrerPolicy: 'no-referrer' });
    } catch (error) {
        return fetch(request);
    }
    if (response.ok) event.waitUntil(cache.put(request.url, response.clone()).then(() => (++tilePuts % 50 ? null : trim(cache))));
    return response;
}

async function trim(cache) {
    const keys = await cache.keys();
    for (const key of keys.slice(0, Math.max(keys.length - TILE_CAP, 0))) await cache.delete(key);
}
