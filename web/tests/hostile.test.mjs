// Damaged and hostile files: each gets its German refusal and no download
// link (bitmaps without pixels: zwpconv's emblem), nothing breaks the page,
// and the module's memory stays bounded however large a picture claims or
// turns out to be.
import assert from 'node:assert/strict';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { before, test } from 'node:test';
import { convertInPage, fixtures, inEachEngine, python, scratch, setOptions, zwpconv } from './harness.mjs';

const made = scratch();
const file = (name, bytes) => {
  writeFileSync(join(made, name), bytes);
  return join(made, name);
};

// A PNG header (signature and a whole IHDR) claiming a size, with nothing after it.
function pngHeader(width, height) {
  const b = Buffer.alloc(33);
  Buffer.from('89504e470d0a1a0a0000000d49484452', 'hex').copy(b);
  b.writeUInt32BE(width, 16);
  b.writeUInt32BE(height, 20);
  b.set([8, 6, 0, 0, 0], 24);
  let crc = ~0;
  for (const byte of b.subarray(12, 29)) {
    crc ^= byte;
    for (let k = 0; k < 8; k++) crc = crc & 1 ? 0xedb88320 ^ (crc >>> 1) : crc >>> 1;
  }
  b.writeUInt32BE(~crc >>> 0, 29);
  return b;
}
// An emblem header with any width and height.
function emblemHeader(width, height, extra = 0) {
  const b = Buffer.alloc(280 + extra);
  b.writeInt32LE(width, 272);
  b.writeInt32LE(height, 276);
  return b;
}
// A BMP's file and info headers claiming a size and depth, without pixels.
function bmpHeader(width, height, bits) {
  const b = Buffer.alloc(54);
  b.write('BM', 0, 'latin1');
  b.writeUInt32LE(54 + 1000, 2);
  b.writeUInt32LE(54, 10);
  b.writeUInt32LE(40, 14);
  b.writeInt32LE(width, 18);
  b.writeInt32LE(height, 22);
  b.writeUInt16LE(1, 26);
  b.writeUInt16LE(bits, 28);
  return b;
}

const damaged = 'Ungültiges Bild: Bild ist beschädigt oder abgeschnitten';
const notAPicture = 'Ungültiges Bild: kein Bild in einem bekannten Format';
const tooLarge = /^Ungültiges Bild: größer als 128 × 128 Pixel \(\d+ × \d+\)$/;
const empty = 'Ungültiges Bild: Bild hat keine Pixel';
let table;

before(async () => {
  // Pixels that are all zero compress to almost nothing: a few KB that decode to 64 MiB and more.
  python(`
import sys
from PIL import Image
Image.new("RGB", (4096, 4096)).save(sys.argv[1])
Image.new("RGB", (4097, 4096)).save(sys.argv[2])
Image.new("RGBA", (20, 20), (0, 0, 0, 0)).save(sys.argv[3], "WEBP", lossless=True)
`, join(made, 'bombe.png'), join(made, 'zu-viele-pixel.png'), join(made, 'klein.webp'));
  const gradient = readFileSync(fixtures('imageio', 'gradient.png'));
  const bitmap = readFileSync(fixtures('bitmap', 'im_8bit.bmp'));
  const webp = readFileSync(join(made, 'klein.webp'));
  table = [
    // name, bytes (or a file made above), fit, the refusal (null: converted as zwpconv does)
    ['leer.png', Buffer.alloc(0), '', notAPicture],
    ['leer.zwp', Buffer.alloc(0), '', damaged],  // no header: no emblem
    ['rauschen.png', Buffer.from(Array.from({ length: 4000 }, (_, i) => (i * 7919 + 13) % 251)), '', notAPicture],
    ['brief.bmp', Buffer.from('Sehr geehrte Damen und Herren,\n'), '', notAPicture],
    ['abgeschnitten.png', gradient.subarray(0, gradient.length / 2), '', damaged],
    ['riesig.png', pngHeader(100000, 100000), 128, 'Ungültiges Bild: Bildgröße außerhalb der Grenzen (100000 × 100000)'],
    ['nur-kopf.png', pngHeader(64, 64), '', damaged],
    ['bombe.png', join(made, 'bombe.png'), '', tooLarge],
    // Beyond one picture in memory, but shrunk strip by strip as zwpconv shrinks it.
    ['zu-viele-pixel.png', join(made, 'zu-viele-pixel.png'), 128, null],
    ['riesig.webp', Buffer.concat([webp.subarray(0, 12), Buffer.from('VP8X'), Buffer.alloc(4, 10), Buffer.alloc(4),
      Buffer.from([0xff, 0xff, 0xff, 0xff, 0xff, 0xff])]), 128, 'Ungültiges Bild: Bildgröße außerhalb der Grenzen (16777216 × 16777216)'],
    ['kaputt.gif', Buffer.concat([Buffer.from('GIF89a'), Buffer.from([10, 0, 10, 0]), Buffer.alloc(40, 0x55)]), '', damaged],
    ['kaputt.jpg', Buffer.concat([Buffer.from([0xff, 0xd8, 0xff, 0xe0, 0, 4, 0, 0]), Buffer.alloc(100, 0x33)]), '', damaged],
    ['kurz.bmp', bitmap.subarray(0, 40), '', 'Ungültiges Bild: Datei ist abgeschnitten (Kopf)'],
    ['gross.bmp', bmpHeader(30000, 30000, 24), '', tooLarge],
    ['gross-eingepasst.bmp', bmpHeader(30000, 30000, 24), 128, /^Ungültiges Bild: /],
    ['ohne-breite.bmp', bmpHeader(0, 5, 24), '', empty],
    ['ohne-hoehe.bmp', bmpHeader(5, 0, 24), 128, empty],
    ['tiefe.bmp', bmpHeader(16, 16, 3), '', 'Ungültiges Bild: Farbtiefe wird nicht unterstützt (nur 1, 4, 8, 16 oder 24 Bit)'],
    ['absurd.zwp', emblemHeader(0x7fffffff, 0x7fffffff), '', 'Ungültiges Bild: unbrauchbare Größe im Wappen-Kopf'],
    ['negativ.zwp', emblemHeader(-5, 20), '', 'Ungültiges Bild: unbrauchbare Größe im Wappen-Kopf'],
    ['null.zwp', emblemHeader(0, 7), '', empty],
  ].map(([name, bytes, fit, refusal]) => ({
    path: typeof bytes === 'string' ? bytes : file(name, bytes), name, fit, refusal,
  }));
});

inEachEngine((browser, engine) => {
  test('damaged and hostile files are refused in German, without a download link', async () => {
    for (const fit of ['', 128]) {
      const rows = table.filter((row) => row.fit === fit);
      await setOptions(browser.page, { fit });
      const results = await convertInPage(browser.page, rows.map((row) => row.path));
      for (const [i, result] of results.entries()) {
        if (rows[i].refusal === null) {  // converted exactly as zwpconv converts it
          assert.ok(Buffer.from(result.bytes).equals(zwpconv(rows[i].path, { fit })), result.name);
          continue;
        }
        assert.equal(result.download, null, `${result.name} has a link`);
        if (rows[i].refusal instanceof RegExp) assert.match(result.refusal, rows[i].refusal, result.name);
        else assert.equal(result.refusal, rows[i].refusal, result.name);
      }
    }
    assert.deepEqual(await browser.errors(), []);
  });

  if (engine !== 'chromium') return;

  test('the module\'s memory stays bounded and it works on after the largest pictures', async () => {
    const { page } = browser;
    const large = [join(made, 'bombe.png'), ...table.map((row) => row.path)];
    const upload = large.map((path) => ({ name: path.replace(/.*\//, ''), b64: readFileSync(path).toString('base64') }));
    const outcome = await page.evaluate(async (files) => {
      const { Converter } = await import('./converter.js');
      const { convertFile } = await import('./convert.js');
      const converter = await Converter.load();
      const asFile = ({ name, b64 }) => ({ name, bytes: Uint8Array.from(atob(b64), (c) => c.charCodeAt(0)) });
      const seen = [];
      const heaps = [];
      for (let round = 0; round < 3; round++) {
        for (const f of files) {
          const done = await convertFile(converter, asFile(f), { fit: 128, dither: true, background: 0xffffff });
          seen.push(done.refusal ?? `${done.width}×${done.height}`);
        }
        heaps.push(converter.m.HEAPU8.length);
      }
      const after = await convertFile(converter, asFile(files[0]), { fit: 64, dither: false, background: 0 });
      return { first: seen[0], heaps, after: `${after.width}×${after.height}` };
    }, upload);
    assert.equal(outcome.first, '128×128');  // the 4096² bomb, shrunk: 64 MiB of pixels in the module at once
    // The first round grows the heap to what the largest picture needs; later rounds need no more.
    const [first, ...later] = outcome.heaps;
    assert.ok(first <= 320 * 1024 * 1024, `heap ${first}`);
    assert.deepEqual(later, [first, first]);
    assert.equal(outcome.after, '64×64');
    assert.deepEqual(browser.problems, []);
  });

  test('a phone photo is shrunk in strips: zwpconv\'s bytes, and the module\'s memory stays under 128 MB', async () => {
    const photo = join(made, 'foto.jpg');
    python(`
import sys
from PIL import Image
Image.effect_mandelbrot((8000, 6000), (-2.2, -1.2, 1.0, 1.2), 60).convert("RGB").save(sys.argv[1], quality=90)
`, photo);
    const outcome = await browser.page.evaluate(async (b64) => {
      const { Converter } = await import('./converter.js');
      const { convertFile } = await import('./convert.js');
      const converter = await Converter.load('./zwp-jpeg.js');
      const file = { name: 'foto.jpg', bytes: Uint8Array.from(atob(b64), (c) => c.charCodeAt(0)) };
      const done = await convertFile(converter, file, { fit: 128, dither: false, background: 0xffffff },
        { jpeg: () => converter });
      return { refusal: done.refusal, bytes: done.output && [...done.output],
        heap: converter.m.HEAPU8.length };
    }, readFileSync(photo).toString('base64'));
    assert.equal(outcome.refusal, undefined);
    assert.ok(Buffer.from(outcome.bytes).equals(zwpconv(photo, { fit: 128 })), 'differs from zwpconv');
    assert.ok(outcome.heap <= 128 * 1024 * 1024, `heap ${outcome.heap}`);
  });
});
