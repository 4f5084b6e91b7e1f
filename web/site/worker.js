// Converts files away from the page's own thread, one after another in the
// order they come, so that the page stays responsive and draws results while
// the next file is converted. Answers { ready, version } once the module is
// loaded, then { id, done } for each { id, run, file, options }; a job of a run
// older than the newest one is answered { id, stale } without converting.
// The worker also makes the addresses the page shows a result by (`url` of
// the output, `originalUrl` of a file the browser shows itself), so that the
// page's own thread is spared them; they are let go once a newer run begins.
import { Converter } from './converter.js';
import { convertFile, readFile } from './convert.js';
import { texts } from './texts.js';

let converter = Converter.load();
let queue = Promise.resolve();
let newestRun = 0;
let urls = [];  // of the newest run

function urlOf(blob) {
  urls.push(URL.createObjectURL(blob));
  return urls.at(-1);
}

converter.then(
  (c) => self.postMessage({ ready: true, version: c.version }),
  (e) => self.postMessage({ ready: false, reason: String(e) }),
);

async function work({ id, run, file, options }, bytes) {
  if (run < newestRun) return self.postMessage({ id, stale: true });
  let done;
  try {
    done = await convertFile(await converter, file, options, bytes);
  } catch (e) {  // the module itself could not be loaded again
    console.error(e);
    done = { name: file.name, refusal: texts.damaged, failed: true };
  }
  // A module that failed unexpectedly is not trusted with the next file.
  if (done.failed) converter = Converter.load();
  if (done.output && run === newestRun) {
    done.url = urlOf(done.output);
    if (!done.fromEmblem && !done.original) done.originalUrl = urlOf(file);
  }
  // The pictures travel as bitmaps the page puts on screen as they are; an
  // emblem is shown twice, as its own original and as the PNG.
  if (done.fromEmblem) done.original = { width: done.width, height: done.height, pixels: done.pixels };
  const pictures = [done, done.original].filter((p) => p?.pixels && p.width && p.height);
  try {
    for (const p of pictures) p.bitmap = await createImageBitmap(new ImageData(p.pixels, p.width, p.height));
  } catch (e) {  // no memory for the bitmaps: the result stays without pictures
    console.error(e);
    for (const p of pictures.splice(0)) delete p.bitmap;
  }
  for (const p of [done, done.original]) delete p?.pixels;
  delete done.emblem;  // the output holds it
  self.postMessage({ id, done }, pictures.map((p) => p.bitmap));
}

self.onmessage = ({ data }) => {
  if (data.run > newestRun) {
    for (const url of urls) URL.revokeObjectURL(url);
    urls = [];
    newestRun = data.run;
  }
  // The file is read while the jobs before it convert.
  const bytes = converter.then((c) => readFile(c, data.file));
  bytes.catch(() => {});  // a file that cannot be read is refused when its turn comes
  queue = queue.then(() => work(data, bytes));
};
