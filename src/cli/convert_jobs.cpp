#include "cli/convert_jobs.h"

#include <sys/resource.h>

#include <algorithm>
#include <condition_variable>
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

Outcome convertOne(const Job& job, const ReadOptions& settings, IfExists ifExists) {
  Outcome o;
  try {
    ReadOptions options = settings;
    options.target = targetOf(job.target);
    const Picture picture = readPicture(PictureFile::open(job.input, job.emblemInput), options);
    const std::vector<uint8_t> bytes = encodePicture(picture, options.target);
    o.file = std::make_unique<FileWriter>(job.output, ifExists);
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
// last one released, so that the files waiting for their sync stay few.
class Workers {
 public:
  Workers(const std::vector<Job>& jobs, const ReadOptions& settings, IfExists ifExists, size_t window)
      : jobs_(jobs), settings_(settings), ifExists_(ifExists), window_(window), outcomes_(jobs.size()), done_(jobs.size(), false) {
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
    changed_.notify_all();
    for (std::thread& t : threads_) t.join();
  }
  Workers(const Workers&) = delete;
  Workers& operator=(const Workers&) = delete;

  // The outcome of job i, once it is there.
  Outcome& await(size_t i) {
    std::unique_lock lock(mutex_);
    if (threads_.empty() && !done_[i]) {
      outcomes_[i] = convertNow(i);
      done_[i] = true;
    }
    changed_.wait(lock, [&] { return bool(done_[i]); });
    return outcomes_[i];
  }

  // Jobs before `end` are reported; their places in the window are free.
  void release(size_t end) {
    {
      std::lock_guard lock(mutex_);
      released_ = end;
    }
    changed_.notify_all();
  }

 private:
  Outcome convertNow(size_t i) const {
    return jobs_[i].skip.empty() ? convertOne(jobs_[i], settings_, ifExists_) : Outcome{};
  }

  void work() {
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [&] { return stopping_ || next_ >= jobs_.size() || next_ < released_ + window_; });
      if (stopping_ || next_ >= jobs_.size()) return;
      const size_t i = next_++;
      lock.unlock();
      Outcome outcome = convertNow(i);
      lock.lock();
      outcomes_[i] = std::move(outcome);
      done_[i] = true;
      changed_.notify_all();
    }
  }

  const std::vector<Job>& jobs_;
  const ReadOptions& settings_;
  const IfExists ifExists_;
  const size_t window_;
  std::mutex mutex_;
  std::condition_variable changed_;
  size_t next_ = 0;
  size_t released_ = 0;
  bool stopping_ = false;
  std::vector<Outcome> outcomes_;
  std::vector<bool> done_;
  std::vector<std::thread> threads_;
};

// Makes the files of a group durable with one sync per file system and only
// then gives them their names, so that a crash at any moment leaves either no
// file or a complete one under each name. The names are made durable too.
// Files that could not share a sync come already published.
void publishGroup(const std::vector<Outcome*>& group) {
  auto files = [&] {
    std::vector<FileWriter*> open;
    for (Outcome* o : group) {
      if (o->file) open.push_back(o->file.get());
    }
    return open;
  };
  auto failAll = [&](const Error& e) {
    for (Outcome* o : group) {
      if (o->file) *o = {nullptr, e.description()};
    }
  };
  try {
    syncFileSystems(files());
  } catch (const Error& e) {
    return failAll(e);
  }
  for (Outcome* o : group) {
    try {
      if (o->file) o->file->publish();
    } catch (const Error& e) {
      *o = {nullptr, e.description()};
    }
  }
  try {
    syncFileSystems(files());
  } catch (const Error& e) {
    failAll(e);
  }
}

// How many files may wait for their sync at once: each holds two descriptors.
size_t filesPerSync() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return kMaxFilesPerSync;
  const rlim_t spare = limit.rlim_cur > 64 ? (limit.rlim_cur - 64) / 4 : 1;
  return static_cast<size_t>(std::clamp<rlim_t>(spare, 1, kMaxFilesPerSync));
}

}  // namespace

void convertJobs(const std::vector<Job>& jobs, const ReadOptions& settings, IfExists ifExists, const JobReport& report) {
  const size_t step = filesPerSync();
  // While one group is published, the workers convert the next.
  Workers workers(jobs, settings, ifExists, 2 * step);
  for (size_t first = 0; first < jobs.size(); first += step) {
    const size_t last = std::min(jobs.size(), first + step);
    std::vector<Outcome*> group;
    for (size_t i = first; i < last; ++i) group.push_back(&workers.await(i));
    publishGroup(group);
    for (size_t i = first; i < last; ++i) {
      Outcome& o = *group[i - first];
      report(i, !jobs[i].skip.empty() ? jobs[i].skip : o.file ? std::string() : o.failure);
      o = {};
    }
    workers.release(last);
  }
}

}  // namespace zwp::cli
