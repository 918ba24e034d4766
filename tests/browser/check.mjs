// Loads every .glb of a folder in three.js inside headless Chromium and checks
// what three.js makes of it: the model loads, has normals (smooth shading) for its
// base and its morph targets, is in view, and, where it has an animation, two
// screenshots at two times of it differ.
//
// usage: node check.mjs BROWSER_PACKAGES CHROMIUM MODELS_DIR SHOTS_DIR PROFILE_PARENT
//   BROWSER_PACKAGES  the folder whose node_modules hold three and playwright-core
//   PROFILE_PARENT    where the browser's new, empty profile folder is made
// Prints one line per model and "three.js checked N models, F failed"; exits 1
// when any failed.
import { spawn } from 'node:child_process';
import { createServer } from 'node:http';
import { mkdtempSync, readFileSync, readdirSync, rmSync, writeFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { tmpdir } from 'node:os';
import { extname, join, normalize } from 'node:path';
import { fileURLToPath } from 'node:url';

const [packages, chromiumPath, modelsDir, shotsDir, profileParent] = process.argv.slice(2);
const here = fileURLToPath(new URL('.', import.meta.url));
const require = createRequire(join(packages, 'node_modules', 'playwright-core', 'package.json'));
const { chromium } = require('playwright-core');

const types = { '.html': 'text/html', '.js': 'text/javascript', '.glb': 'model/gltf-binary' };

// The page, three.js and the models, on localhost only.
function serve() {
  const roots = { '/three/': join(packages, 'node_modules', 'three'), '/models/': modelsDir };
  const server = createServer((request, response) => {
    const path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    let file = path === '/page.html' ? join(here, 'page.html') : null;
    for (const [prefix, root] of Object.entries(roots))
      if (path.startsWith(prefix)) file = join(root, normalize(path.slice(prefix.length)).replace(/^(\.\.[/\\])+/, ''));
    try {
      const body = readFileSync(file);
      response.writeHead(200, { 'Content-Type': types[extname(file)] || 'application/octet-stream' });
      response.end(body);
    } catch {
      response.writeHead(404);
      response.end();
    }
  });
  return new Promise((resolve) => server.listen(0, '127.0.0.1', () => resolve(server)));
}

// Chromium started here with a new, empty profile; Playwright talks to it over
// the DevTools protocol.
function startChromium(profile) {
  const args = ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    // WebGL without a GPU: the software renderer, which Chromium no longer picks by itself.
    '--enable-unsafe-swiftshader', `--user-data-dir=${profile}`, '--remote-debugging-port=0', 'about:blank'];
  const child = spawn(chromiumPath, args, { stdio: ['ignore', 'ignore', 'pipe'] });
  return new Promise((resolve, reject) => {
    let said = '';
    const timer = setTimeout(() => reject(new Error('Chromium did not start: ' + said)), 60000);
    child.stderr.on('data', (data) => {
      said += data;
      const found = said.match(/DevTools listening on (ws:\/\/\S+)/);
      if (found) {
        clearTimeout(timer);
        resolve({ child, endpoint: found[1] });
      }
    });
    child.on('exit', (code) => reject(new Error(`Chromium ended (${code}): ${said}`)));
  });
}

async function check(page, base, name) {
  await page.goto(`${base}/page.html?model=${encodeURIComponent(name)}`);
  await page.waitForFunction(() => window.viewer && window.viewer.ready, null, { timeout: 60000 });
  const viewer = await page.evaluate(() => {
    const { show, ...facts } = window.viewer;
    return facts;
  });
  if (viewer.error) return `FAIL three.js did not load it: ${viewer.error}`;
  if (viewer.normals !== viewer.positions || Math.abs(viewer.normalLength - 1) > 0.01)
    return `FAIL normals: ${viewer.normals} for ${viewer.positions} vertices, mean length ${viewer.normalLength}`;
  if (viewer.morphNormals !== viewer.morphTargets)
    return `FAIL ${viewer.morphNormals} morph normals for ${viewer.morphTargets} targets`;
  const canvas = { x: 0, y: 0, width: 256, height: 256 };
  const at = [0, viewer.change !== null ? viewer.change : viewer.duration];
  const shots = [];
  for (const t of at) {
    const inView = await page.evaluate((time) => window.viewer.show(time), t);
    if (inView === 0) return `FAIL nothing drawn at ${t} s`;
    shots.push(await page.screenshot({ clip: canvas }));
  }
  const stem = name.replace(/\.glb$/, '');
  shots.forEach((shot, i) => writeFileSync(join(shotsDir, `${stem}_${i}.png`), shot));
  const facts = `normals ${viewer.normals}, ${viewer.morphTargets} morph targets, ${viewer.animations} animations`;
  const times = `${at[0]} s and ${at[1].toFixed(3)} s`;
  if (viewer.animations === 0) return `ok ${facts}`;
  // Some models repeat one pose in every frame: their screenshots must then agree.
  const same = shots[0].equals(shots[1]);
  if (viewer.change === null)
    return same ? `ok ${facts}, "${viewer.clip}" holds one pose: alike at ${times}`
                : `FAIL "${viewer.clip}" holds one pose, yet differs at ${times}`;
  return same ? `FAIL "${viewer.clip}" looks the same at ${times}` : `ok ${facts}, "${viewer.clip}" differs at ${times}`;
}

const models = readdirSync(modelsDir).filter((n) => n.endsWith('.glb')).sort();
const server = await serve();
const profile = mkdtempSync(join(profileParent || tmpdir(), 'three-check-'));
const { child, endpoint } = await startChromium(profile);
let failed = 0;
try {
  const browser = await chromium.connectOverCDP(endpoint);
  const page = await browser.contexts()[0].newPage();
  page.on('pageerror', (error) => console.log(`  page error: ${error.message}`));
  const base = `http://127.0.0.1:${server.address().port}`;
  for (const name of models) {
    let line;
    try {
      line = await check(page, base, name);
    } catch (error) {
      line = `FAIL ${error.message.split('\n')[0]}`;
    }
    if (line.startsWith('FAIL')) ++failed;
    console.log(`${name} ${line}`);
  }
  await browser.close();
} finally {
  // The profile folder goes once Chromium has let go of it.
  const ended = new Promise((resolve) => child.once('exit', resolve));
  child.kill();
  await ended;
  server.close();
  // Chromium's helper processes may still be writing into it for a moment.
  try {
    rmSync(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 200 });
  } catch (error) {
    console.log(`  the profile folder ${profile} stays: ${error.message}`);
  }
}
console.log(`three.js checked ${models.length} models, ${failed} failed`);
process.exit(failed > 0 || models.length === 0 ? 1 : 0);
