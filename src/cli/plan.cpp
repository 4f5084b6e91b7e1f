#include "cli/plan.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include <filesystem>
#include <map>
#include <optional>
#include <string_view>
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

// A path's folder as written and its name, split at the last slash (planning
// a thousand files parsed each path eight times over otherwise).
std::string_view dirOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash == 0 ? 1 : slash);
}
std::string nameOf(std::string_view path) {
  const size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// Where a file is or would be: its folder with every link and every "." and
// ".." resolved, and its name as that folder compares names. Folders are
// resolved once each.
class Places {
 public:
  std::string of(const std::string& path) { return names_.keyOf(folderOf(path), nameOf(path)); }
  const std::string& folderOf(const std::string& path) {
    auto [it, fresh] = folders_.try_emplace(std::string(dirOf(path)));
    const std::string& dir = it->first;
    if (fresh) {
      std::error_code ec;
      const fs::path absolute = fs::absolute(dir.empty() ? fs::path(".") : fs::path(dir), ec);
      fs::path resolved = fs::weakly_canonical(absolute, ec);
      it->second = (ec ? absolute.lexically_normal() : resolved).string();
    }
    return it->second;
  }
  NameRule ruleOf(const std::string& folder) { return names_.ruleOf(folder); }

 private:
  std::unordered_map<std::string, std::string> folders_;
  FolderNames names_;
};

// The file a path leads to, links followed.
using Identity = std::pair<dev_t, ino_t>;

// What the batch learns about the files it names: which file each is, what
// kind, and whether it exists. A folder that holds many of them is read
// once, rather than asked once per name; what its listing cannot settle (a
// link, an entry of unknown kind, a name missing from a folder that matches
// names by case) is asked after all.
class Lookups {
 public:
  explicit Lookups(Places& places) : places_(places) {}

  // Notes that the batch will look at this path, so that its folder is read
  // whole when enough of its names are.
  void expect(const std::string& path) { ++expected_[places_.folderOf(path)]; }

  std::optional<Identity> identityOf(const std::string& path) {
    const Answer a = look(path);
    if (a.settled && !a.found) return std::nullopt;
    if (a.settled && a.kind != DT_LNK && a.kind != DT_UNKNOWN) return a.identity;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return Identity{st.st_dev, st.st_ino};
  }

  FileKind kindOf(const std::string& path) {
    const Answer a = look(path);
    return a.settled && a.found && a.kind == DT_REG ? FileKind::ListedRegular : FileKind::Unknown;
  }

  bool exists(const std::string& path) {
    const Answer a = look(path);
    if (a.settled) return a.found;
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
  }

 private:
  static constexpr size_t kReadWholeFrom = 16;

  struct Listing {
    bool usable = false;
    dev_t device = 0;
    std::unordered_map<std::string, std::pair<ino_t, unsigned char>> entries;
  };
  struct Answer {
    bool settled = false;
    bool found = false;
    unsigned char kind = DT_UNKNOWN;
    Identity identity{};
  };

  Answer look(const std::string& path) {
    const std::string& folder = places_.folderOf(path);
    if (expected_[folder] < kReadWholeFrom) return {};
    const Listing& listing = listingOf(folder);
    if (!listing.usable) return {};
    const auto it = listing.entries.find(nameOf(path));
    if (it == listing.entries.end()) return {places_.ruleOf(folder) == NameRule::Exact, false};
    const auto [inode, kind] = it->second;
    return {true, true, kind, {listing.device, inode}};
  }

  const Listing& listingOf(const std::string& folder) {
    auto [it, fresh] = listings_.try_emplace(folder);
    if (!fresh) return it->second;
    Listing& listing = it->second;
    DIR* dir = ::opendir(folder.c_str());
    struct stat st {};
    if (!dir || ::fstat(::dirfd(dir), &st) != 0) {
      if (dir) ::closedir(dir);
      return listing;
    }
    listing.device = st.st_dev;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) listing.entries.emplace(entry->d_name, std::pair(entry->d_ino, entry->d_type));
    listing.usable = errno == 0;
    ::closedir(dir);
    return listing;
  }

  Places& places_;
  std::unordered_map<std::string, size_t> expected_;
  std::unordered_map<std::string, Listing> listings_;
};

}  // namespace

std::vector<Job> planBatch(const std::vector<std::string>& inputs, const std::string& outputDir, Target forced,
                           bool fromEmblem, bool force) {
  Places places;
  Lookups files(places);
  std::vector<Job> jobs(inputs.size());
  for (size_t i = 0; i < inputs.size(); ++i) {
    Job& job = jobs[i];
    job.input = inputs[i];
    job.emblemInput = fromEmblem || isEmblemName(job.input);
    job.target = forced != Target::ByExtension ? forced : job.emblemInput ? Target::Bitmap : Target::Emblem;
    job.output = outputOf(job.input, outputDir, job.target);
    files.expect(job.input);
    files.expect(job.output);
  }
  // The first input at each place and for each file.
  std::unordered_map<std::string, size_t> inputAtPlace;
  std::map<Identity, size_t> inputOfFile;
  std::vector<std::string> inputPlaces;
  for (size_t i = 0; i < inputs.size(); ++i) {
    inputPlaces.push_back(places.of(inputs[i]));
    inputAtPlace.try_emplace(inputPlaces.back(), i);
    if (const auto id = files.identityOf(inputs[i])) inputOfFile.try_emplace(*id, i);
    jobs[i].inputKind = files.kindOf(inputs[i]);
  }
  // The input whose job writes each output place.
  std::unordered_map<std::string, size_t> writerOf;

  for (size_t i = 0; i < inputs.size(); ++i) {
    Job& job = jobs[i];
    const std::string place = places.of(job.output);
    std::optional<size_t> outputIsInput;
    if (const auto at = inputAtPlace.find(place); at != inputAtPlace.end()) outputIsInput = at->second;
    if (const auto id = files.identityOf(job.output); id && !outputIsInput) {
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
    } else if (!force && files.exists(job.output)) {
      job.skip = "übersprungen, " + job.output + " existiert bereits (mit -f ersetzen)";
    }
    if (job.skip.empty()) writerOf.emplace(place, i);
  }
  return jobs;
}

}  // namespace zwp::cli
