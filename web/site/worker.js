// Converts files away from the page's own thread, one after another in the
// order they come, so that the page stays responsive and draws results while
// the next file is converted. Answers { ready, version, limits } once the
// module is loaded (limits: how many bytes of a file it reads, { file, emblem }),
// then { id, done } for each { id, run, name, bytes, options }; a job of a run
// older than the newest one is answered { id, stale } without converting.
// The worker also makes the address of each PNG it outputs (`url`), let go
// once a newer run begins.
import { Converter } from './converter.js';
import { convertFile } from './convert.js';
import { texts } from './texts.js';

let converter = Converter.load();
// The JPEG and WebP converters, each loaded when the first such file arrives.
const loaded = {};
const converters = {
  jpeg: () => (loaded.jpeg ??= Converter.load('./zwp-jpeg.js')),
  webp: () => (loaded.webp ??= Converter.load('./zwp-webp.js')),
};
const idleBytes = 32 << 20;
let queue = Promise.resolve();
let newestRun = 0;
let urls = [];  // of the newest run

function urlOf(blob) {
  urls.push(URL.createObjectURL(blob));
  return urls.at(-1);
}

converter.then(
  (c) => self.postMessage({ ready: true, version: c.version, limits: { file: c.maxFileBytes, emblem: c.maxEmblemBytes } }),
  (e) => self.postMessage({ ready: false, reason: String(e) }),
);

async function work({ id, run, name, bytes, options }) {
  if (run < newestRun) return self.postMessage({ id, stale: true });
  let done;
  try {
    done = await convertFile(await converter, { name, bytes }, options, converters);
  } catch (e) {  // the module itself could not be loaded again
    console.error(e);
    done = { name, refusal: texts.damaged, failed: true };
  }
  // A module that failed unexpectedly is not trusted with the next file, and
  // one whose memory grew for a large file is replaced, so that the worker
  // keeps no more than its idle size between files.
  const spent = async (c) => {
    const used = await c.catch(() => null);
    return done.failed || !used || used.memoryBytes > idleBytes;
  };
  if (await spent(converter)) converter = Converter.load();
  for (const [kind, c] of Object.entries(loaded)) if (await spent(c)) delete loaded[kind];
  if (done.output instanceof Blob && run === newestRun) done.url = urlOf(done.output);
  // The pixels travel as they are, moved rather than copied; an emblem is
  // shown twice, as its own original and as the PNG.
  if (done.fromEmblem) done.original = { width: done.width, height: done.height, pixels: done.pixels };
  delete done.emblem;  // the output holds it
  const moved = new Set([done.pixels, done.original?.pixels, done.output].map((a) => a?.buffer).filter(Boolean));
  self.postMessage({ id, done }, [...moved]);
}

self.onmessage = ({ data }) => {
  if (data.run > newestRun) {
    for (const url of urls) URL.revokeObjectURL(url);
    urls = [];
    newestRun = data.run;
  }
  queue = queue.then(() => work(data));
};
