#include "cli/plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>

namespace zwp::cli {

namespace {

namespace fs = std::filesystem;

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

Target targetOf(const std::string& input, Target forced) {
  if (forced != Target::ByExtension) return forced;
  const std::string ext = lower(fs::path(input).extension().string());
  if (ext == ".bmp") return Target::Emblem;
  if (ext == ".zwp") return Target::Bitmap;
  return Target::ByExtension;
}

std::string outputOf(const std::string& input, const std::string& outputDir, Target target) {
  const fs::path in(input);
  const fs::path dir = outputDir.empty() ? in.parent_path() : fs::path(outputDir);
  return (dir / (in.stem().string() + (target == Target::Emblem ? ".zwp" : ".bmp"))).string();
}

// Where a file is or would be: the same place for every spelling of its path
// and through symlinked directories.
std::string placeOf(const std::string& path) {
  std::error_code ec;
  fs::path place = fs::weakly_canonical(fs::absolute(path, ec), ec);
  if (ec) place = fs::absolute(path, ec).lexically_normal();
  return place.string();
}

struct Identity {
  dev_t device;
  ino_t inode;
  bool operator==(const Identity&) const = default;
};

std::optional<Identity> identityOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return Identity{st.st_dev, st.st_ino};
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

struct Input {
  std::string place;
  std::optional<Identity> identity;
};

}  // namespace

std::vector<Job> planBatch(const std::vector<std::string>& inputs, const std::string& outputDir, Target forced,
                           bool force) {
  std::vector<Input> known;
  known.reserve(inputs.size());
  for (const std::string& input : inputs) known.push_back({placeOf(input), identityOf(input)});
  // The input a place or a file belongs to, if any.
  auto inputAt = [&](const std::string& place, const std::optional<Identity>& identity) -> const std::string* {
    for (size_t i = 0; i < inputs.size(); ++i) {
      if (known[i].place == place || (identity && known[i].identity == identity)) return &inputs[i];
    }
    return nullptr;
  };

  std::vector<Job> jobs;
  struct Claim {
    std::string place;  // of an output an earlier job writes
    std::string input;  // that job's input
  };
  std::vector<Claim> claimed;
  for (size_t i = 0; i < inputs.size(); ++i) {
    Job job;
    job.input = inputs[i];
    job.target = targetOf(job.input, forced);
    if (job.target == Target::ByExtension) {
      job.skip = "unbekannte Endung, Richtung mit --to wählen";
      jobs.push_back(std::move(job));
      continue;
    }
    job.output = outputOf(job.input, outputDir, job.target);
    const std::string place = placeOf(job.output);
    const auto twin = std::find_if(known.begin(), known.begin() + static_cast<std::ptrdiff_t>(i),
                                   [&](const Input& k) { return k.place == known[i].place; });
    const std::string* outputIsInput = inputAt(place, identityOf(job.output));
    const auto earlier =
        std::find_if(claimed.begin(), claimed.end(), [&](const Claim& c) { return c.place == place; });

    if (twin != known.begin() + static_cast<std::ptrdiff_t>(i)) {
      job.skip = "übersprungen, dieselbe Datei wie " + inputs[static_cast<size_t>(twin - known.begin())];
    } else if (outputIsInput == &inputs[i]) {
      job.skip = "Ziel wäre die Eingabedatei selbst";
    } else if (outputIsInput) {
      job.skip = "übersprungen, Ziel " + job.output + " ist selbst eine Eingabe (" + *outputIsInput + ")";
    } else if (earlier != claimed.end()) {
      job.skip = "übersprungen, Ziel " + job.output + " entsteht schon aus " + earlier->input;
    } else if (!force && exists(job.output)) {
      job.skip = "übersprungen, " + job.output + " existiert bereits (mit -f ersetzen)";
    }
    if (job.skip.empty()) claimed.push_back({place, job.input});
    jobs.push_back(std::move(job));
  }
  return jobs;
}

}  // namespace zwp::cli
