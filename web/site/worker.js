// Converts files away from the page's own thread, one after another in the
// order they come, so that the page stays responsive and draws results while
// the next file is converted. Answers { ready, version } once the module is
// loaded, then { id, done } for each { id, run, file, options }; a job of a run
// older than the newest one is answered { id, stale } without converting.
import { Converter } from './converter.js';
import { convertFile } from './convert.js';
import { texts } from './texts.js';

let converter = Converter.load();
let queue = Promise.resolve();
let newestRun = 0;

converter.then(
  (c) => self.postMessage({ ready: true, version: c.version }),
  (e) => self.postMessage({ ready: false, reason: String(e) }),
);

async function work({ id, run, file, options }) {
  if (run < newestRun) return self.postMessage({ id, stale: true });
  let done;
  try {
    done = await convertFile(await converter, file, options);
  } catch (e) {  // the module itself could not be loaded again
    console.error(e);
    done = { name: file.name, refusal: texts.damaged, failed: true };
  }
  // A module that failed unexpectedly is not trusted with the next file.
  if (done.failed) converter = Converter.load();
  const transfer = [done.pixels, done.original?.pixels].filter(Boolean).map((p) => p.buffer);
  self.postMessage({ id, done }, transfer);
}

self.onmessage = ({ data }) => {
  newestRun = Math.max(newestRun, data.run);
  queue = queue.then(() => work(data));
};
