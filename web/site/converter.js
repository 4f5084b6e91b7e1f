// The converter module (zwp.wasm): the same code that zwpconv runs, reached
// through its small C interface. Every call copies its input into the
// module, copies the result out and frees both, so the module's memory only
// ever holds one file.
import { texts } from './texts.js';

// A file the converter will not take; the message is German and says why.
// `tooLarge` marks a picture over 128 × 128 that "Einpassen in" would take.
export class Refused extends Error {
  constructor(message, tooLarge = false) {
    super(message);
    this.tooLarge = tooLarge;
  }
}

const Status = { Refused: 0, Done: 1, TooLarge: 3, OutOfMemory: 4 };

// Each module's code, compiled once per worker: a fresh instance of it (and
// so fresh memory) costs little more than its memory.
const compiled = new Map();
function compile(url) {
  if (!compiled.has(url)) {
    compiled.set(url, WebAssembly.compileStreaming(fetch(url))
      .catch(() => fetch(url).then((r) => r.arrayBuffer()).then((bytes) => WebAssembly.compile(bytes))));
  }
  return compiled.get(url);
}

export class Converter {
  // The converter of zwp.js, or of zwp-jpeg.js, the same with zwpconv's
  // JPEG decoder, which the page loads only once a JPEG arrives.
  static async load(script = './zwp.js') {
    const url = new URL(script, import.meta.url);
    const { default: createZwpModule } = await import(url);
    const wasm = url.href.replace(/\.js$/, '.wasm');
    return new Converter(await createZwpModule({
      instantiateWasm(imports, receive) {
        compile(wasm).then((module) => WebAssembly.instantiate(module, imports)).then((instance) => receive(instance));
        return {};
      },
    }));
  }

  // The memory the module holds now; it never gives any back.
  get memoryBytes() {
    return this.m.HEAPU8.buffer.byteLength;
  }

  constructor(module) {
    this.m = module;
    this.version = module.UTF8ToString(module._zwp_version());
    this.maxFileBytes = module._zwp_max_file_bytes();
    this.maxEmblemBytes = module._zwp_max_emblem_bytes();
  }

  // A picture file to an emblem: { width, height, pixels, emblem }. Throws
  // Refused for a file that is no picture (or none this converter reads),
  // is cut or damaged, or has a size that cannot become an emblem.
  emblemFromFile(bytes, name, { fit, dither, background }) {
    return this.#take(this.#withFile(bytes, name, (file, at) => this.m._zwp_emblem_from_file(file, bytes.length, at,
      background, fit, dither ? 1 : 0)));
  }

  // A TGA file as it stands, before it becomes an emblem: { width, height, pixels }.
  originalFromFile(bytes, name, background) {
    return this.#take(this.#withFile(bytes, name, (file, at) =>
      this.m._zwp_original_from_file(file, bytes.length, at, background)));
  }

  // An emblem file to its picture: { width, height, pixels }.
  pictureFromEmblem(bytes) {
    return this.#withBytes(bytes, (at) => this.m._zwp_picture_from_emblem(at, bytes.length));
  }

  // Calls call(fileAddress, nameAddress) with a file's bytes and its name
  // (zero-ended) copied into the converter's memory; call's own return value.
  #withFile(bytes, name, call) {
    const nameBytes = new TextEncoder().encode(`${name}\0`);
    return this.#withBytes(nameBytes, (at) => this.#withBytes(bytes, (file) => call(file, at), true), true);
  }

  // Calls call(address) with the bytes copied into the converter's memory
  // and takes its result; `raw` hands back call's own return value instead.
  #withBytes(bytes, call, raw = false) {
    const at = this.m._malloc(Math.max(1, bytes.length));
    if (!at) throw new Refused(texts.outOfMemory);
    try {
      this.m.HEAPU8.set(bytes, at);
      return raw ? call(at) : this.#take(call(at));
    } finally {
      this.m._free(at);
    }
  }

  #take(status) {
    const m = this.m;
    try {
      if (status === Status.OutOfMemory) throw new Refused(texts.outOfMemory);
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
