#include "cli/plan.h"

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>
#include <unordered_map>

#include "cli/folder_names.h"
#include "convert/pipeline.h"

namespace zwp::cli {

namespace {

namespace fs = std::filesystem;

std::string outputOf(const std::string& input, const std::string& outputDir, Target target) {
  const fs::path in(input);
  const fs::path dir = outputDir.empty() ? in.parent_path() : fs::path(outputDir);
  const char* ext = target == Target::Emblem ? ".zwp" : target == Target::Png ? ".png" : ".bmp";
  return (dir / (in.stem().string() + ext)).string();
}

// Where a file is or would be: its folder with every link and every "." and
// ".." resolved, and its name as that folder compares names. Folders are
// resolved once each.
class Places {
 public:
  std::string of(const std::string& path) {
    const fs::path p(path);
    const std::string dir = p.parent_path().string();
    auto [it, fresh] = folders_.try_emplace(dir);
    if (fresh) {
      std::error_code ec;
      const fs::path absolute = fs::absolute(dir.empty() ? fs::path(".") : fs::path(dir), ec);
      fs::path resolved = fs::weakly_canonical(absolute, ec);
      it->second = (ec ? absolute.lexically_normal() : resolved).string();
    }
    return names_.keyOf(it->second, p.filename().string());
  }

 private:
  std::unordered_map<std::string, std::string> folders_;
  FolderNames names_;
};

// The file a path leads to, links followed.
using Identity = std::pair<dev_t, ino_t>;
std::optional<Identity> identityOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return Identity{st.st_dev, st.st_ino};
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

std::vector<Job> planBatch(const std::vector<std::string>& inputs, const std::string& outputDir, Target forced,
                           bool fromEmblem, bool force) {
  Places places;
  // The first input at each place and for each file.
  std::unordered_map<std::string, size_t> inputAtPlace;
  std::map<Identity, size_t> inputOfFile;
  std::vector<std::string> inputPlaces;
  for (size_t i = 0; i < inputs.size(); ++i) {
    inputPlaces.push_back(places.of(inputs[i]));
    inputAtPlace.try_emplace(inputPlaces.back(), i);
    if (const auto id = identityOf(inputs[i])) inputOfFile.try_emplace(*id, i);
  }
  // The input whose job writes each output place.
  std::unordered_map<std::string, size_t> writerOf;

  std::vector<Job> jobs;
  jobs.reserve(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    Job job;
    job.input = inputs[i];
    job.emblemInput = fromEmblem || isEmblemName(job.input);
    job.target = forced != Target::ByExtension ? forced : job.emblemInput ? Target::Bitmap : Target::Emblem;
    job.output = outputOf(job.input, outputDir, job.target);
    const std::string place = places.of(job.output);
    std::optional<size_t> outputIsInput;
    if (const auto at = inputAtPlace.find(place); at != inputAtPlace.end()) outputIsInput = at->second;
    if (const auto id = identityOf(job.output); id && !outputIsInput) {
      if (const auto of = inputOfFile.find(*id); of != inputOfFile.end()) outputIsInput = of->second;
    }
    const size_t first = inputAtPlace.at(inputPlaces[i]);
    const auto earlier = writerOf.find(place);

    if (first != i) {
      job.skip = "übersprungen, dieselbe Datei wie " + inputs[first];
    } else if (outputIsInput == i) {
      job.skip = "Ziel wäre die Eingabedatei selbst";
    } else if (outputIsInput) {
      job.skip = "übersprungen, Ziel " + job.output + " ist selbst eine Eingabe (" + inputs[*outputIsInput] + ")";
    } else if (earlier != writerOf.end()) {
      job.skip = "übersprungen, Ziel " + job.output + " entsteht schon aus " + inputs[earlier->second];
    } else if (!force && exists(job.output)) {
      job.skip = "übersprungen, " + job.output + " existiert bereits (mit -f ersetzen)";
    }
    if (job.skip.empty()) writerOf.emplace(place, i);
    jobs.push_back(std::move(job));
  }
  return jobs;
}

}  // namespace zwp::cli
