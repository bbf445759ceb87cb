// The nginx site of the deployment guide, run with Debian's nginx on a loopback port: TLS at
// nginx, the host behind it on a Unix socket. Chromium signs in and gets the pages through it, an
// operation's progress dots pass through as they are written, and the host believes the client
// address and scheme that nginx forwards over its socket.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { once } from 'node:events';
import crypto from 'node:crypto';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

import { freePort, frameReady, launchBrowser, signInThroughPage, startHost, waitFor }
  from './support/harness.mjs';

const recipe = path.join(path.dirname(fileURLToPath(import.meta.url)), '..', '..', 'packaging',
                         'nginx-site.conf');
let folder;
let browser;

before(async () => {
  folder = fs.mkdtempSync(path.join(os.tmpdir(), 'vantrel-nginx-'));
  execFileSync('openssl', ['req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-days', '1',
    '-subj', '/CN=localhost', '-keyout', path.join(folder, 'key.pem'),
    '-out', path.join(folder, 'cert.pem')], { stdio: 'ignore' });
  browser = await launchBrowser();
});
after(async () => {
  await browser?.close();
  fs.rmSync(folder, { recursive: true, force: true });
});

// The guide's TLS server block, pointed at this test's port, certificate, folders and socket.
function siteFor(nginxPort, socket) {
  const site = fs.readFileSync(recipe, 'utf8');
  const server = site.slice(site.indexOf('server {'), site.indexOf('\n}\n') + 2);
  return server
    .replace('listen 443 ssl;', `listen 127.0.0.1:${nginxPort} ssl;`)
    .replace(/^\s*listen \[::\]:443 ssl;\n/m, '')
    .replace(/ssl_certificate\s+\S+;/, `ssl_certificate ${path.join(folder, 'cert.pem')};`)
    .replace(/ssl_certificate_key\s+\S+;/, `ssl_certificate_key ${path.join(folder, 'key.pem')};`)
    .replaceAll('proxy_pass http://unix:/run/vantrel/http.sock;', `proxy_pass http://unix:${socket};`);
}

async function startNginx(socket) {
  const port = await freePort();
  const root = fs.mkdtempSync(path.join(folder, 'nginx-'));
  const temp = (name) => path.join(root, name);
  const asRoot = process.getuid && process.getuid() === 0;
  fs.writeFileSync(temp('nginx.conf'), `${asRoot ? 'user root;\n' : ''}daemon off;
worker_processes 1;
pid ${temp('nginx.pid')};
error_log ${temp('error.log')};
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path ${temp('body')};
  proxy_temp_path ${temp('proxy')};
  fastcgi_temp_path ${temp('fastcgi')};
  uwsgi_temp_path ${temp('uwsgi')};
  scgi_temp_path ${temp('scgi')};
  ${siteFor(port, socket)}
}
`);
  const child = spawn('/usr/sbin/nginx', ['-p', root, '-c', temp('nginx.conf')],
                      { stdio: ['ignore', 'ignore', 'pipe'] });
  let said = '';
  child.stderr.on('data', (chunk) => { said += chunk; });
  await waitFor(() => new Promise((resolve) => {
    const socket = net.connect(port, '127.0.0.1', () => { socket.destroy(); resolve(true); });
    socket.on('error', () => resolve(child.exitCode !== null ? Promise.reject(new Error(said)) : false));
  }), 'nginx to listen');
  return {
    url: `https://127.0.0.1:${port}/farbale.asp`,
    async stop() {
      child.kill('SIGTERM');
      if (child.exitCode === null) await once(child, 'exit');
    },
  };
}

// The host behind nginx on a socket, with a file that takes a few seconds to zip.
async function serveBehindNginx() {
  const socket = path.join(folder, 'http.sock');
  const host = await startHost({
    signIn: true,
    // The browser names nginx by its address, as the site's server name.
    args: ['--listen', `unix:${socket}`, '--server-name', '127.0.0.1'],
    prepare: ({ c }) => {
      // Text deflates slowly at level 9 (bytes that do not compress go fast), so the zip runs
      // long enough for its progress dots to be seen arriving before its end.
      const fd = fs.openSync(path.join(c, 'big.bin'), 'w');
      for (let i = 0; i < 40; i++) {
        const lines = [];
        for (let size = 0; size < 1024 * 1024;) {
          const line = `line ${crypto.randomInt(100000)} of some text\n`;
          lines.push(line);
          size += line.length;
        }
        fs.writeSync(fd, lines.join(''));
      }
      fs.closeSync(fd);
    },
  });
  const nginx = await startNginx(socket);
  const context = await browser.newContext({ ignoreHTTPSErrors: true });
  const page = await context.newPage();
  return {
    host, nginx, context, page,
    async stop() {
      await context.close();
      await nginx.stop();
      await host.stop();
    },
  };
}

// Posts an operation from the page, as its forms do, and reads the answer as it streams: the
// pieces in the order they arrived.
function postFromPage(page, fields) {
  return page.evaluate(async (form) => {
    const response = await fetch('/farbale.asp', { method: 'POST', body: new URLSearchParams(form) });
    const reader = response.body.getReader();
    const decoder = new TextDecoder();
    const chunks = [];
    for (;;) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(decoder.decode(value, { stream: true }));
    }
    return { status: response.status, text: chunks.join(''), chunks };
  }, fields);
}

// The client addresses of the audit log's operation lines, once there is one.
function auditClients(host) {
  const audit = path.join(host.root, 'audit.log');
  return waitFor(() => {
    const lines = fs.existsSync(audit) ? fs.readFileSync(audit, 'utf8').split('\n') : [];
    const clients = lines.filter(Boolean).map((line) => JSON.parse(line))
      .filter((entry) => entry.event === 'operation').map((entry) => entry.client);
    return clients.length > 0 && clients;
  }, 'an operation in the audit log');
}

test('pages and progress dots pass through nginx; what it says of the client counts', async () => {
  const setup = await serveBehindNginx();
  try {
    const { page } = setup;
    await page.goto(setup.nginx.url);
    await signInThroughPage(page, setup.host.signIn);
    const source = await frameReady(page, 'source', 'form[name=frmSource]');
    await frameReady(page, 'controls', 'form[name=frmButtons]');
    // The source frame opens in the web root, which holds the help page.
    assert.match(await source.innerText('select[name=selFiles]'), /help\.htm/);
    const cookies = await setup.context.cookies();
    assert.equal(cookies.find((cookie) => cookie.name === 'VANTRELSESSION')?.secure, true,
                 'the session cookie is Secure: the host believes the HTTPS nginx reports');

    const zip = await postFromPage(page, { OP: 'call_zip', SL: 'c:\\big.bin', TP: 'c:\\out.zip',
                                           OS: '--9---' });
    assert.equal(zip.status, 200);
    assert.match(zip.text, /Operation complete, no errors\./);
    // The first dot arrives in an earlier piece than the page's end: nginx passes it on at once.
    const pieceOf = (text) => zip.chunks.findIndex(
      (_, i) => zip.chunks.slice(0, i + 1).join('').includes(text));
    assert.ok(pieceOf('.\r\n') >= 0 && pieceOf('.\r\n') < pieceOf('Operation complete'),
              JSON.stringify(zip.chunks));
    assert.deepEqual(await auditClients(setup.host), ['127.0.0.1']);

    // An upload larger than the pages' forms passes through the site's own block for it.
    const uploaded = await page.evaluate(async () => {
      const form = new FormData();
      form.append('folder', 'c:\\');
      form.append('file', new Blob([new Uint8Array(20 << 20)]), 'via-nginx.bin');
      const response = await fetch('/upload', { method: 'POST', body: form });
      return { status: response.status, text: await response.text() };
    });
    assert.equal(uploaded.status, 200, uploaded.text);
    assert.match(uploaded.text, /Uploaded c:\\via-nginx\.bin \(20971520 bytes\)/);
  } finally {
    await setup.stop();
  }
});
