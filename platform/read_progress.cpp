#include "platform/read_progress.h"

namespace mw {
namespace {
thread_local ReadProgress* t_progress = nullptr;
}

ReadProgress* CurrentReadProgress() { return t_progress; }

ReadProgressScope::ReadProgressScope(ReadProgress* progress) : previous_(t_progress) { t_progress = progress; }

ReadProgressScope::~ReadProgressScope() { t_progress = previous_; }

}  // namespace mw
