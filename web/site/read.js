// Reading a chosen file on the page, to hand its bytes to a worker. Kept
// apart from the converter so that the page's thread never loads it.
export const isEmblemName = (name) => /\.zwp$/i.test(name);

// A file larger than the page may hold: its bytes and the module's copy of
// them, beside the picture, must stay within one tab's fair share.
export class TooLarge extends Error {}
export const pageFileLimit = 96 << 20;

// The part of a file the converter reads: the whole file up to `limit`
// bytes; TooLarge beyond the page's own limit. A small file (nearly every picture) comes in one piece of its
// stream, which asks the browser nothing else; a slice, or the file's size,
// would each cost the calling thread a wait for the browser, a wait that
// only matters beside a small file's quick conversion. The page reads each
// file while the workers convert the ones before it.
export async function readFile(file, limit) {
  const reader = file.stream().getReader();
  try {
    const first = await reader.read();
    if (first.done) return new Uint8Array(0);
    if (first.value.length <= limit && (await reader.read()).done) return first.value;
  } finally {
    reader.cancel().catch(() => {});
  }
  if (file.size > pageFileLimit) throw new TooLarge();
  return new Uint8Array(await file.slice(0, limit).arrayBuffer());
}
