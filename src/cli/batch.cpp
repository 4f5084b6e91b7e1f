#include "cli/batch.h"

#include <sys/stat.h>

#include <cctype>
#include <ostream>

#include "bitmap/bitmap_probe.h"
#include "bitmap/bmp_writer.h"
#include "codec/emblem_file.h"
#include "convert/load.h"
#include "core/error.h"

namespace zwp::cli {

namespace {

constexpr const char* kProgram = "zwpconv";
constexpr const char* kEmblemKind = "Zorbel Wappen";
// More files than this get a progress line when it goes to a terminal.
constexpr size_t kProgressFrom = 3;

const char* const kHelp =
    "Aufruf: zwpconv [OPTIONEN] DATEI...\n"
    "Wandelt Windows-Bitmaps (.bmp) in Zorbel-Wappen (.zwp) um und Wappen zurück in\n"
    "24-Bit-Bitmaps. Die Richtung folgt der Dateiendung (groß oder klein geschrieben);\n"
    "das Ergebnis liegt neben der Eingabe und trägt die andere Endung.\n"
    "\n"
    "Optionen:\n"
    "  -o, --output VERZ   Ergebnisse in das Verzeichnis VERZ schreiben\n"
    "      --to zwp|bmp    Zielformat erzwingen, statt es aus der Endung zu nehmen\n"
    "  -f, --force         vorhandene Zieldateien ersetzen (sonst werden sie übersprungen)\n"
    "      --info          nur Breite, Höhe und Art jeder Datei anzeigen\n"
    "  -h, --help          diese Hilfe anzeigen\n"
    "      --version       Versionsnummer anzeigen\n"
    "\n"
    "Bitmaps müssen 1, 4, 8, 16 oder 24 Bit pro Pixel haben und dürfen höchstens\n"
    "128 × 128 Pixel groß sein. Dateien werden erst ersetzt, wenn sie vollständig\n"
    "geschrieben sind.\n"
    "\n"
    "Rückgabewert: 0, wenn jede Datei umgewandelt wurde; 1, wenn mindestens eine\n"
    "abgelehnt, übersprungen oder nicht geschrieben wurde; 2 bei falschem Aufruf.\n";

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string extensionOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return lower(path.substr(dot));
}

std::string fileNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stemOf(const std::string& path) {
  const std::string name = fileNameOf(path);
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

std::string directoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {}, sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

class Batch {
 public:
  Batch(const Options& o, std::ostream& out, std::ostream& err) : o_(o), out_(out), err_(err) {}

  // Converts or describes one file; false when it failed, was refused or skipped.
  bool handle(const std::string& input) {
    try {
      const Target target = targetFor(input);
      if (target == Target::ByExtension) return fail(input, "unbekannte Endung, Richtung mit --to wählen");
      return o_.info ? describe(input, target) : convert(input, target);
    } catch (const Error& e) {
      return fail(input, e.description());
    } catch (const std::exception& e) {
      return fail(input, e.what());
    }
  }

 private:
  Target targetFor(const std::string& input) const {
    if (o_.target != Target::ByExtension) return o_.target;
    const std::string ext = extensionOf(input);
    if (ext == ".bmp") return Target::Emblem;
    if (ext == ".zwp") return Target::Bitmap;
    return Target::ByExtension;
  }

  bool fail(const std::string& input, const std::string& why) {
    err_ << kProgram << ": " << input << ": " << why << '\n';
    return false;
  }

  bool describe(const std::string& input, Target target) {
    if (target == Target::Bitmap) {
      Refusal why;
      const auto emblem = loadEmblemForPreview(input, &why);
      if (!emblem) return fail(input, refusalText(why));
      out_ << input << ": " << emblem->header.Width << " x " << emblem->header.Height << ", " << kEmblemKind << '\n';
      return true;
    }
    if (!IsBitmap(input)) return fail(input, refusalText(Refusal::NotBitmap));
    int32_t width = 0, height = 0;
    int16_t bits = 0;
    ReadBitmapInfo(input, width, height, bits);
    out_ << input << ": " << width << " x " << (height < 0 ? -static_cast<int64_t>(height) : height) << ", "
         << bitmapKindFor(bits) << '\n';
    return true;
  }

  bool convert(const std::string& input, Target target) {
    const std::string output = (o_.outputDir.empty() ? directoryOf(input) : o_.outputDir + "/") + stemOf(input) +
                               (target == Target::Emblem ? ".zwp" : ".bmp");
    if (sameFile(input, output)) return fail(input, "Ziel wäre die Eingabedatei selbst");
    if (!o_.force && exists(output)) {
      return fail(input, "übersprungen, " + output + " existiert bereits (mit -f ersetzen)");
    }
    Refusal why;
    if (target == Target::Emblem) {
      const auto bitmap = loadBitmapForPreview(input, &why);
      if (!bitmap) return fail(input, "abgelehnt: " + refusalText(why));
      writeEmblemFile(output, bitmap->picture, bitmap->width, bitmap->height);
    } else {
      const auto emblem = loadEmblemForPreview(input, &why);
      if (!emblem) return fail(input, "abgelehnt: " + refusalText(why));
      writeBmp24File(output, emblem->picture);
    }
    out_ << input << " -> " << output << '\n';
    return true;
  }

  const Options& o_;
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace

namespace {
bool setTarget(Options& o, const std::string& to, std::string& error) {
  if (lower(to) == "zwp") {
    o.target = Target::Emblem;
  } else if (lower(to) == "bmp") {
    o.target = Target::Bitmap;
  } else {
    error = "--to erwartet zwp oder bmp, nicht \"" + to + "\"";
    return false;
  }
  return true;
}
}  // namespace

std::optional<Options> parseArguments(const std::vector<std::string>& args, std::string& error) {
  Options o;
  bool onlyFiles = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    // The value of an option given as a separate argument.
    auto next = [&](const char* name) -> const std::string* {
      if (i + 1 < args.size()) return &args[++i];
      error = std::string("Option ") + name + " braucht einen Wert";
      return nullptr;
    };
    if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
      o.files.push_back(a);
    } else if (a == "--") {
      onlyFiles = true;
    } else if (a == "-h" || a == "--help") {
      o.help = true;
    } else if (a == "--version") {
      o.version = true;
    } else if (a == "-f" || a == "--force") {
      o.force = true;
    } else if (a == "--info") {
      o.info = true;
    } else if (a == "-o" || a == "--output") {
      const std::string* dir = next("--output");
      if (!dir) return std::nullopt;
      o.outputDir = *dir;
    } else if (a.starts_with("--output=")) {
      o.outputDir = a.substr(9);
    } else if (a.starts_with("-o")) {
      o.outputDir = a.substr(2);
    } else if (a == "--to") {
      const std::string* to = next("--to");
      if (!to || !setTarget(o, *to, error)) return std::nullopt;
    } else if (a.starts_with("--to=")) {
      if (!setTarget(o, a.substr(5), error)) return std::nullopt;
    } else {
      error = "unbekannte Option " + a;
      return std::nullopt;
    }
  }
  if (o.help || o.version) return o;
  if (o.files.empty()) {
    error = "keine Datei angegeben";
    return std::nullopt;
  }
  if (!o.outputDir.empty() && !isDirectory(o.outputDir)) {
    error = "Ausgabeverzeichnis " + o.outputDir + " gibt es nicht";
    return std::nullopt;
  }
  return o;
}

int run(const Options& options, std::ostream& out, std::ostream& err, bool progress) {
  Batch batch(options, out, err);
  const size_t total = options.files.size();
  const bool showProgress = progress && total > kProgressFrom;
  size_t failed = 0;
  for (size_t i = 0; i < total; ++i) {
    if (showProgress) err << '\r' << (i + 1) << '/' << total << std::flush;
    if (!batch.handle(options.files[i])) ++failed;
  }
  if (showProgress) err << '\n';
  return failed == 0 ? kAllConverted : kSomeFailed;
}

int main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  std::string error;
  const auto options = parseArguments(args, error);
  if (!options) {
    err << kProgram << ": " << error << "\nAufruf: zwpconv [OPTIONEN] DATEI... (mehr mit --help)\n";
    return kBadUsage;
  }
  if (options->help) {
    out << kHelp;
    return kAllConverted;
  }
  if (options->version) {
    out << kProgram << ' ' << ZWP_VERSION << '\n';
    return kAllConverted;
  }
  return run(*options, out, err, errIsTerminal);
}

}  // namespace zwp::cli
