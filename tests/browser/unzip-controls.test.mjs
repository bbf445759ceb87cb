// The unzip controls page in the controls frame: the exclusive operation boxes and the start
// button's label, the option string and fields posted into the result frame, the password box,
// and the way into the contents view, also for archive names with characters of a query string.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';

import {
  checkedStates, dialogOf, frame, hostAndBrowser, makeArchive,
  openFrameset, resultPostOf, selectSource, startButton,
} from './archive-pages-support.mjs';

const kOddName = 'a & b#1+2 %20.zip';

const suite = hostAndBrowser({}, async () => {
  const data = path.join(suite.host.driveFolder, 'data');
  makeArchive(data, 'a.zip', { 'b.txt': 'bee', 'docs/': '', 'docs/c.txt': 'sea' });
  makeArchive(data, kOddName, { 'odd.txt': 'odd' });
  makeArchive(data, ' same.zip', { 'leading.txt': 'leading' });
  fs.writeFileSync(path.join(data, 'notes.txt'), 'not an archive');
  fs.mkdirSync(path.join(suite.host.driveFolder, 'out'), { recursive: true });
});

async function openUnzipControls(name = 'a.zip') {
  const page = await openFrameset(suite.browser, suite.host, 'c:\\data', 'c:\\out');
  const controls = await selectSource(page, [name], 'unzip');
  return { page, controls };
}

async function click(controls, name) {
  await controls.click(`input[name=${name}]`);
}

test('the operation boxes exclude one another and the button names the operation', async () => {
  const { page, controls } = await openUnzipControls();
  const boxes = ['chkUpdate', 'chkFreshen', 'chkTest', 'chkFix'];
  const steps = [
    // box clicked, boxes checked afterwards, button afterwards
    ['chkTest', ['chkTest'], { value: 'Test', key: '' }],
    ['chkUpdate', ['chkUpdate'], { value: 'Unzip', key: 'U' }],
    ['chkUpdate', [], { value: 'Unzip', key: 'U' }],  // unchecking update changes nothing
    ['chkFix', ['chkFix'], { value: 'Fix', key: '' }],
    ['chkFreshen', ['chkFreshen'], { value: 'Unzip', key: 'U' }],
    ['chkTest', ['chkTest'], { value: 'Test', key: '' }],
    ['chkFix', ['chkFix'], { value: 'Fix', key: '' }],
    ['chkFix', [], { value: 'Unzip', key: 'U' }],
    ['chkFreshen', ['chkFreshen'], { value: 'Unzip', key: 'U' }],
    ['chkFreshen', [], { value: 'Unzip', key: 'U' }],
  ];
  for (const [box, checked, button] of steps) {
    await click(controls, box);
    const states = await checkedStates(controls, boxes);
    assert.deepEqual(Object.keys(states).filter((name) => states[name]), checked, `after ${box}`);
    assert.deepEqual(await startButton(controls), button, `after ${box}`);
  }
  // Folders, password and contents take no part in the exclusion.
  await click(controls, 'chkTest');
  await click(controls, 'chkRestore');
  await click(controls, 'chkDecrypt');
  assert.deepEqual(await checkedStates(controls, ['chkTest', 'chkRestore', 'chkDecrypt']),
                   { chkTest: true, chkRestore: true, chkDecrypt: true });
  assert.deepEqual(await startButton(controls), { value: 'Test', key: '' });
  await page.context().close();
});

test('the option string follows the boxes', async () => {
  // Untouched controls' plain extraction runs for real in the operations tests.
  const cases = [
    { click: [], os: '---' },
    { click: ['chkUpdate'], os: 'U--' },
    { click: ['chkFreshen', 'chkRestore'], os: 'F-R' },
    { click: ['chkFix'], os: 'X--' },
    { click: ['chkTest'], os: 'T--' },
    { click: ['chkDecrypt'], password: 'secret', os: '-P-' },
    { click: ['chkUpdate', 'chkDecrypt', 'chkRestore'], password: 'pw', os: 'UPR' },
    { click: ['chkDecrypt', 'chkDecrypt'], os: '---' },
  ];
  for (const c of cases) {
    const { page, controls } = await openUnzipControls();
    for (const box of c.click) await click(controls, box);
    if (c.password) await controls.fill('input[name=txtPassword]', c.password);
    const fields = await resultPostOf(page, () => click(controls, 'btnStart'));
    assert.equal(fields.OS, c.os, c.click.join(' '));
    assert.equal(fields.PW, c.password ?? '', c.click.join(' '));
    await page.context().close();
  }
});

test('the password box follows the decrypt box', async () => {
  const { page, controls } = await openUnzipControls();
  const box = 'input[name=txtPassword]';
  assert.equal(await controls.isDisabled(box), true);
  await click(controls, 'chkDecrypt');
  assert.equal(await controls.isDisabled(box), false);
  await controls.fill(box, 'typed');
  await click(controls, 'chkDecrypt');
  assert.equal(await controls.isDisabled(box), true);
  assert.equal(await controls.inputValue(box), '');
  await page.context().close();
});

test('a missing target folder stops the start with its alert and posts nothing', async () => {
  const { page, controls } = await openUnzipControls();
  await frame(page, 'target').evaluate(() => {
    document.forms['frmTarget'].elements['selFolder'].selectedIndex = -1;
  });
  let posted = false;
  page.on('request', (request) => { if (request.method() === 'POST') posted = true; });
  assert.equal(await dialogOf(page, () => click(controls, 'btnStart')),
               'You must select a target files folder');
  assert.equal(posted, false);
  await page.context().close();
});

// The server trims each field of blanks: a leading blank of the archive's name travels with the
// source folder in front of it, so the archive chosen is the archive used.
test('an archive name that begins with a blank is posted whole', async () => {
  const { page, controls } = await openUnzipControls({ value: ' same.zip' });
  const posted = await resultPostOf(page, () => click(controls, 'btnStart'));
  assert.deepEqual({ SP: posted.SP, SL: posted.SL }, { SP: '', SL: 'c:\\data\\ same.zip' });
  await page.context().close();
});

test('the contents box opens the contents view of the selected archive', async () => {
  for (const name of ['a.zip', kOddName]) {
    const { page, controls } = await openUnzipControls(name);
    const opened = controls.waitForURL((url) => url.search.startsWith('?OP=unziplist'));
    await click(controls, 'chkList');
    await opened;
    const url = new URL(controls.url());
    assert.equal(url.searchParams.get('ZN'), `c:\\data\\${name}`);
    await controls.waitForLoadState('load');
    const values = await controls.$$eval('select[name=selFiles] option', (options) =>
      options.map((option) => option.value));
    assert.ok(values.length > 0 && !values.includes(''), `${name}: ${values}`);
    assert.ok(!values[0].startsWith('Cannot'), `${name}: ${values}`);
    await page.context().close();
  }
});
