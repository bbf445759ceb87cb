// The zip controls: the call that Zip posts into the result frame for each combination of the
// options and selections, and the alerts that stop it. Posts into the result frame are caught
// before they reach the server, so no operation runs.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  captureResultPosts, dialogOf, frame, hostAndBrowser, openFrameset, reloadOf, waitFor,
} from './support/harness.mjs';

const webRoot = 'c:\\inetpub\\wwwroot\\';
const hostileFile = '<b>x<b>.txt';

let page;
let posts;

const suite = hostAndBrowser({
  prepare: ({ c }) => {
    const root = path.join(c, 'inetpub', 'wwwroot');
    fs.mkdirSync(path.join(root, 'backup'), { recursive: true });
    for (const name of ['a.txt', 'b.txt', 'c.txt', hostileFile, 'same.txt ']) {
      fs.writeFileSync(path.join(root, name), name);
    }
  },
}, async () => {
  page = await openFrameset(suite.browser, suite.host);
  posts = await captureResultPosts(page);
});

function controls() {
  return frame(page, 'controls');
}

// Fresh controls with their defaults, and nothing selected in the source frame.
async function resetControls() {
  const controlsFrame = controls();
  await controlsFrame.goto(new URL('?OP=zip', suite.host.url).href);
  await frame(page, 'source').locator('select[name=selFiles]').selectOption([]);
  await waitFor(() => controlsFrame.url().endsWith('?OP=zip'), 'zip controls');
}

// Presses Zip and gives back the call that it posted.
async function pressZip() {
  const before = posts.length;
  await controls().locator('input[name=btnStart]').click();
  await waitFor(() => posts.length > before, 'the zip call');
  return posts[posts.length - 1];
}

function box(name) {
  return controls().locator(`input[name=${name}]`);
}

test('untouched controls post --5--- with the folder and type when no file is selected',
     async () => {
  await resetControls();
  assert.deepEqual(await pressZip(), {
    OP: 'call_zip',
    SP: webRoot,
    SL: `${webRoot}*.*`,
    TP: `${webRoot}untitled.zip`,
    PW: '',
    OS: '--5---',
  });
});

test('selected files are posted as full paths in list order', async () => {
  await resetControls();
  const files = frame(page, 'source').locator('select[name=selFiles]');
  const cases = [
    { select: ['c.txt'], list: `${webRoot}c.txt` },
    { select: ['c.txt', 'a.txt', 'b.txt'], list: `${webRoot}a.txt|${webRoot}b.txt|${webRoot}c.txt` },
    { select: [hostileFile], list: `${webRoot}${hostileFile}` },
    // The server trims the field of blanks: a bar after the last name keeps its blank.
    { select: ['same.txt '], list: `${webRoot}same.txt |` },
    { select: ['same.txt ', 'a.txt'], list: `${webRoot}a.txt|${webRoot}same.txt |` },
  ];
  for (const { select, list } of cases) {
    await files.selectOption(select.map((value) => ({ value })));
    assert.equal((await pressZip()).SL, list, select.join(','));
  }
});

test('the option string follows the boxes and the compression rate', async () => {
  const cases = [
    // Update and freshen exclude each other: the later click holds.
    { steps: ['chkFreshen', 'chkUpdate'], options: 'U-5---', unchecked: 'chkFreshen' },
    { steps: ['chkUpdate', 'chkFreshen'], options: 'F-5---', unchecked: 'chkUpdate' },
    { steps: ['chkPaths'], options: '--5S--' },
    { steps: ['chkRecurse'], options: '--5SR-' },
    { steps: ['chkRecurse', 'chkPaths'], options: '--5-R-' },
    { steps: ['chkEncrypt'], options: '-P5---', password: '' },
    { steps: ['chkEncrypt', 'type:secret'], options: '-P5---', password: 'secret' },
    { steps: ['chkEncrypt', 'type:secret', 'chkEncrypt'], options: '--5---', password: '' },
    { steps: ['rate:9'], options: '--9---' },
    { steps: ['rate:0', 'chkUpdate', 'chkPaths'], options: 'U-0S--' },
  ];
  for (const { steps, options, unchecked, password } of cases) {
    await resetControls();
    for (const step of steps) {
      if (step.startsWith('type:')) await box('txtPassword').fill(step.slice(5));
      else if (step.startsWith('rate:')) {
        await controls().locator('select[name=selCompress]').selectOption(step.slice(5));
      } else await box(step).click();
    }
    const call = await pressZip();
    assert.equal(call.OS, options, steps.join(' '));
    if (password !== undefined) assert.equal(call.PW, password, steps.join(' '));
    if (unchecked) assert.equal(await box(unchecked).isChecked(), false, steps.join(' '));
  }
});

test('deleting the originals asks first; declining leaves the box unchecked', async () => {
  for (const accept of [true, false]) {
    await resetControls();
    const message = await dialogOf(page, () => box('chkDelete').click(), accept);
    assert.equal(message, 'WARNING: This will delete the original files on the disk\n' +
                          'once the zip operation has completed successfully.');
    assert.equal(await box('chkDelete').isChecked(), accept);
    assert.equal((await pressZip()).OS, accept ? '--5--M' : '--5---');
  }
});

test('the target folder and the zip name make the archive path, sent as typed', async () => {
  await resetControls();
  const target = frame(page, 'target');
  await reloadOf(page, 'target', () => target.locator('select[name=selFolder]')
    .selectOption('\\inetpub\\wwwroot\\backup'));
  await target.locator('input[name=txtZipName]').fill('nightly');
  assert.equal((await pressZip()).TP, `${webRoot}backup\\nightly`);
});

test('a missing folder or zip name stops the call with an alert', async () => {
  const cases = [
    { frame: 'source', select: 'selFolder', message: 'You must select a source files folder' },
    { frame: 'target', select: 'selFolder', message: 'You must select a target files folder' },
    { frame: 'target', name: '', message: 'You must specify a target zip file name' },
  ];
  for (const c of cases) {
    for (const name of ['source', 'target']) {
      await frame(page, name).goto(new URL(`?OP=${name}`, suite.host.url).href);
    }
    await resetControls();
    const other = frame(page, c.frame);
    if (c.select) {
      await other.locator(`select[name=${c.select}]`)
        .evaluate((list) => { list.selectedIndex = -1; });
    } else {
      await other.locator('input[name=txtZipName]').fill(c.name);
    }
    const before = posts.length;
    const message = await dialogOf(page, () => box('btnStart').click());
    assert.equal(message, c.message);
    // The start button's handler posts (or not) before it returns; a round trip into the page
    // runs after it.
    await frame(page, 'controls').evaluate(() => true);
    assert.equal(posts.length, before, 'nothing is posted');
  }
});
