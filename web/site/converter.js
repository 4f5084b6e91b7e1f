// The converter module (zwp.wasm): the same code that zwpconv runs, reached
// through its small C interface. Every call copies its input into the
// module, copies the result out and frees both, so the module's memory only
// ever holds one file.
import createZwpModule from './zwp.js';
import { texts } from './texts.js';

// A file the converter will not take; the message is German and says why.
// `tooLarge` marks a picture over 128 × 128 that "Einpassen in" would take.
export class Refused extends Error {
  constructor(message, tooLarge = false) {
    super(message);
    this.tooLarge = tooLarge;
  }
}

const Status = { Refused: 0, Done: 1, NotBitmap: 2, TooLarge: 3 };

export class Converter {
  static async load() {
    return new Converter(await createZwpModule());
  }

  constructor(module) {
    this.m = module;
    this.version = module.UTF8ToString(module._zwp_version());
    this.maxBitmapBytes = module._zwp_max_bitmap_bytes();
    this.maxEmblemBytes = module._zwp_max_emblem_bytes();
  }

  // A BMP file to an emblem: { width, height, pixels, emblem }; null when the
  // bytes are no BMP at all.
  emblemFromBitmap(bytes, { fit, dither }) {
    return this.#withBytes(bytes, (at) => this.m._zwp_emblem_from_bitmap(at, bytes.length, fit, dither ? 1 : 0));
  }

  // Straight-alpha RGBA pixels to an emblem, transparency over `background`
  // (0x00BBGGRR): { width, height, pixels, emblem }.
  emblemFromPixels({ width, height, data }, { fit, dither, background }) {
    return this.#withBytes(data, (at) => this.m._zwp_emblem_from_rgba(at, width, height, background, fit, dither ? 1 : 0));
  }

  // An emblem file to its picture: { width, height, pixels }.
  pictureFromEmblem(bytes) {
    return this.#withBytes(bytes, (at) => this.m._zwp_picture_from_emblem(at, bytes.length));
  }

  // Throws Refused when a picture of this size cannot become an emblem.
  checkSize(width, height, fit) {
    this.#take(this.m._zwp_check_size(width, height, fit));
  }

  #withBytes(bytes, call) {
    const at = this.m._malloc(Math.max(1, bytes.length));
    if (!at) throw new Refused(texts.outOfMemory);
    try {
      this.m.HEAPU8.set(bytes, at);
      return this.#take(call(at));
    } finally {
      this.m._free(at);
    }
  }

  #take(status) {
    const m = this.m;
    try {
      if (status === Status.NotBitmap) return null;
      if (status !== Status.Done) throw new Refused(m.UTF8ToString(m._zwp_message()), status === Status.TooLarge);
      const width = m._zwp_width();
      const height = m._zwp_height();
      const heap = m.HEAPU8;
      const pixels = new Uint8ClampedArray(heap.slice(m._zwp_pixels(), m._zwp_pixels() + width * height * 4).buffer);
      const size = m._zwp_emblem_size();
      const emblem = size ? heap.slice(m._zwp_emblem(), m._zwp_emblem() + size) : null;
      return { width, height, pixels, emblem };
    } finally {
      m._zwp_release();
    }
  }
}
