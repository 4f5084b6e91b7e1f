#include "cli/batch.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>

#include "cli/convert_jobs.h"
#include "convert/pipeline.h"
#include "core/error.h"
#include "core/version.h"

namespace zwp::cli {

namespace {

constexpr const char* kProgram = "zwpconv";
// More files than this get a progress line when it goes to a terminal.
constexpr size_t kProgressFrom = 3;

// Results that cannot be written are a failure like any other.
bool flushed(std::ostream& out, std::ostream& err) {
  out.flush();
  if (out) return true;
  err << kProgram << ": Ausgabe konnte nicht geschrieben werden\n";
  return false;
}

bool fail(std::ostream& err, const std::string& input, const std::string& why) {
  err << kProgram << ": " << input << ": " << why << '\n';
  return false;
}

// --info: the size and kind from the header alone, nothing converted.
bool describe(const Job& job, std::ostream& out, std::ostream& err) {
  try {
    const PictureFacts facts = describePicture(PictureFile::open(job.input, job.emblemInput));
    out << job.input << ": " << facts.width << " x " << facts.height << ", " << facts.kind
        << (facts.refusal.empty() ? "" : ", abgelehnt: " + facts.refusal) << '\n';
    return true;
  } catch (const std::exception& e) {
    return fail(err, job.input, e.what());
  }
}

namespace fs = std::filesystem;

// The files to convert and the folders that could not be read (in German).
struct Inputs {
  std::vector<std::string> files;
  std::vector<std::pair<std::string, std::string>> unreadable;
};

bool isPictureName(const fs::path& path) {
  std::string ext = path.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (ext.size() < 2) return false;
  const auto& known = pictureExtensions();
  return ext == ".zwp" || std::find(known.begin(), known.end(), ext.substr(1)) != known.end();
}

// Adds the picture files in a folder and all its subfolders; linked folders
// are not entered. A folder that cannot be read or walked to its end is noted
// and the walk goes on with the rest.
void collect(const fs::path& folder, Inputs& inputs) {
  std::error_code ec;
  fs::directory_iterator it(folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code entryError;
    if (it->symlink_status(entryError).type() == fs::file_type::directory) {
      collect(it->path(), inputs);
    } else if (isPictureName(it->path()) && it->is_regular_file(entryError)) {
      inputs.files.push_back(it->path().string());
    }
  }
  if (ec) inputs.unreadable.emplace_back(folder.string(), fileError(ec.value(), folder.string(), FileAccess::Read).description());
}

// The files named, with the picture files inside named folders when the run
// is recursive.
Inputs inputsOf(const Options& options) {
  if (!options.recursive) return {options.files, {}};
  Inputs inputs;
  for (const std::string& named : options.files) {
    std::error_code ec;
    if (!fs::is_directory(named, ec)) {
      inputs.files.push_back(named);
      continue;
    }
    const size_t first = inputs.files.size();
    collect(named, inputs);
    std::sort(inputs.files.begin() + static_cast<std::ptrdiff_t>(first), inputs.files.end());
  }
  return inputs;
}

}  // namespace

int run(const Options& options, std::ostream& out, std::ostream& err, bool progress) {
  const Inputs inputs = inputsOf(options);
  size_t failed = 0;
  for (const auto& [folder, why] : inputs.unreadable) failed += !fail(err, folder, why);
  const std::vector<Job> jobs =
      planBatch(inputs.files, options.outputDir, options.target, options.fromEmblem, options.force);
  const size_t total = jobs.size();
  const bool showProgress = progress && total > kProgressFrom;
  if (options.info) {
    for (const Job& job : jobs) {
      if (!describe(job, out, err)) ++failed;
    }
  } else {
    ReadOptions settings;
    settings.fit = options.fit;
    settings.dither = options.dither;
    settings.background = options.background;
    const IfExists ifExists = options.force ? IfExists::Replace : IfExists::Keep;
    convertJobs(jobs, settings, ifExists, [&](size_t i, const std::string& failure) {
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
      out << helpText();
    } else {
      out << kProgram << ' ' << kVersion << '\n';
    }
    return flushed(out, err) ? kAllConverted : kSomeFailed;
  }
  return run(*options, out, err, errIsTerminal);
}

}  // namespace zwp::cli
