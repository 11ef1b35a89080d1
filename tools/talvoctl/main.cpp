// talvoctl: the device link from the command line, for diagnostics and scripts,
// and a client of a running Talvo on the session bus, so that scripts change
// things through Talvo and its pages, files and devices stay in agreement.
//
//   talvoctl [--simulate] [--trace] [--device mouse|keyboard|mousepad] COMMAND
//   talvoctl [--json] TALVO-COMMAND
//   talvoctl --help | --version
//
// Exit codes: 0 success, 1 device absent or silent (Talvo not running or
// silent), 2 bad arguments, 3 the device reported failure (Talvo refused).
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/chid_device.h"
#include "device/device_commands.h"
#include "device/device_link.h"
#include "device/device_report.h"
#include "platform/hid_backend.h"
#include "platform/hidraw_backend.h"
#include "sim/simulated_backend.h"
#include "talvo_bus_client.h"
#include "talvo_commands.h"
#include "talvo_status.h"
#include "tracing_backend.h"

namespace {

using namespace talvo;

enum Exit { kOk = 0, kAbsent = 1, kUsage = 2, kDeviceFailure = 3 };

constexpr const char* kUsageText =
    "usage: talvoctl [--simulate] [--trace] [--device mouse|keyboard|mousepad] COMMAND\n"
    "       talvoctl [--json] TALVO-COMMAND\n"
    "       talvoctl --help | --version\n"
    "commands, on the device directly:\n"
    "  list               every interface of vendor 0c45 and whether it can be opened\n"
    "  info               the 33-byte information block\n"
    "  settings           the active profile and the five profile blocks\n"
    "  keymap P           the key map of onboard profile P (1..5)\n"
    "  default-map        the factory key map\n"
    "  select-profile N   make onboard profile N (1..5) the active one\n"
    "  restore-defaults   return the device to its factory settings\n"
    "TALVO-COMMANDs, through the running Talvo (DEVICE: mouse, keyboard or mousepad):\n"
    "  status [--json]                         devices, lighting, onboard and chosen profiles, DPI\n"
    "  profile select DEVICE KIND NAME [--json]\n"
    "                                          choose the profile NAME of KIND (key, lighting or device)\n"
    "  onboard DEVICE N [--json]               make onboard profile N (1..5) the active one\n"
    "  light DEVICE MODE [--brightness B] [--speed S] [--colour RRGGBB] [--json]\n"
    "                                          set the lighting; MODE: a number or a name\n"
    "  dpi STAGE VALUE [--json]                set the mouse's DPI stage STAGE (1..6) to VALUE\n"
    "  store DEVICE [--json]                   store the key profile and macros in the device\n"
    "  --json: status prints Talvo's JSON, the others {\"ok\":true}; every failure {\"ok\":false,\"error\":...}\n"
    "exit codes: 0 success, 1 device absent or silent (Talvo not running or silent), 2 bad arguments,\n"
    "            3 device failure (Talvo refused)\n";

struct Options {
  bool help = false;
  bool version = false;
  bool simulate = false;
  bool trace = false;
  bool deviceGiven = false;
  bool json = false;
  uint16_t productId = device::kMouseProductId;
  std::string command;
  // The onboard profile of keymap and select-profile, as the device numbers it (0..4).
  std::optional<unsigned> profile;
  std::optional<tools::TalvoCommand> talvo;
  // What is wrong with the arguments, in one line; empty when nothing is.
  std::string error;
};

// An argument as a message shows it.
std::string Shown(std::string_view text) { return "'" + tools::Printable(text) + "'"; }

Options Refused(std::string error) {
  Options options;
  options.error = std::move(error);
  return options;
}

Options ParseArguments(int argc, char** argv) {
  Options options;
  int i = 1;
  for (; i < argc && argv[i][0] == '-' && (argv[i][1] == '-' || argv[i][1] == 'h'); ++i) {
    std::string_view arg = argv[i];
    // Asked for, help and the version are answers rather than usage errors,
    // whatever else came with them.
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      return options;
    }
    if (arg == "--version") {
      options.version = true;
      return options;
    }
    if (arg == "--simulate") {
      options.simulate = true;
    } else if (arg == "--trace") {
      options.trace = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--device") {
      if (i + 1 == argc) return Refused("--device needs a device (mouse, keyboard, mousepad)");
      options.deviceGiven = true;
      std::string_view name = argv[++i];
      if (name == "mouse") options.productId = device::kMouseProductId;
      else if (name == "keyboard") options.productId = device::kKeyboardProductId;
      else if (name == "mousepad") options.productId = device::kMousepadProductId;
      else return Refused("unknown device " + Shown(name) + " (mouse, keyboard, mousepad)");
    } else {
      return Refused("unknown option " + Shown(arg));
    }
  }
  if (i >= argc) return Refused("no command given (talvoctl --help lists them)");
  options.command = argv[i++];
  // The options of the direct commands do not apply to Talvo's, nor --json to the direct ones.
  if (tools::IsTalvoCommand(options.command)) {
    for (const auto& [given, name] : {std::pair{options.simulate, "--simulate"}, std::pair{options.trace, "--trace"},
                                      std::pair{options.deviceGiven, "--device"}})
      if (given)
        return Refused(std::string(name) + " applies to the commands on the device only, not to " + options.command);
    options.talvo = tools::ParseTalvoCommand(options.command, {argv + i, argv + argc}, options.json, &options.error);
    return options;
  }
  const bool takesNumber = options.command == "keymap" || options.command == "select-profile";
  const bool known = takesNumber || options.command == "list" || options.command == "info" ||
                     options.command == "settings" || options.command == "default-map" ||
                     options.command == "restore-defaults";
  if (!known) return Refused("unknown command " + Shown(options.command) + " (talvoctl --help lists them)");
  if (options.json) return Refused("--json applies to the commands of a running Talvo only, not to " + options.command);
  if (takesNumber) {
    const std::string range = "1 to " + std::to_string(tools::kOnboardProfiles);
    if (i >= argc) return Refused(options.command + " needs an onboard profile number (" + range + ")");
    const std::string_view number = argv[i++];
    if (number.size() != 1 || number[0] < '1' || number[0] > char('0' + tools::kOnboardProfiles))
      return Refused("onboard profile " + Shown(number) + " is not a number from " + range);
    options.profile = unsigned(number[0] - '1');
  }
  if (i != argc) return Refused("unexpected " + Shown(argv[i]) + " after " + options.command);
  return options;
}

int ExitFor(int result) {
  if (result == 1) return kOk;
  if (result == 0 || result == -1) return kAbsent;
  if (result == -201) return kUsage;
  return kDeviceFailure;
}

int Report(const char* what, int result) {
  if (result != 1) std::fprintf(stderr, "talvoctl: %s: %s (%d)\n", what, device::ResultText(result), result);
  return ExitFor(result);
}

void PrintHexRows(std::span<const uint8_t> bytes, size_t base, size_t perRow) {
  for (size_t row = 0; row < bytes.size(); row += perRow) {
    std::printf("%04zx:", base + row);
    for (size_t i = row; i < row + perRow && i < bytes.size(); ++i) std::printf(" %02x", bytes[i]);
    std::printf("\n");
  }
}

const char* OpenErrorText(platform::HidOpenError error) {
  switch (error) {
    case platform::HidOpenError::None: return "yes";
    case platform::HidOpenError::NotFound: return "no (gone)";
    case platform::HidOpenError::PermissionDenied: return "no (permission denied)";
    case platform::HidOpenError::Busy: return "no (held exclusively)";
    case platform::HidOpenError::Other: return "no";
  }
  return "no";
}

int ListInterfaces(platform::HidBackend& backend) {
  std::vector<platform::HidInterfaceInfo> interfaces;
  if (!backend.Enumerate(interfaces)) {
    std::fprintf(stderr, "talvoctl: cannot list HID interfaces\n");
    return kAbsent;
  }
  bool any = false;
  bool denied = false;
  for (const auto& info : interfaces) {
    if (info.vendorId != device::kVendorId) continue;
    any = true;
    platform::HidOpenError error = platform::HidOpenError::None;
    auto handle = backend.Open(info.path, {.read = true, .write = true}, &error);
    if (handle) error = platform::HidOpenError::None;
    denied |= error == platform::HidOpenError::PermissionDenied;
    std::printf("%s  %04x:%04x  usage page %04x usage %04x  interface %d  open: %s\n", info.path.c_str(),
                info.vendorId, info.productId, info.usagePage, info.usage, info.interfaceNumber,
                OpenErrorText(error));
  }
  if (!any) {
    std::printf("no interface of vendor 0c45 present\n");
    return kAbsent;
  }
  if (denied)
    std::printf("hint: install data/udev/70-talvo.rules into /etc/udev/rules.d (or run cmake --install),\n"
                "      then run: udevadm control --reload && udevadm trigger, and plug the device in again\n");
  return kOk;
}

int ReadKeyMapCommand(device::CDeviceLink& link, const Options& options) {
  // The keyboard's map covers three bytes per key, as its information block says.
  if (options.productId == device::kKeyboardProductId) {
    device::DeviceInfo info{};
    if (int r = device::ReadDeviceInfo(link, info); r != 1) return Report("information block", r);
    if (link.SetTransferSize(static_cast<uint16_t>(info.KeyCount() * 3)) != 1) {
      std::fprintf(stderr, "talvoctl: the keyboard reports %u keys, more than a key map holds\n", info.KeyCount());
      return kDeviceFailure;
    }
  }
  std::vector<uint8_t> map(link.TransferSize(), 0);
  const int r = options.command == "keymap" ? device::ReadKeyMap(link, *options.profile, map)
                                            : device::ReadDefaultMap(link, map);
  if (r != 1) return Report("key map", r);
  for (size_t key = 0; key + 3 <= map.size(); key += 3)
    std::printf("key %3zu: %02x %02x %02x\n", key / 3, map[key], map[key + 1], map[key + 2]);
  return kOk;
}

int RunCommand(device::CDeviceLink& link, const Options& options) {
  if (options.command == "info") {
    device::DeviceInfo info{};
    if (int r = device::ReadDeviceInfo(link, info); r != 1) return Report("information block", r);
    PrintHexRows(info.bytes, 0, 16);
    std::printf("key count %u, macro memory %u bytes\n", info.KeyCount(), info.MacroCapacity() * 128u);
    return kOk;
  }
  if (options.command == "settings") {
    uint8_t active = 0;
    if (int r = device::ReadSettings(link, 1, 0, {&active, 1}); r != 1) return Report("active profile", r);
    // Numbered from 1, as the pages and the commands number them.
    std::printf("active profile %u\n", active + 1u);
    for (unsigned p = 0; p < tools::kOnboardProfiles; ++p) {
      std::array<uint8_t, device::kReportDataSize> block{};
      if (int r = device::ReadSettings(link, static_cast<uint8_t>(block.size()), static_cast<uint16_t>(p * 64), block); r != 1)
        return Report("profile block", r);
      std::printf("profile %u\n", p + 1);
      PrintHexRows(block, p * 64, 16);
    }
    return kOk;
  }
  if (options.command == "keymap" || options.command == "default-map") return ReadKeyMapCommand(link, options);
  if (options.command == "select-profile") {
    const uint8_t number = static_cast<uint8_t>(*options.profile);
    return Report("select profile", device::WriteSettings(link, 1, 0, {&number, 1}));
  }
  return Report("restore defaults", device::RestoreDefaults(link));
}

}  // namespace

int main(int argc, char** argv) {
  const auto options = ParseArguments(argc, argv);
  if (!options.error.empty()) {
    // --json anywhere asks for JSON, even where the words around it are wrong.
    const bool json =
        std::any_of(argv + 1, argv + argc, [](const char* arg) { return std::string_view(arg) == "--json"; });
    return tools::UsageError(options.error, json);
  }
  if (options.help) {
    std::fputs(kUsageText, stdout);
    return kOk;
  }
  if (options.version) {
    std::puts("talvoctl " TALVO_VERSION);
    return kOk;
  }
  if (options.talvo) {
    tools::TalvoBusClient client;
    return tools::RunTalvoCommand(*options.talvo, client);
  }

  std::unique_ptr<platform::HidBackend> base;
  if (options.simulate) {
    auto simulated = std::make_unique<sim::SimulatedBackend>();
    simulated->Plug(sim::DeviceKind::Mouse);
    simulated->Plug(sim::DeviceKind::Keyboard);
    simulated->Plug(sim::DeviceKind::Mousepad);
    base = std::move(simulated);
  } else {
    base = std::make_unique<platform::HidrawBackend>();
  }
  std::unique_ptr<tools::TracingBackend> tracing;
  if (options.trace) tracing = std::make_unique<tools::TracingBackend>(*base, stdout);
  platform::HidBackend& backend = tracing ? static_cast<platform::HidBackend&>(*tracing) : *base;

  if (options.command == "list") return ListInterfaces(backend);

  device::CDeviceLink link(backend);
  link.SetDeviceIdentity(device::kVendorId, options.productId, device::kCommandUsage, device::kCommandUsagePage);
  if (!link.Attach()) {
    std::fprintf(stderr, "talvoctl: no device %04x:%04x with a command interface is present (try: talvoctl list)\n",
                 device::kVendorId, options.productId);
    return kAbsent;
  }
  return RunCommand(link, options);
}
