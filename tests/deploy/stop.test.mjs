// The host as a service manager and logrotate treat it: SIGTERM while an operation runs closes
// the door to new connections and lets the operation finish, or, once the stop time-out has
// passed, aborts it with the archive as it was; either way the host ends with exit status 0 and
// leaves no lock file behind. SIGHUP makes it reopen its logs.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
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
    // The log is written by a thread of its own: the line is there a moment after the page.
    for (let i = 0; i < 50 && !fs.readFileSync(audit, 'utf8').includes('one.zip'); i++) {
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

