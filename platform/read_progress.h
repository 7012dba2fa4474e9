// How far a document read has come, and the request to stop it.
//
// A read that runs on a worker thread is given a ReadProgress for its thread (ReadProgressScope);
// the readers report the bytes they have consumed through ReportReadProgress, which also tells
// them when the user asked to stop. The other thread polls done()/total() and calls Cancel().
// With no progress installed on a thread, reporting costs a thread-local load and never stops.
#pragma once

#include <atomic>
#include <cstdint>

namespace mw {

class ReadProgress {
 public:
  void Set(std::uint64_t done, std::uint64_t total) {
    total_.store(total, std::memory_order_relaxed);
    done_.store(done, std::memory_order_relaxed);
  }
  std::uint64_t done() const { return done_.load(std::memory_order_relaxed); }
  std::uint64_t total() const { return total_.load(std::memory_order_relaxed); }  // 0: unknown
  void Cancel() { cancelled_.store(true, std::memory_order_relaxed); }
  bool cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

 private:
  std::atomic<std::uint64_t> done_{0};
  std::atomic<std::uint64_t> total_{0};
  std::atomic<bool> cancelled_{false};
};

// The progress this thread's reads report to, or null.
ReadProgress* CurrentReadProgress();

// Installs `progress` (not owned; may be null) for this thread until the scope ends.
class ReadProgressScope {
 public:
  explicit ReadProgressScope(ReadProgress* progress);
  ~ReadProgressScope();
  ReadProgressScope(const ReadProgressScope&) = delete;
  ReadProgressScope& operator=(const ReadProgressScope&) = delete;

 private:
  ReadProgress* previous_;
};

// Readers call this as bytes come in. False when the read was cancelled: the reader then stops
// and fails, leaving nothing half-done behind.
inline bool ReportReadProgress(std::uint64_t done, std::uint64_t total) {
  ReadProgress* p = CurrentReadProgress();
  if (!p) return true;
  p->Set(done, total);
  return !p->cancelled();
}

}  // namespace mw
