// Operations posted straight to a real vantrel-host, the way the control pages post them: the
// administrator's refusals, the path policy, the busy queue, option strings the pages never send,
// hostile fields and entry names, failures that must change nothing, and two clients zipping into
// one archive at once.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import fs from 'node:fs';
import http from 'node:http';
import path from 'node:path';
import { execFileSync } from 'node:child_process';

import { startHost, zipEntries as entries } from './support/harness.mjs';

let host;
let drive;

before(async () => {
  host = await startHost();
  drive = host.driveFolder;
});
after(async () => {
  await host?.stop();
});

// The host's local time names the lock files; this process shares its time zone.
function liveLockName(prefix) {
  const now = new Date();
  const two = (n) => String(n).padStart(2, '0');
  return `${prefix}${two(now.getHours())}${two(now.getMinutes())}.~fb`;
}

// What a lock file holds: the process that took the slot (this one, which runs while it matters),
// by its id, its start time and the boot.
function liveLockRecord() {
  const stat = fs.readFileSync('/proc/self/stat', 'utf8');
  const startTicks = stat.slice(stat.lastIndexOf(')') + 2).split(' ')[19];
  const boot = fs.readFileSync('/proc/sys/kernel/random/boot_id', 'utf8').trim();
  return `${process.pid} ${startTicks} ${boot}\n`;
}

const queueFolder = () => path.join(host.root, 'queue');

function settingFolder(name) {
  return path.join(host.registryFolder, 'HKEY_LOCAL_MACHINE', 'SOFTWARE', 'Quillfen', 'Farbale',
                   name);
}

function setting(name, value) {
  const folder = settingFolder(name);
  if (value === undefined) {
    fs.rmSync(folder, { recursive: true, force: true });
    return;
  }
  fs.mkdirSync(folder, { recursive: true });
  fs.writeFileSync(path.join(folder, '@'), value);
}

function withSettings(values, body) {
  return async () => {
    for (const [name, value] of Object.entries(values)) setting(name, value);
    try {
      await body();
    } finally {
      for (const name of Object.keys(values)) setting(name, undefined);
    }
  };
}

// Posts an operation call; resolves to the page and the chunks it arrived in. Uses node:http,
// which hands over every chunk as it comes (fetch may gather them).
function post(fields) {
  const body = new URLSearchParams(fields).toString();
  return new Promise((resolve, reject) => {
    const request = http.request(host.url, {
      method: 'POST',
      headers: { 'Content-Type': 'application/x-www-form-urlencoded',
                 'Content-Length': Buffer.byteLength(body) },
    }, (response) => {
      assert.equal(response.statusCode, 200);
      response.setEncoding('utf8');
      const chunks = [];
      response.on('data', (text) => chunks.push(text));
      response.on('end', () => resolve({ page: chunks.join(''), chunks }));
      response.on('error', reject);
    });
    request.on('error', reject);
    request.end(body);
  });
}

// The page between the body line and the reload script (or the end).
function report(page) {
  const start = page.indexOf('SIZE="2">\r\n') + 'SIZE="2">\r\n'.length;
  const end = page.indexOf('\r\n<SCRIPT');
  return page.slice(start, end < 0 ? undefined : end);
}

function local(...parts) {
  return path.join(drive, ...parts);
}

function write(relative, text) {
  fs.mkdirSync(path.dirname(local(relative)), { recursive: true });
  fs.writeFileSync(local(relative), text);
}

function zipCall(folder, names, target, options, password = '') {
  return {
    OP: 'call_zip',
    SP: `c:\\${folder}\\`,
    SL: names.map((n) => `c:\\${folder}\\${n}`).join('|'),
    TP: target,
    PW: password,
    OS: options,
  };
}

const refusals = [
  ['DisableAllZipFunctions', zipCall('flags', ['a.txt'], 'c:\\flags\\f.zip', '--5---'),
   '<B>All Zip Functions have been disabled by the administrator.</B></P>'],
  ['DisableDeleteFromZip', { OP: 'call_unziplist', SP: 'c:\\flags\\', SL: 'keep.zip',
                             ZL: 'a.txt ', OS: 'D--' },
   '<B>Delete Files from Zip operation has been disabled by the administrator.</B></P>'],
  ['DisableRecurseSubdirFiles', zipCall('flags', ['a.txt'], 'c:\\flags\\f.zip', '--5-R-'),
   '<B>Include Subdirectory Contents operation has been disabled by the administrator.</B></P>'],
  ['DisableMoveIntoZip', zipCall('flags', ['a.txt'], 'c:\\flags\\f.zip', '--5--M'),
   '<B>Delete Original Files operation has been disabled by the administrator.</B></P>'],
  ['DisableEncryptZipFiles', zipCall('flags', ['a.txt'], 'c:\\flags\\f.zip', '-P5---', 'pw'),
   '<B>Zip File Encryption has been disabled by the administrator.</B></P>'],
  ['DisableAllUnzipFunctions', { OP: 'call_unzip', SP: 'c:\\flags\\', SL: 'keep.zip',
                                 TP: 'c:\\flags\\out\\', OS: '---' },
   '<B>All Unzip Functions have been disabled by the administrator.</B></P>'],
];

test('each administrator flag refuses with its own text and changes nothing', async () => {
  write('flags/a.txt', 'a');
  execFileSync('zip', ['-q', '-j', local('flags', 'keep.zip'), local('flags', 'a.txt')]);
  const before = fs.readFileSync(local('flags', 'keep.zip'));
  for (const [name, fields, message] of refusals) {
    await withSettings({ [name]: '1' }, async () => {
      const { page } = await post(fields);
      assert.equal(report(page), message, name);
      assert.match(page, /doReload\(false\);/, name);
    })();
  }
  assert.deepEqual(fs.readdirSync(local('flags')).sort(), ['a.txt', 'keep.zip']);
  assert.deepEqual(fs.readFileSync(local('flags', 'keep.zip')), before);
  assert.deepEqual(fs.readdirSync(queueFolder()).filter((n) => n.endsWith('.~fb')), []);
});

test('excluded and climbing paths are refused', withSettings(
  { ExcludedFilePathList: '\\private\\' }, async () => {
    write('private/secret.txt', 'secret');
    write('public/a.txt', 'a');
    const refusal = '<B>The selected file path has been disabled by the administrator.</B></P>';
    const calls = [
      zipCall('public', ['a.txt'], 'c:\\private\\out.zip', '--5---'),
      zipCall('private', ['secret.txt'], 'c:\\public\\out.zip', '--5---'),
      zipCall('public', ['a.txt'], 'c:\\public\\..\\private\\out.zip', '--5---'),
      zipCall('public', ['a.txt'], 'c:\\public\\..\\..\\..\\tmp\\out.zip', '--5---'),
      { ...zipCall('public', ['a.txt'], 'c:\\public\\out.zip', '--5---'),
        SL: 'c:\\public\\..\\private\\secret.txt' },
      { OP: 'call_unzip', SP: 'c:\\public\\', SL: 'x.zip', TP: 'c:\\private', OS: '---' },
      { OP: 'call_unzip', SP: 'c:\\public\\', SL: 'x.zip', TP: 'c:\\..\\..\\', OS: '---' },
    ];
    for (const fields of calls) {
      const { page } = await post(fields);
      assert.equal(report(page), refusal, JSON.stringify(fields));
    }
    assert.deepEqual(fs.readdirSync(local('public')), ['a.txt']);
    assert.deepEqual(fs.readdirSync(local('private')), ['secret.txt']);
  }));

// The waiter that gets the slot once it is freed is the queue's unit tests' affair.
test('option strings the pages never send', async () => {
  write('opts/a.txt', 'a');
  const call = (options) => zipCall('opts', ['a.txt'], 'c:\\opts\\o.zip', options);
  // Empty: the bare error, without the reload script or the page's end.
  let { page } = await post(call(''));
  assert.ok(page.endsWith('SIZE="2">\r\nParameter Error<P>'));
  // An unknown letter: the error, and the frames still reload.
  ({ page } = await post(call('Q-5---')));
  assert.equal(report(page), 'Parameter Error<P>');
  assert.match(page, /doReload\(false\);\r\n\/\/-->/);
  assert.ok(page.endsWith('</BODY>\r\n</HTML>\r\n'));
  // A letter where the level belongs: the conversion error, nothing zipped.
  ({ page } = await post(call('--x---')));
  assert.equal(report(page), '<BR><B>Error:</B> Type mismatch<P>');
  assert.ok(!fs.existsSync(local('opts', 'o.zip')));
  // Too short for the level or the options: the defaults, and the zip is made.
  for (const options of ['-', '--', '--9S']) {
    ({ page } = await post(call(options)));
    assert.equal(report(page), 'Creating c:\\opts\\o.zip ... .\r\n<BR>Operation complete, no errors. ' +
                 '<A HREF="download?path=c%3A%5Copts%5Co.zip" TITLE="Download the zip file">' +
                 'Download</A><P>', options);
    assert.deepEqual(entries(local('opts', 'o.zip')), ['a.txt'], options);
  }
  // Unzip: empty options, then a bare letter.
  ({ page } = await post({ OP: 'call_unzip', SP: 'c:\\opts\\', SL: 'o.zip', TP: 'c:\\opts\\x\\',
                           OS: 'Z' }));
  assert.equal(report(page), 'Parameter Error<P>');
  assert.match(page, /\['target'\]\.doReload/);
});

test('a busy queue makes the caller wait, streaming the notice, then apologise',
  withSettings({ DLLOperationWaitFor: '3' }, async () => {
    write('busy/a.txt', 'a');
    const lock = path.join(queueFolder(), liveLockName('~sz'));
    fs.writeFileSync(lock, liveLockRecord());
    try {
      const { page, chunks } = await post(zipCall('busy', ['a.txt'], 'c:\\busy\\b.zip', '--5---'));
      assert.equal(report(page), 'Waiting to access compression component ...<BR>' +
                                 '<B>Sorry, the component is too busy at present.</B><P>');
      // The notice comes as the wait begins, not with the apology at its end.
      const chunkOf = (text) => chunks.findIndex((chunk) => chunk.includes(text));
      assert.ok(chunkOf('Waiting') < chunkOf('Sorry'), JSON.stringify(chunks));
      assert.ok(fs.existsSync(lock), 'the other operation keeps its lock');
      assert.ok(!fs.existsSync(local('busy', 'b.zip')));
    } finally {
      fs.rmSync(lock, { force: true });
    }
  }));

test('two clients zipping into one archive at once lose nothing', async () => {
  const names = Array.from({ length: 6 }, (_, i) => `f${i}.txt`);
  for (const name of names) write(`both/${name}`, name.repeat(20000));
  const archive = 'c:\\both\\shared.zip';
  const calls = names.map((name) => post(zipCall('both', [name], archive, '--5---')));
  const pages = (await Promise.all(calls)).map((r) => report(r.page));
  for (const text of pages) {
    assert.match(text, /Operation complete, no errors\. <A [^>]*>Download<\/A><P>$/, text);
  }
  assert.deepEqual(entries(local('both', 'shared.zip')), names);
  execFileSync('unzip', ['-tq', local('both', 'shared.zip')]);
});

test('a hostile entry name is refused and nothing lands outside the target', async () => {
  // A stored entry whose name climbs out: "zz/../../evil.txt" patched in place of a same-length name.
  write('hostile/aaaaaaaaaaaaaaaaa', 'evil');
  write('hostile/good.txt', 'good');
  const archive = local('hostile', 'h.zip');
  execFileSync('zip', ['-q', '-j', '-0', archive, local('hostile', 'aaaaaaaaaaaaaaaaa'),
                       local('hostile', 'good.txt')]);
  const bytes = fs.readFileSync(archive);
  const from = Buffer.from('aaaaaaaaaaaaaaaaa');
  const to = Buffer.from('zz/../../evil.txt');
  for (let at = bytes.indexOf(from); at >= 0; at = bytes.indexOf(from, at + 1)) to.copy(bytes, at);
  fs.writeFileSync(archive, bytes);
  const { page } = await post({ OP: 'call_unzip', SP: 'c:\\hostile\\', SL: 'h.zip',
                                TP: 'c:\\hostile\\out\\', OS: '---' });
  assert.equal(report(page), 'Extracting from c:\\hostile\\h.zip ... .\r\n' +
                             '<BR>Invalid file specification. zz/../../evil.txt\r\n' +
                             '<BR><B>Error:</B> Invalid file specification.<P>');
  assert.ok(!fs.existsSync(local('evil.txt')));
  assert.ok(!fs.existsSync(path.join(drive, '..', 'evil.txt')));
  assert.equal(fs.readFileSync(local('hostile', 'out', 'good.txt'), 'utf8'), 'good');
});

test('echoed request values are escaped', async () => {
  const { page } = await post({ OP: 'call_zip', SL: 'c:\\x.txt', TP: 'c:\\<b>x</b>',
                                OS: '--5---' });
  assert.ok(!page.includes('<b>x</b>'));
  assert.match(page, /Creating c:\\&lt;b&gt;x&lt;\/b&gt;\.zip/);
});

test('a failed operation reports its error and leaves the archive exactly as it was', async () => {
  write('fail/one/x.txt', 'one');
  write('fail/two/x.txt', 'two');
  const archive = local('fail', 'kept.zip');
  execFileSync('zip', ['-q', '-j', archive, local('fail', 'one', 'x.txt')]);
  write('fail/junk.zip', 'not an archive at all, and no local headers either');
  const before = fs.readFileSync(archive);
  const junk = fs.readFileSync(local('fail', 'junk.zip'));
  const unzipList = (options, zl = '') => ({ OP: 'call_unziplist', SP: 'c:\\fail\\', SL: 'kept.zip',
                                             ZL: zl, OS: options });
  const cases = [
    [{ ...zipCall('fail', ['missing.txt'], 'c:\\fail\\kept.zip', 'U-5---') },
     'Updating c:\\fail\\kept.zip ... <BR><B>Error:</B>FileName not matched.<P>'],
    [{ ...zipCall('fail', [], 'c:\\fail\\kept.zip', '--5---'),
       SL: 'c:\\fail\\one\\x.txt|c:\\fail\\two\\x.txt' },
     'Creating c:\\fail\\kept.zip ... <BR><B>Error:</B>Cannot repeat names in ZIP archive\').<P>'],
    [unzipList('D--', 'nothing.txt '),
     'Updating c:\\fail\\kept.zip ... <BR><B>Error:</B>Nothing to do.<P>'],
    // No entry chosen: a delete must not take that as "every entry".
    [unzipList('D--'), 'Updating c:\\fail\\kept.zip ... <BR><B>Error:</B>Nothing to do.<P>'],
    [{ OP: 'call_unzip', SP: 'c:\\fail\\', SL: 'junk.zip', TP: 'c:\\fail\\', OS: 'X--' },
     'Trying to repair c:\\fail\\junk.zip ... <BR>Applying harder fix operation ...<BR>'
     + '<BR><B>Sorry, cannot repair file</B>.<P>'],
  ];
  for (const [fields, expected] of cases) {
    // Whether the library gives a sign of life before it refuses is its own affair.
    const { page } = await post(fields);
    assert.equal(report(page).replaceAll('.\r\n', ''), expected);
  }
  assert.deepEqual(fs.readFileSync(archive), before);
  assert.deepEqual(fs.readFileSync(local('fail', 'junk.zip')), junk);
  assert.deepEqual(fs.readdirSync(local('fail')).sort(), ['junk.zip', 'kept.zip', 'one', 'two']);
});

test('a NUL or a line break in a field refuses the whole request', withSettings(
  { IncludedFilePathList: '\\wwwroot\\' }, async () => {
    write('outside/secret.txt', 'secret');
    const calls = [
      { OP: 'call_zip', SL: 'c:\\outside\\secret.txt\u0000c:\\inetpub\\wwwroot\\',
        TP: 'c:\\inetpub\\wwwroot\\stolen.zip', OS: '--5---' },
      { OP: 'call_zip', SL: 'c:\\inetpub\\wwwroot\\a.txt',
        TP: 'c:\\outside\\x.zip\r\nc:\\inetpub\\wwwroot\\', OS: '--5---' },
    ];
    for (const fields of calls) {
      const { page } = await post(fields);
      assert.match(page, /<B>Error:<\/B> The request field (SL|TP) holds a control character/);
      assert.ok(page.endsWith('</BODY>\r\n</HTML>\r\n'));
      assert.ok(!page.includes('Creating'));
    }
    assert.ok(!fs.existsSync(local('inetpub', 'wwwroot', 'stolen.zip')));
    assert.deepEqual(fs.readdirSync(local('outside')), ['secret.txt']);
  }));

test('entries the exclude list names cannot be deleted, by name, pattern or folder',
  withSettings({ ExcludedFilePathList: 'web.config;\\private\\' }, async () => {
    write('site/web.config', '<config/>');
    write('site/conf/web.config', '<config/>');
    write('site/conf/app.txt', 'app');
    write('site/private/x.txt', 'x');
    const archive = local('site', 's.zip');
    execFileSync('zip', ['-q', '-r', archive, 'web.config', 'conf', 'private'],
                 { cwd: local('site') });
    const before = fs.readFileSync(archive);
    const refusal = '<B>The selected file path has been disabled by the administrator.</B></P>';
    const remove = (zl) => post({ OP: 'call_unziplist', SP: 'c:\\site\\', SL: 's.zip', ZL: zl,
                                  OS: 'D--' });
    for (const zl of ['web.config ', 'WEB.CONFIG ', '*.* ', 'conf\\*.* ', 'conf\\w* ',
                      'private\\x.txt ']) {
      const { page } = await remove(zl);
      assert.equal(report(page), refusal, zl);
    }
    assert.deepEqual(fs.readFileSync(archive), before);
    const { page } = await remove('conf\\app.txt ');
    assert.match(report(page), /Operation complete, no errors\.<P>$/);
    assert.deepEqual(entries(archive),
                     ['conf/', 'conf/web.config', 'private/', 'private/x.txt', 'web.config']);
  }));

test('a settings store that cannot be read refuses instead of lifting the limits', async () => {
  write('store/a.txt', 'a');
  const cases = [
    ['DisableAllZipFunctions',
     '<BR><B>Error:</B> The security setting DisableAllZipFunctions cannot be read; nothing was '
     + 'done.<P>'],
    ['ExcludedFilePathList', '<B>Error accessing security information.</B></P>\r\n'],
  ];
  for (const [name, message] of cases) {
    // A folder where the value should be: nobody, root included, can read it as a value.
    fs.mkdirSync(path.join(settingFolder(name), '@'), { recursive: true });
    try {
      const { page } = await post(zipCall('store', ['a.txt'], 'c:\\store\\s.zip', '--5---'));
      assert.equal(report(page), message, name);
    } finally {
      setting(name, undefined);
    }
  }
  assert.deepEqual(fs.readdirSync(local('store')), ['a.txt']);
});

test('a blank at either end of an archive name is kept: the archive chosen is the one used',
     async () => {
  for (const [name, text] of [['same.zip', 'plain'], ['same.zip ', 'trailing'],
                              [' same.zip', 'leading']]) {
    write('blanks/src/x.txt', text);
    execFileSync('zip', ['-q', '-j', local('blanks', name), local('blanks', 'src', 'x.txt')]);
  }
  // A bar after a trailing blank (as the pages close such a list), the folder before a leading
  // one (as the unzip page sends it).
  const calls = [
    [{ SP: 'c:\\blanks\\', SL: 'same.zip |' }, 'trailing'],
    [{ SP: '', SL: 'c:\\blanks\\ same.zip' }, 'leading'],
  ];
  for (const [fields, text] of calls) {
    fs.rmSync(local('blanks', 'out'), { recursive: true, force: true });
    const { page } = await post({ OP: 'call_unzip', TP: 'c:\\blanks\\out\\', OS: '---',
                                  ...fields });
    assert.match(report(page), /Operation complete, no errors\.<P>$/, JSON.stringify(fields));
    assert.equal(fs.readFileSync(local('blanks', 'out', 'x.txt'), 'utf8'), text);
  }
});
