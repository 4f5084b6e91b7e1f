// One dropped or chosen file to its converted result: an emblem for BMP,
// TGA, PNG, JPEG, GIF and WebP files, a PNG for emblems. No page elements here,
// so that tests and benchmarks run exactly what the page runs.
import { Converter, Refused } from './converter.js';
import { decodePicture, sniffPicture } from './pixels.js';
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

async function pictureToEmblem(converter, name, bytes, options, jpegConverter) {
  // The size the header of a picture the browser decodes gives, when it gives one.
  const sniffed = sniffPicture(bytes.subarray(0, 256 * 1024));
  const reader = sniffed?.format === 'jpeg' ? await jpegConverter() : converter;
  let result = reader.emblemFromFile(bytes, name, options, sniffed?.width != null ? sniffed : null);
  if (!result) {
    const check = (w, h) => converter.checkSize(w, h, options.fit);
    const consume = (width, height, readStrips) => converter.emblemFromStrips(width, height, options, readStrips);
    try {
      // Only pictures the browser decodes itself need the bytes as a Blob.
      result = await decodePicture(new Blob([bytes]), check, consume);
    } catch (e) {
      throw e instanceof Refused ? e : new Refused(texts.damaged);
    }
  }
  // No browser shows a TGA, so the page gets its original from the converter.
  const original = /\.tga$/i.test(name) ? converter.originalFromFile(bytes, name, options.background) : null;
  return { ...result, original, output: result.emblem, outputName: outputName(name, '.zwp') };
}

// Converts one file, its name and the bytes readFile gave (read.js), under the options
// ({ fit, dither, background }), JPEGs with the converter jpegConverter()
// gives (by default a new one): { name, outputName, output, width, height,
// pixels, ms } or { name, refusal, tooLarge, failed } with the German reason
// (failed: by an unexpected error, not by the file's content); it never
// throws. The output is the emblem's bytes (a Uint8Array of at most 33 KB) or
// the PNG's Blob. `ms` is the time the conversion took, from its start to the
// finished output.
export async function convertFile(converter, { name, bytes }, options, jpegConverter = () => Converter.load('./zwp-jpeg.js')) {
  const start = performance.now();
  try {
    const done = isEmblemName(name)
      ? await emblemToPng(converter, name, bytes)
      : await pictureToEmblem(converter, name, bytes, options, jpegConverter);
    return { name, ...done, ms: performance.now() - start };
  } catch (e) {
    if (e instanceof Refused) return { name, refusal: e.message, tooLarge: e.tooLarge };
    console.error(name, e);
    return { name, refusal: texts.damaged, failed: true };
  }
}
