// The deployment tests' helpers: programs started as an administrator starts them, requests as a
// browser sends them, and waiting for what a program says.
import { spawn } from 'node:child_process';
import crypto from 'node:crypto';
import { once } from 'node:events';
import fs from 'node:fs';
import http from 'node:http';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

export const buildDir = process.env.VANTREL_BUILD;
export const hostBinary = process.env.VANTREL_HOST;
// The programs' version (1.10), and the packages' (1.10-1, with the Debian revision).
export const version = process.env.VANTREL_VERSION;
export const packageVersion = process.env.VANTREL_PACKAGE_VERSION;

export function temporaryFolder(name) {
  return fs.mkdtempSync(path.join(os.tmpdir(), `vantrel-${name}-`));
}

export async function freePort() {
  const server = net.createServer();
  server.listen(0, '127.0.0.1');
  await once(server, 'listening');
  const { port } = server.address();
  server.close();
  await once(server, 'close');
  return port;
}

// The environment and the standard output and error of a program that systemd connects to the
// journal, with a file standing for the journal's stream (JOURNAL_STREAM names it by device and
// inode). Close fd once the program has started.
export function journalStream(file, env = process.env) {
  const fd = fs.openSync(file, 'w');
  const { dev, ino } = fs.fstatSync(fd, { bigint: true });
  return { fd, env: { ...env, JOURNAL_STREAM: `${dev}:${ino}` }, stdio: ['ignore', fd, fd] };
}

// Starts vantrel-host and waits until it serves. Everything it says is kept in output (or, with
// journal, written to that file as to the journal, and read from there); exited resolves to its
// exit code.
export async function startHost(binary, args, env = process.env, journal = undefined) {
  let host;
  if (journal) {
    const stream = journalStream(journal, env);
    const child = spawn(binary, args, { env: stream.env, stdio: stream.stdio });
    fs.closeSync(stream.fd);
    host = { child, get output() { return fs.readFileSync(journal, 'utf8'); } };
  } else {
    const child = spawn(binary, args, { env, stdio: ['ignore', 'pipe', 'pipe'] });
    host = { child, output: '' };
    child.stdout.on('data', (chunk) => { host.output += chunk; });
    child.stderr.on('data', (chunk) => { host.output += chunk; });
  }
  const { child } = host;
  host.exited = once(child, 'exit').then(([code]) => code);
  host.url = await waitForOutput(host, /Vantrel is serving (\S+)/).then((match) => match[1]);
  host.origin = new URL(host.url).origin;
  return host;
}

// Resolves to the match once the host's output matches pattern.
export async function waitForOutput(host, pattern, timeout = 15000) {
  const deadline = Date.now() + timeout;
  while (Date.now() < deadline) {
    const match = pattern.exec(host.output);
    if (match) return match;
    if (host.child.exitCode !== null) break;
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(`no ${pattern} from the host; it said:\n${host.output}`);
}

// Sends a request and reads the answer as it streams: onChunk sees each piece as it arrives.
export function request(url, { method = 'GET', form, onChunk } = {}) {
  const body = form ? new URLSearchParams(form).toString() : undefined;
  const headers = body ? { 'Content-Type': 'application/x-www-form-urlencoded' } : {};
  return new Promise((resolve, reject) => {
    const sent = http.request(url, { method, headers }, (response) => {
      let text = '';
      response.setEncoding('utf8');
      response.on('data', (chunk) => {
        text += chunk;
        onChunk?.(chunk, text);
      });
      response.on('end', () => resolve({ status: response.statusCode, headers: response.headers, body: text }));
      response.on('error', reject);
    });
    sent.on('error', reject);
    sent.end(body);
  });
}

// The form of a zip call: files (full Windows paths) into the archive, at the level given.
export function zipCall(files, archive, level = '5') {
  return { OP: 'call_zip', SL: files.join('|'), TP: archive, OS: `--${level}---` };
}

// A file of incompressible bytes, so that zipping it takes a while.
export function writeRandomFile(file, megabytes) {
  const chunk = Buffer.alloc(1024 * 1024);
  const fd = fs.openSync(file, 'w');
  for (let i = 0; i < megabytes; i++) {
    crypto.randomFillSync(chunk);
    fs.writeSync(fd, chunk);
  }
  fs.closeSync(fd);
}
