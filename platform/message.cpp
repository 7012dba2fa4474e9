#include "platform/message.h"

#include <cstdio>
#include <utility>

namespace mw {
namespace {
MessageSink& Sink() {
  static MessageSink sink;
  return sink;
}
}  // namespace

MessageSink SetMessageSink(MessageSink sink) { return std::exchange(Sink(), std::move(sink)); }

void ShowMessage(std::string_view utf8Text, MessageIcon icon) {
  if (Sink()) {
    Sink()(utf8Text, icon);
    return;
  }
  std::fprintf(stderr, "%.*s\n", static_cast<int>(utf8Text.size()), utf8Text.data());
}

}  // namespace mw
