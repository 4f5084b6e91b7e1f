// The converter in its workers (started by start.js): convert(file, options,
// run) hands the file to the least busy worker and answers with the result
// of convertFile, or null when a newer run made the job stale. A worker that
// dies answers its open jobs with a refusal and takes no more; never a hang.
import { texts } from './texts.js';

class Background {
  constructor({ worker, hello }) {
    this.worker = worker;
    this.pending = new Map();
    this.hello = hello;
    worker.addEventListener('message', ({ data }) => {
      if (!('id' in data)) return;
      this.pending.get(data.id)?.(data.stale ? null : data.done);
      this.pending.delete(data.id);
    });
    worker.addEventListener('error', () => {
      this.dead = true;
      for (const resolve of this.pending.values()) resolve({ name: '', refusal: texts.damaged });
      this.pending.clear();
    });
  }

  convert(id, file, options, run) {
    return new Promise((resolve) => {
      this.pending.set(id, resolve);
      this.worker.postMessage({ id, run, file, options });
    });
  }
}

export class Workers {
  constructor(started) {
    this.all = started.map((s) => new Background(s));
    this.nextId = 0;
    // Ready with the first module loaded; the version it reports.
    this.ready = Promise.any(this.all.map((b) => b.hello.then((data) =>
      (data.ready ? data.version : Promise.reject(new Error(data.reason)))))).catch((e) => {
      throw e.errors?.[0] ?? e;
    });
  }

  convert(file, options, run) {
    const alive = this.all.filter((b) => !b.dead);
    if (!alive.length) return Promise.resolve({ name: file.name, refusal: texts.damaged });
    const idlest = alive.reduce((a, b) => (b.pending.size < a.pending.size ? b : a));
    return idlest.convert(this.nextId++, file, options, run);
  }
}
