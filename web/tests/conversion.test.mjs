// The page gives exactly zwpconv's bytes: emblems from BMPs (ImageMagick and
// PIL), from PNGs of every depth with transparency, rotated JPEGs and TGAs,
// shrunk and dithered, and PNGs from emblems whose pixels PIL reads as zwpconv's.
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { readFileSync, writeFileSync } from 'node:fs';
import { join } from 'node:path';
import { before, test } from 'node:test';
import { convertInPage, fixtures, inEachEngine, python, readResults, repo, scratch, setOptions, zwpconv } from './harness.mjs';

const made = scratch();

// A 512 x 512 emblem design with soft, half-transparent edges, as artists draw them.
const largeArtwork = join(made, 'wappen.png');
const paletteArt = join(made, 'palette.png');
const greyArt = join(made, 'grau.png');
// A GIF as ImageMagick's crop writes it: a frame smaller than its canvas.
const cropped = join(made, 'ausschnitt.gif');
// An emblem holding every one of the 65536 words once.
const everyWord = join(made, 'alle.zwp');
// Photos as cameras and editors save them: each chroma subsampling, progressive,
// grey, with restart markers, and with a colour profile the converter ignores.
const photos = ['420', '422', '444', 'progressiv', 'grau', 'neustart', 'profil'].map((n) => join(made, `foto-${n}.jpg`));

before(async () => {
  python(`
import sys
from PIL import Image, ImageDraw, ImageFilter
im = Image.new("RGBA", (512, 512), (0, 0, 0, 0))
d = ImageDraw.Draw(im)
d.polygon([(64, 48), (448, 48), (448, 260), (256, 480), (64, 260)], fill=(200, 40, 40, 255))
d.rectangle([200, 48, 312, 470], fill=(40, 70, 190, 230))
d.ellipse([180, 150, 332, 302], fill=(250, 210, 40, 160))
im = im.filter(ImageFilter.GaussianBlur(3))
im.save(sys.argv[1])
# Pixel art as editors save it: a palette with transparent entries, and grey with alpha.
pal = Image.new("P", (40, 30))
pal.putpalette([(i * 37) % 256 for i in range(768)])
pal.putdata([(x * y) % 256 for y in range(30) for x in range(40)])
pal.save(sys.argv[2], transparency=bytes((i * 53) % 256 for i in range(256)))
Image.merge("LA", (im.getchannel("R"), im.getchannel("A"))).resize((60, 60)).save(sys.argv[3])
`, largeArtwork, paletteArt, greyArt);
  python(`
import sys
from PIL import Image
im = Image.effect_mandelbrot((301, 203), (-2.2, -1.2, 1.0, 1.2), 40).convert("RGB")
profile = open("/usr/share/color/icc/ghostscript/rommrgb.icc", "rb").read()
for path, extra in zip(sys.argv[1:], [dict(subsampling=2), dict(subsampling=1), dict(subsampling=0),
                                      dict(progressive=True), {}, dict(restart_marker_blocks=3), dict(icc_profile=profile)]):
    (im.convert("L") if "grau" in path else im).save(path, quality=85, **extra)
`, ...photos);
  const words = Buffer.alloc(280 + 2 * 65536);
  words.writeInt32LE(256, 272);
  words.writeInt32LE(256, 276);
  for (let w = 0; w < 65536; w++) words.writeUInt16LE(w, 280 + 2 * w);
  writeFileSync(everyWord, words);
  execFileSync('/usr/bin/convert', [fixtures('imageio', 'wide.png'), '-crop', '60x40+100+50', cropped]);
});

const bitmaps = ['im_1bit.bmp', 'im_4bit.bmp', 'im_8bit.bmp', 'im_rle8.bmp', 'im_565.bmp', 'im_555.bmp',
  'im_24bit_v5.bmp', 'im_os2_4bit.bmp', 'im_24bit_w128.bmp', 'pil_1bit.bmp', 'pil_8bit.bmp', 'pil_24bit.bmp']
  .map((name) => fixtures('bitmap', name));
const artwork = ['alpha.png', 'opaque.png', 'gradient.png', 'photo.png', 'anim.gif', 'checker.png']
  .map((name) => fixtures('imageio', name));
// Turned upright by Exif, TGA with straight alpha, and PngSuite's 16-bit, low-depth and interlaced files.
const suite = (name) => join(repo, '..', 'shared', 'testdata', 'pngsuite', 'png', name);
const exact = [fixtures('imageio', 'rotated.jpg'), fixtures('imageio', 'alpha.tga'), fixtures('imageio', 'alpha.webp'), cropped,
  ...['tbbn2c16.png', 'tbgn2c16.png', 'basn6a16.png', 'basi6a16.png', 'basi0g16.png', 'tbwn0g16.png', 'basn0g02.png',
    'basi3p04.png', 'tbrn2c08.png', 'tp1n3p08.png'].map(suite)];

const table = [
  { what: 'bitmaps at their own size', files: bitmaps, options: {} },
  { what: 'bitmaps dithered', files: bitmaps, options: { dither: true } },
  { what: 'bitmaps shrunk to 16', files: bitmaps, options: { fit: 16 } },
  { what: 'artwork', files: artwork.filter((f) => !f.endsWith('checker.png')), options: {} },
  { what: 'artwork dithered over a colour', files: [...artwork, paletteArt, greyArt],
    options: { fit: 128, dither: true, background: '#336699' } },
  { what: 'artwork shrunk to 40', files: artwork, options: { fit: 40 } },
  { what: 'rotated photos, TGA and PNGs of every depth over a colour', files: exact, options: { background: '#336699' } },
  { what: 'photos of every JPEG kind, shrunk to 100', files: photos, options: { fit: 100 } },
  { what: 'transparent 512² shrunk to 128 and dithered', files: [largeArtwork], options: { fit: 128, dither: true } },
];

// Every engine converts every file of the table to zwpconv's bytes.
inEachEngine((browser, engine) => {
  for (const { what, files, options } of table) {
    test(`emblems are byte-identical to zwpconv's: ${what}`, async () => {
      await setOptions(browser.page, options);
      const results = await convertInPage(browser.page, files);
      assert.equal(results.length, files.length);
      for (const [i, result] of results.entries()) {
        const expected = zwpconv(files[i], options);
        if (!expected) {
          assert.match(result.refusal, /^Ungültiges Bild: /, `${result.name}: zwpconv refuses it`);
          continue;
        }
        assert.equal(result.refusal, null, `${result.name}: ${result.refusal}`);
        assert.equal(result.download, result.name.replace(/\.[^.]+$/, '.zwp'));
        assert.ok(Buffer.from(result.bytes).equals(expected), `${result.name} differs`);
      }
    });
  }

  test('emblems become PNGs whose pixels are exactly zwpconv\'s', async () => {
    const emblems = [everyWord];
    for (const source of [fixtures('imageio', 'photo.png'), fixtures('bitmap', 'im_8bit.bmp')]) {
      const emblem = join(made, source.replace(/.*\//, '').replace(/\.\w+$/, '.zwp'));
      writeFileSync(emblem, zwpconv(source, { dither: true }));
      emblems.push(emblem);
    }
    await setOptions(browser.page, { fit: 8, dither: true });  // options leave emblems as they are
    const results = await convertInPage(browser.page, emblems);
    const pixelsOf = (png) => python('import sys; from PIL import Image; im = Image.open(sys.argv[1]); '
      + 'print(im.size); sys.stdout.flush(); sys.stdout.buffer.write(im.convert("RGBA").tobytes())', png);
    for (const [i, result] of results.entries()) {
      assert.equal(result.download, result.name.replace('.zwp', '.png'));
      const page = join(made, `page-${i}.png`);
      writeFileSync(page, Buffer.from(result.bytes));
      const reference = join(made, `ref-${i}.png`);
      writeFileSync(reference, zwpconv(emblems[i], { to: 'png' }));
      assert.ok(pixelsOf(page).equals(pixelsOf(reference)), `${result.name}: pixels differ`);
    }
  });


  test('the page fails nowhere', async () => assert.deepEqual(await browser.errors(), []));
  if (engine !== 'chromium') return;

  test('a transparent 512² PNG becomes a dithered 128² emblem in three clicks, as zwpconv --fit 128 --dither makes it', async () => {
    const { page } = browser;
    await setOptions(page, {});
    await convertInPage(page, [largeArtwork]);
    await page.click('button.fit-to-128');
    await page.waitForSelector('#results a[download="wappen.zwp"]');
    const converted = await page.evaluate(() => document.body.dataset.converted);
    await page.check('#dither');
    await page.waitForFunction((before) => document.body.dataset.converted !== before && !document.body.dataset.busy,
      converted);
    assert.equal(await page.textContent('#results .size'), '128 × 128 Pixel');
    const [download] = await Promise.all([page.waitForEvent('download'), page.click('#results a[download]')]);
    assert.equal(download.suggestedFilename(), 'wappen.zwp');
    const saved = readFileSync(await download.path());
    assert.ok(saved.equals(zwpconv(largeArtwork, { fit: 128, dither: true })));
  });

  test('files dropped on the page convert like chosen ones', async () => {
    const { page } = browser;
    await setOptions(page, { dither: true });
    const dropped = [fixtures('imageio', 'alpha.png'), fixtures('bitmap', 'pil_24bit.bmp')];
    const files = dropped.map((path) => ({ name: path.replace(/.*\//, ''), bytes: [...readFileSync(path)] }));
    const before = await page.evaluate(() => document.body.dataset.converted);
    await page.evaluate((list) => {
      const transfer = new DataTransfer();
      for (const { name, bytes } of list) transfer.items.add(new File([new Uint8Array(bytes)], name));
      document.querySelector('main').dispatchEvent(new DragEvent('drop', { dataTransfer: transfer, bubbles: true }));
    }, files);
    await page.waitForFunction((b) => document.body.dataset.converted !== b && !document.body.dataset.busy, before);
    const results = await readResults(page);
    assert.deepEqual(results.map((r) => r.download), ['alpha.zwp', 'pil_24bit.zwp']);
    for (const [i, result] of results.entries()) {
      assert.ok(Buffer.from(result.bytes).equals(zwpconv(dropped[i], { dither: true })), result.name);
    }
  });

  test('an unusable "Einpassen in" converts nothing and says what it needs', async () => {
    const { page } = browser;
    for (const fit of ['0', '129', '12.5', '-3']) {
      await setOptions(page, { fit });
      await page.setInputFiles('#files', [fixtures('bitmap', 'pil_8bit.bmp')]);
      assert.equal(await page.textContent('#status'), '„Einpassen in“ braucht eine ganze Zahl von 1 bis 128 (leer: aus).');
      assert.equal(await page.$eval('#fit', (e) => e.validity.valid), false);
    }
    await setOptions(page, { fit: '' });
    const [result] = await readResults(page);
    assert.equal(result.download, 'pil_8bit.zwp');
  });

  test('the page fetches nothing but its own files and never fails', () => {
    const foreign = browser.requests.filter((url) => !url.startsWith(browser.origin) && !url.startsWith('blob:'));
    assert.deepEqual(foreign, []);
    assert.deepEqual(browser.problems, []);
  });
});
