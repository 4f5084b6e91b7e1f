// The page: options, the list of files, and each file's result with its
// previews and download link. Changing an option converts the list again.
import { Converter } from './converter.js';
import { convertFile } from './convert.js';
import { texts } from './texts.js';

const $ = (id) => document.getElementById(id);
const status = $('status');
const results = $('results');
let files = [];
let run = 0;  // a newer run makes an older one stop
let links = [];
let converter = null;

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
  const previews = element('div', 'previews');
  previews.append(previewOf(done, 1, 'actual'));
  const scale = Math.floor(256 / Math.max(done.width, done.height));
  if (scale >= 2) previews.append(previewOf(done, scale, 'enlarged'));
  item.append(link, element('span', 'size', texts.size(done.width, done.height)), previews);
  return item;
}

async function convertAll() {
  const mine = ++run;
  const settings = options();
  if (!settings) {
    status.textContent = texts.badFit;
    return;
  }
  for (const url of links) URL.revokeObjectURL(url);
  links = [];
  results.replaceChildren();
  let refused = 0;
  for (const [i, file] of files.entries()) {
    status.textContent = texts.working(i, files.length);
    const done = await convertFile(converter, file, settings);
    if (mine !== run) return;
    if (done.refusal) refused += 1;
    results.append(showResult(done));
  }
  status.textContent = texts.finished(files.length - refused, refused);
  document.body.dataset.converted = String(mine);
}

function take(list) {
  if (!list.length) return;
  files = [...list];
  convertAll();
}

async function start() {
  status.textContent = texts.loading;
  try {
    converter = await Converter.load();
  } catch (e) {
    console.error(e);
    status.textContent = texts.moduleFailed;
    return;
  }
  performance.mark('zwp-ready');
  $('version').textContent = converter.version;
  status.textContent = texts.ready;
  $('files').addEventListener('change', (e) => take(e.target.files));
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
