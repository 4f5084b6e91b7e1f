// The page: options, the list of files, and each file's result with its
// previews and download link. Changing an option converts the list again.
import { texts } from './texts.js';

const $ = (id) => document.getElementById(id);
const status = $('status');
const results = $('results');
let files = [];
let run = 0;  // a newer run makes an older one stop
let links = [];

// The converter in its worker (started by start.js): convert(file, options,
// run) answers with the result of convertFile, or null when a newer run made
// the job stale.
class Background {
  constructor({ worker, hello }) {
    this.worker = worker;
    this.pending = new Map();
    this.nextId = 0;
    this.ready = hello.then((data) => (data.ready ? data.version : Promise.reject(new Error(data.reason))));
    worker.addEventListener('message', ({ data }) => {
      if (!('id' in data)) return;
      this.pending.get(data.id)?.(data.stale ? null : data.done);
      this.pending.delete(data.id);
    });
    worker.addEventListener('error', () => this.#failAll());
  }

  convert(file, options, run) {
    if (this.dead) return Promise.resolve({ name: file.name, refusal: texts.damaged });
    return new Promise((resolve) => {
      const id = this.nextId++;
      this.pending.set(id, resolve);
      this.worker.postMessage({ id, run, file, options });
    });
  }

  // A worker that died answers every open job with a refusal, never a hang.
  #failAll() {
    this.dead = true;
    for (const resolve of this.pending.values()) resolve({ name: '', refusal: texts.damaged });
    this.pending.clear();
  }
}
const background = new Background(window.zwpStarted);

// The colour of an <input type="color"> ("#rrggbb") as 0x00BBGGRR.
function colourOf(hex) {
  const rgb = parseInt(hex.slice(1), 16);
  return ((rgb & 0xff) << 16) | (rgb & 0xff00) | (rgb >> 16);
}

// The options as set, or null while "Einpassen in" holds no usable number.
function options() {
  const fit = $('fit');
  const text = fit.value.trim();
  const ok = text === '' || (/^\d+$/.test(text) && +text >= 1 && +text <= 128);
  fit.setCustomValidity(ok ? '' : texts.badFit);
  if (!ok) return null;
  return { fit: text === '' ? 0 : +text, dither: $('dither').checked, background: colourOf($('background').value) };
}

function element(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined) e.textContent = text;
  return e;
}

// The picture on a canvas, `scale` times enlarged with sharp pixels, and
// captioned with its scale.
function previewOf({ width, height, pixels }, scale, className) {
  const figure = element('figure', className);
  const canvas = element('canvas');
  canvas.width = width;
  canvas.height = height;
  canvas.style.width = `${width * scale}px`;
  canvas.style.height = `${height * scale}px`;
  canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0);
  figure.append(canvas, element('figcaption', '', texts.scale(scale)));
  return figure;
}

function showResult(done) {
  const item = element('li', 'result');
  item.append(element('span', 'name', done.name));
  if (done.refusal) {
    item.classList.add('refused');
    item.append(element('p', 'refusal', done.refusal));
    if (done.tooLarge) {
      const fitButton = element('button', 'fit-to-128', texts.fitTo128);
      fitButton.type = 'button';
      fitButton.title = texts.fitHint;
      fitButton.addEventListener('click', () => {
        $('fit').value = '128';
        convertAll();
      });
      item.append(fitButton);
    }
    return item;
  }
  const url = URL.createObjectURL(done.output);
  links.push(url);
  const link = element('a', 'download', texts.download(done.outputName));
  link.href = url;
  link.download = done.outputName;
  item.dataset.ms = done.ms.toFixed(2);
  item.append(link, element('span', 'size', texts.size(done.width, done.height)));
  if (done.width && done.height) {  // an emblem of a bitmap without pixels has nothing to show
    const previews = element('div', 'previews');
    previews.append(previewOf(done, 1, 'actual'));
    const scale = Math.floor(256 / Math.max(done.width, done.height));
    if (scale >= 2) previews.append(previewOf(done, scale, 'enlarged'));
    item.append(previews);
  }
  return item;
}

async function convertAll() {
  const mine = ++run;
  const settings = options();
  if (!settings) {
    status.textContent = texts.badFit;
    delete document.body.dataset.busy;
    return;
  }
  document.body.dataset.busy = 'true';
  for (const url of links) URL.revokeObjectURL(url);
  links = [];
  results.replaceChildren();
  let refused = 0;
  const started = performance.now();
  // All jobs go to the worker at once; results are shown in the files' order.
  const jobs = files.map((file) => background.convert(file, settings, mine));
  for (const [i, job] of jobs.entries()) {
    status.textContent = texts.working(i, files.length);
    const done = await job;
    if (mine !== run || !done) return;
    done.name ||= files[i].name;
    try {
      results.append(showResult(done));
    } catch (e) {  // a result the page cannot show is refused, never left half-done
      console.error(done.name, e);
      Object.assign(done, { refusal: texts.damaged, tooLarge: false });
      results.append(showResult(done));
    }
    if (done.refusal) refused += 1;
  }
  status.textContent = texts.finished(files.length - refused, refused);
  // How long the whole list took, from the first file read to the last result shown.
  performance.measure('zwp-list', { start: started });
  document.body.dataset.converted = String(mine);
  delete document.body.dataset.busy;
}

function take(list) {
  if (!list.length) return;
  files = [...list];
  convertAll();
}

async function start() {
  status.textContent = texts.loading;
  try {
    $('version').textContent = await background.ready;
  } catch (e) {
    console.error(e);
    status.textContent = texts.moduleFailed;
    return;
  }
  performance.mark('zwp-ready');
  status.textContent = texts.ready;
  $('files').addEventListener('change', (e) => {
    take(e.target.files);
    e.target.value = '';  // choosing the same files again (changed meanwhile) converts them again
  });
  for (const id of ['dither', 'fit', 'background']) $(id).addEventListener('change', () => files.length && convertAll());
  document.addEventListener('dragover', (e) => {
    e.preventDefault();
    document.body.classList.add('dragging');
  });
  document.addEventListener('dragleave', (e) => {
    if (!e.relatedTarget) document.body.classList.remove('dragging');
  });
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    document.body.classList.remove('dragging');
    take(e.dataTransfer.files);
  });
  document.body.dataset.ready = 'true';
}

start();
