#include "cli/batch.h"

#include "cli/convert_jobs.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "bitmap/bitmap_probe.h"
#include "bitmap/bmp_reader.h"
#include "codec/emblem_file.h"
#include "convert/load.h"
#include "core/error.h"
#include "core/version.h"

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
    "128 × 128 Pixel groß sein. Jede Datei erscheint erst, wenn sie vollständig\n"
    "geschrieben ist. Eingaben und Ergebnisse desselben Aufrufs werden nie\n"
    "überschrieben, auch nicht mit -f.\n"
    "\n"
    "Rückgabewert: 0, wenn jede Datei umgewandelt wurde; 1, wenn mindestens eine\n"
    "abgelehnt, übersprungen oder nicht geschrieben wurde; 2 bei falschem Aufruf.\n";

// Results that cannot be written are a failure like any other.
bool flushed(std::ostream& out, std::ostream& err) {
  out.flush();
  if (out) return true;
  err << kProgram << ": Ausgabe konnte nicht geschrieben werden\n";
  return false;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool fail(std::ostream& err, const std::string& input, const std::string& why) {
  err << kProgram << ": " << input << ": " << why << '\n';
  return false;
}

// --info: the size and kind from the header alone, nothing converted.
bool describe(const Job& job, std::ostream& out, std::ostream& err) {
  if (job.target == Target::ByExtension) return fail(err, job.input, job.skip);
  try {
    if (job.target == Target::Bitmap) {
      const std::vector<uint8_t> bytes = readFilePrefix(job.input, kEmblemHeaderSize);
      MemoryReader head(bytes);
      EmblemHeader header;
      ReadEmblemHeader(head, header);
      if (!emblemHeaderUsable(header)) return fail(err, job.input, refusalText(Refusal::UnusableEmblem));
      out << job.input << ": " << header.Width << " x " << header.Height << ", " << kEmblemKind << '\n';
      return true;
    }
    const std::vector<uint8_t> bytes = readFilePrefix(job.input, kMaxBmpFileBytes);
    if (!probeBitmap(bytes).isBitmap) return fail(err, job.input, refusalText(Refusal::NotBitmap));
    const BitmapDescription d = describeBitmap(bytes);
    out << job.input << ": " << d.width << " x " << d.height << ", " << bitmapKindFor(d.bitCount)
        << (d.refusal.empty() ? "" : ", abgelehnt: " + d.refusal) << '\n';
    return true;
  } catch (const std::exception& e) {
    return fail(err, job.input, e.what());
  }
}

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
  if (!o.outputDir.empty()) {
    std::error_code ec;
    const auto type = std::filesystem::status(o.outputDir, ec).type();
    if (type == std::filesystem::file_type::not_found) {
      error = "Ausgabeverzeichnis " + o.outputDir + " gibt es nicht";
    } else if (type != std::filesystem::file_type::directory) {
      error = o.outputDir + " ist kein Verzeichnis";
    }
    if (!error.empty()) return std::nullopt;
  }
  return o;
}

int run(const Options& options, std::ostream& out, std::ostream& err, bool progress) {
  const std::vector<Job> jobs = planBatch(options.files, options.outputDir, options.target, options.force);
  const size_t total = jobs.size();
  const bool showProgress = progress && total > kProgressFrom;
  size_t failed = 0;
  if (options.info) {
    for (const Job& job : jobs) {
      if (!describe(job, out, err)) ++failed;
    }
  } else {
    convertJobs(jobs, options.force ? IfExists::Replace : IfExists::Keep, [&](size_t i, const std::string& failure) {
      if (showProgress) err << '\r' << (i + 1) << '/' << total << std::flush;
      const Job& job = jobs[i];
      if (!failure.empty()) {
        fail(err, job.input, failure);
        ++failed;
      } else {
        out << job.input << " -> " << job.output << '\n';
      }
    });
  }
  if (showProgress) err << '\n';
  if (!flushed(out, err)) return kSomeFailed;
  return failed == 0 ? kAllConverted : kSomeFailed;
}

int main(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool errIsTerminal) {
  std::string error;
  const auto options = parseArguments(args, error);
  if (!options) {
    err << kProgram << ": " << error << "\nAufruf: zwpconv [OPTIONEN] DATEI... (mehr mit --help)\n";
    return kBadUsage;
  }
  if (options->help || options->version) {
    if (options->help) {
      out << kHelp;
    } else {
      out << kProgram << ' ' << kVersion << '\n';
    }
    return flushed(out, err) ? kAllConverted : kSomeFailed;
  }
  return run(*options, out, err, errIsTerminal);
}

}  // namespace zwp::cli
