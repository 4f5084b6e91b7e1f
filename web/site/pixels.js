// Pictures in the formats the browser itself decodes (JPEG, WebP):
// their size from the file's header, before anything is decoded, and their
// pixels exactly as the file stores them, with straight (unmultiplied) alpha.

const be16 = (b, i) => (b[i] << 8) | b[i + 1];
const le16 = (b, i) => b[i] | (b[i + 1] << 8);
const le24 = (b, i) => b[i] | (b[i + 1] << 8) | (b[i + 2] << 16);
const ascii = (b, i, text) => [...text].every((c, k) => b[i + k] === c.charCodeAt(0));

// The JPEG frame size from its SOF marker; null when the first bytes do not reach it.
function jpegSize(b) {
  let i = 2;
  while (i + 9 < b.length) {
    if (b[i] !== 0xff) return null;
    const marker = b[i + 1];
    if (marker === 0xff) { i += 1; continue; }
    if (marker === 0xd8 || marker === 0x01 || (marker >= 0xd0 && marker <= 0xd7)) { i += 2; continue; }
    const isFrame = marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc;
    if (isFrame) return { width: be16(b, i + 7), height: be16(b, i + 5) };
    i += 2 + be16(b, i + 2);
  }
  return null;
}

function webpSize(b) {
  if (ascii(b, 12, 'VP8 ') && b[23] === 0x9d && b[24] === 0x01 && b[25] === 0x2a) {
    return { width: le16(b, 26) & 0x3fff, height: le16(b, 28) & 0x3fff };
  }
  if (ascii(b, 12, 'VP8L') && b[20] === 0x2f) {
    const bits = (b[21] | (b[22] << 8) | (b[23] << 16) | (b[24] << 24)) >>> 0;
    return { width: (bits & 0x3fff) + 1, height: ((bits >>> 14) & 0x3fff) + 1 };
  }
  if (ascii(b, 12, 'VP8X')) return { width: le24(b, 24) + 1, height: le24(b, 27) + 1 };
  return null;
}

// The format and size a file's first bytes announce: { format, width, height },
// with width and height null when the header does not say (yet); null when
// the bytes are no picture the page reads through the browser.
export function sniffPicture(b) {
  if (b.length >= 3 && b[0] === 0xff && b[1] === 0xd8 && b[2] === 0xff) {
    return { format: 'jpeg', width: null, height: null, ...jpegSize(b) };
  }
  if (b.length >= 16 && ascii(b, 0, 'RIFF') && ascii(b, 8, 'WEBP')) {
    return { format: 'webp', width: null, height: null, ...webpSize(b) };
  }
  return null;
}

// Ways to read an ImageBitmap's pixels a strip of rows at a time, best
// first. A plain 2D canvas keeps premultiplied 8-bit colour and so changes
// half-transparent pixels; a canvas of half floats keeps them exactly, and so
// does a WebGL texture uploaded without premultiplying. Each opens the bitmap
// and gives { read(y, rows), close() }, or null where the browser lacks it.
export const pixelReaders = {
  wideCanvas(bitmap) {
    const canvas = new OffscreenCanvas(bitmap.width, bitmap.height);
    const g = canvas.getContext('2d', { colorType: 'float16' });
    if (!g || g.getContextAttributes?.().colorType !== 'float16') return null;
    g.drawImage(bitmap, 0, 0);
    return { read: (y, rows) => g.getImageData(0, y, bitmap.width, rows).data, close() {} };
  },
  webgl(bitmap) {
    const gl = new OffscreenCanvas(1, 1).getContext('webgl2');
    if (!gl) return null;
    const close = () => gl.getExtension('WEBGL_lose_context')?.loseContext();
    if (Math.max(bitmap.width, bitmap.height) > gl.getParameter(gl.MAX_TEXTURE_SIZE)) return close(), null;
    const texture = gl.createTexture();
    gl.bindTexture(gl.TEXTURE_2D, texture);
    gl.pixelStorei(gl.UNPACK_PREMULTIPLY_ALPHA_WEBGL, false);
    gl.pixelStorei(gl.UNPACK_COLORSPACE_CONVERSION_WEBGL, gl.NONE);
    gl.texImage2D(gl.TEXTURE_2D, 0, gl.RGBA8, gl.RGBA, gl.UNSIGNED_BYTE, bitmap);
    gl.bindFramebuffer(gl.FRAMEBUFFER, gl.createFramebuffer());
    gl.framebufferTexture2D(gl.FRAMEBUFFER, gl.COLOR_ATTACHMENT0, gl.TEXTURE_2D, texture, 0);
    if (gl.checkFramebufferStatus(gl.FRAMEBUFFER) !== gl.FRAMEBUFFER_COMPLETE || gl.getError() !== gl.NO_ERROR) {
      return close(), null;
    }
    const read = (y, rows) => {
      const data = new Uint8ClampedArray(bitmap.width * rows * 4);
      gl.readPixels(0, y, bitmap.width, rows, gl.RGBA, gl.UNSIGNED_BYTE, data);
      if (gl.getError() !== gl.NO_ERROR) throw new Error('WebGL could not read the pixels');
      return data;
    };
    return { read, close };
  },
  plainCanvas(bitmap) {
    const g = new OffscreenCanvas(bitmap.width, bitmap.height).getContext('2d');
    g.drawImage(bitmap, 0, 0);
    return { read: (y, rows) => g.getImageData(0, y, bitmap.width, rows).data, close() {} };
  },
};

// About this many bytes of pixels are read at a time.
const stripBytes = 1 << 20;
const rowsPerStrip = (width) => Math.max(1, Math.floor(stripBytes / (4 * width)));

// What consume's readStrips is: take(bytes, rows) for each strip from the
// top, the bytes from read(y, rows).
const stripsOf = (width, height, read) => async (take) => {
  const step = rowsPerStrip(width);
  for (let y = 0; y < height; y += step) {
    const rows = Math.min(step, height - y);
    take(await read(y, rows), rows);
  }
};

// Decodes a picture file with the browser's decoders, without colour
// management and without premultiplying. `check(width, height)` may refuse
// the decoded size (it throws) before any pixel is read; then
// `consume(width, height, readStrips)` gets the pixels: readStrips(take)
// calls take(bytes, rows) for each strip from the top, bytes red, green,
// blue, alpha. Resolves to what consume gives; rejects when the browser
// cannot decode the file.
export async function decodePicture(blob, check, consume, readers = Object.values(pixelReaders)) {
  const bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  try {
    const { width, height } = bitmap;
    check(width, height);
    for (const open of readers) {
      const reader = open(bitmap);
      if (!reader) continue;
      try {
        return await consume(width, height, stripsOf(width, height, (y, rows) => reader.read(y, rows)));
      } finally {
        reader.close();
      }
    }
    throw new Error('no way to read pixels');
  } finally {
    bitmap.close();
  }
}
