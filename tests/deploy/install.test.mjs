// cmake --install into a folder of its own, as an administrator installs by hand: the programs,
// the component with the zip library beside it, the data, the manual pages and the system files
// land where they belong, and the installed programs work from there, finding their
// configuration, settings and data without being told.
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

import {
  buildDir, freePort, request, startHost, temporaryFolder, version, zipCall,
} from './support.mjs';

let prefix;

before(() => {
  prefix = temporaryFolder('install');
  execFileSync('cmake', ['--install', buildDir, '--prefix', prefix], { stdio: 'ignore' });
});
after(() => fs.rmSync(prefix, { recursive: true, force: true }));

function installed(...parts) {
  return path.join(prefix, ...parts);
}

// The installed programs find everything by their own place: nothing of the test's environment
// may point them elsewhere.
function cleanEnvironment() {
  const env = { ...process.env };
  for (const name of ['VANTREL_REGISTRY', 'VANTREL_DRIVES', 'XDG_DATA_HOME']) delete env[name];
  return env;
}

// Which file goes where is the packages' test; here, what depends on the prefix.
test('the unit, logrotate and the host name this installation\'s places', () => {
  const unit = fs.readFileSync(installed('lib/systemd/system/vantrel.service'), 'utf8');
  assert.match(unit, new RegExp(`^ExecStart=${installed('bin/vantrel-host')}$`, 'm'));
  assert.match(fs.readFileSync(installed('etc/logrotate.d/vantrel'), 'utf8'),
               new RegExp(`^${installed('var/log/vantrel')}/\\*\\.log `, 'm'));
  // The installed host loads its component from lib/vantrel, not from the build tree.
  const libraries = execFileSync('ldd', [installed('bin/vantrel-host')]).toString();
  assert.ok(libraries.includes(`libvantrel.so => ${prefix}/bin/../lib/vantrel/libvantrel.so`),
            libraries);
});

test('systemd accepts the unit', { skip: !fs.existsSync('/usr/bin/systemd-analyze') && 'no systemd' },
  () => {
    const verified = spawnSync('systemd-analyze', ['verify', '--man=no', installed('lib/systemd/system/vantrel.service')],
                               { encoding: 'utf8' });
    assert.equal(verified.status, 0, verified.stderr);
    assert.equal(verified.stderr.trim(), '');
  });

test('--check-config reads the installed configuration and names what is wrong', () => {
  const env = cleanEnvironment();
  const good = spawnSync(installed('bin/vantrel-host'), ['--check-config', '--sign-in', 'none'],
                         { env, encoding: 'utf8' });
  assert.equal(good.status, 0, good.stderr);
  for (const line of [
    `# configuration: ${installed('etc/vantrel/vantrel.conf')}`,
    'listen = 127.0.0.1:8080',
    `drive = c=${installed('var/lib/vantrel/c')},fixed,DATA`,
    `registry = ${installed('etc/vantrel/settings')}`,
    `audit-log = ${installed('var/log/vantrel/audit.log')}`,
    'sign-in = none',
  ]) {
    assert.ok(good.stdout.split('\n').includes(line), `${line} in\n${good.stdout}`);
  }
  assert.ok(!fs.existsSync(installed('var')), 'checking made nothing');

  const config = installed('etc/vantrel/broken.conf');
  for (const [text, args, said] of [
    ['drive = d=/nonexistent/disc,cdrom\ntls-cert = /nonexistent.pem\n', ['--check-config'],
     /tls-cert and --tls-key go together/],
    ['drive = d=/nonexistent/disc,cdrom\n', ['--check-config'],
     /drive d: \(\/nonexistent\/disc\) does not exist/],
    ['listen = everywhere\n', [], new RegExp(`${config}:2: listen takes ADDRESS:PORT`)],
    ['listen = 0.0.0.0:8080\nplain-http = true\n', [],
     /refusing to serve 0\.0\.0\.0 without sign-in/],
  ]) {
    fs.writeFileSync(config, `sign-in = none\n${text}`);
    const refused = spawnSync(installed('bin/vantrel-host'), [...args, '--config', config],
                              { env, encoding: 'utf8' });
    assert.equal(refused.status, 2, text);
    assert.match(refused.stderr, said);
  }
});

test('both programs say their version, and the users file is managed from the command line', () => {
  const env = cleanEnvironment();
  for (const program of ['vantrel-host', 'vantrelsec']) {
    const said = spawnSync(installed('bin', program), ['--version'], { env, encoding: 'utf8' });
    assert.equal(said.stdout, `${program} ${version}\n`);
  }
  const users = installed('etc/vantrel/users');
  const host = (args, input = '') => spawnSync(installed('bin/vantrel-host'),
    [...args, '--users', users], { env, input, encoding: 'utf8' });
  const short = host(['--add-user', 'alice'], 'seven77\n');
  assert.equal(short.status, 1);
  assert.match(short.stderr, /the password is shorter than 8 characters/);
  assert.equal(host(['--add-user', 'alice'], 'eight888\n').status, 0);
  assert.equal(host(['--add-user', 'bob:nobody'], 'another password\n').status, 0);
  assert.equal(host(['--list-users']).stdout, 'alice\nbob:nobody\n');
  assert.equal(host(['--remove-user', 'alice']).status, 0);
  const again = host(['--remove-user', 'alice']);
  assert.equal(again.status, 1);
  assert.match(again.stderr, /there is no user alice in /);
  assert.equal(host(['--list-users']).stdout, 'bob:nobody\n');
  assert.equal(fs.statSync(users).mode & 0o777, 0o600);
});

// The host and the dialog agree on the settings' place without being told: a value set with the
// installed vantrelsec holds for the installed host's next request. Under the unit's umask
// (0027) the archives are closed to other accounts, while the web root and its help page, which
// every account reads, keep their usual modes.
test('the installed host serves the frameset and sees what vantrelsec sets', async () => {
  const env = cleanEnvironment();
  const drive = installed('var/lib/vantrel/c');
  const port = await freePort();
  const umask = process.umask(0o027);
  let host;
  try {
    host = await startHost(installed('bin/vantrel-host'),
                           ['--listen', `127.0.0.1:${port}`, '--sign-in', 'none'], env);
  } finally {
    process.umask(umask);
  }
  try {
    const frameset = await request(host.url);
    assert.equal(frameset.status, 200);
    assert.match(frameset.body, /<FRAMESET/);
    assert.match(frameset.body, /SRC="\/farbale\.asp\?OP=source"/);
    const help = await request(`${host.origin}/help.htm`);
    assert.equal(help.body, fs.readFileSync(installed('share/vantrel/help.htm'), 'utf8'));

    fs.writeFileSync(path.join(drive, 'a.txt'), 'installed');
    const zipped = await request(host.url, { method: 'POST', form: zipCall(['c:\\a.txt'], 'c:\\a.zip') });
    assert.match(zipped.body, /Operation complete, no errors\./);
    assert.equal(fs.statSync(path.join(drive, 'a.zip')).mode & 0o777, 0o640);
    assert.equal(fs.statSync(path.join(drive, 'inetpub/wwwroot')).mode & 0o777, 0o755);
    assert.equal(fs.statSync(path.join(drive, 'inetpub/wwwroot/help.htm')).mode & 0o777, 0o644);
    // The component found the zip library beside itself.
    const maps = fs.readFileSync(`/proc/${host.child.pid}/maps`, 'utf8');
    assert.ok(maps.includes(installed('lib/vantrel/liblspzipx.so')), 'the installed zip library');

    const set = spawnSync(installed('bin/vantrelsec'), ['--set', 'DisableAllZipFunctions=1'],
                          { env, encoding: 'utf8' });
    assert.equal(set.status, 0, set.stderr);
    assert.ok(fs.existsSync(installed('etc/vantrel/settings')));
    const refused = await request(host.url, { method: 'POST', form: zipCall(['c:\\a.txt'], 'c:\\b.zip') });
    assert.match(refused.body, /All Zip Functions have been disabled by the administrator\./);
    assert.ok(!fs.existsSync(path.join(drive, 'b.zip')));
    assert.ok(fs.existsSync(installed('var/log/vantrel/audit.log')));
  } finally {
    host.child.kill('SIGTERM');
    assert.equal(await host.exited, 0, host.output);
  }
});
