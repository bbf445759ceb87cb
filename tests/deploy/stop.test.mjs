// The host as a service manager and logrotate treat it: SIGTERM while an operation runs closes
// the door to new connections and lets the operation finish, or, once the stop time-out has
// passed, aborts it with the archive as it was; either way the host ends with exit status 0 and
// leaves no lock file behind. SIGHUP makes it reopen its logs. A SIGKILL in the middle of an
// update, a delete or an extraction leaves no partial file under a final name, and the host
// started again reports the operation that never ended and removes what it left. A browser that
// goes away in the middle of a zip stops it.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';

import {
  freePort, hostBinary, journalStream, request, startHost, temporaryFolder, waitForOutput,
  writeRandomFile, zipCall,
} from './support.mjs';

let data;
let drive;

before(() => {
  data = temporaryFolder('stop');
  drive = path.join(data, 'c');
  fs.mkdirSync(drive);
  // Incompressible and zipped at level 9: several seconds of work with a progress dot a second,
  // even with both cores deflating (about 130 MB a second on two cores), so that the abort that
  // follows the first dot meets the zip still running.
  writeRandomFile(path.join(drive, 'big.bin'), 500);
  fs.writeFileSync(path.join(drive, 'small.txt'), 'small');
});
after(() => fs.rmSync(data, { recursive: true, force: true }));

async function start(extra = [], journal = undefined) {
  const port = await freePort();
  return startHost(hostBinary, ['--listen', `127.0.0.1:${port}`, '--data', data,
    '--registry', path.join(data, 'registry'), ...extra], process.env, journal);
}

function lockFiles() {
  return fs.readdirSync(path.join(data, 'queue')).filter((name) => /^~s[zu].*\.~fb$/.test(name));
}

// Starts the zip and sends the signal once its first progress dot has arrived; resolves to the
// page as it ended.
async function zipAndSignal(host, archive, signal) {
  let signalled = false;
  return request(host.url, {
    method: 'POST',
    form: zipCall(['c:\\big.bin'], `c:\\${archive}`, '9'),
    onChunk: (chunk, page) => {
      if (!signalled && page.includes('.\r\n')) {
        signalled = true;
        host.child.kill(signal);
      }
    },
  });
}

test('SIGTERM lets a running zip finish, then the host ends cleanly', async () => {
  const host = await start();
  const page = await zipAndSignal(host, 'finished.zip', 'SIGTERM');
  assert.match(page.body, /Operation complete, no errors\./);
  assert.equal(await host.exited, 0, host.output);
  assert.match(host.output, /Stopping: no new connections; 1 operation\(s\) running get 60 s/);
  assert.match(host.output, /Stopped\./);
  execFileSync('unzip', ['-tq', path.join(drive, 'finished.zip')]);
  assert.deepEqual(lockFiles(), []);
});

// Under systemd, as here, the lines go to the journal, each with its priority, so that
// journalctl -p tells errors and warnings from notices and requests.
test('after the stop time-out the zip is aborted and the archive stays as it was', async () => {
  const archive = path.join(drive, 'kept.zip');
  execFileSync('zip', ['-qj', archive, path.join(drive, 'small.txt')]);
  const before = fs.readFileSync(archive);
  const journal = path.join(data, 'journal');
  const host = await start(['--stop-timeout', '0'], journal);
  await request(`${host.origin}/help.htm`);
  const stopping = zipAndSignal(host, 'kept.zip', 'SIGINT');
  await waitForOutput(host, /Stopping: no new connections/);
  // The door is closed at once, while the operation still runs.
  await assert.rejects(request(host.url), { code: 'ECONNREFUSED' });
  const page = await stopping;
  assert.match(page.body, /Operation aborted\./);
  assert.equal(await host.exited, 0, host.output);
  assert.deepEqual(fs.readFileSync(archive), before);
  assert.deepEqual(lockFiles(), []);
  assert.deepEqual(fs.readdirSync(drive).filter((name) => name.includes('.zip') && name !== 'kept.zip'
    && name !== 'finished.zip'), [], 'no temporary archive left');

  const lines = host.output.split('\n').filter(Boolean);
  assert.ok(lines.every((line) => /^<[3-6]>/.test(line)), host.output);
  for (const expected of [/^<5>Vantrel is serving /, /^<6>127\.0\.0\.1 - - \[.*"GET \/help\.htm /,
    /^<4>vantrel-host: stopping: aborted the work on c:\\kept\.zip; the archive is unchanged$/,
    /^<5>Stopped\.$/]) {
    assert.ok(lines.some((line) => expected.test(line)), `${expected} in\n${host.output}`);
  }
  const refused = journalStream(journal);
  spawnSync(hostBinary, ['--listen', 'everywhere'], { env: refused.env, stdio: refused.stdio });
  fs.closeSync(refused.fd);
  assert.match(fs.readFileSync(journal, 'utf8'), /^<3>vantrel-host: --listen takes ADDRESS:PORT/);
});

test('SIGHUP reopens the audit log after logrotate moved it away', async () => {
  const host = await start();
  try {
    const audit = path.join(data, 'audit.log');
    await request(host.url, { method: 'POST', form: zipCall(['c:\\small.txt'], 'c:\\one.zip') });
    // The log is written by a thread of its own: the operation's start and end lines are there a
    // moment after the page.
    const mentions = (text, name) => text.split('\n').filter((line) => line.includes(name)).length;
    for (let i = 0; i < 50 && mentions(fs.readFileSync(audit, 'utf8'), 'one.zip') < 2; i++) {
      await new Promise((resolve) => setTimeout(resolve, 100));
    }
    fs.renameSync(audit, `${audit}.1`);
    host.child.kill('SIGHUP');
    // The reopen happens on the log's own thread; the next line lands in the new file.
    let lines = [];
    for (let i = 0; i < 50 && lines.length === 0; i++) {
      await request(host.url, { method: 'POST', form: zipCall(['c:\\small.txt'], 'c:\\two.zip') });
      await new Promise((resolve) => setTimeout(resolve, 100));
      lines = fs.existsSync(audit) ? fs.readFileSync(audit, 'utf8').split('\n').filter(Boolean) : [];
    }
    assert.ok(lines.length > 0 && lines.every((line) => line.includes('two.zip')), lines.join('\n'));
    assert.match(fs.readFileSync(`${audit}.1`, 'utf8'), /one\.zip/);
  } finally {
    host.child.kill('SIGTERM');
    assert.equal(await host.exited, 0, host.output);
  }
});

// Resolves once check() holds, looking every few milliseconds.
async function until(check, timeout = 60000) {
  const deadline = Date.now() + timeout;
  while (!check()) {
    if (Date.now() > deadline) throw new Error(`timed out waiting for ${check}`);
    await new Promise((resolve) => setTimeout(resolve, 5));
  }
}

function temporaries(folder) {
  return fs.readdirSync(folder).filter((name) => /^\.lsz-\d+-\d+\.tmp$/.test(name));
}

// Whether the process has a file open that has no name yet (an extraction's file being written)
// holding data already.
function writesUnnamedFile(pid) {
  const fds = `/proc/${pid}/fd`;
  return fs.readdirSync(fds).some((fd) => {
    try {
      return /\(deleted\)$/.test(fs.readlinkSync(`${fds}/${fd}`)) && fs.statSync(`${fds}/${fd}`).size > 0;
    } catch {
      return false;
    }
  });
}

function auditLines() {
  return fs.readFileSync(path.join(data, 'audit.log'), 'utf8').split('\n').filter(Boolean)
    .map((line) => JSON.parse(line));
}

// Sends form, kills the host with SIGKILL once cutOff() holds, starts it again and returns what
// the new host said at start.
async function killDuring(form, cutOff) {
  const killed = await start();
  const page = request(killed.url, { method: 'POST', form }).catch(() => null);
  await until(() => cutOff(killed.child.pid));
  killed.child.kill('SIGKILL');
  await killed.exited;
  await page;
  const again = await start();
  again.child.kill('SIGTERM');
  assert.equal(await again.exited, 0, again.output);
  return again.output;
}

test('a SIGKILL during an update or a delete leaves the archive whole; the next host sweeps', async () => {
  const archive = path.join(drive, 'big.zip');
  execFileSync('zip', ['-qj0', archive, path.join(drive, 'big.bin'), path.join(drive, 'small.txt')]);
  const before = fs.readFileSync(archive);
  fs.writeFileSync(path.join(drive, 'small.txt'), 'changed');
  fs.utimesSync(path.join(drive, 'small.txt'), new Date(), new Date(Date.now() + 60000));
  const calls = [
    { ...zipCall(['c:\\big.bin', 'c:\\small.txt'], 'c:\\big.zip', '9'), OS: 'U-9---' },
    { OP: 'call_unziplist', SP: 'c:\\', SL: 'big.zip', ZL: 'small.txt', OS: 'D-' },
  ];
  for (const form of calls) {
    const said = await killDuring(form, () => temporaries(drive).some(
      (name) => fs.statSync(path.join(drive, name)).size > 0));
    assert.deepEqual(fs.readFileSync(archive), before, form.OS);
    assert.deepEqual(temporaries(drive), [], 'the half-written archive is gone');
    assert.match(said, new RegExp(`the operation ${form.OS[0]} on c:\\\\big\\.zip started .* never `
      + 'ended: the host running it was cut off; 1 temporary file\\(s\\) it left were removed'));
    const closed = auditLines().filter((line) => line.event === 'unfinished');
    assert.equal(closed.at(-1).operation, form.OS[0]);
    const started = auditLines().find((line) => line.event === 'start' && line.id === closed.at(-1).id);
    assert.equal(started.archive, 'c:\\big.zip');
  }
});

test('a SIGKILL during an extraction leaves no part of a file under its name', async () => {
  const said = await killDuring(
    { OP: 'call_unzip', SP: 'c:\\', SL: 'big.zip', TP: 'c:\\out', OS: '---' }, writesUnnamedFile);
  assert.deepEqual(fs.existsSync(path.join(drive, 'out')) ? fs.readdirSync(path.join(drive, 'out')) : [], []);
  assert.match(said, /the operation - on c:\\big\.zip into c:\\out started .* never ended/);
});

test('a browser that goes away stops its zip: archive as it was, slot free, audit says why', async () => {
  const host = await start();
  try {
    const archive = path.join(drive, 'left.zip');
    execFileSync('zip', ['-qj', archive, path.join(drive, 'small.txt')]);
    const before = fs.readFileSync(archive);
    const body = new URLSearchParams(zipCall(['c:\\big.bin'], 'c:\\left.zip', '9')).toString();
    await new Promise((resolve, reject) => {
      const sent = http.request(host.url, { method: 'POST',
        headers: { 'Content-Type': 'application/x-www-form-urlencoded' } }, (response) => {
        response.on('data', (chunk) => {
          if (chunk.toString().includes('.\r\n')) {
            sent.destroy();  // the first progress dot: the browser closes its connection
            resolve();
          }
        });
      });
      sent.on('error', () => {});
      sent.end(body);
      setTimeout(() => reject(new Error('no progress dot')), 30000);
    });
    await until(() => auditLines().some((line) => line.event === 'operation' && line.archive === 'c:\\left.zip'));
    const ended = auditLines().filter((line) => line.event === 'operation').at(-1);
    assert.equal(ended.status, -30);
    assert.equal(ended.text, 'Error: Operation aborted. The browser closed the connection.');
    assert.deepEqual(fs.readFileSync(archive), before);
    assert.deepEqual(temporaries(drive), []);
    const next = await request(host.url, { method: 'POST', form: zipCall(['c:\\small.txt'], 'c:\\next.zip') });
    assert.match(next.body, /Operation complete, no errors\./, 'the zip slot is free again');
  } finally {
    host.child.kill('SIGTERM');
    assert.equal(await host.exited, 0, host.output);
  }
});
