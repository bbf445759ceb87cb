// Files in and out through the page, as a signed-in user does it: the target frame's Upload…
// window sends files chosen on the user's computer (with a progress bar, a cancel, and the
// extraction of uploaded zip files) and the source frame then shows them; the zip contents page
// downloads the archive and one entry, byte for byte.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';

import {
  frame, frameReady, hostAndBrowser, makeArchive, openFrameset, selectSource,
} from './archive-pages-support.mjs';
import { waitFor } from './support/harness.mjs';

let work;

const suite = hostAndBrowser({
  signIn: true,
  prepare: (folders) => {
    fs.mkdirSync(path.join(folders.c, 'in'));
    fs.mkdirSync(path.join(folders.c, 'data'));
  },
}, async () => {
  work = fs.mkdtempSync(path.join(suite.host.root, 'user-'));
  makeArchive(path.join(suite.host.driveFolder, 'data'), 'a.zip',
              { 'b.txt': 'bee', 'docs/c.txt': 'sea '.repeat(300000) });
});

async function sourceFiles(page) {
  const source = await frameReady(page, 'source', 'select[name=selFiles]');
  return source.$$eval('select[name=selFiles] option', (options) => options.map((o) => o.value));
}

// Opens the Upload… window of the target frame, chooses files in it and ticks the boxes named.
async function uploadWindow(page, files, boxes = []) {
  const [popup] = await Promise.all([
    page.waitForEvent('popup'),
    frame(page, 'target').click('input[name=btnUpload]'),
  ]);
  await popup.waitForSelector('input[name=filFiles]');
  await popup.setInputFiles('input[name=filFiles]', files);
  for (const box of boxes) await popup.check(`input[name=${box}]`);
  return popup;
}

// Sends what the window holds and waits for the result frame's report and the source frame's
// reload.
async function sendAndWait(page, popup) {
  const reloaded = page.waitForResponse((response) => response.request().method() === 'POST' &&
    new URLSearchParams(response.request().postData() ?? '').get('OP') === 'source');
  await Promise.all([popup.waitForEvent('close'), popup.click('input[name=btnUpload]')]);
  await reloaded;
  return frame(page, 'result').evaluate(() => document.body.innerText);
}

test('three files chosen in the Upload… window reach the target folder and the source list',
     async () => {
  const page = await openFrameset(suite.browser, suite.host, 'c:\\in', 'c:\\in');
  const files = ['one.txt', 'two words.txt', 'drei.bin'].map((name, i) =>
    ({ name, mimeType: 'application/octet-stream', buffer: Buffer.from(`${name} `.repeat(i + 1)) }));
  const popup = await uploadWindow(page, files);
  assert.equal(await popup.textContent('#spnFolder'), 'c:\\in\\');
  const report = await sendAndWait(page, popup);
  for (const { name, buffer } of files) {
    assert.match(report, new RegExp(`Uploaded c:\\\\in\\\\${name} \\(${buffer.length} bytes\\)`));
    assert.deepEqual(fs.readFileSync(path.join(suite.host.driveFolder, 'in', name)), buffer);
  }
  assert.deepEqual((await sourceFiles(page)).sort(), files.map((f) => f.name).sort());
  await page.context().close();
});

test('the progress bar follows the sending, and a cancelled upload leaves nothing', async () => {
  const page = await openFrameset(suite.browser, suite.host, 'c:\\in', 'c:\\in');
  const big = { name: 'slow.bin', mimeType: 'application/octet-stream',
                buffer: Buffer.alloc(6 << 20, 7) };
  const popup = await uploadWindow(page, [big]);
  // The sending is slowed down to 1 MB a second, so that the bar can be seen moving.
  const cdp = await page.context().newCDPSession(popup);
  await cdp.send('Network.enable');
  await cdp.send('Network.emulateNetworkConditions', {
    offline: false, latency: 0, downloadThroughput: -1, uploadThroughput: 1 << 20,
  });
  await popup.click('input[name=btnUpload]');
  const seen = await waitFor(() => popup.evaluate(() => {
    const bar = document.getElementById('prgUpload');
    return bar.value > 0 && bar.value < bar.max && { value: bar.value, max: bar.max };
  }), 'the progress bar to move');
  assert.ok(seen.max >= big.buffer.length, JSON.stringify(seen));
  // The window closes as the button is pressed; the click itself may not see its end.
  await Promise.all([popup.waitForEvent('close'),
                     popup.click('input[name=btnCancel]').catch(() => null)]);
  await waitFor(() => !fs.readdirSync(path.join(suite.host.driveFolder, 'in')).some(
    (name) => name === 'slow.bin' || name.startsWith('.lsz')) && true, 'nothing left behind');
  // The suite.host saw the upload end early and kept nothing of it.
  await waitFor(() => fs.readFileSync(path.join(suite.host.root, 'audit.log'), 'utf8')
    .includes('"path":"c:\\\\in\\\\slow.bin","bytes"'), 'the cut-off upload in the audit log');
  assert.ok(!fs.existsSync(path.join(suite.host.driveFolder, 'in', 'slow.bin')));
  await page.context().close();
});

test('an uploaded zip with "Extract uploaded zip files" ticked is extracted beside it', async () => {
  makeArchive(work, 'pack.zip', { 'p1.txt': 'first', 'p2.txt': 'second' });
  const page = await openFrameset(suite.browser, suite.host, 'c:\\in', 'c:\\in');
  const popup = await uploadWindow(page, [path.join(work, 'pack.zip')], ['chkExtract']);
  const report = await sendAndWait(page, popup);
  assert.match(report, /Uploaded c:\\in\\pack\.zip \(\d+ bytes\)/);
  assert.match(report, /Extracting from c:\\in\\pack\.zip \.\.\. [.\s]*Operation complete, no errors\./);
  const listed = await sourceFiles(page);
  for (const name of ['pack.zip', 'p1.txt', 'p2.txt']) assert.ok(listed.includes(name), name);
  assert.equal(fs.readFileSync(path.join(suite.host.driveFolder, 'in', 'p2.txt'), 'utf8'),
               'second');
  await page.context().close();
});

test('the contents page downloads the archive and one entry byte for byte', async () => {
  const page = await openFrameset(suite.browser, suite.host, 'c:\\data', 'c:\\in');
  const unzip = await selectSource(page, ['a.zip'], 'unzip');
  await unzip.click('input[name=chkList]');
  const controls = await frameReady(page, 'controls', 'select[name=selFiles]');
  const download = async (click) => {
    const [saved] = await Promise.all([page.waitForEvent('download'), click()]);
    return { name: saved.suggestedFilename(), bytes: fs.readFileSync(await saved.path()) };
  };
  const archive = await download(() => controls.click('a[title="Download the zip file"]'));
  assert.equal(archive.name, 'a.zip');
  assert.deepEqual(archive.bytes,
                   fs.readFileSync(path.join(suite.host.driveFolder, 'data', 'a.zip')));
  await controls.selectOption('select[name=selFiles]', ['docs\\c.txt']);
  const entry = await download(() =>
    controls.click('a[title="Download the file selected in the list above"]'));
  assert.equal(entry.name, 'c.txt');
  // Beyond a megabyte, the entry is decompressed as it is sent.
  assert.equal(entry.bytes.toString(), 'sea '.repeat(300000));
  await page.context().close();
});
