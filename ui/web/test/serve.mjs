// A static server for tests: a folder under a path of 127.0.0.1 (a secure context), folders
// answered by their index.html, and extra pages of the test's own beside it. Every request is
// logged, so that a test sees what reached the network and what the service worker answered.
// const server = await serve(root, '/some/path/', { '/post.html': html }); server.url, .log, .stop(), .start()
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { extname, join, normalize } from 'node:path';

const types = { '.html': 'text/html; charset=utf-8', '.js': 'text/javascript; charset=utf-8', '.png': 'image/png',
    '.webmanifest': 'application/manifest+json; charset=utf-8' };

export async function serve(root, prefix, extra = {}) {
    const log = [];
    const answer = async (request, response) => {
        log.push(`${request.method} ${request.url}`);
        const path = decodeURIComponent(new URL(request.url, 'http://127.0.0.1').pathname);
        if (path in extra) return response.writeHead(200, { 'Content-Type': types['.html'] }).end(extra[path]);
        if (request.method !== 'GET' || !path.startsWith(prefix)) return response.writeHead(request.method === 'GET' ? 404 : 405).end();
        let file = normalize(join(root, path.slice(prefix.length)));
        if (!file.startsWith(normalize(root))) return response.writeHead(403).end();
        try {
            if ((await stat(file)).isDirectory()) file = join(file, 'index.html');
            const body = await readFile(file);
            response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream', 'Cache-Control': 'no-cache' }).end(body);
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
    await start();
    return { get url() { return `http://127.0.0.1:${port}${prefix}`; }, origin: () => `http://127.0.0.1:${port}`, log, start, stop };
}
