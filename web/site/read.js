// Reading a chosen file on the page, to hand its bytes to a worker. Kept
// apart from the converter so that the page's thread never loads it.
export const isEmblemName = (name) => /\.zwp$/i.test(name);

// The part of a file the converter reads: the whole file up to `limit`
// bytes. It is read as a stream because that asks the browser nothing else:
// a slice, or the file's size, would each cost the calling thread a wait for
// the browser. The page reads each file while the workers convert the ones
// before it.
export async function readFile(file, limit) {
  const reader = file.stream().getReader();
  const chunks = [];
  let size = 0;
  try {
    while (size < limit) {
      const { done, value } = await reader.read();
      if (done) break;
      chunks.push(value);
      size += value.length;
    }
  } finally {
    reader.cancel().catch(() => {});
  }
  if (chunks.length === 1 && size <= limit) return chunks[0];
  const bytes = new Uint8Array(Math.min(size, limit));
  let at = 0;
  for (const chunk of chunks) {
    bytes.set(chunk.subarray(0, bytes.length - at), at);
    at += Math.min(chunk.length, bytes.length - at);
  }
  return bytes;
}
