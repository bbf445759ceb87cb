// The host of the operation tests: the harness's host (a real vantrel-host on a free loopback
// port over a temporary drive c: and registry), with the paths the operation tests work on.
import path from 'node:path';

import { startHost as startHarnessHost } from './support/harness.mjs';

export async function startHost() {
  const host = await startHarnessHost();
  const driveFolder = host.folders.c;
  return {
    pageUrl: host.url,
    driveFolder,
    // The harness keeps the registry beside the drive folders.
    registryFolder: path.join(path.dirname(driveFolder), 'registry'),
    stop: () => host.stop(),
  };
}
