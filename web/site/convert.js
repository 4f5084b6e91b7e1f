// One dropped or chosen file to its converted result: an emblem for BMP,
// TGA, PNG, JPEG, GIF and WebP files, a PNG for emblems. No page elements here,
// so that tests and benchmarks run exactly what the page runs.
import { Converter, Refused } from './converter.js';
import { isEmblemName } from './read.js';
import { texts } from './texts.js';

// The output's name: the input's name with its last ending replaced.
export function outputName(name, ending) {
  const dot = name.lastIndexOf('.');
  return (dot > 0 ? name.slice(0, dot) : name) + ending;
}

// An opaque picture as a lossless PNG file.
async function pngOf({ width, height, pixels }) {
  const canvas = new OffscreenCanvas(width, height);
  canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
  return canvas.convertToBlob({ type: 'image/png' });
}

async function emblemToPng(converter, name, bytes) {
  const picture = converter.pictureFromEmblem(bytes);
  return { ...picture, fromEmblem: true, output: await pngOf(picture), outputName: outputName(name, '.png') };
}

// The module that reads a picture: JPEG and WebP each have their own, loaded
// when the first such file arrives; by their first bytes, as zwpconv knows them.
function moduleFor(b) {
  if (b[0] === 0xff && b[1] === 0xd8 && b[2] === 0xff) return 'jpeg';
  const text = (at, n) => String.fromCharCode(...b.subarray(at, at + n));
  return text(0, 4) === 'RIFF' && text(8, 4) === 'WEBP' ? 'webp' : null;
}

async function pictureToEmblem(converters, name, bytes, options) {
  const kind = moduleFor(bytes);
  const converter = kind ? await converters[kind]() : converters.main;
  const result = converter.emblemFromFile(bytes, name, options);
  // No browser shows a TGA, so the page gets its original from the converter.
  const original = /\.tga$/i.test(name) ? converter.originalFromFile(bytes, name, options.background) : null;
  return { ...result, original, output: result.emblem, outputName: outputName(name, '.zwp') };
}

// Converts one file, its name and the bytes readFile gave (read.js), under
// the options ({ fit, dither, background }) with the converter, JPEGs and
// WebPs with the ones converters.jpeg() and .webp() give (by default new
// ones): { name, outputName, output, width, height, pixels, ms } or { name, refusal, tooLarge, failed } with the German reason
// (failed: by an unexpected error, not by the file's content); it never
// throws. The output is the emblem's bytes (a Uint8Array of at most 33 KB) or
// the PNG's Blob. `ms` is the time the conversion took, from its start to the
// finished output.
export async function convertFile(converter, { name, bytes }, options, converters = {}) {
  const modules = { jpeg: () => Converter.load('./zwp-jpeg.js'), webp: () => Converter.load('./zwp-webp.js'), ...converters,
    main: converter };
  const start = performance.now();
  try {
    const done = isEmblemName(name)
      ? await emblemToPng(converter, name, bytes)
      : await pictureToEmblem(modules, name, bytes, options);
    return { name, ...done, ms: performance.now() - start };
  } catch (e) {
    if (e instanceof Refused) return { name, refusal: e.message, tooLarge: e.tooLarge };
    console.error(name, e);
    return { name, refusal: texts.damaged, failed: true };
  }
}
