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
    // signature, version 2.0, flags (bit 11: UTF-8 names), stored, no time, crc, sizes, name length
    local.setUint32(0, 0x04034b50, true);
    local.setUint16(4, 20, true);
    local.setUint16(6, 0x0800, true);
    local.setUint32(14, crc, true);
    local.setUint32(18, bytes.length, true);
    local.setUint32(22, bytes.length, true);
    local.setUint16(26, name.length, true);
    parts.push(local, name, bytes);
    const entry = new DataView(new ArrayBuffer(46));
    entry.setUint32(0, 0x02014b50, true);
    entry.setUint16(4, 20, true);
    entry.setUint16(6, 20, true);
    entry.setUint16(8, 0x0800, true);
    entry.setUint32(16, crc, true);
    entry.setUint32(20, bytes.length, true);
    entry.setUint32(24, bytes.length, true);
    entry.setUint16(28, name.length, true);
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
