// A static server for tests: a folder under a path of 127.0.0.1 (a secure context), folders
// answered by their index.html, and extra pages of the test's own beside it, gzipped for a
// browser that takes it (as static hosts do). Every request is logged, so that a test sees what
// reached the network and what the service worker answered, and the bytes sent for each
// (.sent: [path, bytes of the body on the wire]); a file may be held back until released.
// const server = await serve(root, '/some/path/', { '/post.html': html }); server.url, .log, .sent, .stop(), .start()
// const release = server.hold('/some/path/file');  (its requests answered once release() is called)
import { createServer } from 'node:http';
import { gzipSync } from 'node:zlib';
import { readFile, stat } from 'node:fs/promises';
import { extname, join, normalize } from 'node:path';

const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.png': 'image/png',
    '.webmanifest': 'application/manifest+json; charset=utf-8' };

export async function serve(root, prefix, extra = {}) {
    const log = [], sent = [], held = new Map();
    const answer = async (request, response) => {
        log.push(`${request.method} ${request.url}`);
        const path = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
        if (held.has(path)) await held.get(path).promise;
        if (path in extra) return response.writeHead(200, { 'Content-Type': types['.html'] }).end(extra[path]);
        if (request.method !== 'GET' || !path.startsWith(prefix)) return response.writeHead(request.method === 'GET' ? 404 : 405).end();
        let file = normalize(join(root, path.slice(prefix.length)));
        if (!file.startsWith(normalize(root))) return response.writeHead(403).end();
        try {
            if ((await stat(file)).isDirectory()) file = join(file, 'index.html');
            let body = await readFile(file);
            const headers = { 'Content-Type': types[extname(file)] || 'application/octet-stream', 'Cache-Control': 'no-cache' };
            if (/\bgzip\b/.test(request.headers['accept-encoding'] || '')) {
                body = gzipSync(body, { level: 6 });
                headers['Content-Encoding'] = 'gzip';
            }
            sent.push([path, body.length]);
            response.writeHead(200, headers).end(body);
        } catch {
            response.writeHead(404).end();
        }
    };
    let server = null, port = 0;
    const sockets = new Set();
    const start = () => new Promise((resolve, reject) => {
        server = createServer((q, r) => answer(q, r).catch((error) => r.writeHead(500).end(String(error))));
        server.on('connection', (socket) => {
            sockets.add(socket);
            socket.on('close', () => sockets.delete(socket));
        });
        server.once('error', reject);
        server.listen(port, '127.0.0.1', () => {
            port = server.address().port;
            resolve();
        });
    });
    // Stopped: nothing answers on the port (as a phone without network), until start() again.
    const stop = () => new Promise((resolve) => {
        for (const socket of sockets) socket.destroy();
        server.close(() => resolve());
    });
    const hold = (path) => {
        let release;
        held.set(path, { promise: new Promise((resolve) => (release = resolve)) });
        return () => {
            held.delete(path);
            release();
        };
    };
    await start();
    return { hold, sent, get url() { return `http://127.0.0.1:${port}${prefix}`; }, origin: () => `http://127.0.0.1:${port}`, log, start, stop };
}
