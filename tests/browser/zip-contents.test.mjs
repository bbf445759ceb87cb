// The zip contents view in the controls frame: the entries with their details, the summary in the
// result frame, selection and the extract and delete boxes, the fields posted into the result
// frame, and extraction and deletion of chosen entries end to end.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import {
  checkedStates, dialogOf, frame, frameReady, hostAndBrowser, makeArchive,
  openFrameset, operationEnded, resultPostOf, resultText, selectSource, startButton, zipEntries,
} from './archive-pages-support.mjs';

let data;

const kFiles = {
  'b.txt': 'bee bee bee bee',
  'docs/': '',
  'docs/my file.txt': 'a name with a blank',
  'docs/c.txt': 'sea',
  'it\'s <b>bold.txt': 'a hostile name',
};

const suite = hostAndBrowser({}, async () => {
  data = path.join(suite.host.driveFolder, 'data');
  makeArchive(data, 'a.zip', kFiles, { 'b.txt': 'first draft' });
  fs.writeFileSync(path.join(data, 'broken.zip'), 'PK but not really an archive');
  fs.mkdirSync(path.join(suite.host.driveFolder, 'out'), { recursive: true });
});

async function openContents(archive = 'a.zip', target = 'c:\\out') {
  const page = await openFrameset(suite.browser, suite.host, 'c:\\data', target);
  const unzip = await selectSource(page, [archive], 'unzip');
  await unzip.click('input[name=chkList]');
  const controls = await frameReady(page, 'controls', 'select[name=selFiles]');
  await frame(page, 'result').waitForFunction(() =>
    document.body?.innerText.includes('Zip File Details'));
  return { page, controls };
}

async function entries(controls) {
  return controls.$$eval('select[name=selFiles] option', (options) =>
    options.map((o) => ({ value: o.value, text: o.text, title: o.title })));
}

async function select(controls, values) {
  await controls.selectOption('select[name=selFiles]', values);
}

test('the entries show folders, blanks and comments, and the summary fills the result frame',
     async () => {
  const { page, controls } = await openContents();
  const list = await entries(controls);
  assert.deepEqual(list.map((e) => e.value),
                   ['b.txt', 'docs\\*.*', 'docs\\my file.txt', 'docs\\c.txt',
                    'it\'s <b>bold.txt']);
  assert.deepEqual(list.map((e) => e.text), list.map((e) => e.value));
  assert.match(list[0].title, /^File Name: b\.txt\|Comment: first draft\|Last Modified: /);
  assert.match(list[0].title, /\|Uncompressed Size: 15 bytes\|/);
  assert.match(list[1].title, /^File Name: docs\\\|Last Modified: /);
  assert.ok(!list[2].title.includes('Comment:'));
  // The hostile name stays text: no element was made of it.
  assert.equal(await controls.$$eval('select[name=selFiles] b', (bold) => bold.length), 0);

  const summary = await resultText(page);
  assert.match(summary, /Zip File Details\s+File Name: c:\\data\\a\.zip\s+Number of files: 5\s+/);
  const total = Object.values(kFiles).reduce((sum, text) => sum + text.length, 0);
  assert.match(summary, new RegExp(`Total uncompressed sizes: ${total} bytes\\s+` +
                                   'Total compressed size: \\d+ bytes'));
  assert.match(summary, /Overall Compression rate: -?\d+%/);

  await select(controls, ['b.txt']);
  const details = await dialogOf(
    page, () => controls.dblclick('select[name=selFiles] option[value="b.txt"]'));
  assert.match(details, /^File Name: b\.txt\nComment: first draft\nLast Modified: /);
  await page.context().close();
});

test('an archive that cannot be read lists the three failure entries', async () => {
  const { page, controls } = await openContents('broken.zip');
  const list = await entries(controls);
  assert.deepEqual(list.slice(0, 2).map((e) => e.text), ['Cannot read zip', 'file contents:']);
  assert.match(list[2].text, /^Error: /);
  const summary = await resultText(page);
  assert.match(summary, /Zip File Details\s+File Name: c:\\data\\broken\.zip\s*$/);
  await page.context().close();
});

test('selecting entries checks extract, deleting asks first; the button follows', async () => {
  const { page, controls } = await openContents();
  await select(controls, ['b.txt']);
  assert.deepEqual(await checkedStates(controls, ['chkExtract', 'chkDelete']),
                   { chkExtract: true, chkDelete: false });
  assert.deepEqual(await startButton(controls), { value: 'Extract', key: '' });
  await select(controls, []);
  assert.deepEqual(await checkedStates(controls, ['chkExtract']), { chkExtract: false });
  assert.deepEqual(await startButton(controls), { value: 'Unzip', key: 'U' });

  // Unchecking extract by hand deselects every entry.
  await select(controls, ['b.txt', 'docs\\c.txt']);
  await controls.click('input[name=chkExtract]');
  assert.deepEqual(await controls.$$eval('select[name=selFiles] option:checked', (o) => o.length),
                   0);
  assert.deepEqual(await startButton(controls), { value: 'Unzip', key: 'U' });

  // The delete warning, declined and accepted.
  await select(controls, ['b.txt']);
  const warning = await dialogOf(page, () => controls.click('input[name=chkDelete]'), false);
  assert.equal(warning, 'WARNING: This will permanently delete\n' +
                              'all of the selected files from this zip file.');
  assert.deepEqual(await checkedStates(controls, ['chkExtract', 'chkDelete']),
                   { chkExtract: true, chkDelete: false });
  assert.deepEqual(await startButton(controls), { value: 'Extract', key: '' });

  await dialogOf(page, () => controls.click('input[name=chkDelete]'));
  assert.deepEqual(await checkedStates(controls, ['chkExtract', 'chkDelete']),
                   { chkExtract: false, chkDelete: true });
  assert.deepEqual(await startButton(controls), { value: 'Delete', key: '' });

  // Deselecting the last entry drops the delete box, and the button no longer reads Delete.
  await select(controls, []);
  assert.deepEqual(await checkedStates(controls, ['chkDelete']), { chkDelete: false });
  assert.deepEqual(await startButton(controls), { value: 'Unzip', key: 'U' });
  await page.context().close();
});

test('the posted fields: entry list, option string, source and target', async () => {
  const cases = [
    { select: [], os: '---', zl: '' },
    { select: ['docs\\*.*'], decrypt: 'pw', restore: true, os: 'EPR', zl: 'docs\\*.* ' },
  ];
  for (const c of cases) {
    const { page, controls } = await openContents();
    await select(controls, c.select);
    if (c.decrypt) {
      await controls.click('input[name=chkDecrypt]');
      await controls.fill('input[name=txtPassword]', c.decrypt);
    }
    if (c.restore) await controls.click('input[name=chkRestore]');
    assert.deepEqual(await resultPostOf(page, () => controls.click('input[name=btnStart]')), {
      OP: 'call_unziplist', ZL: c.zl, SP: 'c:\\data\\', SL: 'a.zip', TP: 'c:\\out\\',
      PW: c.decrypt ?? '', OS: c.os,
    }, c.os);
    await page.context().close();
  }
});

test('extracting two chosen entries writes just those', async () => {
  const target = path.join(suite.host.driveFolder, 'extracted');
  fs.mkdirSync(target, { recursive: true });
  const { page, controls } = await openContents('a.zip', 'c:\\extracted');
  await select(controls, ['b.txt', 'docs\\my file.txt']);
  await controls.click('input[name=btnStart]');
  assert.match(await operationEnded(page), /Operation complete, no errors\./);
  assert.equal(fs.readFileSync(path.join(target, 'b.txt'), 'utf8'), kFiles['b.txt']);
  assert.equal(fs.readFileSync(path.join(target, 'docs', 'my file.txt'), 'utf8'),
               kFiles['docs/my file.txt']);
  assert.equal(fs.existsSync(path.join(target, 'docs', 'c.txt')), false);
  await page.context().close();
});

test('deleting one entry removes just that one and leaves a sound archive', async () => {
  const archive = makeArchive(data, 'd.zip', kFiles);
  const { page, controls } = await openContents('d.zip');
  await select(controls, ['docs\\c.txt']);
  await dialogOf(page, () => controls.click('input[name=chkDelete]'));
  await controls.click('input[name=btnStart]');
  assert.match(await operationEnded(page), /Operation complete, no errors\./);
  assert.deepEqual(zipEntries(archive),
                   ['b.txt', 'docs/', 'docs/my file.txt', 'it\'s <b>bold.txt']);
  execFileSync('unzip', ['-tq', archive]);
  await page.context().close();

  // The contents view, opened again, no longer offers the entry.
  const again = await openContents('d.zip');
  const values = (await entries(again.controls)).map((e) => e.value);
  assert.ok(!values.includes('docs\\c.txt'), values.join(' '));
  assert.ok(values.includes('docs\\my file.txt'), values.join(' '));
  await again.page.context().close();
});

test('an entry the page cannot name exactly is extracted, but never deleted', async () => {
  // A double quote cannot stand in a name that the entry list must quote for its blanks.
  const archive = makeArchive(data, 'q.zip', { 'say "hi" now.txt': 'quoted',
                                               'say _hi_ now.txt': 'sibling' });
  const before = fs.readFileSync(archive);
  const target = path.join(suite.host.driveFolder, 'quoted');
  fs.mkdirSync(target, { recursive: true });
  const { page, controls } = await openContents('q.zip', 'c:\\quoted');
  const marked = (await entries(controls)).map((e) => e.value).find((v) => v.includes('\uFFFD'));
  assert.equal(marked, 'say \uFFFDhi\uFFFD now.txt');
  await select(controls, [marked]);
  await dialogOf(page, () => controls.click('input[name=chkDelete]'));
  await controls.click('input[name=btnStart]');
  assert.match(await operationEnded(page), /cannot show exactly.*Nothing was deleted\./s);
  assert.deepEqual(fs.readFileSync(archive), before);
  await page.context().close();

  const again = await openContents('q.zip', 'c:\\quoted');
  await select(again.controls, [marked]);
  await again.controls.click('input[name=btnStart]');
  await operationEnded(again.page);
  assert.equal(fs.readFileSync(path.join(target, 'say "hi" now.txt'), 'utf8'), 'quoted');
  await again.page.context().close();
});
