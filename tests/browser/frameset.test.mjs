// The frameset with its four frames: the file details, hostile file names, and a screenshot.
import assert from 'node:assert/strict';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  dialogOf, frame, hostAndBrowser, openFrameset, screenshotPath,
} from './support/harness.mjs';

const hostileFile = '<b>x<b>.txt';  // a Linux name cannot hold the "/" of a closing tag
const hostileFolder = '<img src=x onerror=alert(1)>';

const suite = hostAndBrowser({
  prepare: ({ c }) => {
    const root = path.join(c, 'inetpub', 'wwwroot');
    fs.mkdirSync(path.join(root, 'images'), { recursive: true });
    fs.mkdirSync(path.join(root, hostileFolder));
    fs.writeFileSync(path.join(root, 'default.htm'), '<html></html>');
    fs.writeFileSync(path.join(root, 'report.txt'), 'x'.repeat(1234567));
    fs.writeFileSync(path.join(root, 'archive.ZIP'), '');
    fs.writeFileSync(path.join(root, hostileFile), '');
  },
});

test('double-click shows the file details', async () => {
  const page = await openFrameset(suite.browser, suite.host);
  const files = frame(page, 'source').locator('select[name=selFiles]');
  await files.selectOption('report.txt');
  const message = await dialogOf(page, () => files.locator('option[value="report.txt"]').dblclick());
  const lines = message.split('\n');
  assert.equal(lines[0], 'File Name: c:\\inetpub\\wwwroot\\report.txt');
  assert.match(lines[1], /^Last Modified: \d{1,2}\/\d{1,2}\/\d{4}( \d{1,2}:\d{2}:\d{2} [AP]M)?$/);
  assert.equal(lines[2], 'Attributes: Archive set');
  assert.equal(lines[3], 'File Size: 1,234,567 bytes');
  await page.context().close();
});

test('hostile file and folder names show as text', async () => {
  const page = await openFrameset(suite.browser, suite.host);
  let alerted = false;
  page.on('dialog', async (dialog) => { alerted = true; await dialog.dismiss(); });
  const source = frame(page, 'source');
  const fileTexts = await source.locator('select[name=selFiles] option').allTextContents();
  assert.ok(fileTexts.map((text) => text.trim()).includes(hostileFile), fileTexts.join(', '));
  assert.equal(await source.locator(`option[value="${hostileFile}"]`).count(), 1);
  const folderTexts = await source.locator('select[name=selFolder] option').allTextContents();
  assert.ok(folderTexts.some((text) => text.trim() === hostileFolder), folderTexts.join(', '));
  assert.equal(await source.locator('img, b').count(), 0);
  assert.equal(alerted, false);
  // The whole frameset as the user sees it (every test's opening waits for its four frames).
  await page.screenshot({ path: screenshotPath('frameset.png') });
  await page.context().close();
});
