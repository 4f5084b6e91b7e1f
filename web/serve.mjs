// Serves a folder of static files on 127.0.0.1, for trying and testing the
// page: node serve.mjs FOLDER [PORT]. Port 0 picks a free one; the address
// is printed once the server listens.
import { createHash } from 'node:crypto';
import { createServer } from 'node:http';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, resolve, sep } from 'node:path';

const types = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.css': 'text/css; charset=utf-8',
  '.wasm': 'application/wasm',
  '.svg': 'image/svg+xml',
  '.png': 'image/png',
  '.webmanifest': 'application/manifest+json',
};

// `headers` go with every file, as a host adds them (cache headers, say);
// each file also gets an ETag of its contents, and a request that names it
// is answered 304 as static hosts answer it.
export function serve(folder, port = 0, headers = {}) {
  const root = resolve(folder);
  const server = createServer(async (request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    const file = normalize(join(root, path.endsWith('/') ? path + 'index.html' : path));
    try {
      if (!file.startsWith(root + sep)) throw new Error('outside');
      const body = await readFile(file);
      const etag = `"${createHash('sha1').update(body).digest('hex')}"`;
      if (request.headers['if-none-match'] === etag) {
        response.writeHead(304, { ETag: etag, ...headers });
        response.end();
        return;
      }
      response.writeHead(200, { 'Content-Type': types[extname(file)] ?? 'application/octet-stream', ETag: etag, ...headers });
      response.end(body);
    } catch {
      response.writeHead(404, { 'Content-Type': 'text/plain; charset=utf-8' });
      response.end('Nicht gefunden');
    }
  });
  return new Promise((done, fail) => {
    server.once('error', fail);
    server.listen(port, '127.0.0.1', () => done(server));
  });
}

if (import.meta.url === `file://${process.argv[1]}`) {
  try {
    const server = await serve(process.argv[2] ?? '.', Number(process.argv[3] ?? 8080));
    console.log(`http://127.0.0.1:${server.address().port}/`);
  } catch (e) {
    console.error(e.code === 'EADDRINUSE' ? `Port ${process.argv[3] ?? 8080} ist schon belegt.` : e.message);
    process.exit(1);
  }
}
