// A ZIP archive of finished files, stored as they are (emblems and PNGs gain
// nothing from compressing again), so that each entry is byte for byte the
// file its own download link gives. Names are UTF-8 (flagged, and in a
// Unicode path field too); a name that appears twice gets " (2)", " (3)" …
// before its ending. Entries are dated with the time their file was made.
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

// An entry's time as MS-DOS keeps it, local time in two-second steps: [time, date].
function dosTime(when) {
  const d = new Date(Math.max(when, new Date(1980, 0, 1).getTime()));
  return [(d.getHours() << 11) | (d.getMinutes() << 5) | (d.getSeconds() >> 1),
    ((d.getFullYear() - 1980) << 9) | ((d.getMonth() + 1) << 5) | d.getDate()];
}

// What the local header and the central directory say alike of an entry,
// from `at` on: version 2.0 needed, flags (bit 11: UTF-8 names), stored, its
// time, its CRC, both sizes (the same: stored), its name's and extra
// fields' lengths.
function describe(header, at, { crc, size, name, extra, when }) {
  const [time, date] = dosTime(when);
  header.setUint16(at, 20, true);
  header.setUint16(at + 2, 0x0800, true);
  header.setUint16(at + 6, time, true);
  header.setUint16(at + 8, date, true);
  header.setUint32(at + 10, crc, true);
  header.setUint32(at + 14, size, true);
  header.setUint32(at + 18, size, true);
  header.setUint16(at + 22, name.length, true);
  header.setUint16(at + 24, extra.length, true);
}

// The extra fields every entry carries: the exact time in UTC seconds
// (0x5455), and the name once more as Unicode (0x7075) for unzip programs
// that pass over the UTF-8 flag.
function extraFields(name, when) {
  const extra = new DataView(new ArrayBuffer(9 + 9 + name.length));
  extra.setUint16(0, 0x5455, true);
  extra.setUint16(2, 5, true);
  extra.setUint8(4, 1);  // the modification time follows
  extra.setUint32(5, Math.floor(when / 1000), true);
  extra.setUint16(9, 0x7075, true);
  extra.setUint16(11, 5 + name.length, true);
  extra.setUint8(13, 1);
  extra.setUint32(14, crc32(name), true);
  const bytes = new Uint8Array(extra.buffer);
  bytes.set(name, 18);
  return bytes;
}

// entries: [{ name, bytes (Uint8Array), when (ms since 1970, default now) }]
// -> Blob of type application/zip.
export function zipOf(entries) {
  const encoder = new TextEncoder();
  const parts = [];
  const central = [];
  let offset = 0;
  const names = uniqueNames(entries.map((e) => e.name));
  entries.forEach(({ bytes, when = Date.now() }, i) => {
    const name = encoder.encode(names[i]);
    const entry = { crc: crc32(bytes), size: bytes.length, name, extra: extraFields(name, when), when };
    const local = new DataView(new ArrayBuffer(30));
    local.setUint32(0, 0x04034b50, true);
    describe(local, 4, entry);
    parts.push(local, name, entry.extra, bytes);
    const head = new DataView(new ArrayBuffer(46));
    head.setUint32(0, 0x02014b50, true);
    head.setUint16(4, (3 << 8) | 20, true);  // made on Unix by version 2.0: names are taken as they are
    describe(head, 6, entry);
    head.setUint32(38, 0o100644 * 0x10000, true);  // a plain file, rw-r--r--
    head.setUint32(42, offset, true);
    central.push(head, name, entry.extra);
    offset += 30 + name.length + entry.extra.length + bytes.length;
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
