#include "cli/options.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <filesystem>
#include <functional>

#include "imageio/image_file.h"

namespace zwp::cli {

namespace {

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// One option: its names, the name of its value (none for a switch), its help
// line, and what it does to the options; false with an error for a bad value.
struct Option {
  const char* shortName;  // "-o", or nullptr
  const char* longName;   // "--output"
  const char* valueName;  // "VERZ", or nullptr for a switch
  const char* help;
  std::function<bool(Options&, const std::string& value, std::string& error)> apply;
};

const std::vector<Option>& options() {
  static const std::vector<Option> table = {
      {"-o", "--output", "VERZ", "Ergebnisse in das Verzeichnis VERZ schreiben",
       [](Options& o, const std::string& v, std::string&) { return o.outputDir = v, true; }},
      {nullptr, "--to", "zwp|bmp|png", "Zielformat erzwingen, statt es aus der Endung zu nehmen",
       [](Options& o, const std::string& v, std::string& error) {
         if (lower(v) == "zwp") {
           o.target = Target::Emblem;
         } else if (lower(v) == "bmp") {
           o.target = Target::Bitmap;
         } else if (lower(v) == "png") {
           o.target = Target::Png;
         } else {
           error = "--to erwartet zwp, bmp oder png, nicht \"" + v + "\"";
           return false;
         }
         return true;
       }},
      {nullptr, "--from", "zwp", "jede Eingabe als Wappen lesen, wie immer sie heißt",
       [](Options& o, const std::string& v, std::string& error) {
         if (lower(v) == "zwp") return o.fromEmblem = true;
         error = "--from kennt nur zwp, nicht \"" + v + "\"";
         return false;
       }},
      {nullptr, "--fit", "N", "größere Bilder auf höchstens N × N Pixel verkleinern (1-128)",
       [](Options& o, const std::string& v, std::string& error) {
         int n = 0;
         const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), n);
         if (ec != std::errc() || end != v.data() + v.size() || n < 1 || n > 128) {
           error = "--fit erwartet eine Zahl von 1 bis 128, nicht \"" + v + "\"";
           return false;
         }
         o.fit = n;
         return true;
       }},
      {nullptr, "--background", "FARBE", "Hintergrund für Transparenz, #RRGGBB oder Name (weiß)",
       [](Options& o, const std::string& v, std::string& error) {
         if (parseColour(v, o.background)) return true;
         error = "--background erwartet #RRGGBB oder einen Farbnamen, nicht \"" + v + "\"";
         return false;
       }},
      {nullptr, "--dither", nullptr, "Farben beim Wappen fehlerverteilt rastern statt nur runden",
       [](Options& o, const std::string&, std::string&) { return o.dither = true; }},
      {"-r", "--recursive", nullptr, "angegebene Verzeichnisse mit allen Unterverzeichnissen umwandeln",
       [](Options& o, const std::string&, std::string&) { return o.recursive = true; }},
      {"-f", "--force", nullptr, "vorhandene Zieldateien ersetzen (sonst werden sie übersprungen)",
       [](Options& o, const std::string&, std::string&) { return o.force = true; }},
      {nullptr, "--info", nullptr, "nur Breite, Höhe und Art jeder Datei anzeigen",
       [](Options& o, const std::string&, std::string&) { return o.info = true; }},
      {"-h", "--help", nullptr, "diese Hilfe anzeigen",
       [](Options& o, const std::string&, std::string&) { return o.help = true; }},
      {nullptr, "--version", nullptr, "Versionsnummer anzeigen",
       [](Options& o, const std::string&, std::string&) { return o.version = true; }},
  };
  return table;
}

constexpr size_t kOptionColumn = 24;

}  // namespace

std::string helpText() {
  std::string text =
      "Aufruf: zwpconv [OPTIONEN] DATEI...\n"
      "Wandelt Bilder (BMP, PNG, JPEG, GIF, TGA, TIFF, WebP) in Zorbel-Wappen (.zwp)\n"
      "um und Wappen (.zwp, groß oder klein geschrieben) zurück in 24-Bit-Bitmaps oder\n"
      "mit --to png in PNG-Bilder; das Ergebnis liegt neben der Eingabe und trägt die\n"
      "Endung des Zielformats.\n"
      "\n"
      "Optionen:\n";
  for (const Option& option : options()) {
    std::string names = option.shortName ? option.shortName + std::string(", ") : std::string("    ");
    names += option.longName;
    if (option.valueName) names += std::string(" ") + option.valueName;
    names.resize(std::max(names.size() + 1, kOptionColumn), ' ');
    text += "  " + names + option.help + "\n";
  }
  text +=
      "\n"
      "Bitmaps müssen 1, 4, 8, 16 oder 24 Bit pro Pixel haben. Ein Wappen entsteht nur\n"
      "aus Bildern bis 128 × 128 Pixel, mit --fit aus jedem. Jede Datei erscheint erst,\n"
      "wenn sie vollständig geschrieben ist. Eingaben und Ergebnisse desselben Aufrufs\n"
      "werden nie überschrieben, auch nicht mit -f.\n"
      "\n"
      "Rückgabewert: 0, wenn jede Datei umgewandelt wurde; 1, wenn mindestens eine\n"
      "abgelehnt, übersprungen oder nicht geschrieben wurde; 2 bei falschem Aufruf.\n";
  return text;
}

std::optional<Options> parseArguments(const std::vector<std::string>& args, std::string& error) {
  Options o;
  bool onlyFiles = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
      o.files.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyFiles = true;
      continue;
    }
    // "--name", "--name=value", "-x" or "-xvalue".
    const Option* found = nullptr;
    std::optional<std::string> attached;
    for (const Option& option : options()) {
      const std::string longName = option.longName;
      if (a == longName || (option.shortName && a == option.shortName)) {
        found = &option;
      } else if (option.valueName && a.starts_with(longName + "=")) {
        found = &option;
        attached = a.substr(longName.size() + 1);
      } else if (option.valueName && option.shortName && a.starts_with(option.shortName)) {
        found = &option;
        attached = a.substr(2);
      }
      if (found) break;
    }
    if (!found) {
      error = "unbekannte Option " + a;
      return std::nullopt;
    }
    std::string value;
    if (found->valueName && !attached) {
      if (i + 1 == args.size()) {
        error = std::string("Option ") + found->longName + " braucht einen Wert";
        return std::nullopt;
      }
      value = args[++i];
    } else if (attached) {
      value = *attached;
    }
    if (!found->apply(o, value, error)) return std::nullopt;
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

}  // namespace zwp::cli
