// A HID backend that forwards to another and prints every report written and
// read as one line of hex, for talvoctl --trace.
#pragma once

#include <cstdio>
#include <memory>

#include "platform/hid_backend.h"

namespace talvo::tools {

class TracingBackend : public platform::HidBackend {
 public:
  TracingBackend(platform::HidBackend& inner, std::FILE* out) : inner_(inner), out_(out) {}

  bool Enumerate(std::vector<platform::HidInterfaceInfo>& out) override;
  std::unique_ptr<platform::HidHandle> Open(const std::string& path, const platform::HidOpenRequest& request,
                                            platform::HidOpenError* error) override;
  bool Exists(const std::string& path) override { return inner_.Exists(path); }

 private:
  platform::HidBackend& inner_;
  std::FILE* out_;
};

}  // namespace talvo::tools
