// Shared steps of the unzip controls and zip contents tests, on the browser tests' harness: the
// frameset pointed at a source and a target folder, archives made with Info-ZIP, the states of the
// controls.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';

export {
  dialogOf, frame, frameReady, hostAndBrowser, openFramesetAt as openFrameset, operationEnded,
  resultPostOf, resultText, selectSource, zipEntries,
} from './support/harness.mjs';

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
  execFileSync('zip', ['-q', target, ...names], { cwd: work });
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
