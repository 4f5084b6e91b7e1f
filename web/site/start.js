// Starts the converter's first worker while the page is still being read, so
// that its module loads in parallel with the page instead of after it; once
// it is ready, one more per further core (at most four in all), so that a list
// of files converts on every core without slowing the page's start. Each
// worker's first word (ready, or why not) is kept until the page asks.
(() => {
  const start = () => {
    const worker = new Worker('worker.js', { type: 'module' });
    const hello = new Promise((resolve) => {
      worker.addEventListener('message', ({ data }) => resolve(data), { once: true });
      worker.addEventListener('error', (e) => resolve({ ready: false, reason: e.message }), { once: true });
    });
    return { worker, hello };
  };
  const count = Math.max(1, Math.min(4, navigator.hardwareConcurrency || 2));
  const first = start();
  window.zwpStarted = { first, more: first.hello.then(() => Array.from({ length: count - 1 }, start)) };
})();
