#include "cli/options.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <functional>

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
      {nullptr, "--to", "zwp|bmp", "Zielformat erzwingen, statt es aus der Endung zu nehmen",
       [](Options& o, const std::string& v, std::string& error) {
         if (lower(v) == "zwp") {
           o.target = Target::Emblem;
         } else if (lower(v) == "bmp") {
           o.target = Target::Bitmap;
         } else {
           error = "--to erwartet zwp oder bmp, nicht \"" + v + "\"";
           return false;
         }
         return true;
       }},
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

constexpr size_t kOptionColumn = 20;

}  // namespace

std::string helpText() {
  std::string text =
      "Aufruf: zwpconv [OPTIONEN] DATEI...\n"
      "Wandelt Windows-Bitmaps (.bmp) in Zorbel-Wappen (.zwp) um und Wappen zurück in\n"
      "24-Bit-Bitmaps. Die Richtung folgt der Dateiendung (groß oder klein geschrieben);\n"
      "das Ergebnis liegt neben der Eingabe und trägt die andere Endung.\n"
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
      "Bitmaps müssen 1, 4, 8, 16 oder 24 Bit pro Pixel haben und dürfen höchstens\n"
      "128 × 128 Pixel groß sein. Jede Datei erscheint erst, wenn sie vollständig\n"
      "geschrieben ist. Eingaben und Ergebnisse desselben Aufrufs werden nie\n"
      "überschrieben, auch nicht mit -f.\n"
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
