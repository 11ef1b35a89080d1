// A client of the running Talvo's interface on the user's session bus
// (org.talvo.Talvo1), through sd-bus: one blocking call per method.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

struct sd_bus;

namespace talvo::tools {

enum class BusOutcome {
  Ok,
  NotRunning,   // no session bus, or nobody owns org.talvo.Talvo1
  Unreachable,  // the call did not reach Talvo, or no answer came back in time
  Refused,      // Talvo answered with an error
};

struct BusReply {
  BusOutcome outcome = BusOutcome::NotRunning;
  std::string text;  // Status's JSON on Ok; the reason otherwise
};

class TalvoBusClient {
 public:
  // Connects to the session bus named by DBUS_SESSION_BUS_ADDRESS (or the
  // user's default one); without a bus every call answers NotRunning.
  TalvoBusClient();
  ~TalvoBusClient();
  TalvoBusClient(const TalvoBusClient&) = delete;
  TalvoBusClient& operator=(const TalvoBusClient&) = delete;

  BusReply Status();
  BusReply SelectProfile(const std::string& device, const std::string& kind, const std::string& name);
  BusReply SelectOnboard(const std::string& device, uint32_t number);
  // mode: a number or a name; brightness and speed -1 and colour "" keep the current value.
  BusReply SetLighting(const std::string& device, const std::string& mode, int32_t brightness, int32_t speed,
                       const std::string& colour);
  BusReply SetDpi(uint32_t stage, uint32_t value);
  BusReply Store(const std::string& device);

 private:
  // answersText: the reply carries a text (Status), returned in BusReply::text.
  template <typename... Args>
  BusReply Call(bool answersText, const char* method, const char* types, Args... args);

  struct BusCloser {
    void operator()(sd_bus* bus) const;
  };
  std::unique_ptr<sd_bus, BusCloser> bus_;
};

}  // namespace talvo::tools
