#include "tracing_backend.h"

namespace talvo::tools {
namespace {

void PrintReport(std::FILE* out, char direction, std::span<const uint8_t> bytes) {
  std::fputc(direction, out);
  std::fputc(' ', out);
  for (uint8_t b : bytes) std::fprintf(out, "%02x", b);
  std::fputc('\n', out);
}

const char* IoText(platform::HidIo io) {
  switch (io) {
    case platform::HidIo::Ok: return "ok";
    case platform::HidIo::TimedOut: return "timed out";
    case platform::HidIo::Aborted: return "aborted";
    case platform::HidIo::Failed: return "failed";
  }
  return "?";
}

class TracingHandle : public platform::HidHandle {
 public:
  TracingHandle(std::unique_ptr<platform::HidHandle> inner, std::FILE* out) : inner_(std::move(inner)), out_(out) {}

  uint16_t VendorId() const override { return inner_->VendorId(); }
  uint16_t ProductId() const override { return inner_->ProductId(); }
  std::span<const uint8_t> ReportDescriptor() const override { return inner_->ReportDescriptor(); }
  size_t CollectionIndex() const override { return inner_->CollectionIndex(); }

  platform::HidIo Write(std::span<const uint8_t> report, int timeoutMs, platform::AbortEvent& abort,
                        size_t& written) override {
    const platform::HidIo io = inner_->Write(report, timeoutMs, abort, written);
    PrintReport(out_, '>', report);
    if (io != platform::HidIo::Ok) std::fprintf(out_, "> write %s\n", IoText(io));
    return io;
  }

  platform::HidIo Read(std::span<uint8_t> buffer, int timeoutMs, platform::AbortEvent& abort,
                       size_t& got) override {
    const platform::HidIo io = inner_->Read(buffer, timeoutMs, abort, got);
    if (io == platform::HidIo::Ok)
      PrintReport(out_, '<', buffer.first(got));
    else
      std::fprintf(out_, "< read %s\n", IoText(io));
    return io;
  }

 private:
  std::unique_ptr<platform::HidHandle> inner_;
  std::FILE* out_;
};

}  // namespace

bool TracingBackend::Enumerate(std::vector<platform::HidInterfaceInfo>& out) { return inner_.Enumerate(out); }

std::unique_ptr<platform::HidHandle> TracingBackend::Open(const std::string& path,
                                                          const platform::HidOpenRequest& request,
                                                          platform::HidOpenError* error) {
  auto inner = inner_.Open(path, request, error);
  if (!inner) return nullptr;
  return std::make_unique<TracingHandle>(std::move(inner), out_);
}

}  // namespace talvo::tools
