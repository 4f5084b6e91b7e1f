// The converter in its workers (started by start.js): convert(file, options,
// run) answers with the result of convertFile, or null when a newer run made
// the job stale. A worker that dies answers its open jobs with a refusal and
// takes no more; never a hang.
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
  // started: { first, more } from start.js.
  constructor({ first, more }) {
    this.all = [];
    this.queue = [];
    this.nextId = 0;
    this.newestRun = 0;
    this.#add(first);
    this.ready = first.hello.then((data) => (data.ready ? data.version : Promise.reject(new Error(data.reason))));
    more.then((started) => started.forEach((s) => this.#add(s)));
  }

  // Jobs wait here and go to a worker as it has room, two at a time each, so
  // that every worker stays busy and a worker that joins late takes its share.
  convert(file, options, run) {
    this.newestRun = Math.max(this.newestRun, run);
    return new Promise((resolve) => {
      this.queue.push({ file, options, run, resolve });
      this.#dispatch();
    });
  }

  #add(started) {
    this.all.push(new Background(started));
    this.#dispatch();
  }

  #dispatch() {
    const alive = this.all.filter((b) => !b.dead);
    while (this.queue.length) {
      const job = this.queue[0];
      if (job.run < this.newestRun) {  // a newer run has begun: not worth converting
        this.queue.shift().resolve(null);
        continue;
      }
      if (!alive.length) {
        this.queue.shift().resolve({ name: job.file.name, refusal: texts.damaged });
        continue;
      }
      const free = alive.find((b) => b.pending.size < 2);
      if (!free) return;
      this.queue.shift();
      free.convert(this.nextId++, job.file, job.options, job.run).then((done) => {
        job.resolve(done);
        this.#dispatch();
      });
    }
  }
}
