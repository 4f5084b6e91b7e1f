// The page as an installed app: offline after one visit, installable, fed by
// the system (launched files) and the clipboard, every result beside its
// original, one ZIP of all results, and usable on a phone.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { cpSync, readFileSync, readdirSync, statSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { convertInPage, fixtures, launchBrowser, openPage, readResults, scratch, site, zwpconv } from './harness.mjs';
import { serve } from '../serve.mjs';
import { chromium } from 'playwright-core';

const bmp = fixtures('bitmap', 'pil_24bit.bmp');
const png = fixtures('imageio', 'alpha.png');
const tga = fixtures('imageio', 'alpha.tga');
const wide = fixtures('imageio', 'wide.png');
let opened;

before(async () => {
  opened = await openPage();
});
after(() => opened.close());

// Waits for the results of a conversion the page started by itself.
async function waitForRun(page, before) {
  await page.waitForFunction((b) => (document.body.dataset.converted ?? '') !== b && !document.body.dataset.busy, before);
  return readResults(page);
}

const converted = (page) => page.evaluate(() => document.body.dataset.converted ?? '');
const fileData = (path) => ({ name: path.replace(/.*\//, ''), bytes: [...readFileSync(path)] });

test('after one visit the page reloads and converts with the network cut', async () => {
  const { page } = opened;
  await page.evaluate(() => navigator.serviceWorker.ready);
  await page.context().setOffline(true);
  try {
    await page.reload();
    await page.waitForSelector('body[data-ready="true"]');
    const [result] = await convertInPage(page, [bmp]);
    assert.deepEqual(Buffer.from(result.bytes), zwpconv(bmp));
  } finally {
    await page.context().setOffline(false);
  }
});

test('the manifest makes an installable app that opens emblems and pictures', async () => {
  // Chromium judges installability only outside an incognito-like context.
  const context = await chromium.launchPersistentContext(scratch(), {
    executablePath: process.env.ZWP_CHROMIUM ?? '/usr/bin/chromium', args: ['--no-sandbox', '--disable-gpu'],
  });
  try {
    const page = await context.newPage();
    await page.goto(opened.origin);
    await page.waitForSelector('body[data-ready="true"]');
    await page.evaluate(() => navigator.serviceWorker.ready);
    const cdp = await context.newCDPSession(page);
    const { installabilityErrors } = await cdp.send('Page.getInstallabilityErrors');
    assert.deepEqual(installabilityErrors, []);
    const manifest = await page.evaluate(async () => (await fetch('manifest.webmanifest')).json());
    assert.equal(manifest.name, 'ZWP-Konverter');
    assert.equal(manifest.display, 'standalone');
    const accepted = Object.values(manifest.file_handlers[0].accept).flat();
    for (const ending of ['.zwp', '.bmp', '.png', '.jpg', '.gif', '.webp', '.tga']) assert.ok(accepted.includes(ending));
    // Each PNG icon is a PNG of the size it claims; one may be cut to any shape.
    for (const icon of manifest.icons.filter((i) => i.type === 'image/png')) {
      const head = await page.evaluate(async (src) => [...new Uint8Array(await (await fetch(src)).arrayBuffer())].slice(0, 24),
        icon.src);
      const view = Buffer.from(head);
      assert.equal(`${view.readUInt32BE(16)}x${view.readUInt32BE(20)}`, icon.sizes, icon.src);
    }
    assert.ok(manifest.icons.some((i) => i.purpose === 'maskable' && i.sizes === '512x512'));
  } finally {
    await context.close();
  }
});

test('files the system launches the app with, and a pasted picture, convert like chosen ones', async () => {
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage();
    // The launch queue a launch from the file manager fills, with file handles.
    await page.addInitScript(() => {
      Object.defineProperty(window, 'launchQueue',
        { value: { setConsumer: (consumer) => { window.launch = consumer; } } });
    });
    await page.goto(opened.origin);
    await page.waitForSelector('body[data-ready="true"]');
    let before = await converted(page);
    await page.evaluate((files) => window.launch({
      files: files.map(({ name, bytes }) => ({ getFile: async () => new File([new Uint8Array(bytes)], name) })),
    }), [fileData(bmp), fileData(png)]);
    const launched = await waitForRun(page, before);
    assert.deepEqual(launched.map((r) => Buffer.from(r.bytes)), [zwpconv(bmp), zwpconv(png)]);

    before = await converted(page);
    await page.evaluate(({ name, bytes }) => {
      const data = new DataTransfer();
      data.items.add(new File([new Uint8Array(bytes)], name, { type: 'image/png' }));
      document.dispatchEvent(new ClipboardEvent('paste', { clipboardData: data, bubbles: true }));
    }, fileData(png));
    const [pasted] = await waitForRun(page, before);
    assert.deepEqual(Buffer.from(pasted.bytes), zwpconv(png));
  } finally {
    await browser.close();
  }
});

test('every result shows its original, and "Alle herunterladen" gives each download byte for byte', async () => {
  const { page } = opened;
  const emblem = scratch() + '/w.zwp';
  writeFileSync(emblem, zwpconv(bmp));
  const named = join(scratch(), 'Wäppchen ß.bmp');  // unzip must keep its letters
  writeFileSync(named, readFileSync(bmp));
  const fresh = await page.context().browser().newPage();  // no results, no button
  await fresh.goto(page.url());
  await fresh.waitForSelector('body[data-ready="true"]');
  assert.equal(await fresh.isVisible('#download-all'), false);
  await fresh.close();
  const results = await convertInPage(page, [named, png, tga, emblem]);
  assert.equal(await page.locator('#results .previews').count(), 4);
  // Both pictures shown at the same size, each drawn once its card is in view.
  for (const picture of await page.locator('#results .pic').all()) await picture.scrollIntoViewIfNeeded();
  await page.waitForFunction(() => [...document.querySelectorAll('#results canvas')]
    .every((c) => c.getContext('2d').getImageData(0, 0, 1, 1).data[3] === 255), null, { timeout: 5000 });
  for (const original of await page.locator('#results img.pic').all()) await original.evaluate((img) => img.decode());
  const shown = await page.$$eval('#results .previews', (all) => all.map((p) => {
    const [original, result] = [...p.querySelectorAll('.pic')];
    return { same: original.getBoundingClientRect().width === result.getBoundingClientRect().width,
      loaded: original.tagName !== 'IMG' || (original.complete && original.naturalWidth > 0) };
  }));
  assert.ok(shown.every((s) => s.same && s.loaded), JSON.stringify(shown));

  // Typing a fit size and going straight to the button converts the list again first; the ZIP waits for it.
  await page.fill('#fit', '20');
  const [download] = await Promise.all([page.waitForEvent('download'), page.click('#download-all')]);
  assert.equal(download.suggestedFilename(), 'zwp-konverter.zip');
  const again = await readResults(page);
  // Info-ZIP's unzip takes every name as written, dated now; alpha.png and alpha.tga both give
  // alpha.zwp, and the archive keeps both.
  const out = scratch();
  execFileSync('unzip', ['-q', await download.path(), '-d', out]);
  const names = ['Wäppchen ß.zwp', 'alpha.zwp', 'alpha (2).zwp', 'w.png'];
  assert.deepEqual(readdirSync(out).sort(), [...names].sort());
  names.forEach((name, i) => {
    assert.ok(readFileSync(join(out, name)).equals(Buffer.from(again[i].bytes)), name);
    assert.ok(Math.abs(statSync(join(out, name)).mtimeMs - Date.now()) < 120_000, `${name} is dated long ago`);
  });
  assert.ok(!again[0].bytes.every((b, i) => b === results[0].bytes[i]), 'the list was not converted again');
  await page.fill('#fit', '');
  await page.focus('#files');  // leaving the field converts the list once more, now
  await page.waitForFunction(() => !document.body.dataset.busy);
});

test('on a 360 px phone: one column, no sideways scrolling, large targets, focus kept after fitting', async () => {
  const { page } = opened;
  await page.setViewportSize({ width: 360, height: 740 });
  try {
    await convertInPage(page, [bmp, wide]);
    const layout = await page.evaluate(() => ({
      scroll: document.documentElement.scrollWidth,
      checkbox: document.getElementById('dither').getBoundingClientRect().height,
      refusal: document.querySelector('.refusal').getBoundingClientRect().width,
    }));
    assert.ok(layout.scroll <= 360, `page is ${layout.scroll} px wide`);
    assert.ok(layout.checkbox >= 24);
    assert.ok(layout.refusal > 250, 'the refusal line has the card\'s width');
    const before = await converted(page);
    await page.focus('button.fit-to-128');
    await page.keyboard.press('Enter');
    await waitForRun(page, before);
    assert.equal(await page.evaluate(() => document.activeElement.querySelector('.name')?.textContent), 'wide.png');
  } finally {
    await page.setViewportSize({ width: 1280, height: 720 });
    await page.fill('#fit', '');
  }
});

test('a new build reaches a page served with cache headers: a notice, then the new page', async () => {
  // The site as a host serves it for ten minutes, then a new build of it in the same place.
  const folder = scratch();
  cpSync(site, folder, { recursive: true });
  const server = await serve(folder, 0, { 'Cache-Control': 'max-age=600' });
  const browser = await launchBrowser();
  try {
    const page = await browser.newPage();
    const origin = `http://127.0.0.1:${server.address().port}/`;
    await page.goto(origin);
    await page.waitForSelector('body[data-ready="true"]');
    await page.evaluate(() => navigator.serviceWorker.ready);
    const page2 = readFileSync(join(folder, 'index.html'), 'utf8').replace('<h1>ZWP-Konverter</h1>', '<h1>ZWP-Konverter 2</h1>');
    writeFileSync(join(folder, 'index.html'), page2);
    writeFileSync(join(folder, 'sw.js'), readFileSync(join(folder, 'sw.js'), 'utf8').replace(/zwp-[0-9a-f]+/, 'zwp-2'));
    await page.reload();
    await page.waitForSelector('#update:not([hidden])');
    assert.equal(await page.textContent('h1'), 'ZWP-Konverter', 'the old build until the user says');
    await Promise.all([page.waitForNavigation(), page.click('#update-now')]);
    await page.waitForSelector('body[data-ready="true"]');
    assert.equal(await page.textContent('h1'), 'ZWP-Konverter 2');
    // And offline, the new build stays.
    server.close();
    await page.reload();
    assert.equal(await page.textContent('h1'), 'ZWP-Konverter 2');
  } finally {
    await browser.close();
    server.close();
  }
});

test('cards shown at 1280 px follow the window down to 390 px', async () => {
  const { page } = opened;
  await convertInPage(page, [bmp, png, tga]);
  await page.setViewportSize({ width: 390, height: 740 });
  try {
    const widths = await page.$$eval('#results > li', (items) => [document.documentElement.scrollWidth,
      ...items.map((li) => li.getBoundingClientRect().right)]);
    assert.ok(widths.every((w) => w <= 390), JSON.stringify(widths));
  } finally {
    await page.setViewportSize({ width: 1280, height: 720 });
  }
});
