// What the page's tests and benchmarks share: the built site served on a free
// port, Debian's Chromium driven headless, files put through the page's own
// file input, and zwpconv and PIL for the native side.
import { execFileSync, spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, readdirSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { serve } from '../serve.mjs';
import { after, before, describe } from 'node:test';
import { engines, openEngine } from './engines.mjs';

const here = dirname(fileURLToPath(import.meta.url));
export const repo = resolve(here, '../..');
export const site = resolve(process.env.ZWP_SITE ?? join(repo, 'build-web/site'));
export const zwpconvPath = resolve(process.env.ZWPCONV ?? join(repo, 'build/src/cli/zwpconv'));
export const fixtures = (kind, name) => join(repo, 'tests', kind, 'fixtures', name);

// A folder of this process's own, gone when the process ends.
const scratchFolders = [];
process.once('exit', () => scratchFolders.forEach((f) => rmSync(f, { recursive: true, force: true })));
export function scratch() {
  scratchFolders.push(mkdtempSync(join(tmpdir(), 'zwp-web-')));
  return scratchFolders.at(-1);
}

// Debian's Chromium, headless, as a test browser on a closed network: no
// background traffic, a fresh profile.
export function launchBrowser() {
  return chromium.launch({
    executablePath: process.env.ZWP_CHROMIUM ?? '/usr/bin/chromium',
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'],
  });
}

// The page served from the built site in a new browser of the engine
// (chromium, firefox, webkit; see engines.mjs), ready to convert, downloads
// allowed in Chromium. errors() gives the page's uncaught errors so far.
export async function openPage(engine = 'chromium') {
  const server = await serve(site);
  const origin = `http://127.0.0.1:${server.address().port}/`;
  if (engine !== 'chromium') {
    const page = await openEngine[engine]();
    await page.goto(origin);
    await page.waitForFunction(() => document.body.dataset.ready === 'true');
    return {
      page, origin, errors: async () => [...page.problems, ...(await page.evaluate(() => window.zwpProblems ?? []))],
      async close() {
        await page.close();
        server.close();
      },
    };
  }
  const browser = await launchBrowser();
  const page = await browser.newPage({ acceptDownloads: true });
  const problems = [];
  page.on('pageerror', (e) => problems.push(e.message));
  const requests = [];
  page.on('request', (r) => requests.push(r.url()));
  await page.goto(origin);
  await page.waitForSelector('body[data-ready="true"]');
  return {
    page, origin, problems, requests, errors: async () => problems,
    async close() {
      await browser.close();
      server.close();
    },
  };
}

// Sets the page's options as a user would: fit empty or a number, dither
// ticked or not, background "#rrggbb".
export async function setOptions(page, { fit = '', dither = false, background = '#ffffff' } = {}) {
  await page.fill('#fit', String(fit));
  await page.setChecked('#dither', dither);
  await page.fill('#background', background);
  await page.waitForFunction(() => !document.body.dataset.busy);
}

// Puts files through the page's file input and waits for their results: for
// each file its name, refusal, size text, download name and output bytes.
export async function convertInPage(page, paths) {
  const before = await page.evaluate(() => document.body.dataset.converted ?? '');
  await page.setInputFiles('#files', paths);
  await page.waitForFunction((b) => (document.body.dataset.converted ?? '') !== b && !document.body.dataset.busy, before);
  return readResults(page);
}

export async function readResults(page) {
  return page.$$eval('#results > li', async (items) => Promise.all(items.map(async (li) => {
    const link = li.querySelector('a[download]');
    const bytes = link ? new Uint8Array(await (await fetch(link.href)).arrayBuffer()) : null;
    return {
      name: li.querySelector('.name').textContent,
      refusal: li.querySelector('.refusal')?.textContent ?? null,
      size: li.querySelector('.size')?.textContent ?? null,
      download: link?.download ?? null,
      ms: li.dataset.ms ? Number(li.dataset.ms) : null,
      bytes: bytes ? Array.from(bytes) : null,
    };
  })));
}

// zwpconv's output for one file under the same options; null when it refuses the file.
export function zwpconv(input, { fit = '', dither = false, background = '#ffffff', to = null } = {}) {
  const out = scratch();
  const args = ['-o', out, '--background', background];
  if (fit !== '') args.push('--fit', String(fit));
  if (dither) args.push('--dither');
  if (to) args.push('--to', to);
  const run = spawnSync(zwpconvPath, [...args, input], { stdio: ['ignore', 'ignore', 'pipe'] });
  if (run.status === 1) return null;
  if (run.status !== 0) throw new Error(`zwpconv: ${run.stderr}`);
  const [name] = readdirSync(out);
  return readFileSync(join(out, name));
}

// Runs Debian's Python with PIL on a script; its stdout.
export function python(script, ...args) {
  return execFileSync('/usr/bin/python3', ['-c', script, ...args], { maxBuffer: 1 << 28 });
}

// Declares body's tests once for each engine under test, as a suite of its
// own: `browser` is that engine's open page (what openPage gives) while
// they run.
export function inEachEngine(body) {
  for (const engine of engines) {
    describe(engine, () => {
      const browser = {};
      before(async () => Object.assign(browser, await openPage(engine)));
      after(() => browser.close?.());
      body(browser, engine);
    });
  }
}
