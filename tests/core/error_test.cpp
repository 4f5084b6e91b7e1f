#include "core/error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace zwp {
namespace {

TEST(FileError, MapsSystemFailuresToNumbersAndNamesTheFile) {
  struct Case {
    int errnoValue;
    FileAccess access;
    int number;
    const char* text;
  };
  const Case cases[] = {
      {ENOENT, FileAccess::Read, err::FileNotFound, "Datei nicht gefunden"},
      {ENOENT, FileAccess::Write, err::PathNotFound, "Pfad nicht gefunden"},
      {ENOTDIR, FileAccess::Write, err::PathNotFound, "kein Verzeichnis"},
      {ENOSPC, FileAccess::Write, err::DiskFull, "Datenträger voll"},
      {EDQUOT, FileAccess::Write, err::DiskFull, "Datenträger voll"},
      {EACCES, FileAccess::Read, err::PathFileAccess, "keine Berechtigung"},
      {EISDIR, FileAccess::Write, err::PathFileAccess, "ist ein Verzeichnis"},
      {EROFS, FileAccess::Write, err::PathFileAccess, "schreibgeschützt"},
  };
  for (const Case& c : cases) {
    const Error e = fileError(c.errnoValue, "/tmp/wappen.zwp", c.access);
    EXPECT_EQ(e.number(), c.number) << c.errnoValue;
    EXPECT_NE(e.description().find(c.text), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("/tmp/wappen.zwp"), std::string::npos) << e.description();
  }
}

TEST(Error, NumberAloneCarriesItsGermanText) {
  EXPECT_EQ(Error(err::Overflow).description(), "Überlauf");
  EXPECT_EQ(Error(err::DialogCancelled).number(), 32755);
  EXPECT_EQ(invalidPicture("kaputt").number(), err::InvalidPicture);
  EXPECT_EQ(invalidPicture("kaputt").description(), "Ungültiges Bild: kaputt");
}

}  // namespace
}  // namespace zwp
