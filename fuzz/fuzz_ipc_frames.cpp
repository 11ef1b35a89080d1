// Bytes read from a compositor's socket, in pieces of any size (the first
// byte picks it): the i3-ipc frame reader yields payloads within the cap of
// their type and never more bytes than arrived, and the line reader yields
// lines within its cap without a newline.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/compositor_replies.h"

using namespace talvo::platform;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t piece = size_t(data[0]) + 1;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  const size_t total = rest.size();
  I3FrameReader frames;
  LineReader lines(64);
  size_t payloadBytes = 0;
  while (!rest.empty()) {
    const std::string_view chunk = rest.substr(0, piece);
    rest.remove_prefix(chunk.size());
    const bool ok = frames.Feed(chunk);
    while (auto message = frames.Next()) {
      const size_t cap = message->type == kI3GetTree ? kJsonTreeLimits.maxBytes : kJsonEventLimits.maxBytes;
      if (message->payload.size() > cap || (message->dropped && !message->payload.empty())) std::abort();
      payloadBytes += message->payload.size() + kI3HeaderSize;
    }
    if (!ok && frames.Next()) std::abort();
    lines.Feed(chunk);
    while (auto line = lines.Next()) {
      if (line->size() > 64 || line->find('\n') != std::string::npos) std::abort();
    }
  }
  if (payloadBytes > total) std::abort();
  return 0;
}
