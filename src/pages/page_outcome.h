// What a page's checked setter answers: nothing when the change was carried
// out, or why it was refused, in words a user or a script can act on. A
// refused change has changed nothing.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace talvo::pages {

// Why a change was refused: a value the caller got wrong, or a state of the
// program or device that keeps it from being carried out.
struct Refusal {
  enum class Kind { InvalidArgument, Failed };
  Kind kind = Kind::InvalidArgument;
  std::string message;

  static Refusal Invalid(std::string message) { return {Kind::InvalidArgument, std::move(message)}; }
  static Refusal Failed(std::string message) { return {Kind::Failed, std::move(message)}; }
};
// Nothing when carried out.
using Outcome = std::optional<Refusal>;

// text in quotes for a message, cut after kQuotedBytes bytes (whole
// characters, "..." marking the cut): an argument may be megabytes long, and
// a reply or log line carries no more of it than a reader needs.
inline constexpr size_t kQuotedBytes = 40;
std::string Quoted(std::string_view text);

}  // namespace talvo::pages
