#include "cli/convert_jobs.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "convert/encode.h"
#include "core/error.h"

namespace zwp::cli {

namespace {

constexpr size_t kMaxWorkers = 4;
constexpr size_t kMaxFilesPerSync = 256;

// What converting one job leaves for publishing: a complete file that has no
// name yet, or why there is none.
struct Outcome {
  std::unique_ptr<FileWriter> file;
  std::string failure;
};

zwp::Target targetOf(Target target) {
  return target == Target::Emblem ? zwp::Target::Emblem : target == Target::Png ? zwp::Target::Png : zwp::Target::Bmp;
}

// The folders the jobs write into, each opened once for all of its files,
// or the error that opening it gave.
class Folders {
 public:
  explicit Folders(const std::vector<Job>& jobs) {
    for (const Job& job : jobs) {
      if (!job.skip.empty()) continue;
      const std::string dir = folderOfTarget(job.output);
      if (opened_.count(dir) != 0) continue;
      int error = 0;
      auto folder = WriteFolder::open(dir, error);
      opened_.emplace(dir, std::pair(std::move(folder), error));
    }
  }
  // A writer for the job's output, in its folder.
  std::unique_ptr<FileWriter> writerFor(const Job& job, IfExists ifExists) const {
    const auto& [folder, error] = opened_.at(folderOfTarget(job.output));
    if (!folder) throw fileError(error, job.output, FileAccess::Write);
    return std::make_unique<FileWriter>(folder, job.output, ifExists);
  }

 private:
  std::map<std::string, std::pair<std::shared_ptr<const WriteFolder>, int>> opened_;
};

Outcome convertOne(const Job& job, const ReadOptions& settings, const Folders& folders, IfExists ifExists) {
  Outcome o;
  try {
    ReadOptions options = settings;
    options.target = targetOf(job.target);
    const Picture picture = readPicture(PictureFile::open(job.input, job.emblemInput, job.inputKind), options);
    const std::vector<uint8_t> bytes = encodePicture(picture, options.target);
    o.file = folders.writerFor(job, ifExists);
    o.file->write(bytes.data(), bytes.size());
    o.file->finish();
    // A file that is synced alone gains nothing by waiting for the others.
    if (!o.file->sharesSyncs()) o.file->publish();
  } catch (const std::bad_alloc&) {
    o = {nullptr, standardDescription(err::OutOfMemory)};
  } catch (const std::exception& e) {
    o = {nullptr, e.what()};
  }
  return o;
}

// Threads that convert jobs in order, at most `window` jobs ahead of the
// last one released, so that the files waiting for their sync stay few. The
// caller is woken once a whole group is converted, and the threads once a
// group is released, not for every file.
class Workers {
 public:
  Workers(const std::vector<Job>& jobs, const ReadOptions& settings, const Folders& folders, IfExists ifExists,
          size_t window)
      : jobs_(jobs),
        settings_(settings),
        folders_(folders),
        ifExists_(ifExists),
        window_(window),
        outcomes_(jobs.size()),
        done_(jobs.size(), false) {
    const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, kMaxWorkers);
    try {
      for (size_t n = 0; n < std::min(cores, jobs.size()); ++n) threads_.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
      // No more threads to be had: those running share the work, or the caller does it.
    }
  }
  ~Workers() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    room_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // The outcomes of the jobs before `end`, once they are all there.
  std::vector<Outcome*> await(size_t first, size_t end) {
    std::unique_lock lock(mutex_);
    if (threads_.empty()) {
      for (size_t i = first; i < end; ++i) finish(i, convertNow(i));
    }
    awaited_ = end;
    converted_.wait(lock, [&] { return doneBefore_ >= end; });
    std::vector<Outcome*> group;
    for (size_t i = first; i < end; ++i) group.push_back(&outcomes_[i]);
    return group;
  }

  // Jobs before `end` are reported; their places in the window are free.
  void release(size_t end) {
    {
      std::lock_guard lock(mutex_);
      released_ = end;
    }
    room_.notify_all();
  }

 private:
  Outcome convertNow(size_t i) const {
    return jobs_[i].skip.empty() ? convertOne(jobs_[i], settings_, folders_, ifExists_) : Outcome{};
  }

  // Called with the lock held.
  void finish(size_t i, Outcome outcome) {
    outcomes_[i] = std::move(outcome);
    done_[i] = true;
    while (doneBefore_ < done_.size() && done_[doneBefore_]) ++doneBefore_;
  }

  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      room_.wait(lock, [&] { return stopping_ || next_ >= jobs_.size() || next_ < released_ + window_; });
      if (stopping_ || next_ >= jobs_.size()) return;
      const size_t i = next_++;
      lock.unlock();
      Outcome outcome = convertNow(i);
      lock.lock();
      const bool waiting = doneBefore_ < awaited_;
      finish(i, std::move(outcome));
      if (waiting && doneBefore_ >= awaited_) converted_.notify_one();
    }
  }

  const std::vector<Job>& jobs_;
  const ReadOptions& settings_;
  const Folders& folders_;
  const IfExists ifExists_;
  const size_t window_;
  std::mutex mutex_;
  std::condition_variable room_;       // for the threads: the window moved on, or stop
  std::condition_variable converted_;  // for the caller: the group it awaits is converted
  size_t next_ = 0;
  size_t released_ = 0;
  size_t awaited_ = 0;
  size_t doneBefore_ = 0;  // every job before this one is converted
  bool stopping_ = false;
  std::vector<Outcome> outcomes_;
  std::vector<bool> done_;
  std::vector<std::thread> threads_;
};

// Makes what the outcomes' files have done durable (content not yet named,
// or names just given) with one sync per file system; on failure none of
// them counts as written.
bool syncOutcomes(const std::vector<Outcome*>& outcomes) {
  std::vector<FileWriter*> files;
  for (Outcome* o : outcomes) {
    if (o->file) files.push_back(o->file.get());
  }
  try {
    syncFileSystems(files);
    return true;
  } catch (const Error& e) {
    for (Outcome* o : outcomes) {
      if (o->file) *o = {nullptr, e.description()};
    }
    return false;
  }
}

// Makes the files of a group durable and only then gives them their names,
// so that a crash at any moment leaves either no file or a complete one under
// each name. The same syncs make the names the previous group was given
// durable, so that each group costs one sync per file system, not two.
// Files that could not share a sync come already published.
void publishGroup(const std::vector<Outcome*>& group, const std::vector<Outcome*>& named) {
  std::vector<Outcome*> both = group;
  both.insert(both.end(), named.begin(), named.end());
  if (!syncOutcomes(both)) return;
  for (Outcome* o : group) {
    try {
      if (o->file) o->file->publish();
    } catch (const Error& e) {
      *o = {nullptr, e.description()};
    }
  }
}

// How many files may wait for their sync at once: each holds two descriptors.
size_t filesPerSync() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kMaxFilesPerSync;
  const rlim_t spare = limit.rlim_cur > 64 ? (limit.rlim_cur - 64) / 4 : 1;
  return static_cast<size_t>(std::clamp<rlim_t>(spare, 1, kMaxFilesPerSync));
}

// The kernel widens a process's table of descriptors as more are open, and
// once the process has threads it waits for every CPU to pass a quiet point
// each time (several milliseconds, twice in a batch of a thousand files).
// Widened now, before the workers start, for as many files as may be open
// at once (and a few more for inputs), the table costs nothing.
void widenDescriptorTable(size_t files) {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return;
  const rlim_t wanted = std::min<rlim_t>(files + 64, limit.rlim_cur == RLIM_INFINITY ? 65536 : limit.rlim_cur - 1);
  const int highest = static_cast<int>(std::min<rlim_t>(wanted, 65536));
  if (::dup2(STDIN_FILENO, highest) == highest) ::close(highest);
}

}  // namespace

void convertJobs(const std::vector<Job>& jobs, const ReadOptions& settings, IfExists ifExists, const JobReport& report) {
  const size_t step = filesPerSync();
  widenDescriptorTable(std::min(jobs.size(), 3 * step));
  const Folders folders(jobs);
  // While one group is published, the workers convert the next two.
  Workers workers(jobs, settings, folders, ifExists, 3 * step);
  // The group named last, reported once its names are durable.
  std::vector<Outcome*> named;
  size_t namedFirst = 0;
  const auto reportNamed = [&](size_t end) {
    for (size_t i = namedFirst; i < end; ++i) {
      Outcome& o = *named[i - namedFirst];
      report(i, !jobs[i].skip.empty() ? jobs[i].skip : o.file ? std::string() : o.failure);
      o = {};
    }
    workers.release(end);
  };
  for (size_t first = 0; first < jobs.size(); first += step) {
    const size_t last = std::min(jobs.size(), first + step);
    std::vector<Outcome*> group = workers.await(first, last);
    publishGroup(group, named);
    reportNamed(first);
    named = std::move(group);
    namedFirst = first;
  }
  syncOutcomes(named);
  reportNamed(jobs.size());
}

}  // namespace zwp::cli
