// Builds the perspective pane's stand-in (scene/stand_in.h) on a thread of its own.
//
// One build runs at a time. Starting another tells the running one to stop (it stops between
// material groups) and drops whatever it would have delivered, so only the newest scene's
// stand-in ever arrives. The result is handed to `ready` on the interface thread; the destructor
// stops and waits for the thread, so `ready` is never called after it.
#pragma once

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "scene/stand_in.h"

namespace mw {

class StandInWorker {
 public:
  using Ready = std::function<void(std::shared_ptr<const StandIn>, std::uint64_t signature)>;
  // `receiver` lives on the interface thread and outlives the worker.
  StandInWorker(QObject* receiver, Ready ready);
  ~StandInWorker();
  StandInWorker(const StandInWorker&) = delete;
  StandInWorker& operator=(const StandInWorker&) = delete;

  // Builds from `source` (taken of the scene whose geometry `signature` names).
  void Start(StandInSource source, std::uint64_t signature, const StandInLimits& limits);
  // Stops the running build, if any; nothing is delivered for it.
  void Cancel();
  // Waits until no build is running (tests).
  void Wait() { pool_.waitForDone(); }

 private:
  QObject* receiver_;
  Ready ready_;
  QThreadPool pool_;
  std::shared_ptr<std::atomic<bool>> cancel_;
};

}  // namespace mw
