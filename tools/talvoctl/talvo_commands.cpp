#include "talvo_commands.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <vector>

#include "platform/files.h"
#include "talvo_status.h"

namespace talvo::tools {
namespace {

// The same codes the direct commands use for an absent device, bad
// arguments and a failure.
enum Exit { kOk = 0, kNotRunning = 1, kUsage = 2, kRefused = 3 };

struct Word {
  std::string_view text;
  TalvoVerb verb;
  std::string_view words;  // the plain words that follow it
};

constexpr Word kWords[] = {
    {"status", TalvoVerb::Status, ""},          {"profile", TalvoVerb::SelectProfile, "select DEVICE KIND NAME"},
    {"onboard", TalvoVerb::SelectOnboard, "DEVICE N"}, {"light", TalvoVerb::SetLighting, "DEVICE MODE"},
    {"dpi", TalvoVerb::SetDpi, "STAGE VALUE"},  {"store", TalvoVerb::Store, "DEVICE"},
};

const Word* FindWord(std::string_view text) {
  for (const Word& word : kWords) {
    if (word.text == text) return &word;
  }
  return nullptr;
}

size_t WordCount(std::string_view words) {
  return words.empty() ? 0 : size_t(std::count(words.begin(), words.end(), ' ')) + 1;
}

// An argument as a message shows it: quoted, its control characters as '?'.
std::string Shown(std::string_view text) { return "'" + Printable(text) + "'"; }

std::optional<uint32_t> ParseNumber(std::string_view text, uint32_t min, uint32_t max) {
  uint32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || ptr != end || value < min || value > max) return std::nullopt;
  return value;
}

bool IsDevice(std::string_view text) { return text == "mouse" || text == "keyboard" || text == "mousepad"; }

bool IsKind(std::string_view text) { return text == "key" || text == "lighting" || text == "device"; }

bool IsColour(std::string_view text) {
  if (text.size() != 6) return false;
  for (char c : text) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// A D-Bus string must be UTF-8 of Unicode characters; sd-bus refuses to send
// anything else, so a name that is not is a bad argument here.
bool IsUnicodeText(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 1;
    uint32_t code = lead;
    if (lead >= 0xf0 && lead <= 0xf4) {
      length = 4;
      code = lead & 0x07;
    } else if (lead >= 0xe0 && lead < 0xf0) {
      length = 3;
      code = lead & 0x0f;
    } else if (lead >= 0xc2 && lead < 0xe0) {
      length = 2;
      code = lead & 0x1f;
    } else if (lead >= 0x80) {
      return false;
    }
    if (text.size() - i < length) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xc0) != 0x80) return false;
      code = (code << 6) | (next & 0x3f);
    }
    const uint32_t shortest = length == 1 ? 0 : length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    const bool surrogate = code >= 0xd800 && code <= 0xdfff;
    const bool nonCharacter = (code >= 0xfdd0 && code <= 0xfdef) || (code & 0xfffe) == 0xfffe;
    if (code < shortest || code > 0x10ffff || surrogate || nonCharacter) return false;
    i += length;
  }
  return true;
}

// The plain words of each command, checked and stored in command; what is
// wrong otherwise.
std::string TakeWords(TalvoCommand& command, const std::vector<std::string_view>& words) {
  const auto device = [&](std::string_view word) -> std::string {
    if (!IsDevice(word)) return "unknown device " + Shown(word) + " (mouse, keyboard, mousepad)";
    command.device = word;
    return {};
  };
  switch (command.verb) {
    case TalvoVerb::Status:
      return {};
    case TalvoVerb::SelectProfile:
      if (words[0] != "select") return "unknown profile action " + Shown(words[0]) + " (select)";
      if (std::string wrong = device(words[1]); !wrong.empty()) return wrong;
      if (!IsKind(words[2])) return "unknown profile kind " + Shown(words[2]) + " (key, lighting, device)";
      if (!IsUnicodeText(words[3])) return "the profile name is not UTF-8 text";
      // Profile names are file names.
      if (words[3].size() > platform::kMaxFileNameBytes)
        return "the profile name is longer than " + std::to_string(platform::kMaxFileNameBytes) + " bytes";
      command.kind = words[2];
      command.name = words[3];
      return {};
    case TalvoVerb::SelectOnboard: {
      if (std::string wrong = device(words[0]); !wrong.empty()) return wrong;
      const auto number = ParseNumber(words[1], 1, kOnboardProfiles);
      if (!number)
        return "onboard profile " + Shown(words[1]) + " is not a number from 1 to " + std::to_string(kOnboardProfiles);
      command.number = *number;
      return {};
    }
    case TalvoVerb::SetLighting:
      if (std::string wrong = device(words[0]); !wrong.empty()) return wrong;
      if (words[1].empty()) return "the mode is empty";
      if (!IsUnicodeText(words[1])) return "the mode is not UTF-8 text";
      command.name = words[1];
      return {};
    case TalvoVerb::SetDpi: {
      const auto stage = ParseNumber(words[0], 1, kDpiStages);
      if (!stage) return "DPI stage " + Shown(words[0]) + " is not a number from 1 to " + std::to_string(kDpiStages);
      const auto value = ParseNumber(words[1], 1, std::numeric_limits<uint32_t>::max());
      if (!value) return "DPI " + Shown(words[1]) + " is not a positive number";
      command.number = *stage;
      command.value = *value;
      return {};
    }
    case TalvoVerb::Store:
      return device(words[0]);
  }
  return "unknown command";
}

BusReply Send(const TalvoCommand& command, TalvoBusClient& client) {
  switch (command.verb) {
    case TalvoVerb::Status: return client.Status();
    case TalvoVerb::SelectProfile: return client.SelectProfile(command.device, command.kind, command.name);
    case TalvoVerb::SelectOnboard: return client.SelectOnboard(command.device, command.number);
    case TalvoVerb::SetLighting:
      return client.SetLighting(command.device, command.name, command.brightness, command.speed, command.colour);
    case TalvoVerb::SetDpi: return client.SetDpi(command.number, command.value);
    case TalvoVerb::Store: return client.Store(command.device);
  }
  return {BusOutcome::Refused, "unknown command"};
}

}  // namespace

bool IsTalvoCommand(std::string_view word) { return FindWord(word) != nullptr; }

std::optional<TalvoCommand> ParseTalvoCommand(std::string_view word, std::span<char* const> arguments, bool json,
                                              std::string* error) {
  const Word* found = FindWord(word);
  if (!found) {
    *error = "unknown command " + Shown(word);
    return std::nullopt;
  }
  TalvoCommand command;
  command.verb = found->verb;
  command.json = json;
  const bool light = command.verb == TalvoVerb::SetLighting;
  constexpr uint32_t kMaxLevel = std::numeric_limits<int32_t>::max();
  const auto fail = [error](std::string what) {
    *error = std::move(what);
    return std::nullopt;
  };
  std::vector<std::string_view> words;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view arg = arguments[i];
    if (arg == "--json") {
      command.json = true;
      continue;
    }
    if (!arg.starts_with("--")) {
      words.push_back(arg);
      continue;
    }
    const bool lightOption = arg == "--brightness" || arg == "--speed" || arg == "--colour";
    if (!lightOption) return fail("unknown option " + Shown(arg));
    if (!light) return fail(std::string(word) + " takes no option " + Shown(arg));
    if (i + 1 == arguments.size()) return fail(std::string(arg) + " needs a value");
    const std::string_view value = arguments[++i];
    // Each may come once: a second one is more likely a slip than a wish.
    if (arg == "--colour") {
      if (!command.colour.empty()) return fail("--colour given twice");
      if (!IsColour(value)) return fail("--colour " + Shown(value) + " is not RRGGBB");
      command.colour = value;
      continue;
    }
    int32_t& level = arg == "--brightness" ? command.brightness : command.speed;
    if (level >= 0) return fail(std::string(arg) + " given twice");
    const auto number = ParseNumber(value, 0, kMaxLevel);
    if (!number) return fail(std::string(arg) + " " + Shown(value) + " is not a number");
    level = static_cast<int32_t>(*number);
  }
  const size_t expected = WordCount(found->words);
  if (words.size() < expected) return fail(std::string(word) + " needs " + std::string(found->words));
  if (words.size() > expected) {
    const std::string form = std::string(word) + (found->words.empty() ? "" : " ") + std::string(found->words);
    return fail("unexpected " + Shown(words[expected]) + " after " + form);
  }
  if (std::string wrong = TakeWords(command, words); !wrong.empty()) return fail(std::move(wrong));
  return command;
}

int UsageError(const std::string& what, bool json) {
  if (json) std::printf("{\"ok\":false,\"error\":%s}\n", JsonQuoted(what).c_str());
  std::fprintf(stderr, "talvoctl: %s\n", what.c_str());
  return kUsage;
}

int RunTalvoCommand(const TalvoCommand& command, TalvoBusClient& client) {
  const BusReply reply = Send(command, client);
  const bool status = command.verb == TalvoVerb::Status;
  if (reply.outcome != BusOutcome::Ok) {
    if (command.json) std::printf("{\"ok\":false,\"error\":%s}\n", JsonQuoted(reply.text).c_str());
    std::fprintf(stderr, "talvoctl: %s\n", Printable(reply.text).c_str());
    return reply.outcome == BusOutcome::Refused ? kRefused : kNotRunning;
  }
  if (!status) {
    if (command.json) std::puts("{\"ok\":true}");
    return kOk;
  }
  if (command.json) {
    std::fwrite(reply.text.data(), 1, reply.text.size(), stdout);
    std::fputc('\n', stdout);
    return kOk;
  }
  const std::optional<TalvoStatus> parsed = ParseTalvoStatus(reply.text);
  if (!parsed) {
    std::fprintf(stderr, "talvoctl: Talvo's status cannot be read (talvoctl status --json shows it as sent)\n");
    return kRefused;
  }
  std::fputs(FormatTalvoStatus(*parsed).c_str(), stdout);
  return kOk;
}

}  // namespace talvo::tools
