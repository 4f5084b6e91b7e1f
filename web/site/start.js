// Starts the converter's workers while the page is still being read, so that
// their modules load in parallel with the page instead of after it: one per
// core (at most four), so that a list of files converts on every core. Each
// worker's first word (ready, or why not) is kept until the page asks.
window.zwpStarted = Array.from({ length: Math.max(1, Math.min(4, navigator.hardwareConcurrency || 2)) }, () => {
  const worker = new Worker('worker.js', { type: 'module' });
  const hello = new Promise((resolve) => {
    worker.addEventListener('message', ({ data }) => resolve(data), { once: true });
    worker.addEventListener('error', (e) => resolve({ ready: false, reason: e.message }), { once: true });
  });
  return { worker, hello };
});
