// Puts the page together as one file: the template with its styles, Leaflet and fflate from
// node_modules (installed from the lock file), the page's scripts, the worker's script (the core's
// emscripten glue and the worker), and the core's WebAssembly and the datum grid deflated and in
// base64. The inline scripts are allowed by their hashes in the Content-Security-Policy.
// With --site, also the site to host: the same page as index.html with its web app manifest, its
// service worker and the icons (tools/make_icon.py --web), and nothing else.
// With --ipadic, MeCab's dictionary packed by readings-pack.mjs: as quorvel-readings.bin in the
// site (fetched once, through the page's cache), and as quorvel-readings.js beside the page, a
// script (the only file a page opened from disk may load) setting quorvelReadings to the same
// bytes in base64. The page guesses readings when they are there, and works without them. With
// --places, the place names' readings (the build's place-readings.txt) go there beside them, and
// with --gazetteer the places' (gazetteer.bin): any data file the core reads from there.
// node build-page.mjs --core quorvel-web-core.js --wasm quorvel-web-core.wasm --grid TKY2JGD.grid --patch PatchJGD.grid
//                     --attribution data/README.md --out quorvel.html [--site DIR --icons DIR]
//                     [--ipadic DIR [--places FILE] [--gazetteer FILE]]
import { createHash } from 'node:crypto';
import { createRequire } from 'node:module';
import { readFileSync, writeFileSync, mkdirSync, rmSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';
import { deflateSync } from 'fflate';
import { pack } from './readings-pack.mjs';

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

// A payload as deflated base64; the grids packed first by the page's own page/grids.js, which
// must give them back byte for byte.
const QuorvelGrids = createRequire(import.meta.url)('./page/grids.js');
const packed = (bytes) => Buffer.from(deflateSync(bytes, { level: 9 })).toString('base64');
const packedGrid = (bytes, what) => {
    const scale = QuorvelGrids.scaleOf(bytes), made = QuorvelGrids.pack(bytes, scale);
    if (Buffer.compare(Buffer.from(QuorvelGrids.unpack(made, bytes.length, scale)), bytes) !== 0) throw new Error(`${what} does not unpack as it was`);
    return { data: packed(made), scale: String(scale) };
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
const workerScript = noScriptEnd([fflate, text(args.core), text(join(page, 'grids.js')), text(join(page, 'readings.js')), text(join(page, 'worker.js'))].join('\n;\n'), 'the worker script');
const hash = (source) => `'sha256-${createHash('sha256').update(source, 'utf8').digest('base64')}'`;

const tiles = 'https://cyberjapandata.gsi.go.jp';
// The site's page may also load its manifest, its service worker and its icons from its own folder.
const csp = (site) => [
    `default-src ${tiles}`,
    `script-src ${hash(mainScript)} 'wasm-unsafe-eval' ${site ? "'self'" : 'file:'}`,
    `worker-src blob:${site ? " 'self'" : ''}`,
    `style-src 'unsafe-inline'`,
    `img-src ${tiles} data:${site ? " 'self'" : ''}`,
    `connect-src ${site ? "'self'" : "'none'"}`,
    `font-src 'none'`,
    ...(site ? ["manifest-src 'self'"] : []),
    `base-uri 'none'`,
    `form-action 'none'`,
].join('; ');

// The readings' data files, in the order the core's folder has them.
const readingsFiles = ['sys.dic', 'matrix.bin', 'char.bin', 'unk.dic', 'dicrc'].map((name) => [name, join(args.ipadic || '', name)]);
if (args.places) readingsFiles.push(['place-readings.txt', args.places]);
if (args.gazetteer) readingsFiles.push(['gazetteer.bin', args.gazetteer]);
const readingsBin = args.ipadic ? pack(readingsFiles.map(([name, path]) => [name, readFileSync(path)])) : null;
const readingsScript = readingsBin ? `self.quorvelReadings = "${readingsBin.toString('base64')}";\n` : null;
if (readingsBin) {
    writeFileSync(join(dirname(args.out), 'quorvel-readings.js'), readingsScript);
    console.log(`${join(dirname(args.out), 'quorvel-readings.js')}: ${(readingsScript.length / 1e6).toFixed(2)} MB`);
}

const grid = readFileSync(args.grid), patch = readFileSync(args.patch);
const gridPacked = packedGrid(grid, args.grid), patchPacked = packedGrid(patch, args.patch);
const replacements = {
    CSP: csp(false),
    SITE_HEAD: '',
    STYLE: `${leafletCss}\n${text(join(page, 'page.css'))}`,
    MAIN_SCRIPT: mainScript,
    WORKER_SCRIPT: workerScript,
    CORE_WASM: packed(readFileSync(args.wasm)),
    GRID: gridPacked.data,
    GRID_BYTES: String(grid.length),
    GRID_SCALE: gridPacked.scale,
    PATCH: patchPacked.data,
    PATCH_BYTES: String(patch.length),
    PATCH_SCALE: patchPacked.scale,
    // What the page shows its progress against, and the name its cache keeps this build's under.
    READINGS_BYTES: String(readingsBin ? readingsBin.length : 0),
    READINGS_VERSION: readingsBin ? createHash('sha256').update(readingsBin).digest('hex').slice(0, 16) : '',
};
const fill = (template, values) => template.replace(/\{\{(\w+)\}\}/g, (whole, key) => {
    if (!(key in values)) throw new Error(`unknown placeholder ${whole}`);
    return values[key];
});
const html = fill(text(join(page, 'index.html')), replacements);
mkdirSync(dirname(args.out), { recursive: true });
writeFileSync(args.out, html);
console.log(`${args.out}: ${(Buffer.byteLength(html) / 1e6).toFixed(2)} MB`);

if (args.site) {
    if (!args.icons) throw new Error('--site needs --icons');
    const icons = ['icon-192.png', 'icon-512.png', 'icon-maskable-512.png'];
    // The tab's icon inside the page: the browser would fetch it apart from the manifest's.
    const favicon = `data:image/png;base64,${readFileSync(join(args.icons, 'icon-192.png')).toString('base64')}`;
    const head = ['<link rel="manifest" href="manifest.webmanifest">', '<meta name="theme-color" content="#0b5cad">',
        `<link rel="icon" href="${favicon}" sizes="192x192">`, '<link rel="apple-touch-icon" href="icon-192.png">', ''].join('\n');
    const files = {
        'index.html': fill(text(join(page, 'index.html')), { ...replacements, CSP: csp(true), SITE_HEAD: head }),
        'manifest.webmanifest': JSON.stringify(JSON.parse(text(join(page, 'manifest.webmanifest'))), null, 2) + '\n',
    };
    for (const icon of icons) files[icon] = readFileSync(join(args.icons, icon));
    // The worker's version is the hash of what it keeps: a new build replaces the kept copy.
    const version = createHash('sha256');
    for (const [name, bytes] of Object.entries(files)) version.update(name).update(bytes);
    // Each kept file with its hash: the worker takes the copy the browser already has when it is
    // this build's, so that the page is not downloaded twice. The readings are kept by the page;
    // the icons by the browser, which fetches them for the manifest (apart from the page's cache).
    const kept = ['./', 'manifest.webmanifest'];
    const sha = (bytes) => createHash('sha256').update(bytes).digest('hex');
    const hashes = Object.fromEntries(kept.map((file) => [file, sha(files[file === './' ? 'index.html' : file])]));
    if (readingsBin) files['quorvel-readings.bin'] = readingsBin;
    files['sw.js'] = fill(text(join(page, 'sw.js')), { VERSION: version.digest('hex').slice(0, 16), FILES: JSON.stringify(hashes) });
    rmSync(args.site, { recursive: true, force: true });
    mkdirSync(args.site, { recursive: true });
    for (const [name, bytes] of Object.entries(files)) writeFileSync(join(args.site, name), bytes);
    console.log(`${args.site}: ${Object.keys(files).join(', ')}`);
}
