// The Debian packages, made by cpack from the main build: vantrel (the server, without Qt) and
// vantrelsec (the dialog). Their names, files, dependencies and configuration files, and
// lintian's verdict, hardening included.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { buildDir, packageVersion, temporaryFolder } from './support.mjs';

let folder;
const debs = {};

before(() => {
  folder = temporaryFolder('package');
  execFileSync('cpack', ['-G', 'DEB', '-B', folder], { cwd: buildDir, stdio: 'ignore' });
  for (const name of ['vantrel', 'vantrelsec']) {
    debs[name] = path.join(folder, `${name}_${packageVersion}_amd64.deb`);
  }
});
after(() => fs.rmSync(folder, { recursive: true, force: true }));

function field(name, deb) {
  return execFileSync('dpkg-deb', ['-f', deb, name]).toString().trim();
}

function files(deb) {
  const listed = execFileSync('dpkg-deb', ['-c', deb]).toString();
  return new Set(listed.split('\n').filter(Boolean).map((line) => line.split(/\s+/).pop()));
}

function fileOf(deb, file) {
  return execFileSync('sh', ['-c', 'dpkg-deb --fsys-tarfile "$1" | tar -xO "$2"', 'sh', deb, file]);
}

test('each package holds its part of the installation for the prefix /usr', () => {
  const contents = {
    vantrel: [
      './usr/bin/vantrel-host',
      './usr/lib/vantrel/libvantrel.so', './usr/lib/vantrel/liblspzipx.so',
      './usr/lib/vantrel/liblspuzipx.so',
      './usr/share/vantrel/help.htm', './usr/share/vantrel/nginx-site.conf',
      './usr/share/man/man8/vantrel-host.8.gz', './usr/share/man/man5/vantrel.conf.5.gz',
      './usr/share/doc/vantrel/copyright', './usr/share/doc/vantrel/changelog.Debian.gz',
      './usr/share/doc/vantrel/deploying.md',
      './usr/lib/systemd/system/vantrel.service',
      './etc/vantrel/vantrel.conf', './etc/pam.d/vantrel', './etc/logrotate.d/vantrel',
    ],
    vantrelsec: [
      './usr/bin/vantrelsec', './usr/share/man/man8/vantrelsec.8.gz',
      './usr/share/doc/vantrelsec/copyright', './usr/share/doc/vantrelsec/changelog.Debian.gz',
    ],
  };
  for (const [name, expected] of Object.entries(contents)) {
    const held = files(debs[name]);
    for (const file of expected) assert.ok(held.has(file), `${file} in ${name}`);
    // Nothing of the users' data, the settings or the logs: those are made on the server.
    assert.ok(![...held].some((file) => file.startsWith('./var/') || file.includes('settings')));
  }
  assert.ok(!files(debs.vantrel).has('./usr/bin/vantrelsec'));
  const unit = fileOf(debs.vantrel, './usr/lib/systemd/system/vantrel.service').toString();
  assert.match(unit, /^ExecStart=\/usr\/bin\/vantrel-host$/m);
});

test('the server needs no Qt; the dialog needs Qt and the server of the same version', () => {
  const server = field('Depends', debs.vantrel);
  for (const library of ['libzip4', 'libcpp-httplib', 'libpam0g', 'libssl3', 'libsystemd0',
    'libpam-runtime']) {
    assert.ok(server.includes(library), `${library} in ${server}`);
  }
  assert.doesNotMatch(server, /qt/i);
  const dialog = field('Depends', debs.vantrelsec);
  assert.match(dialog, /libqt6widgets6/);
  assert.ok(dialog.split(/,\s*/).includes(`vantrel (= ${packageVersion})`), dialog);
  for (const [name, deb] of Object.entries(debs)) {
    assert.equal(field('Package', deb), name);
    assert.equal(field('Version', deb), packageVersion);
    assert.match(packageVersion, /-\d+$/, 'a Debian revision');
    assert.match(fileOf(deb, `./usr/share/doc/${name}/copyright`).toString(), /^License: Apache-2\.0$/m);
  }
});

test('the files in /etc are configuration files the administrator keeps', () => {
  const control = temporaryFolder('control');
  try {
    execFileSync('dpkg-deb', ['-e', debs.vantrel, control]);
    const conffiles = fs.readFileSync(path.join(control, 'conffiles'), 'utf8').split('\n');
    for (const file of ['/etc/vantrel/vantrel.conf', '/etc/pam.d/vantrel', '/etc/logrotate.d/vantrel']) {
      assert.ok(conffiles.includes(file), file);
    }
    for (const script of ['postinst', 'prerm', 'postrm']) {
      const checked = spawnSync('sh', ['-n', path.join(control, script)], { encoding: 'utf8' });
      assert.equal(checked.status, 0, `${script}: ${checked.stderr}`);
    }
  } finally {
    fs.rmSync(control, { recursive: true, force: true });
  }
});

// Errors and warnings fail; of lintian's informational tags, none may be about hardening or
// leftover sections of the binaries.
test('lintian finds no errors, and the binaries are hardened and stripped', () => {
  for (const deb of Object.values(debs)) {
    const result = spawnSync('lintian', ['--display-info', '--tag-display-limit', '0', deb],
                             { encoding: 'utf8' });
    const tags = result.stdout.split('\n').filter(Boolean);
    assert.deepEqual(tags.filter((line) => /^[EW]:/.test(line)), [], deb);
    assert.deepEqual(tags.filter((line) => /hardening|unneeded-section/.test(line)), [], deb);
    assert.equal(result.status, 0, result.stdout + result.stderr);
  }
});
