// The Debian package, made by cpack from the main build: its name, its files, its dependencies,
// its configuration files, and lintian's verdict.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import { buildDir, temporaryFolder, version } from './support.mjs';

let folder;
let deb;

before(() => {
  folder = temporaryFolder('package');
  execFileSync('cpack', ['-G', 'DEB', '-B', folder], { cwd: buildDir, stdio: 'ignore' });
  deb = path.join(folder, `vantrel_${version}_amd64.deb`);
});
after(() => fs.rmSync(folder, { recursive: true, force: true }));

function field(name) {
  return execFileSync('dpkg-deb', ['-f', deb, name]).toString().trim();
}

test('the package holds the installation for the prefix /usr', () => {
  assert.ok(fs.existsSync(deb), `${deb} was made`);
  const listed = execFileSync('dpkg-deb', ['-c', deb]).toString();
  const files = new Set(listed.split('\n').filter(Boolean).map((line) => line.split(/\s+/).pop()));
  for (const file of [
    './usr/bin/vantrel-host', './usr/bin/vantrelsec',
    './usr/lib/vantrel/libvantrel.so', './usr/lib/vantrel/liblspzipx.so',
    './usr/lib/vantrel/liblspuzipx.so',
    './usr/share/vantrel/help.htm', './usr/share/vantrel/nginx-site.conf',
    './usr/share/man/man8/vantrel-host.8.gz', './usr/share/man/man8/vantrelsec.8.gz',
    './usr/share/doc/vantrel/copyright', './usr/share/doc/vantrel/changelog.gz',
    './usr/share/doc/vantrel/deploying.md',
    './usr/lib/systemd/system/vantrel.service',
    './etc/vantrel/vantrel.conf', './etc/pam.d/vantrel', './etc/logrotate.d/vantrel',
  ]) {
    assert.ok(files.has(file), `${file} in\n${listed}`);
  }
  // Nothing of the users' data, the settings or the logs: those are made on the server.
  assert.ok(![...files].some((file) => file.startsWith('./var/') || file.includes('settings')));
  const unit = execFileSync('sh', ['-c', 'dpkg-deb --fsys-tarfile "$1" | tar -xO "$2"', 'sh', deb,
    './usr/lib/systemd/system/vantrel.service']).toString();
  assert.match(unit, /^ExecStart=\/usr\/bin\/vantrel-host$/m);
});

test('dependencies come from the libraries the programs link', () => {
  const depends = field('Depends');
  for (const library of ['libzip4', 'libcpp-httplib', 'libpam0g', 'libssl3', 'libsystemd0',
    'libqt6widgets6', 'libpam-runtime']) {
    assert.ok(depends.includes(library), `${library} in ${depends}`);
  }
  assert.equal(field('Package'), 'vantrel');
  assert.equal(field('Version'), version);
  assert.equal(field('Architecture'), 'amd64');
});

test('the files in /etc are configuration files the administrator keeps', () => {
  const control = temporaryFolder('control');
  try {
    execFileSync('dpkg-deb', ['-e', deb, control]);
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

test('lintian finds no errors', () => {
  const result = spawnSync('lintian', ['--tag-display-limit', '0', deb], { encoding: 'utf8' });
  const errors = result.stdout.split('\n').filter((line) => line.startsWith('E:'));
  assert.deepEqual(errors, []);
  assert.equal(result.status, 0, result.stdout + result.stderr);
});
