// The browser page in one engine: the modules' sizes, time until the module
// is ready (Chromium), one 128 × 128 PNG to an emblem, 100 of them dropped
// at once and a photo fitted, next to zwpconv converting the same files
// natively in the same run.
//
//   [ZWP_ENGINE=chromium|firefox|webkit] node bench/web_page.mjs [ROUNDS]   after scripts/web and a native build
//   (build-bench with dither_bench, for the module's dithering against native)
//
// Every time is what the page itself measures with performance marks around
// its own code (the conversion of each file, the whole list), so the driver's
// overhead is not counted; medians over ROUNDS (default 9).
import { execFileSync } from 'node:child_process';
import { readFileSync, statSync, readdirSync } from 'node:fs';
import { join } from 'node:path';
import { convertInPage, launchBrowser, openPage, python, repo, scratch, setOptions, site, zwpconvPath } from '../web/tests/harness.mjs';

const rounds = Number(process.argv[2] ?? 9);
const engine = process.env.ZWP_ENGINE ?? 'chromium';
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const load = () => readFileSync('/proc/loadavg', 'utf8').split(' ').slice(0, 3).join(' ');

const folder = scratch();
python(`
import random, sys
from PIL import Image, ImageDraw
rng = random.Random(7)
for n in range(100):
    im = Image.new("RGBA", (128, 128), (0, 0, 0, 0))
    d = ImageDraw.Draw(im)
    for _ in range(12):
        x, y = rng.randrange(128), rng.randrange(128)
        d.ellipse([x - 30, y - 30, x + 30, y + 30], fill=tuple(rng.randrange(256) for _ in range(4)))
    im.save(f"{sys.argv[1]}/wappen{n:03}.png")
`, folder);
const files = readdirSync(folder).sort().map((name) => join(folder, name));

console.log(`${engine}, load before: ${load()}`);
const bytes = (name) => statSync(join(site, name)).size;
const module = (name) => bytes(`${name}.wasm`) + bytes(`${name}.js`);
// What a first visit loads before any file: all but the modules loaded on demand
// and the icons only an installed app shows.
const onDemand = /^zwp-.*\.(js|wasm)$|^icon-.*\.png$/;
const firstLoad = readdirSync(site).filter((n) => !onDemand.test(n)).reduce((sum, n) => sum + bytes(n), 0);
const siteBytes = readdirSync(site).reduce((sum, n) => sum + bytes(n), 0);
console.log(`site: ${readdirSync(site).length} files, ${siteBytes} B in all, ${firstLoad} B before the first file;`
  + ` modules: zwp ${module('zwp')} B, zwp-jpeg ${module('zwp-jpeg')} B, zwp-webp ${module('zwp-webp')} B (.js and .wasm)`);

const first = await openPage(engine);
// Ready: a fresh browser context (no cache) per load, navigation start to module instantiated.
const browser = engine === 'chromium' ? await launchBrowser() : null;
const ready = [], parsed = [], blank = [];
for (let i = 0; browser && i < rounds; i++) {
  // The yardstick: a page with nothing to load (the server's short "not
  // found" text), in a fresh context of the same browser.
  const empty = await browser.newContext();
  const nothing = await empty.newPage();
  await nothing.goto(`${first.origin}nichts`);
  blank.push(await nothing.evaluate(() => performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd));
  await empty.close();
  const context = await browser.newContext();
  const page = await context.newPage();
  await page.goto(first.origin);
  await page.waitForSelector('body[data-ready="true"]');
  const times = await page.evaluate(() => [performance.getEntriesByName('zwp-ready')[0].startTime,
    performance.getEntriesByType('navigation')[0].domContentLoadedEventEnd]);
  ready.push(times[0]);
  parsed.push(times[1]);
  await context.close();
}
await browser?.close();
if (browser) console.log(`ready: median ${median(ready).toFixed(1)} ms (min ${Math.min(...ready).toFixed(1)},`
  + ` max ${Math.max(...ready).toFixed(1)}); the page itself read and run (DOMContentLoaded) median`
  + ` ${median(parsed).toFixed(1)} ms; a page with nothing to load ${median(blank).toFixed(1)} ms`);

// Drops files on the page's file input; the conversion time of each file and
// of the whole list as the page measured them.
async function drop(page, paths) {
  const results = await convertInPage(page, paths);
  const ms = results.map((r) => r.ms);
  if (ms.length !== paths.length || ms.some((x) => x === null)) throw new Error('not every file was converted');
  return { ms, list: await page.evaluate(() => performance.getEntriesByName('zwp-list').at(-1).duration) };
}

for (const options of [{}, { dither: true }]) {
  await setOptions(first.page, options);
  const single = [], lists = [], inList = [], native = [];
  for (let i = 0; i < rounds; i++) {
    for (const file of files.slice(0, 10)) single.push((await drop(first.page, [file])).ms[0]);
    const { ms, list } = await drop(first.page, files);
    inList.push(median(ms));
    lists.push(list);
    const out = scratch();
    const start = process.hrtime.bigint();
    execFileSync(zwpconvPath, ['-o', out, ...(options.dither ? ['--dither'] : []), ...files]);
    native.push(Number(process.hrtime.bigint() - start) / 1e6);
  }
  const what = options.dither ? 'dithered' : 'plain';
  console.log(`${what}: one 128² PNG dropped alone median ${median(single).toFixed(2)} ms`
    + ` (${single.length} drops), within the list ${median(inList).toFixed(2)} ms;`
    + ` 100 files median ${median(lists).toFixed(0)} ms in the page,`
    + ` ${median(native).toFixed(0)} ms in zwpconv (ratio ${(median(lists) / median(native)).toFixed(1)})`);
}
// The module's dithering alone: one 128² picture of noise made an emblem with
// and without dithering, converted back to back in the page (batches of 50,
// after a warm-up that lets the engine optimise the module), against
// zwpconv's own dithering of such a picture (dither_bench, same machine).
const noise = join(folder, 'rauschen.png');
python(`
import random, sys
from PIL import Image
rng = random.Random(1)
Image.frombytes("RGB", (128, 128), bytes(rng.randrange(256) for _ in range(3 * 128 * 128))).save(sys.argv[1])
`, noise);
const inModule = await first.page.evaluate(async ([bytes, rounds]) => {
  const png = new Uint8Array(bytes);
  const { Converter } = await import('./converter.js');
  const converter = await Converter.load();
  const batch = (dither) => {
    const start = performance.now();
    for (let i = 0; i < 50; i++) converter.emblemFromFile(png, 'rauschen.png', { fit: 0, dither, background: 0xffffff });
    return (performance.now() - start) / 50;
  };
  for (let i = 0; i < 10; i++) batch(true), batch(false);
  const plain = [], dithered = [];
  for (let i = 0; i < 3 * rounds; i++) dithered.push(batch(true)), plain.push(batch(false));
  return { plain, dithered };
}, [[...readFileSync(noise)], rounds]);
const ditherBench = join(repo, 'build-bench/bench/dither_bench');
const nativeDither = Number(JSON.parse(execFileSync(ditherBench, ['--benchmark_filter=Dither128', '--benchmark_format=json',
  '--benchmark_repetitions=9', '--benchmark_report_aggregates_only=true'])).benchmarks.find((b) => b.aggregate_name === 'median').real_time) / 1000;
const moduleDither = median(inModule.dithered) - median(inModule.plain);
console.log(`dithering a 128² picture in the module: ${moduleDither.toFixed(3)} ms`
  + ` (${median(inModule.dithered).toFixed(3)} ms with, ${median(inModule.plain).toFixed(3)} ms without),`
  + ` natively ${nativeDither.toFixed(3)} ms (ratio ${(moduleDither / nativeDither).toFixed(1)})`);

// A phone photo of 8000 × 6000, fitted to 128: the whole list (one file) in the
// page against zwpconv --fit 128 on the same file.
const photo = join(folder, 'foto.jpg');
python(`
import sys
from PIL import Image
Image.effect_mandelbrot((8000, 6000), (-2.2, -1.2, 1.0, 1.2), 60).convert("RGB").save(sys.argv[1], quality=90)
`, photo);
await setOptions(first.page, { fit: 128 });
const photoPage = [], photoNative = [];
for (let i = 0; i < Math.min(rounds, 5); i++) {
  photoPage.push((await drop(first.page, [photo])).list);
  const start = process.hrtime.bigint();
  execFileSync(zwpconvPath, ['-o', scratch(), '--fit', '128', photo]);
  photoNative.push(Number(process.hrtime.bigint() - start) / 1e6);
}
console.log(`8000 × 6000 JPEG --fit 128: median ${median(photoPage).toFixed(0)} ms in the page,`
  + ` ${median(photoNative).toFixed(0)} ms in zwpconv (ratio ${(median(photoPage) / median(photoNative)).toFixed(1)})`);
await first.close();
console.log(`load after: ${load()}`);
