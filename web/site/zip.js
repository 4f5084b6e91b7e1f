// A ZIP archive of finished files, stored as they are (emblems and PNGs gain
// nothing from compressing again), so that each entry is byte for byte the
// file its own download link gives. Names are UTF-8; a name that appears
// twice gets " (2)", " (3)" … before its ending.
const crcTable = new Uint32Array(256).map((_, n) => {
  let c = n;
  for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
  return c >>> 0;
});

function crc32(bytes) {
  let c = 0xffffffff;
  for (let i = 0; i < bytes.length; i++) c = crcTable[(c ^ bytes[i]) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

function uniqueNames(names) {
  const seen = new Set();
  return names.map((name) => {
    const dot = name.lastIndexOf('.');
    const [stem, ending] = dot > 0 ? [name.slice(0, dot), name.slice(dot)] : [name, ''];
    let unique = name;
    for (let n = 2; seen.has(unique.toLowerCase()); n++) unique = `${stem} (${n})${ending}`;
    seen.add(unique.toLowerCase());
    return unique;
  });
}

// What the local header and the central directory say alike of an entry,
// from `at` on: version 2.0 needed, flags (bit 11: UTF-8 names), stored, no
// time, its CRC, both sizes (the same: stored) and its name's length.
function describe(header, at, crc, size, nameLength) {
  header.setUint16(at, 20, true);
  header.setUint16(at + 2, 0x0800, true);
  header.setUint32(at + 10, crc, true);
  header.setUint32(at + 14, size, true);
  header.setUint32(at + 18, size, true);
  header.setUint16(at + 22, nameLength, true);
}

// entries: [{ name, bytes (Uint8Array) }] -> Blob of type application/zip.
export function zipOf(entries) {
  const encoder = new TextEncoder();
  const parts = [];
  const central = [];
  let offset = 0;
  const names = uniqueNames(entries.map((e) => e.name));
  entries.forEach(({ bytes }, i) => {
    const name = encoder.encode(names[i]);
    const crc = crc32(bytes);
    const local = new DataView(new ArrayBuffer(30));
    local.setUint32(0, 0x04034b50, true);
    describe(local, 4, crc, bytes.length, name.length);
    parts.push(local, name, bytes);
    const entry = new DataView(new ArrayBuffer(46));
    entry.setUint32(0, 0x02014b50, true);
    entry.setUint16(4, 20, true);  // made by version 2.0
    describe(entry, 6, crc, bytes.length, name.length);
    entry.setUint32(42, offset, true);
    central.push(entry, name);
    offset += 30 + name.length + bytes.length;
  });
  const centralSize = central.reduce((sum, part) => sum + part.byteLength, 0);
  const end = new DataView(new ArrayBuffer(22));
  end.setUint32(0, 0x06054b50, true);
  end.setUint16(8, entries.length, true);
  end.setUint16(10, entries.length, true);
  end.setUint32(12, centralSize, true);
  end.setUint32(16, offset, true);
  return new Blob([...parts, ...central, end], { type: 'application/zip' });
}
