// Puts the page together as one file: the template with its styles, Leaflet and fflate from
// node_modules (installed from the lock file), the page's scripts, the worker's script (the core's
// emscripten glue and the worker), and the core's WebAssembly and the datum grid deflated and in
// base64. The inline scripts are allowed by their hashes in the Content-Security-Policy.
// With --site, also the site to host: the same page as index.html with its web app manifest, its
// service worker and the icons (tools/make_icon.py --web), and nothing else.
// With --ipadic, MeCab's dictionary as quorvel-readings.js beside the page (and in the site): a
// script, the only file a page opened from disk may load, setting quorvelReadings to its files
// deflated in base64. The page guesses readings when it is there, and works without it. With
// --places, the place names' readings (the build's place-readings.txt) go there beside them, and
// with --gazetteer the places' (gazetteer.bin).
// node build-page.mjs --core quorvel-web-core.js --wasm quorvel-web-core.wasm --grid TKY2JGD.grid --patch PatchJGD.grid
//                     --attribution data/README.md --out quorvel.html [--site DIR --icons DIR]
//                     [--ipadic DIR [--places FILE] [--gazetteer FILE]]
import { createHash } from 'node:crypto';
import { readFileSync, writeFileSync, mkdirSync, rmSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { deflateSync } from 'fflate';

const here = dirname(fileURLToPath(import.meta.url));
const args = {};
for (let i = 2; i < process.argv.length; i += 2) args[process.argv[i].replace(/^--/, '')] = process.argv[i + 1];
for (const need of ['core', 'wasm', 'grid', 'patch', 'out']) {
    if (!args[need]) {
        console.error(`build-page.mjs: --${need} is missing`);
        process.exit(2);
    }
}

const text = (path) => readFileSync(path, 'utf8');
const modules = join(here, 'node_modules');
const page = join(here, 'page');

// A payload as deflated base64: the grid's float32 values compress poorly as they lie, so its
// bytes are first split into planes (every 4th byte together), which the worker undoes.
const packed = (bytes, planes) => {
    let input = bytes;
    if (planes > 1) {
        input = new Uint8Array(bytes.length);
        const per = Math.floor(bytes.length / planes);
        for (let p = 0; p < planes; ++p) for (let i = 0; i < per; ++i) input[p * per + i] = bytes[i * planes + p];
        input.set(bytes.subarray(per * planes), per * planes);
    }
    return Buffer.from(deflateSync(input, { level: 9 })).toString('base64');
};

// Leaflet's stylesheet names its images by relative paths: they go in as data URIs.
const leafletCss = text(join(modules, 'leaflet/dist/leaflet.css')).replace(/url\(images\/([\w-]+\.png)\)/g, (_, name) =>
    `url(data:image/png;base64,${readFileSync(join(modules, 'leaflet/dist/images', name)).toString('base64')})`);

const noScriptEnd = (source, what) => {
    if (/<\/script/i.test(source)) throw new Error(`${what} holds "</script"`);
    return source;
};
const fflate = text(join(modules, 'fflate/umd/index.js'));
// The page's own scripts in order: the table, map and outputs, then the page that uses them.
const pageScripts = ['table.js', 'map.js', 'outputs.js', 'app.js'].map((name) => text(join(page, name)));
const mainScript = noScriptEnd([fflate, text(join(modules, 'leaflet/dist/leaflet.js')), ...pageScripts].join('\n;\n'), 'the page script');
const workerScript = noScriptEnd([fflate, text(args.core), text(join(page, 'worker.js'))].join('\n;\n'), 'the worker script');
const hash = (source) => `'sha256-${createHash('sha256').update(source, 'utf8').digest('base64')}'`;

const tiles = 'https://cyberjapandata.gsi.go.jp';
// The site's page may also load its manifest, its service worker and its icons from its own folder.
const csp = (site) => [
    `default-src ${tiles}`,
    `script-src ${hash(mainScript)} 'wasm-unsafe-eval' ${site ? "'self'" : 'file:'}`,
    `worker-src blob:${site ? " 'self'" : ''}`,
    `style-src 'unsafe-inline'`,
    `img-src ${tiles} data:${site ? " 'self'" : ''}`,
    `connect-src 'none'`,
    `font-src 'none'`,
    ...(site ? ["manifest-src 'self'"] : []),
    `base-uri 'none'`,
    `form-action 'none'`,
].join('; ');

const grid = readFileSync(args.grid);
const replacements = {
    CSP: csp(false),
    SITE_HEAD: '',
    STYLE: `${leafletCss}\n${text(join(page, 'page.css'))}`,
    MAIN_SCRIPT: mainScript,
    WORKER_SCRIPT: workerScript,
    CORE_WASM: packed(readFileSync(args.wasm), 1),
    GRID: packed(grid, 4),
    GRID_BYTES: String(grid.length),
    PATCH: packed(readFileSync(args.patch), 4),
    PATCH_BYTES: String(readFileSync(args.patch).length),
};
const fill = (template, values) => template.replace(/\{\{(\w+)\}\}/g, (whole, key) => {
    if (!(key in values)) throw new Error(`unknown placeholder ${whole}`);
    return values[key];
});
const html = fill(text(join(page, 'index.html')), replacements);
mkdirSync(dirname(args.out), { recursive: true });
writeFileSync(args.out, html);
console.log(`${args.out}: ${(Buffer.byteLength(html) / 1e6).toFixed(2)} MB`);

const readingsFiles = ['sys.dic', 'matrix.bin', 'char.bin', 'unk.dic', 'dicrc'].map((name) => [name, join(args.ipadic || '', name)]);
if (args.places) readingsFiles.push(['place-readings.txt', args.places]);
if (args.gazetteer) readingsFiles.push(['gazetteer.bin', args.gazetteer]);
const readings = args.ipadic ? `self.quorvelReadings = ${JSON.stringify(Object.fromEntries(readingsFiles.map(([name, path]) => {
    const bytes = readFileSync(path);
    return [name, { bytes: bytes.length, data: Buffer.from(deflateSync(bytes, { level: 6 })).toString('base64') }];
})))};\n` : null;
if (readings) {
    writeFileSync(join(dirname(args.out), 'quorvel-readings.js'), readings);
    console.log(`${join(dirname(args.out), 'quorvel-readings.js')}: ${(readings.length / 1e6).toFixed(2)} MB`);
}

if (args.site) {
    if (!args.icons) throw new Error('--site needs --icons');
    const icons = ['icon-192.png', 'icon-512.png', 'icon-maskable-512.png'];
    const head = ['<link rel="manifest" href="manifest.webmanifest">', '<meta name="theme-color" content="#0b5cad">',
        '<link rel="icon" href="icon-192.png" sizes="192x192">', '<link rel="apple-touch-icon" href="icon-192.png">', ''].join('\n');
    const files = {
        'index.html': fill(text(join(page, 'index.html')), { ...replacements, CSP: csp(true), SITE_HEAD: head }),
        'manifest.webmanifest': JSON.stringify(JSON.parse(text(join(page, 'manifest.webmanifest'))), null, 2) + '\n',
    };
    for (const icon of icons) files[icon] = readFileSync(join(args.icons, icon));
    if (readings) files['quorvel-readings.js'] = readings;
    // The worker's version is the hash of what it keeps: a new build replaces the kept copy.
    const version = createHash('sha256');
    for (const [name, bytes] of Object.entries(files)) version.update(name).update(bytes);
    const kept = ['./', 'manifest.webmanifest', ...icons, ...(readings ? ['quorvel-readings.js'] : [])];
    files['sw.js'] = fill(text(join(page, 'sw.js')), { VERSION: version.digest('hex').slice(0, 16), FILES: JSON.stringify(kept) });
    rmSync(args.site, { recursive: true, force: true });
    mkdirSync(args.site, { recursive: true });
    for (const [name, bytes] of Object.entries(files)) writeFileSync(join(args.site, name), bytes);
    console.log(`${args.site}: ${Object.keys(files).join(', ')}`);
}
