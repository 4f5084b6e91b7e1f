// Starts the converter's worker while the page is still being read, so that
// its module loads in parallel with the page instead of after it. The
// worker's first word (ready, or why not) is kept until the page asks.
window.zwpStarted = (() => {
  const worker = new Worker('worker.js', { type: 'module' });
  const hello = new Promise((resolve) => {
    worker.addEventListener('message', ({ data }) => resolve(data), { once: true });
    worker.addEventListener('error', (e) => resolve({ ready: false, reason: e.message }), { once: true });
  });
  return { worker, hello };
})();
