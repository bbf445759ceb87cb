// Steps of the operation tests, on the browser tests' harness: the host with the paths the tests
// work on; the frameset and the source selection come from the harness.
import path from 'node:path';

import * as harness from './support/harness.mjs';

export {
  dialogOf, frame, launchBrowser, openFramesetAt, resultText, screenshotPath, selectSource,
} from './support/harness.mjs';

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
