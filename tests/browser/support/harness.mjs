// The browser tests' harness: a real vantrel-host on a free loopback port with a temporary drive
// folder and registry, Debian's chromium driven headless by playwright-core, and helpers to reach
// the frames of the application's frameset.
import { execFileSync, spawn } from 'node:child_process';
import { once } from 'node:events';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';
import { after, before } from 'node:test';
import { fileURLToPath } from 'node:url';

import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));

// Screenshots and other artefacts of a run.
export const outputDir = process.env.VANTREL_BROWSER_OUTPUT || path.join(here, '..', 'output');

const chromiumPath = process.env.VANTREL_CHROMIUM || '/usr/bin/chromium';

// Flags that keep the browser off the network and quiet, beyond those playwright always gives
// (no background networking, component updates, extensions, first-run pages): the tests only
// talk to the local host.
const chromiumArgs = [
  '--disable-gpu',
  '--disable-sync',
  '--disable-quic',
  '--disable-domain-reliability',
  '--disable-client-side-phishing-detection',
  '--disable-features=Translate,OptimizationHints,MediaRouter,AutofillServerCommunication',
  '--no-pings',
  '--safebrowsing-disable-auto-update',
];

function hostBinary() {
  const binary = process.env.VANTREL_HOST;
  if (!binary || !fs.existsSync(binary)) {
    throw new Error('VANTREL_HOST must name the vantrel-host program (ctest sets it)');
  }
  return binary;
}

export async function freePort() {
  const server = net.createServer();
  server.listen(0, '127.0.0.1');
  await once(server, 'listening');
  const { port } = server.address();
  server.close();
  await once(server, 'close');
  return port;
}

// The user a signing-in host knows, added to its users file the way an administrator does. A host
// running as root lends nobody its own file rights: the user then works as the account "nobody",
// which is given the drive folders.
const tester = { account: 'tester', password: 'pass word 1' };

function addTester(root, folders) {
  const usersFile = path.join(root, 'users');
  const asRoot = process.getuid && process.getuid() === 0;
  execFileSync(hostBinary(),
               ['--add-user', asRoot ? `${tester.account}:nobody` : tester.account,
                '--users', usersFile],
               { input: `${tester.password}\n`, stdio: ['pipe', 'ignore', 'inherit'] });
  if (asRoot) {
    const nobody = Number(execFileSync('id', ['-u', 'nobody']).toString());
    fs.chmodSync(root, 0o755);
    for (const folder of Object.values(folders)) chownTree(folder, nobody);
  }
  return ['--sign-in', 'users', '--users', usersFile];
}

function chownTree(folder, uid) {
  fs.chownSync(folder, uid, -1);
  for (const entry of fs.readdirSync(folder, { withFileTypes: true })) {
    const full = path.join(folder, entry.name);
    if (entry.isDirectory()) chownTree(full, uid); else fs.lchownSync(full, uid, -1);
  }
}

// Starts a host. drives: [{ letter, type, volume }], each given a fresh folder; prepare(folders)
// fills them before the host starts (folders maps each letter to its folder). signIn: the host
// signs users in through its users file, with the user the host's signIn names. args: more
// options for the host.
export async function startHost({ drives = [{ letter: 'c', type: 'fixed', volume: 'DATA' }],
                                  prepare, signIn = false, args = [] } = {}) {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'vantrel-browser-'));
  const folders = {};
  const driveArgs = [];
  for (const { letter, type = 'fixed', volume = '' } of drives) {
    folders[letter] = path.join(root, letter);
    fs.mkdirSync(folders[letter]);
    driveArgs.push('--drive', `${letter}=${folders[letter]},${type},${volume}`);
  }
  const registry = path.join(root, 'registry');
  fs.mkdirSync(registry);
  if (prepare) await prepare(folders);
  const signInArgs = signIn ? addTester(root, folders) : [];

  const port = await freePort();
  const child = spawn(hostBinary(),
                      ['--listen', `127.0.0.1:${port}`, ...driveArgs, '--registry', registry,
                       '--data', root, '--access-log', path.join(root, 'access.log'),
                       ...signInArgs, ...args],
                      { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const url = await new Promise((resolve, reject) => {
    let stdout = '';
    const timer = setTimeout(() => reject(new Error(`host did not start: ${stderr}`)), 15000);
    child.stdout.on('data', (chunk) => {
      stdout += chunk;
      const match = /Vantrel is serving (\S+)/.exec(stdout);
      if (match) {
        clearTimeout(timer);
        resolve(match[1]);
      }
    });
    child.on('exit', (code) => {
      clearTimeout(timer);
      reject(new Error(`host exited with ${code}: ${stderr}`));
    });
  });
  return {
    url,
    folders,
    root,
    // The folder that stands for c:\, and the registry the administrator's settings go to.
    driveFolder: folders.c,
    registryFolder: registry,
    signIn: signIn ? tester : null,
    async stop() {
      if (child.exitCode === null) {
        child.kill('SIGTERM');
        await once(child, 'exit');
      }
      fs.rmSync(root, { recursive: true, force: true });
    },
  };
}

export async function launchBrowser() {
  const args = [...chromiumArgs];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  // playwright gives every launch a fresh, temporary user-data folder of its own.
  return chromium.launch({ executablePath: chromiumPath, headless: true, args });
}

// A host (started with startHost's options) and a browser for the tests of one file: started
// before the first, then ready() runs (a file's own before hooks would run at the same time),
// and stopped after the last; the returned object holds them as host and browser.
export function hostAndBrowser(options, ready = async () => {}) {
  const suite = {};
  before(async () => {
    suite.host = await startHost(options);
    suite.browser = await launchBrowser();
    await ready();
  });
  after(async () => {
    await suite.browser?.close();
    await suite.host?.stop();
  });
  return suite;
}

export function frame(page, name) {
  const found = page.frame({ name });
  if (!found) throw new Error(`no frame named ${name}`);
  return found;
}

// Polls check() until it returns a true value; errors while a frame navigates count as false.
export async function waitFor(check, what, timeout = 10000) {
  const deadline = Date.now() + timeout;
  let lastError;
  while (Date.now() < deadline) {
    try {
      const value = await check();
      if (value) return value;
    } catch (error) {
      lastError = error;
    }
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  throw new Error(`timed out waiting for ${what}${lastError ? `: ${lastError.message}` : ''}`);
}

// Waits until the named frame shows a loaded document containing the selector.
export async function frameReady(page, name, selector) {
  await waitFor(async () => {
    const target = page.frame({ name });
    return target && await target.evaluate(
      (sel) => document.readyState === 'complete' && document.querySelector(sel) !== null,
      selector);
  }, `frame ${name} to show ${selector}`);
  return frame(page, name);
}

// Signs in through the sign-in page that the page shows, as a user types it.
export async function signInThroughPage(page, { account, password }) {
  await page.fill('input[name=account]', account);
  await page.fill('input[name=password]', password);
  await Promise.all([page.waitForNavigation(), page.click('input[name=btnSignIn]')]);
}

// A fresh browser context with the frameset loaded and all four frames ready; a signing-in host's
// user signs in first.
export async function openFrameset(browser, host) {
  const context = await browser.newContext({ viewport: { width: 1100, height: 640 } });
  const page = await context.newPage();
  await page.goto(host.url);
  if (host.signIn) await signInThroughPage(page, host.signIn);
  await frameReady(page, 'source', 'form[name=frmSource]');
  await frameReady(page, 'target', 'form[name=frmTarget]');
  await frameReady(page, 'controls', 'form[name=frmButtons]');
  await frameReady(page, 'result', 'body');
  return page;
}

// Runs action, which makes the named frame post its form and reload; gives back the posted
// fields once the new page has loaded.
export async function reloadOf(page, name, action, readySelector = 'form') {
  const target = frame(page, name);
  await target.evaluate(() => { window.vantrelStale = true; });
  const posted = page.waitForRequest(
    (request) => request.method() === 'POST' && request.frame() === target);
  await action();
  const request = await posted;
  await waitFor(() => target.evaluate(
    (sel) => !window.vantrelStale && document.readyState === 'complete' &&
             document.querySelector(sel) !== null, readySelector), `frame ${name} to reload`);
  return Object.fromEntries(new URLSearchParams(request.postData() || ''));
}

// Reloads a frame's page through its own call form with one field set, as its lists do.
export async function reloadFrameWith(page, name, field, value) {
  const target = frame(page, name);
  await reloadOf(page, name, () => target.evaluate(([fieldName, fieldValue]) => {
    const form = document.forms['frmCall'];
    form.elements[fieldName].value = fieldValue;
    form.submit();
  }, [field, value]));
}

// The frameset with the source frame in sourceFolder and the target frame in targetFolder
// (Windows paths without the trailing backslash).
export async function openFramesetAt(browser, host, sourceFolder, targetFolder) {
  const page = await openFrameset(browser, host);
  await reloadFrameWith(page, 'source', 'SP', `${sourceFolder}\\*.*`);
  await reloadFrameWith(page, 'target', 'TP', `${targetFolder}\\*.*`);
  return page;
}

// Selects file names in the source list; resolves to the controls frame once it shows wantedOp.
export async function selectSource(page, names, wantedOp) {
  await frame(page, 'source').selectOption('select[name=selFiles]', names);
  await waitFor(() => frame(page, 'controls').url().endsWith(`?OP=${wantedOp}`),
                `controls to show ${wantedOp}`);
  return frameReady(page, 'controls', 'form[name=frmButtons]');
}

export async function resultText(page) {
  return frame(page, 'result').evaluate(() => document.body?.innerText ?? '');
}

// Waits until the result frame tells how the operation ended; resolves to its text.
export async function operationEnded(page) {
  await frame(page, 'result').waitForFunction(() =>
    /Operation complete|Error/.test(document.body?.innerText ?? ''), null, { timeout: 20000 });
  return resultText(page);
}

// The entry names of an archive, sorted, as Info-ZIP's unzip lists them.
export function zipEntries(archive) {
  return execFileSync('unzip', ['-Z1', archive]).toString().split('\n').filter(Boolean).sort();
}

// Catches every POST into the result frame instead of letting it run an operation; each posted
// form lands in the returned array.
export async function captureResultPosts(page) {
  const posts = [];
  await page.route(/\/farbale\.asp(\?.*)?$/, async (route) => {
    const request = route.request();
    if (request.method() === 'POST' && request.frame().name() === 'result') {
      posts.push(Object.fromEntries(new URLSearchParams(request.postData() || '')));
      await route.fulfill({ contentType: 'text/html', body: '<HTML><BODY>posted</BODY></HTML>' });
    } else {
      await route.continue();
    }
  });
  return posts;
}

// Runs action, which posts a call into the result frame; gives back the posted fields, the call
// held back from the server.
export async function resultPostOf(page, action) {
  const posts = await captureResultPosts(page);
  await action();
  return waitFor(() => posts[0], 'a call posted into the result frame');
}

// Runs action and gives back the message of the dialog (alert or confirm) that it raises,
// answering it with accept.
export async function dialogOf(page, action, accept = true) {
  const shown = page.waitForEvent('dialog');
  const acting = action();
  const dialog = await shown;
  const message = dialog.message();
  if (accept) await dialog.accept(); else await dialog.dismiss();
  await acting;
  return message;
}

export function screenshotPath(name) {
  fs.mkdirSync(outputDir, { recursive: true });
  return path.join(outputDir, name);
}
