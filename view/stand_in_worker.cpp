#include "view/stand_in_worker.h"

#include <QMetaObject>
#include <QThread>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace mw {

StandInWorker::StandInWorker(QObject* receiver, Ready ready) : receiver_(receiver), ready_(std::move(ready)) {
  pool_.setMaxThreadCount(1);
}

StandInWorker::~StandInWorker() {
  Cancel();
  pool_.waitForDone();
}

void StandInWorker::Cancel() {
  if (cancel_) cancel_->store(true);
  cancel_.reset();
}

void StandInWorker::Start(StandInSource source, std::uint64_t signature, const StandInLimits& limits) {
  Cancel();
  auto cancel = std::make_shared<std::atomic<bool>>(false);
  cancel_ = cancel;
  auto shared = std::make_shared<StandInSource>(std::move(source));
  pool_.start([receiver = receiver_, ready = ready_, cancel, shared, signature, limits]() mutable {
    // The interface thread comes first: a frame waits for nothing here.
    QThread::currentThread()->setPriority(QThread::LowPriority);
    auto built = std::make_shared<const StandIn>(BuildStandIn(*shared, limits, cancel.get()));
    shared.reset();
#ifdef __GLIBC__
    // The build's working arrays (tens of megabytes at a million faces) were freed into this
    // thread's own heap, which glibc keeps for it: give them back while the window sits idle.
    malloc_trim(0);
#endif
    if (cancel->load()) return;
    QMetaObject::invokeMethod(
        receiver,
        [ready, cancel, built, signature]() {
          if (!cancel->load()) ready(built, signature);
        },
        Qt::QueuedConnection);
  });
}

}  // namespace mw
