// The source and target frames: reloads through the server with the right path, the switch of
// the controls frame by the file selection, and the zip name that survives the target's reload.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  frame, hostAndBrowser, openFrameset, reloadOf, waitFor,
} from './support/harness.mjs';

const suite = hostAndBrowser({
  drives: [
    { letter: 'c', type: 'fixed', volume: 'DATA' },
    { letter: 'e', type: 'cdrom', volume: 'DISC' },
    { letter: 'd', type: 'fixed', volume: 'BACKUP' },
    { letter: 'n', type: 'network' },
  ],
  prepare: ({ c, d }) => {
    const root = path.join(c, 'inetpub', 'wwwroot');
    fs.mkdirSync(path.join(root, 'docs'), { recursive: true });
    for (const name of ['archive.ZIP', 'other.zip', 'notes.txt', 'readme']) {
      fs.writeFileSync(path.join(root, name), name);
    }
    fs.writeFileSync(path.join(root, 'docs', 'a.doc'), '');
    fs.writeFileSync(path.join(root, 'docs', 'b.txt'), '');
    fs.mkdirSync(path.join(d, 'stuff'));
  },
});

async function optionValues(target, list) {
  return target.locator(`select[name=${list}] option`).evaluateAll(
    (options) => options.map((option) => option.value));
}

async function controlsShow(page, op) {
  await waitFor(() => frame(page, 'controls').url().endsWith(`?OP=${op}`), `controls ?OP=${op}`);
}

function zipNameBox(page) {
  return frame(page, 'target').locator('input[name=txtZipName]');
}

test('choosing a type, a folder and a drive reloads the source page with the right SP', async () => {
  const page = await openFrameset(suite.browser, suite.host);
  const source = frame(page, 'source');
  assert.deepEqual(await optionValues(source, 'selDrive'), ['c:', 'd:', 'n:']);

  let posted = await reloadOf(page, 'source',
                              () => source.locator('select[name=selType]').selectOption('*.zip'));
  assert.deepEqual(posted, { OP: 'source', SP: 'c:\\inetpub\\wwwroot\\*.zip' });
  assert.deepEqual(await optionValues(source, 'selFiles'), ['archive.ZIP', 'other.zip']);
  assert.equal(await source.locator('select[name=selType]').inputValue(), '*.zip');

  posted = await reloadOf(page, 'source', () => source.locator('select[name=selFolder]')
    .selectOption('\\inetpub\\wwwroot\\docs'));
  assert.equal(posted.SP, 'c:\\inetpub\\wwwroot\\docs\\*.zip');
  assert.deepEqual(await optionValues(source, 'selFiles'), []);

  posted = await reloadOf(page, 'source',
                          () => source.locator('select[name=selType]').selectOption('*.*'));
  assert.equal(posted.SP, 'c:\\inetpub\\wwwroot\\docs\\*.*');
  assert.deepEqual(await optionValues(source, 'selFiles'), ['a.doc', 'b.txt']);

  posted = await reloadOf(page, 'source',
                          () => source.locator('select[name=selDrive]').selectOption('d:'));
  assert.equal(posted.SP, 'd:\\*.*', 'a new drive starts at its root');
  assert.equal(await source.locator('select[name=selFolder]').inputValue(), '');
  assert.deepEqual(await optionValues(source, 'selFolder'), ['', '\\stuff']);
  await page.context().close();
});

test('one zip file brings the unzip controls and disables the zip name; two bring zip back',
     async () => {
  const page = await openFrameset(suite.browser, suite.host);
  const files = frame(page, 'source').locator('select[name=selFiles]');

  await files.selectOption(['archive.ZIP']);
  await controlsShow(page, 'unzip');
  assert.equal(await zipNameBox(page).isDisabled(), true);

  await files.selectOption(['archive.ZIP', 'notes.txt']);
  await controlsShow(page, 'zip');
  assert.equal(await zipNameBox(page).isDisabled(), false);

  for (const single of ['other.zip', 'readme', 'notes.txt']) {
    await files.selectOption([single]);
    await controlsShow(page, single.endsWith('.zip') ? 'unzip' : 'zip');
    assert.equal(await zipNameBox(page).isDisabled(), single.endsWith('.zip'), single);
  }
  await page.context().close();
});

test('a source reload brings the zip controls back and enables the zip name', async () => {
  const page = await openFrameset(suite.browser, suite.host);
  const source = frame(page, 'source');
  await source.locator('select[name=selFiles]').selectOption(['archive.ZIP']);
  await controlsShow(page, 'unzip');
  await reloadOf(page, 'source', () => source.locator('select[name=selType]').selectOption('*.txt'));
  await controlsShow(page, 'zip');
  assert.equal(await zipNameBox(page).isDisabled(), false);
  await page.context().close();
});

test('the target keeps the zip name and the disabled state across its reload', async () => {
  const page = await openFrameset(suite.browser, suite.host);
  const target = frame(page, 'target');
  await zipNameBox(page).fill('keep "me" <now>.zip');

  let posted = await reloadOf(page, 'target', () => target.locator('select[name=selFolder]')
    .selectOption('\\inetpub\\wwwroot\\docs'));
  assert.deepEqual(posted, {
    OP: 'target', TP: 'c:\\inetpub\\wwwroot\\docs\\*.*', ZN: 'keep "me" <now>.zip', ZD: '',
  });
  assert.equal(await zipNameBox(page).inputValue(), 'keep "me" <now>.zip');
  assert.equal(await zipNameBox(page).isDisabled(), false);

  await frame(page, 'source').locator('select[name=selFiles]').selectOption(['archive.ZIP']);
  await controlsShow(page, 'unzip');
  posted = await reloadOf(page, 'target',
                          () => target.locator('select[name=selFolder]').selectOption('\\inetpub'));
  assert.equal(posted.TP, 'c:\\inetpub\\*.*');
  assert.equal(posted.ZD, 'DISABLED=YES');
  assert.equal(await zipNameBox(page).isDisabled(), true);
  assert.equal(await zipNameBox(page).inputValue(), 'keep "me" <now>.zip');

  posted = await reloadOf(page, 'target',
                          () => target.locator('select[name=selDrive]').selectOption('d:'));
  assert.equal(posted.TP, 'd:\\*.*');
  assert.equal(await target.locator('select[name=selFolder]').inputValue(), '');
  await page.context().close();
});
