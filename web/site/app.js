// The page: options, the list of files, and each file's result with the
// original beside it and its download link. Changing an option converts the
// list again. Files come from the chooser, a drop, the clipboard, or the
// system when the installed app opens them.
import { texts } from './texts.js';
import { Workers } from './workers.js';
import { zipOf } from './zip.js';

const $ = (id) => document.getElementById(id);
const status = $('status');
const results = $('results');
const downloadAll = $('download-all');
const workers = new Workers(window.zwpStarted);
let files = [];
let run = 0;  // a newer run makes an older one stop
let zipUrl = null;  // of the last "Alle herunterladen", let go when the next run starts
let outputs = [];  // { name, output, when } of every finished file, for "Alle herunterladen"
let converting = Promise.resolve();  // the newest run, until its last result is shown
let originalUrls = [];  // of the shown originals, let go when the next run starts
// Pictures go on screen only once their card comes near it, so that a long
// list costs the page nothing for the cards nobody looks at: each waiting
// picture's element maps to what puts its picture in.
const waiting = new Map();
const nearScreen = new IntersectionObserver((entries) => {
  for (const { target, isIntersecting } of entries) {
    if (!isIntersecting) continue;
    nearScreen.unobserve(target);
    try {
      waiting.get(target)();
    } catch (e) {  // no memory for the picture: the card stays without it
      console.error(e);
    }
    waiting.delete(target);
  }
}, { rootMargin: '100%' });

function showWhenNear(picture, show) {
  waiting.set(picture, show);
  nearScreen.observe(picture);
}

const base64Digits = new TextEncoder().encode('ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/');

// An emblem's download address: its bytes (at most 33 KB) as a data: address,
// written straight into one buffer. It costs the browser nothing to keep,
// where an object URL would be one more call to it per file.
function dataUrlOf(bytes) {
  const digits = new Uint8Array(Math.ceil(bytes.length / 3) * 4).fill(61);  // '='
  for (let i = 0, o = 0; i < bytes.length; i += 3, o += 4) {
    const n = (bytes[i] << 16) | ((bytes[i + 1] ?? 0) << 8) | (bytes[i + 2] ?? 0);
    const count = Math.min(4, bytes.length - i + 1);
    for (let k = 0; k < count; k++) digits[o + k] = base64Digits[(n >> (18 - 6 * k)) & 63];
  }
  return `data:application/octet-stream;base64,${new TextDecoder().decode(digits)}`;
}

let refocus = -1;  // the card to take the focus once it is shown again

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

// A figure showing `picture` (a canvas or image) at the result's size times
// the zoom, with sharp pixels.
function figureOf(picture, { width, height }, caption) {
  const figure = element('figure');
  picture.classList.add('pic');
  picture.style.setProperty('--w', width);
  picture.style.setProperty('--h', height);
  figure.append(picture, element('figcaption', '', caption));
  return figure;
}

function canvasOf({ width, height, pixels }) {
  const canvas = element('canvas');
  canvas.width = width;
  canvas.height = height;
  showWhenNear(canvas, () => canvas.getContext('2d').putImageData(new ImageData(pixels, width, height), 0, 0));
  return canvas;
}

// The original beside the result at the same scale: a picture the browser
// reads is shown by the browser; others (TGA, and an emblem, which is its
// own original) by the pixels the converter read.
function originalOf(done, file) {
  if (done.original) return figureOf(canvasOf(done.original), done, texts.original);
  const image = element('img');
  image.alt = texts.originalOf(done.name);
  image.decoding = 'async';
  showWhenNear(image, () => {
    originalUrls.push(URL.createObjectURL(file));
    image.src = originalUrls.at(-1);
  });
  return figureOf(image, done, texts.original);
}

function fitButton(index) {
  const button = element('button', 'fit-to-128', texts.fitTo128);
  button.type = 'button';
  button.title = texts.fitHint;
  button.addEventListener('click', () => {
    $('fit').value = '128';
    refocus = index;
    convertList();
  });
  return button;
}

function showResult(done, index, file) {
  const item = element('li', 'result');
  item.tabIndex = -1;  // takes the focus back after its own button converted the list again
  item.append(element('span', 'name', done.name));
  if (done.refusal) {
    item.classList.add('refused');
    item.append(element('p', 'refusal', done.refusal));
    if (done.tooLarge) item.append(fitButton(index));
    return item;
  }
  const link = element('a', 'download', texts.download(done.outputName));
  link.href = done.url ?? dataUrlOf(done.output);
  link.download = done.outputName;
  outputs.push({ name: done.outputName, output: done.output, when: Date.now() });
  item.dataset.ms = done.ms.toFixed(2);
  item.append(link, element('span', 'size', texts.size(done.width, done.height)));
  if (done.pixels && done.width && done.height) {  // an emblem of a bitmap without pixels has nothing to show
    const previews = element('div', 'previews');
    previews.append(originalOf(done, file), figureOf(canvasOf(done), done, done.fromEmblem ? texts.asPng : texts.emblem));
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
  for (const url of [zipUrl, ...originalUrls]) if (url) URL.revokeObjectURL(url);
  zipUrl = null;
  originalUrls = [];
  nearScreen.disconnect();
  waiting.clear();
  outputs = [];
  // The button stays while the list converts again (a click on it may be
  // what ended the typing of an option); it then waits for the new results.
  // The list keeps its height until then, so that nothing on the page moves
  // under the pointer.
  results.style.minHeight = `${results.offsetHeight}px`;
  results.replaceChildren();
  let refused = 0;
  const started = performance.now();
  // All jobs go to the workers at once; results are shown in the files' order.
  const jobs = files.map((file) => workers.convert(file, settings, mine));
  for (const [i, job] of jobs.entries()) {
    status.textContent = texts.working(i, files.length);
    const done = await job;
    if (mine !== run || !done) return;
    done.name ||= files[i].name;
    let item;
    try {
      item = showResult(done, i, files[i]);
    } catch (e) {  // a result the page cannot show is refused, never left half-done
      console.error(done.name, e);
      Object.assign(done, { refusal: texts.damaged, tooLarge: false });
      item = showResult(done, i, files[i]);
    }
    results.append(item);
    if (i === refocus) item.focus();
    if (done.refusal) refused += 1;
  }
  refocus = -1;
  results.style.minHeight = '';
  status.textContent = texts.finished(files.length - refused, refused);
  downloadAll.hidden = outputs.length < 2;
  // How long the whole list took, from the first file read to the last result shown.
  performance.measure('zwp-list', { start: started });
  document.body.dataset.converted = String(mine);
  delete document.body.dataset.busy;
}

// Converts the list again (or anew); what the newest run does is `converting`.
function convertList() {
  converting = convertAll();
}

function take(list) {
  if (!list.length) return;
  files = [...list];
  convertList();
}

// Every result in one ZIP, each entry the very bytes of its own download.
// A click that changed an option on its way (the fit field loses the focus)
// has started a new run: the ZIP holds that run's results, once they are all
// there, and there is none while nothing was converted.
async function downloadEverything() {
  for (let seen; seen !== converting;) {
    seen = converting;
    await seen;
  }
  if (!outputs.length) return;
  const entries = await Promise.all(outputs.map(async ({ name, output, when }) => ({
    name, when, bytes: output instanceof Blob ? new Uint8Array(await output.arrayBuffer()) : output,
  })));
  const link = element('a');
  if (zipUrl) URL.revokeObjectURL(zipUrl);
  zipUrl = URL.createObjectURL(zipOf(entries));
  link.href = zipUrl;
  link.download = texts.zipName;
  link.click();
}

function showZoom() {
  results.style.setProperty('--zoom', $('zoom').value);
}

function listen() {
  $('files').addEventListener('change', (e) => {
    take(e.target.files);
    e.target.value = '';  // choosing the same files again (changed meanwhile) converts them again
  });
  for (const id of ['dither', 'fit', 'background']) $(id).addEventListener('change', () => files.length && convertList());
  $('zoom').addEventListener('change', showZoom);
  downloadAll.addEventListener('click', downloadEverything);
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
  // A picture pasted from the clipboard (Strg+V) converts like a chosen one;
  // pasted text stays where it goes.
  document.addEventListener('paste', (e) => {
    const pasted = [...(e.clipboardData?.files ?? [])];
    if (!pasted.length) return;
    e.preventDefault();
    take(pasted);
  });
  // Files the system opens with the installed app.
  window.launchQueue?.setConsumer(async ({ files: handles }) => {
    if (handles?.length) take(await Promise.all(handles.map((handle) => handle.getFile())));
  });
}

async function start() {
  status.textContent = texts.loading;
  showZoom();
  try {
    $('version').textContent = await workers.ready;
  } catch (e) {
    console.error(e);
    status.textContent = texts.moduleFailed;
    return;
  }
  performance.mark('zwp-ready');
  status.textContent = texts.ready;
  listen();
  // The offline copy; the page works without it (e.g. from a file: address).
  keepOffline().catch((e) => console.warn('offline copy unavailable:', e));
  document.body.dataset.ready = 'true';
}

// Registers the offline copy and offers a newer build once its worker has
// every file: "Neu laden" lets it take over and reloads the page with it.
// Without the click, the next visit after every page of this build is
// closed gets the new build.
async function keepOffline() {
  const sw = navigator.serviceWorker;
  if (!sw) return;
  const hadCopy = Boolean(sw.controller);
  const registration = await sw.register('sw.js', { updateViaCache: 'none' });
  const offer = (worker) => {
    $('update').hidden = false;
    $('update-now').onclick = () => worker.postMessage('take-over');
  };
  const whenInstalled = (worker) => worker?.addEventListener('statechange', () => {
    if (worker.state === 'installed' && sw.controller) offer(worker);
  });
  if (registration.waiting && sw.controller) offer(registration.waiting);
  whenInstalled(registration.installing);
  registration.addEventListener('updatefound', () => whenInstalled(registration.installing));
  sw.addEventListener('controllerchange', () => hadCopy && window.location.reload());
  // A page left open for long asks again whenever it is looked at.
  document.addEventListener('visibilitychange', () => document.hidden || registration.update().catch(() => {}));
}

start();
