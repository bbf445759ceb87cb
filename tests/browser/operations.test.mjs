// Operations end to end in the browser: the user selects in the source and target frames, sets
// options in the controls frame and presses the start button; the result frame reports the
// outcome, the files on disk change, and the source frame reloads its lists.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import crypto from 'node:crypto';
import fs from 'node:fs';
import path from 'node:path';

import {
  dialogOf, frame, hostAndBrowser, openFramesetAt, resultText, screenshotPath, selectSource,
  zipEntries as entries,
} from './support/harness.mjs';

const suite = hostAndBrowser();

function local(...parts) {
  return path.join(suite.host.driveFolder, ...parts);
}

function write(relative, text, mtime) {
  const file = local(...relative.split('/'));
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, text);
  if (mtime) fs.utimesSync(file, mtime, mtime);
}

function entryText(archive, name) {
  return execFileSync('unzip', ['-p', archive, name]).toString();
}

function fieldsOf(request) {
  return Object.fromEntries(new URLSearchParams(request.postData() ?? ''));
}

// Presses the controls' start button (or does what press does) and waits until the result page
// has run and made the source frame reload; resolves to the result text and the frames that
// reloaded.
async function start(page, controls, press = () => controls.click('input[name=btnStart]')) {
  const reloaded = [];
  const recordReload = (request) => {
    const op = fieldsOf(request).OP;
    if (request.method() === 'POST' && (op === 'source' || op === 'target')) reloaded.push(op);
  };
  page.on('request', recordReload);
  const loaded = (op) => page.waitForResponse((response) => response.request().method() === 'POST'
    && fieldsOf(response.request()).OP === op, { timeout: 60000 });
  const sourceLoaded = loaded('source');
  const targetLoaded = loaded('target').catch(() => null);
  await press();
  await (await sourceLoaded).finished();
  await frame(page, 'source').waitForLoadState('load');
  // The result page's script names the frames it reloads: wait for the target's too, if named.
  const script = await frame(page, 'result').content();
  if (script.includes("top.frames ['target'].doReload")) await (await targetLoaded).finished();
  page.off('request', recordReload);
  const text = await resultText(page);
  return { text, reloaded: [...new Set(reloaded)].sort() };
}

async function sourceFiles(page) {
  return frame(page, 'source').evaluate(() => Array.from(
    document.forms['frmSource'].elements['selFiles'].options, (option) => option.value));
}

async function setTargetName(page, name) {
  await frame(page, 'target').fill('input[name=txtZipName]', name);
}

async function check(controls, ...names) {
  for (const name of names) await controls.check(`input[name=${name}]`);
}

test('zip selected files, then see the archive in the source list', async () => {
  write('sel/a.txt', 'alpha');
  write('sel/b.txt', 'bravo');
  write('sel/c.log', 'charlie');
  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\sel', 'c:\\sel');
  await setTargetName(page, 'picked');
  const controls = await selectSource(page, ['a.txt', 'b.txt'], 'zip');
  const { text, reloaded } = await start(page, controls);
  assert.equal(text, 'Creating c:\\sel\\picked.zip ... .\nOperation complete, no errors. Download');
  assert.deepEqual(reloaded, ['source']);
  assert.deepEqual(entries(local('sel', 'picked.zip')), ['a.txt', 'b.txt']);
  assert.equal(entryText(local('sel', 'picked.zip'), 'b.txt'), 'bravo');
  assert.ok((await sourceFiles(page)).includes('picked.zip'));
  // The link beside the status takes the new archive away, byte for byte.
  const [saved] = await Promise.all([page.waitForEvent('download'),
                                     frame(page, 'result').click('a:text("Download")')]);
  assert.equal(saved.suggestedFilename(), 'picked.zip');
  assert.deepEqual(fs.readFileSync(await saved.path()), fs.readFileSync(local('sel', 'picked.zip')));
  await page.screenshot({ path: screenshotPath('operations-after-zip.png') });
  await page.close();
});

// Every file of a large folder at once: a list of chosen files of 17 KB is an ordinary form.
test('zip a selection of 300 files', async () => {
  const names = Array.from({ length: 300 },
    (_, i) => `quarterly-report-${String(i).padStart(3, '0')}-with-a-long-descriptive-name.txt`);
  for (const name of names) write(`many/${name}`, name);
  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\many', 'c:\\many');
  await setTargetName(page, 'all');
  const controls = await selectSource(page, names, 'zip');
  const posted = page.waitForRequest((request) => request.method() === 'POST'
    && fieldsOf(request).OP === 'call_zip');
  const { text } = await start(page, controls);
  assert.ok(fieldsOf(await posted).SL.length > 17000, 'the list of chosen files is over 17 KB');
  assert.match(text, /Operation complete, no errors\./);
  assert.deepEqual(entries(local('many', 'all.zip')), names);
  await page.close();
});

// Linux names: colons are ordinary characters; a name with a bar cannot travel in the list of
// chosen files, so the page shows it but will not send it.
test('files named with colons are browsed, chosen and zipped; a name with a bar is shown, never sent', async () => {
  write('perl/File::Spec.3perl.gz', 'spec');
  write('perl/IO::File.3perl.gz', 'io');
  write('perl/a|b.txt', 'bar');
  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\perl', 'c:\\perl');
  const barred = await frame(page, 'source').evaluate(() => Array.from(
    document.forms['frmSource'].elements['selFiles'].options).find((o) => o.text === 'a|b.txt')
    ?.disabled);
  assert.equal(barred, true, 'the file with a bar is listed, and cannot be chosen');
  await setTargetName(page, 'perl');
  const controls = await selectSource(page, ['File::Spec.3perl.gz', 'IO::File.3perl.gz'], 'zip');
  const { text } = await start(page, controls);
  assert.equal(text, 'Creating c:\\perl\\perl.zip ... .\nOperation complete, no errors. Download');
  assert.deepEqual(entries(local('perl', 'perl.zip')), ['File::Spec.3perl.gz', 'IO::File.3perl.gz']);
  await page.close();
});

test('zip by type filter, recursing and storing full paths', async () => {
  write('typed/x.txt', 'x');
  write('typed/y.log', 'y');
  write('typed/sub/z.txt', 'z');
  write('typed/sub/deeper/w.txt', 'w');
  write('typed/sub/deeper/v.log', 'v');
  fs.mkdirSync(local('zips'), { recursive: true });
  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\typed', 'c:\\zips');
  const source = frame(page, 'source');
  await Promise.all([source.waitForNavigation(),
                     source.selectOption('select[name=selType]', '*.txt')]);
  await setTargetName(page, 'typed.zip');
  const controls = frame(page, 'controls');
  await check(controls, 'chkRecurse', 'chkPaths');
  const { text } = await start(page, controls);
  assert.equal(text, 'Creating c:\\zips\\typed.zip ... .\nOperation complete, no errors. Download');
  assert.deepEqual(entries(local('zips', 'typed.zip')),
                   ['typed/sub/deeper/w.txt', 'typed/sub/z.txt', 'typed/x.txt']);
  await page.close();
});

test('freshen replaces only what changed; update also adds new files', async () => {
  const past = new Date(Date.now() - 3600 * 1000);
  write('uf/a.txt', 'old a', past);
  write('uf/b.txt', 'old b', past);
  execFileSync('zip', ['-q', '-j', local('uf', 'uf.zip'), local('uf', 'a.txt'), local('uf', 'b.txt')]);
  write('uf/a.txt', 'new a');
  write('uf/c.txt', 'new c');
  const before = fs.statSync(local('uf', 'uf.zip')).mtimeMs;

  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\uf', 'c:\\uf');
  await setTargetName(page, 'uf.zip');
  let controls = await selectSource(page, ['a.txt', 'b.txt', 'c.txt'], 'zip');
  await check(controls, 'chkFreshen');
  let { text } = await start(page, controls);
  assert.equal(text, 'Updating c:\\uf\\uf.zip ... .\nOperation complete, no errors. Download');
  assert.deepEqual(entries(local('uf', 'uf.zip')), ['a.txt', 'b.txt']);
  assert.equal(entryText(local('uf', 'uf.zip'), 'a.txt'), 'new a');
  assert.equal(entryText(local('uf', 'uf.zip'), 'b.txt'), 'old b');
  assert.notEqual(fs.statSync(local('uf', 'uf.zip')).mtimeMs, before);

  controls = await selectSource(page, ['a.txt', 'b.txt', 'c.txt'], 'zip');
  await check(controls, 'chkUpdate');
  ({ text } = await start(page, controls));
  assert.equal(text, 'Updating c:\\uf\\uf.zip ... .\nOperation complete, no errors. Download');
  assert.deepEqual(entries(local('uf', 'uf.zip')), ['a.txt', 'b.txt', 'c.txt']);
  assert.equal(entryText(local('uf', 'uf.zip'), 'c.txt'), 'new c');
  await page.close();
});

test('an encrypted zip opens in 7-Zip with the password only, and tests good with it', async () => {
  write('enc/secret.txt', 'the secret text');
  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\enc', 'c:\\enc');
  await setTargetName(page, 'locked.zip');
  const controls = await selectSource(page, ['secret.txt'], 'zip');
  await check(controls, 'chkEncrypt');
  await controls.fill('input[name=txtPassword]', 'pa55 word');
  let { text } = await start(page, controls);
  assert.equal(text, 'Creating c:\\enc\\locked.zip ... .\nOperation complete, no errors. Download');
  const archive = local('enc', 'locked.zip');
  execFileSync('7zz', ['t', '-ppa55 word', archive], { stdio: 'pipe' });
  const shown = execFileSync('7zz', ['e', '-so', '-ppa55 word', archive], { stdio: 'pipe' });
  assert.equal(shown.toString(), 'the secret text');
  assert.throws(() => execFileSync('7zz', ['t', '-pwrong', archive], { stdio: 'pipe' }));

  // A test applies the password the user ticked and typed; only the source frame reloads.
  const unzip = await selectSource(page, ['locked.zip'], 'unzip');
  await check(unzip, 'chkTest', 'chkDecrypt');
  await unzip.fill('input[name=txtPassword]', 'pa55 word');
  let reloaded;
  ({ text, reloaded } = await start(page, unzip));
  assert.equal(text, 'Testing archive file c:\\enc\\locked.zip ... .\nComplete, no errors found.');
  assert.deepEqual(reloaded, ['source']);
  await page.close();
});

test('move deletes the originals once the archive holds them', async () => {
  write('mv/one.txt', 'one');
  write('mv/two.txt', 'two');
  write('mv/stay.txt', 'stay');
  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\mv', 'c:\\mv');
  await setTargetName(page, 'moved.zip');
  const controls = await selectSource(page, ['one.txt', 'two.txt'], 'zip');
  const warning = await dialogOf(page, () => controls.click('input[name=chkDelete]'));
  assert.match(warning, /delete the original files/);
  assert.ok(await controls.isChecked('input[name=chkDelete]'));
  const { text } = await start(page, controls);
  assert.equal(text, 'Creating c:\\mv\\moved.zip ... .\nOperation complete, no errors. Download');
  assert.deepEqual(fs.readdirSync(local('mv')).sort(), ['moved.zip', 'stay.txt']);
  execFileSync('unzip', ['-tq', local('mv', 'moved.zip')]);
  assert.equal(entryText(local('mv', 'moved.zip'), 'two.txt'), 'two');
  assert.deepEqual(await sourceFiles(page), ['moved.zip', 'stay.txt']);
  await page.close();
});

test('a double click on Zip runs the zip once; the button waits for the result', async () => {
  fs.mkdirSync(local('dbl'));
  fs.writeFileSync(local('dbl', 'big.bin'), crypto.randomBytes(64 * 1024 * 1024));
  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\dbl', 'c:\\dbl');
  await setTargetName(page, 'once');
  const controls = await selectSource(page, ['big.bin'], 'zip');
  await controls.selectOption('select[name=selCompress]', '9');
  let calls = 0;
  page.on('request', (request) => { calls += fieldsOf(request).OP === 'call_zip' ? 1 : 0; });
  const { text } = await start(page, controls, async () => {
    await controls.dblclick('input[name=btnStart]');
    assert.ok(await controls.isDisabled('input[name=btnStart]'), 'held while the zip runs');
  });
  assert.match(text,
               /^Creating c:\\dbl\\once\.zip \.\.\. [. \n]+Operation complete, no errors\. Download$/);
  assert.equal(calls, 1);
  assert.ok(await controls.isEnabled('input[name=btnStart]'), 'free again once the result is in');
  await page.close();
});

test('extract all entries into a target folder; both frames reload', async () => {
  write('ex/src/top.txt', 'top');
  write('ex/src/dir/inner.txt', 'inner');
  execFileSync('zip', ['-q', '-r', local('ex', 'all.zip'), 'top.txt', 'dir'],
               { cwd: local('ex', 'src') });
  fs.mkdirSync(local('ex', 'out'));
  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\ex', 'c:\\ex\\out');
  const controls = await selectSource(page, ['all.zip'], 'unzip');
  const { text, reloaded } = await start(page, controls);
  assert.equal(text, 'Extracting from c:\\ex\\all.zip ... .\nOperation complete, no errors.');
  assert.deepEqual(reloaded, ['source', 'target']);
  assert.equal(fs.readFileSync(local('ex', 'out', 'top.txt'), 'utf8'), 'top');
  assert.equal(fs.readFileSync(local('ex', 'out', 'dir', 'inner.txt'), 'utf8'), 'inner');
  await page.close();
});

test('repair a damaged archive with the harder fix', async () => {
  const noise = (seed) => Array.from({ length: 3000 }, (_, i) => `${seed}-${i * 7919 % 1000}`).join(' ');
  write('rep/src/f1.txt', noise(1));
  write('rep/src/f2.txt', noise(2));
  write('rep/src/f3.txt', noise(3));
  const archive = local('rep', 'broken.zip');
  execFileSync('zip', ['-q', '-j', archive, ...['f1', 'f2', 'f3'].map((f) => local('rep', 'src', `${f}.txt`))]);
  // Spoil the second entry's compressed data: the first attempt, which needs every entry whole,
  // fails; the harder fix keeps the entries that check out.
  const bytes = fs.readFileSync(archive);
  const second = bytes.indexOf(Buffer.from('PK\x03\x04', 'latin1'), 4);
  bytes.fill(0x58, second + 120, second + 200);
  fs.writeFileSync(archive, bytes);
  const damaged = Buffer.from(bytes);

  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\rep', 'c:\\rep');
  const controls = await selectSource(page, ['broken.zip'], 'unzip');
  await check(controls, 'chkFix');
  const { text } = await start(page, controls);
  // The result says what the repair lost, kept and put aside.
  assert.equal(text, 'Trying to repair c:\\rep\\broken.zip ... .\nApplying harder fix operation ...\n'
                     + '.\nError in ZIP archive. f2.txt\nSuccessfully repaired file c:\\rep\\broken.zip 2 of 3 '
                     + 'entries recovered. The damaged original is kept as c:\\rep\\broken.zip.damaged.');
  execFileSync('unzip', ['-tq', archive]);
  assert.deepEqual(entries(archive), ['f1.txt', 'f3.txt']);
  assert.deepEqual(fs.readFileSync(`${archive}.damaged`), damaged);
  assert.ok((await sourceFiles(page)).includes('broken.zip'));
  await page.close();
});
