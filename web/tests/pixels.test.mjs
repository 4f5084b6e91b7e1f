// The browser's decoders through the page's pixel readers: an 8-bit sRGB PNG
// reads back exactly, every colour at every alpha; the sizes the page reads
// from file headers are the real ones.
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { join } from 'node:path';
import { after, before, test } from 'node:test';
import { openPage, python, scratch } from './harness.mjs';

let browser;
let everyAlpha;  // 256 x 256 PNG: red x, green 255 - x, blue 7x, alpha y at (x, y)
const made = scratch();

before(async () => {
  const png = join(made, 'alpha.png');
  python(`
import sys
from PIL import Image
im = Image.new("RGBA", (256, 256))
im.putdata([(x, 255 - x, (7 * x) & 255, y) for y in range(256) for x in range(256)])
im.save(sys.argv[1])
`, png);
  everyAlpha = readFileSync(png).toString('base64');
  browser = await openPage();
});
after(() => browser?.close());

// Reads the PNG with one reader of the page; counts the pixels with alpha > 0
// whose bytes differ from the file's.
const readWith = (reader) => browser.page.evaluate(async ({ b64, reader }) => {
  const { decodePicture, pixelReaders } = await import('./pixels.js');
  const blob = new Blob([Uint8Array.from(atob(b64), (c) => c.charCodeAt(0))]);
  const { width, height, data } = await decodePicture(blob, () => {}, async (width, height, readStrips) => {
    const data = new Uint8Array(width * height * 4);
    let at = 0;
    await readStrips((bytes) => { data.set(bytes, at); at += bytes.length; });
    return { width, height, data };
  }, [pixelReaders[reader]]);
  let wrong = 0;
  for (let y = 1; y < 256; y++) {
    for (let x = 0; x < 256; x++) {
      const i = 4 * (256 * y + x);
      wrong += data[i] !== x || data[i + 1] !== 255 - x || data[i + 2] !== ((7 * x) & 255) || data[i + 3] !== y;
    }
  }
  return { width, height, wrong };
}, { b64: everyAlpha, reader });

for (const reader of ['wideCanvas', 'webgl']) {
  test(`${reader} reads every colour at every alpha exactly`, async () => {
    assert.deepEqual(await readWith(reader), { width: 256, height: 256, wrong: 0 });
  });
}

test('picture sizes from file headers', async () => {
  const lines = python(`
import io
from PIL import Image
for fmt, mode, kw in (("JPEG", "RGB", {}), ("WEBP", "RGB", {}),
                      ("WEBP", "RGB", {"lossless": True}), ("WEBP", "RGBA", {})):
    out = io.BytesIO()
    Image.new(mode, (300, 17), (10, 20, 30)).save(out, fmt, **kw)
    print(out.getvalue().hex())
`).toString().trim().split('\n');
  const sizes = await browser.page.evaluate(async (files) => {
    const { sniffPicture } = await import('./pixels.js');
    const bytesOf = (hex) => Uint8Array.from(hex.match(/../g), (h) => parseInt(h, 16));
    return files.map((hex) => sniffPicture(bytesOf(hex)))
      .concat([sniffPicture(new TextEncoder().encode('Hallo, kein Bild')), sniffPicture(new Uint8Array(0))]);
  }, lines);
  const size = (format) => ({ format, width: 300, height: 17 });
  assert.deepEqual(sizes, [size('jpeg'), size('webp'), size('webp'), size('webp'), null, null]);
});
