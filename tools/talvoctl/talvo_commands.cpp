#include "talvo_commands.h"

#include <charconv>
#include <cstdio>
#include <limits>
#include <vector>

#include "talvo_status.h"

namespace talvo::tools {
namespace {

// The same codes the direct commands use for an absent device and a failure.
enum Exit { kOk = 0, kNotRunning = 1, kRefused = 3 };

struct Word {
  std::string_view text;
  TalvoVerb verb;
  size_t words;  // how many plain words follow it
};

constexpr Word kWords[] = {
    {"status", TalvoVerb::Status, 0},       {"profile", TalvoVerb::SelectProfile, 4},
    {"onboard", TalvoVerb::SelectOnboard, 2}, {"light", TalvoVerb::SetLighting, 2},
    {"dpi", TalvoVerb::SetDpi, 2},           {"store", TalvoVerb::Store, 1},
};

const Word* FindWord(std::string_view text) {
  for (const Word& word : kWords) {
    if (word.text == text) return &word;
  }
  return nullptr;
}

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

// The plain words of each command, checked and stored in command.
bool TakeWords(TalvoCommand& command, const std::vector<std::string_view>& words) {
  switch (command.verb) {
    case TalvoVerb::Status:
      return true;
    case TalvoVerb::SelectProfile:
      if (words[0] != "select" || !IsDevice(words[1]) || !IsKind(words[2]) || !IsUnicodeText(words[3])) return false;
      command.device = words[1];
      command.kind = words[2];
      command.name = words[3];
      return true;
    case TalvoVerb::SelectOnboard: {
      const auto number = ParseNumber(words[1], 1, 5);
      if (!IsDevice(words[0]) || !number) return false;
      command.device = words[0];
      command.number = *number;
      return true;
    }
    case TalvoVerb::SetLighting:
      if (!IsDevice(words[0]) || words[1].empty() || !IsUnicodeText(words[1])) return false;
      command.device = words[0];
      command.name = words[1];
      return true;
    case TalvoVerb::SetDpi: {
      const auto stage = ParseNumber(words[0], 1, 4);
      const auto value = ParseNumber(words[1], 1, std::numeric_limits<uint32_t>::max());
      if (!stage || !value) return false;
      command.number = *stage;
      command.value = *value;
      return true;
    }
    case TalvoVerb::Store:
      if (!IsDevice(words[0])) return false;
      command.device = words[0];
      return true;
  }
  return false;
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

std::optional<TalvoCommand> ParseTalvoCommand(std::string_view word, std::span<char* const> arguments, bool json) {
  const Word* found = FindWord(word);
  if (!found) return std::nullopt;
  TalvoCommand command;
  command.verb = found->verb;
  command.json = json;
  const bool light = command.verb == TalvoVerb::SetLighting;
  constexpr uint32_t kMaxLevel = std::numeric_limits<int32_t>::max();
  std::vector<std::string_view> words;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string_view arg = arguments[i];
    const bool valueFollows = i + 1 < arguments.size();
    // Each lighting option may come once: a second one is more likely a slip than a wish.
    if (arg == "--json") {
      command.json = true;
    } else if (light && arg == "--brightness" && valueFollows && command.brightness < 0) {
      const auto level = ParseNumber(arguments[++i], 0, kMaxLevel);
      if (!level) return std::nullopt;
      command.brightness = static_cast<int32_t>(*level);
    } else if (light && arg == "--speed" && valueFollows && command.speed < 0) {
      const auto level = ParseNumber(arguments[++i], 0, kMaxLevel);
      if (!level) return std::nullopt;
      command.speed = static_cast<int32_t>(*level);
    } else if (light && arg == "--colour" && valueFollows && command.colour.empty()) {
      command.colour = arguments[++i];
      if (!IsColour(command.colour)) return std::nullopt;
    } else if (arg.starts_with("--")) {
      return std::nullopt;
    } else {
      words.push_back(arg);
    }
  }
  if (words.size() != found->words || !TakeWords(command, words)) return std::nullopt;
  return command;
}

int RunTalvoCommand(const TalvoCommand& command, TalvoBusClient& client) {
  const BusReply reply = Send(command, client);
  const bool status = command.verb == TalvoVerb::Status;
  if (reply.outcome != BusOutcome::Ok) {
    if (command.json && !status) std::printf("{\"ok\":false,\"error\":%s}\n", JsonQuoted(reply.text).c_str());
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
