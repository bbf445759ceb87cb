// Steps of the operation tests, on the browser tests' harness: the host with the paths the tests
// work on, the frameset pointed at a source and a target folder, and the source selection.
import path from 'node:path';

import * as harness from './support/harness.mjs';

export { dialogOf, frame, launchBrowser, screenshotPath } from './support/harness.mjs';

// The harness's host with drive c:; driveFolder stands for c:\.
export async function startHost() {
  const host = await harness.startHost();
  const driveFolder = host.folders.c;
  return {
    pageUrl: host.url,
    url: host.url,
    driveFolder,
    // The harness keeps the registry beside the drive folders.
    registryFolder: path.join(path.dirname(driveFolder), 'registry'),
    stop: () => host.stop(),
  };
}

// Reloads a frame's page through its own call form with one field set, as its lists do.
async function reloadWith(page, name, field, value) {
  const target = harness.frame(page, name);
  await harness.reloadOf(page, name, () => target.evaluate(([fieldName, fieldValue]) => {
    const form = document.forms['frmCall'];
    form.elements[fieldName].value = fieldValue;
    form.submit();
  }, [field, value]));
}

// The frameset with the source frame in sourceFolder and the target frame in targetFolder
// (Windows paths without the trailing backslash).
export async function openFramesetAt(browser, host, sourceFolder, targetFolder) {
  const page = await harness.openFrameset(browser, host);
  await reloadWith(page, 'source', 'SP', `${sourceFolder}\\*.*`);
  await reloadWith(page, 'target', 'TP', `${targetFolder}\\*.*`);
  return page;
}

// Selects file names in the source list; resolves to the controls frame once it shows wantedOp.
export async function selectSource(page, names, wantedOp) {
  await harness.frame(page, 'source').selectOption('select[name=selFiles]', names);
  await harness.waitFor(() => harness.frame(page, 'controls').url().endsWith(`?OP=${wantedOp}`),
                        `controls to show ${wantedOp}`);
  return harness.frameReady(page, 'controls', 'form[name=frmButtons]');
}

export async function resultText(page) {
  return harness.frame(page, 'result').evaluate(() => document.body?.innerText ?? '');
}
