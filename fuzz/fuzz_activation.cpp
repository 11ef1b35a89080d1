// Any process of the user may connect to the single-instance socket and send
// anything: the bytes arrive in pieces and must only ever yield whole
// activation lines, with the buffer kept bounded.
#include <QByteArray>
#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "app/instance/single_instance.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  QByteArray buffer;
  size_t at = 0;
  while (at < size) {
    // The first byte of each piece says how many bytes follow in it.
    const size_t piece = std::min<size_t>(data[at] % 32 + 1, size - at - 1);
    buffer.append(reinterpret_cast<const char*>(data + at + 1), static_cast<qsizetype>(piece));
    at += piece + 1;
    bool overflow = false;
    const int activations = talvo::app::TakeActivations(buffer, overflow);
    if (activations < 0 || buffer.size() > 4096) std::abort();
    if (overflow) break;
  }
  return 0;
}
