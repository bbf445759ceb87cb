// Signing in through the page in the browser: the sign-in page, the frameset with the signed-in
// account's own file rights, and signing out.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { test } from 'node:test';

import {
  frame, frameReady, hostAndBrowser, openFramesetAt, resultText, selectSource, signInThroughPage,
  waitFor,
} from './support/harness.mjs';

const suite = hostAndBrowser({
  signIn: true,
  prepare: ({ c }) => {
    fs.mkdirSync(path.join(c, 'work'));
    fs.writeFileSync(path.join(c, 'work', 'a.txt'), 'a');
  },
});

test('the page asks for a sign-in first and says nothing about why one fails', async () => {
  const context = await suite.browser.newContext();
  const page = await context.newPage();
  await page.goto(suite.host.url);
  assert.equal(await page.getAttribute('input[name=password]', 'type'), 'PASSWORD');
  assert.equal(page.frames().length, 1);
  await signInThroughPage(page, { account: suite.host.signIn.account, password: 'wrong' });
  assert.match(await page.innerText('body'), /Unknown account or wrong password\./);
  await signInThroughPage(page, { account: 'nobody-at-all', password: suite.host.signIn.password });
  assert.match(await page.innerText('body'), /Unknown account or wrong password\./);
  await context.close();
});

test('a signed-in user works with their own account, sees who is signed in, and signs out',
     async () => {
  const page = await openFramesetAt(suite.browser, suite.host, 'c:\\work', 'c:\\work');
  assert.match(await resultText(page), /Signed in as tester/);
  await frame(page, 'target').fill('input[name=txtZipName]', 'mine.zip');
  const controls = await selectSource(page, ['a.txt'], 'zip');
  assert.equal(await controls.getAttribute('input[name=txtPassword]', 'type'), 'PASSWORD');
  await controls.click('input[name=btnStart]');
  await waitFor(async () => /Operation complete/.test(await resultText(page)), 'the zip');
  const archive = path.join(suite.host.folders.c, 'work', 'mine.zip');
  assert.ok(fs.existsSync(archive));
  if (process.getuid() === 0) {
    const nobody = Number(execFileSync('id', ['-u', 'nobody']).toString());
    assert.equal(fs.statSync(archive).uid, nobody);
  }

  const result = await frameReady(page, 'result', 'body');
  await result.waitForLoadState('load');
  await result.evaluate(() => { top.location.href = top.location.href; });
  await waitFor(() => page.frames().length === 5, 'the frameset after a reload');
  const info = await frameReady(page, 'result', 'input[value="Sign out"]');
  await Promise.all([page.waitForNavigation(), info.click('input[value="Sign out"]')]);
  assert.equal(page.frames().length, 1);
  assert.match(await page.innerText('body'), /Account:/);
  await page.goto(suite.host.url);
  assert.ok(await page.$('form[name=frmSignIn]'));
  await page.context().close();
});
