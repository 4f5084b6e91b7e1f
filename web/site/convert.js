// One dropped or chosen file to its converted result: an emblem for BMP,
// TGA, PNG, JPEG, GIF and WebP files, a PNG for emblems. No page elements here,
// so that tests and benchmarks run exactly what the page runs.
import { Refused } from './converter.js';
import { decodeJpeg, decodePicture, pixelReaders, sniffPicture } from './pixels.js';
import { texts } from './texts.js';

// The output's name: the input's name with its last ending replaced.
export function outputName(name, ending) {
  const dot = name.lastIndexOf('.');
  return (dot > 0 ? name.slice(0, dot) : name) + ending;
}

export const isEmblemName = (name) => /\.zwp$/i.test(name);

// The bytes a file's first part holds.
const bytesOf = async (file, count) => new Uint8Array(await file.slice(0, count).arrayBuffer());

// The part of a file the converter reads: the whole file up to the limit of
// its kind. Workers start this for the next file while converting the one
// before, so that reading never leaves them waiting.
export const readFile = (converter, file) =>
  bytesOf(file, isEmblemName(file.name) ? converter.maxEmblemBytes : converter.maxFileBytes);

// An opaque picture as a lossless PNG file.
async function pngOf({ width, height, pixels }) {
  const canvas = new OffscreenCanvas(width, height);
  canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
  return canvas.convertToBlob({ type: 'image/png' });
}

async function emblemToPng(converter, file, bytes) {
  const picture = converter.pictureFromEmblem(await bytes);
  return { ...picture, fromEmblem: true, output: await pngOf(picture), outputName: outputName(file.name, '.png') };
}

async function pictureToEmblem(converter, file, options, read) {
  const bytes = await read;
  // The size the header of a picture the browser decodes gives, when it gives one.
  const sniffed = sniffPicture(bytes.subarray(0, 256 * 1024));
  let result = await converter.emblemFromFile(bytes, file.name, options, sniffed?.width != null ? sniffed : null);
  if (!result) {
    const check = (w, h) => converter.checkSize(w, h, options.fit);
    const consume = (width, height, readStrips) => converter.emblemFromStrips(width, height, options, readStrips);
    try {
      const jpeg = sniffed?.format === 'jpeg';
      if (jpeg) result = await decodeJpeg(file, check, consume);
      // A JPEG is opaque, so a plain canvas (the quickest reader) keeps its pixels exactly.
      result ??= await decodePicture(file, check, consume, jpeg ? [pixelReaders.plainCanvas] : undefined);
    } catch (e) {
      throw e instanceof Refused ? e : new Refused(texts.damaged);
    }
  }
  const output = new Blob([result.emblem], { type: 'application/octet-stream' });
  // No browser shows a TGA, so the page gets its original from the converter.
  const original = /\.tga$/i.test(file.name) ? converter.originalFromFile(bytes, file.name, options.background) : null;
  return { ...result, original, output, outputName: outputName(file.name, '.zwp') };
}

// Converts one file under the options ({ fit, dither, background }):
// { name, outputName, output (Blob), width, height, pixels, ms } or
// { name, refusal, tooLarge, failed } with the German reason (failed: by an
// unexpected error, not by the file's content); it never throws. `bytes` is
// readFile's promise when the caller started reading early. `ms` is the time
// the conversion took, from its start to the finished output.
export async function convertFile(converter, file, options, bytes = readFile(converter, file)) {
  const start = performance.now();
  try {
    const done = isEmblemName(file.name)
      ? await emblemToPng(converter, file, bytes)
      : await pictureToEmblem(converter, file, options, bytes);
    return { name: file.name, ...done, ms: performance.now() - start };
  } catch (e) {
    if (e instanceof Refused) return { name: file.name, refusal: e.message, tooLarge: e.tooLarge };
    console.error(file.name, e);
    return { name: file.name, refusal: texts.damaged, failed: true };
  }
}
