// Starts a vantrel-host for the operation tests on a free loopback port, over a temporary drive
// folder and registry.
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));

function hostBinary() {
  if (process.env.VANTREL_HOST) return process.env.VANTREL_HOST;
  const build = process.env.VANTREL_BUILD_DIR ?? path.join(here, '..', '..', 'build');
  return path.resolve(here, '..', '..', build, 'bin', 'vantrel-host');
}

export async function startHost() {
  const root = fs.mkdtempSync(path.join(os.tmpdir(), 'vantrel-ops-'));
  const registryFolder = path.join(root, 'registry');
  const child = spawn(hostBinary(), ['--listen', '127.0.0.1:0', '--data', root,
                                     '--registry', registryFolder],
                      { stdio: ['ignore', 'pipe', 'inherit'] });
  const pageUrl = await new Promise((resolve, reject) => {
    let seen = '';
    child.stdout.on('data', (data) => {
      seen += data;
      const match = seen.match(/serving (http:\/\/\S+)/);
      if (match) resolve(match[1]);
    });
    child.on('exit', (code) => reject(new Error(`vantrel-host ended with ${code}`)));
  });
  return {
    pageUrl,
    driveFolder: path.join(root, 'c'),
    registryFolder,
    async stop() {
      child.kill();
      await new Promise((resolve) => child.once('exit', resolve));
      fs.rmSync(root, { recursive: true, force: true });
    },
  };
}
