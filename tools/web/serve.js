// Serves a folder over HTTP on 127.0.0.1, as any static web server would,
// with the type browsers require of WebAssembly (application/wasm).
//
//   node tools/web/serve.js FOLDER [PORT]     (make web-run: build-web, 8020)
//
// As a module (the browser tests and the web benchmark): serve(folder,
// {port, ...how}) resolves to {url, close, requests}, requests counting the
// requests for each file name. How a file is served otherwise, by its name:
// replace: the bytes served instead, or null for a file that is not there;
// type: the Content-Type sent; rate: bytes a second, as a slow line brings
// them; stall: its headers, and then nothing.
'use strict';
const fs = require('fs');
const http = require('http');
const path = require('path');

const TYPES = {
  '.html': 'text/html; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',
  '.ico': 'image/vnd.microsoft.icon',
};

function serve(folder, {port = 0, replace = {}, type = {}, rate = {}, stall = []} = {}) {
  const root = path.resolve(folder);
  const requests = new Map();
  const server = http.createServer((request, response) => {
    let name = decodeURIComponent(new URL(request.url, 'http://host').pathname);
    if (name.endsWith('/')) name += 'index.html';
    const file = path.join(root, path.normalize(name));
    const fail = (status) => {
      response.writeHead(status, {'Content-Type': 'text/plain'});
      response.end(String(status));
    };
    if (request.method !== 'GET' && request.method !== 'HEAD') return fail(405);
    if (!file.startsWith(root + path.sep)) return fail(404);
    const base = path.basename(file);
    requests.set(base, (requests.get(base) || 0) + 1);
    const send = (bytes) => {
      response.writeHead(200, {'Content-Type': type[base] || TYPES[path.extname(file)] || 'application/octet-stream',
                               'Content-Length': bytes.length, 'Cache-Control': 'no-cache'});
      if (request.method === 'HEAD') return response.end();
      if (stall.includes(base)) return response.flushHeaders();
      if (!rate[base]) return response.end(bytes);
      // A tenth of a second's worth at a time.
      const step = Math.max(1, Math.round(rate[base] / 10));
      const next = (at) => {
        if (response.destroyed) return;
        if (at >= bytes.length) return response.end();
        response.write(bytes.subarray(at, at + step));
        setTimeout(next, 100, at + step);
      };
      next(0);
    };
    if (base in replace) return replace[base] === null ? fail(404) : send(replace[base]);
    fs.readFile(file, (error, bytes) => (error ? fail(404) : send(bytes)));
  });
  return new Promise((resolve, reject) => {
    server.on('error', reject);
    server.listen(port, '127.0.0.1', () => resolve({
      url: `http://127.0.0.1:${server.address().port}/`,
      requests,
      close: () => new Promise((done) => {
        server.closeAllConnections();
        server.close(done);
      }),
    }));
  });
}

module.exports = {serve};

if (require.main === module) {
  const [folder, port] = process.argv.slice(2);
  if (!folder || !fs.existsSync(path.join(folder, 'index.html'))) {
    console.error('usage: serve.js FOLDER [PORT] (FOLDER holds index.html: make web builds build-web)');
    process.exit(2);
  }
  serve(folder, {port: Number(port || 0)}).then(({url}) => {
    console.log(`The intro is served at ${url} (Ctrl-C stops)`);
  }, (error) => {
    console.error(`serve.js: ${error.message}`);
    process.exit(1);
  });
}
