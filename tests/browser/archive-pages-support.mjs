// Shared steps of the unzip controls and zip contents tests: a real vantrel-host over a temporary
// drive, Debian's chromium, and the frameset pointed at a source folder and a target folder.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { chromium } from 'playwright-core';

import { startHost } from './operations-support.mjs';

export { startHost };

export async function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-background-networking', '--disable-component-update',
           '--disable-default-apps', '--disable-sync', '--no-first-run',
           '--metrics-recording-only', '--disable-breakpad'],
  });
}

// Writes files (name -> text) below folder and zips them into archive with Info-ZIP's zip, in the
// order given; comments (name -> text) are set with zipnote.
export function makeArchive(folder, archive, files, comments = {}) {
  fs.mkdirSync(folder, { recursive: true });
  const work = fs.mkdtempSync(path.join(folder, '.work-'));
  const names = [];
  for (const [name, text] of Object.entries(files)) {
    const full = path.join(work, name);
    if (name.endsWith('/')) {
      fs.mkdirSync(full, { recursive: true });
    } else {
      fs.mkdirSync(path.dirname(full), { recursive: true });
      fs.writeFileSync(full, text);
    }
    names.push(name);
  }
  const target = path.join(folder, archive);
  execFileSync('zip', ['-q', '-D', target, ...names], { cwd: work });
  if (Object.keys(comments).length > 0) {
    const notes = execFileSync('zipnote', [target]).toString().split('\n');
    const edited = [];
    for (const line of notes) {
      edited.push(line);
      const name = line.startsWith('@ ') ? line.slice(2) : null;
      if (name !== null && comments[name] !== undefined) edited.push(comments[name]);
    }
    execFileSync('zipnote', ['-w', target], { input: edited.join('\n') });
  }
  fs.rmSync(work, { recursive: true, force: true });
  return target;
}

export function frame(page, name) {
  return page.frame({ name });
}

// Reloads a frame's page through its own call form and waits for the new page.
async function reloadFrame(page, name, field, value) {
  const target = frame(page, name);
  await Promise.all([
    target.waitForNavigation(),
    target.evaluate(([fieldName, fieldValue]) => {
      const form = document.forms['frmCall'];
      form.elements[fieldName].value = fieldValue;
      form.submit();
    }, [field, value]),
  ]);
}

// Opens the frameset with the source frame in sourceFolder and the target frame in targetFolder
// (Windows paths without the trailing backslash).
export async function openFrameset(browser, host, sourceFolder, targetFolder) {
  const page = await browser.newPage();
  page.on('dialog', (dialog) => page.emit('vantrel-dialog', dialog));
  await page.goto(host.pageUrl);
  await page.waitForFunction(() => ['source', 'target', 'controls', 'result']
    .every((name) => window.frames[name]?.document?.readyState === 'complete'));
  await reloadFrame(page, 'source', 'SP', `${sourceFolder}\\*.*`);
  await reloadFrame(page, 'target', 'TP', `${targetFolder}\\*.*`);
  return page;
}

// Selects file names in the source list; resolves when the controls frame shows wantedOp.
export async function selectSource(page, names, wantedOp) {
  const controls = frame(page, 'controls');
  const loaded = controls.waitForURL((url) => url.search === `?OP=${wantedOp}`);
  await frame(page, 'source').selectOption('select[name=selFiles]', names);
  await loaded;
  await controls.waitForLoadState('load');
  return controls;
}

// Answers the next dialog with accept (true/false) and resolves to its message.
export function answerNextDialog(page, accept) {
  return new Promise((resolve) => {
    page.once('vantrel-dialog', async (dialog) => {
      const message = dialog.message();
      if (accept) await dialog.accept(); else await dialog.dismiss();
      resolve(message);
    });
  });
}

// Holds back the next operation call posted into the result frame, answering it with an empty
// page; resolves to its fields.
export async function captureCall(page, operation) {
  return new Promise((resolve) => {
    const handler = async (route) => {
      const request = route.request();
      const fields = Object.fromEntries(new URLSearchParams(request.postData() ?? ''));
      if (request.method() !== 'POST' || fields.OP !== operation) {
        await route.continue();
        return;
      }
      await route.fulfill({ contentType: 'text/html', body: '<HTML><BODY>held</BODY></HTML>' });
      await page.unroute('**/*', handler);
      resolve(fields);
    };
    page.route('**/*', handler);
  });
}

export async function checkedStates(controls, names) {
  return controls.evaluate((boxes) => Object.fromEntries(boxes.map((name) =>
    [name, document.forms['frmButtons'].elements[name].checked])), names);
}

export async function startButton(controls) {
  return controls.evaluate(() => {
    const button = document.forms['frmButtons'].elements['btnStart'];
    return { value: button.value, key: button.accessKey };
  });
}

export async function resultText(page) {
  return frame(page, 'result').evaluate(() => document.body?.innerText ?? '');
}
