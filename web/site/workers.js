// The converter in its workers (started by start.js): convert(file, options,
// run) answers with the result of convertFile, or null when a newer run made
// the job stale. A worker that dies answers its open jobs with a refusal and
// takes no more; never a hang.
import { TooLarge, isEmblemName, readFile } from './read.js';
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

  // The file goes to the worker as its bytes, read here: handing a File to a
  // worker would make the browser look up the file's size and date first,
  // with the page's thread waiting.
  async convert(id, { file, options, run }, limits) {
    const answer = new Promise((resolve) => this.pending.set(id, resolve));
    let bytes;
    try {
      bytes = await readFile(file, isEmblemName(file.name) ? limits.emblem : limits.file);
    } catch (e) {
      this.pending.delete(id);
      return { name: file.name, refusal: e instanceof TooLarge ? texts.outOfMemory : texts.unreadable };
    }
    // A worker that died meanwhile has answered already.
    if (!this.dead) this.worker.postMessage({ id, run, name: file.name, bytes, options }, [bytes.buffer]);
    return answer;
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
    this.ready = first.hello.then((data) => {
      if (!data.ready) throw new Error(data.reason);
      this.limits = data.limits;
      return data.version;
    });
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
      free.convert(this.nextId++, job, this.limits).then((done) => {
        job.resolve(done);
        this.#dispatch();
      });
    }
  }
}
