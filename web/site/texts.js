// Every text the page shows, in one place.
export const texts = {
  loading: 'Wird geladen …',
  ready: 'Bereit. Bilder wählen oder hierher ziehen.',
  moduleFailed: 'Der Konverter konnte nicht geladen werden. Bitte die Seite neu laden.',
  working: (done, total) => `Wandle um … ${done}/${total}`,
  finished: (done, refused) => (refused ? `${done} umgewandelt, ${refused} abgelehnt.` : `${done} umgewandelt.`),
  size: (width, height) => `${width} × ${height} Pixel`,
  scale: (factor) => (factor === 1 ? 'Originalgröße' : `${factor}-fach vergrößert`),
  download: (name) => `${name} herunterladen`,
  notAPicture: 'Ungültiges Bild: kein Bild in einem bekannten Format',
  damaged: 'Ungültiges Bild: Bild ist beschädigt oder abgeschnitten',
  outOfMemory: 'Ungültiges Bild: zu groß für den Speicher dieser Seite',
  fitHint: '„Einpassen in“ verkleinert größere Bilder.',
  fitTo128: 'Auf 128 × 128 einpassen',
  badFit: '„Einpassen in“ braucht eine ganze Zahl von 1 bis 128 (leer: aus).',
};
