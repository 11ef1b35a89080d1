// Any process of the user may write anything to the automation socket: every
// line must decode to a request or to one of the two refusals.
#include <QByteArrayView>
#include <cstdint>
#include <cstdlib>

#include "app/automation/automation_request.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const talvo::app::ParsedRequest parsed =
      talvo::app::ParseRequest(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
  if (parsed.ok != parsed.error.empty()) std::abort();
  if (!parsed.ok && parsed.error != "bad argument" && parsed.error != "unknown command") std::abort();
  if (parsed.ok && parsed.request.command == talvo::app::Command::Sim &&
      parsed.request.op == talvo::app::SimOp::Poke && parsed.request.bytes.empty())
    std::abort();
  return 0;
}
