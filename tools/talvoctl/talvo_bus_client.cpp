#include "talvo_bus_client.h"

#include <systemd/sd-bus.h>

#include <cstring>

namespace talvo::tools {
namespace {

constexpr const char* kService = "org.talvo.Talvo1";
constexpr const char* kPath = "/org/talvo/Talvo1";
constexpr const char* kInterface = "org.talvo.Talvo1";
// Store writes the key profile and macros into the device before Talvo
// answers; that takes longer than sd-bus's default of 25 s allows for.
constexpr uint64_t kCallTimeoutUsec = 60'000'000;

struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
using MessagePtr = std::unique_ptr<sd_bus_message, MessageUnref>;

struct ErrorHolder {
  ErrorHolder() = default;
  ~ErrorHolder() { sd_bus_error_free(&error); }
  ErrorHolder(const ErrorHolder&) = delete;
  ErrorHolder& operator=(const ErrorHolder&) = delete;
  sd_bus_error error = SD_BUS_ERROR_NULL;
};

// sd-bus names local failures after their errno, so a lost connection or a
// time-out arrives under the same few names as the bus daemon's own verdicts.
BusReply FromError(const sd_bus_error& error, int result) {
  const std::string name = error.name ? error.name : "";
  if (name == SD_BUS_ERROR_NAME_HAS_NO_OWNER || name == SD_BUS_ERROR_SERVICE_UNKNOWN) {
    return {BusOutcome::NotRunning, "Talvo is not running"};
  }
  std::string message = error.message && error.message[0] ? error.message : name;
  if (message.empty()) message = std::strerror(-result);
  if (name.empty() || name == SD_BUS_ERROR_NO_REPLY || name == SD_BUS_ERROR_TIMEOUT ||
      name == SD_BUS_ERROR_DISCONNECTED || name.starts_with("System.Error.")) {
    return {BusOutcome::Unreachable, "Talvo did not answer: " + message};
  }
  return {BusOutcome::Refused, message};
}

}  // namespace

void TalvoBusClient::BusCloser::operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }

TalvoBusClient::TalvoBusClient() {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) >= 0) bus_.reset(bus);
}

TalvoBusClient::~TalvoBusClient() = default;

template <typename... Args>
BusReply TalvoBusClient::Call(bool answersText, const char* method, const char* types, Args... args) {
  if (!bus_) return {BusOutcome::NotRunning, "Talvo is not running"};
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(bus_.get(), &call, kService, kPath, kInterface, method);
  const MessagePtr ownedCall(call);
  // Without a running Talvo the call fails rather than have the bus try to
  // start one.
  if (r >= 0) r = sd_bus_message_set_auto_start(call, 0);
  if (r >= 0) r = sd_bus_message_append(call, types, args...);
  if (r < 0) return {BusOutcome::Unreachable, std::string("cannot make the call: ") + std::strerror(-r)};

  ErrorHolder error;
  sd_bus_message* reply = nullptr;
  r = sd_bus_call(bus_.get(), call, kCallTimeoutUsec, &error.error, &reply);
  const MessagePtr ownedReply(reply);
  if (r < 0) return FromError(error.error, r);
  if (!answersText) return {BusOutcome::Ok, {}};
  const char* text = nullptr;
  if (sd_bus_message_read(reply, "s", &text) < 0 || text == nullptr) {
    return {BusOutcome::Refused, "Talvo's status is not a text"};
  }
  return {BusOutcome::Ok, text};
}

BusReply TalvoBusClient::Status() { return Call(true, "Status", ""); }

BusReply TalvoBusClient::SelectProfile(const std::string& device, const std::string& kind, const std::string& name) {
  return Call(false, "SelectProfile", "sss", device.c_str(), kind.c_str(), name.c_str());
}

BusReply TalvoBusClient::SelectOnboard(const std::string& device, uint32_t number) {
  return Call(false, "SelectOnboard", "su", device.c_str(), number);
}

BusReply TalvoBusClient::SetLighting(const std::string& device, const std::string& mode, int32_t brightness,
                                     int32_t speed, const std::string& colour) {
  return Call(false, "SetLighting", "ssiis", device.c_str(), mode.c_str(), brightness, speed, colour.c_str());
}

BusReply TalvoBusClient::SetDpi(uint32_t stage, uint32_t value) { return Call(false, "SetDpi", "uu", stage, value); }

BusReply TalvoBusClient::Store(const std::string& device) { return Call(false, "Store", "s", device.c_str()); }

}  // namespace talvo::tools
