// The controls a page handles, as a table the window's router builds its
// lookup from: each row names a notification type, how the sender's name
// matches, and the page's member function that handles it. Tables are
// constant data, so the names a page answers to can be listed (and checked
// against the layouts) without building the page.
#pragma once

#include <climits>
#include <optional>
#include <span>
#include <string_view>

#include "toolkit/toolkit.h"

namespace talvo::pages {

enum class NameMatch {
  Exact,   // the whole name
  Family,  // the name followed by a decimal number within [first, last]
  Ending,  // any name ending so
};

// Which notifications a row takes. Names compare case-insensitively.
struct ControlName {
  std::string_view type;  // "click", "selectchanged", …
  NameMatch match = NameMatch::Exact;
  std::string_view name;  // the exact name, the family's "prefix_", or the ending
  // Family: the numbers taken. Exact and ending: the number handed to the
  // handler (-1 unless the row gives one).
  int first = -1;
  int last = -1;
  // An option that leaves its page ("selectchanged" only): it passes the
  // unsaved-macro guard, releases the input capture and switches tabs before
  // it reaches its handler. Other options stay on their page and skip all
  // three.
  bool leavesPage = false;

  constexpr ControlName LeavingPage() const {
    ControlName copy = *this;
    copy.leavesPage = true;
    return copy;
  }
};

constexpr ControlName Exact(std::string_view type, std::string_view name, int index = -1) {
  return {type, NameMatch::Exact, name, index, index};
}
constexpr ControlName Family(std::string_view type, std::string_view prefix, int first = 0, int last = INT_MAX) {
  return {type, NameMatch::Family, prefix, first, last};
}
constexpr ControlName Ending(std::string_view type, std::string_view ending, int index = -1) {
  return {type, NameMatch::Ending, ending, index, index};
}

// index: the family member's number, or the exact row's own number.
template <typename Page>
using ControlHandler = void (Page::*)(const toolkit::Notification& n, int index);

template <typename Page>
struct ControlBinding {
  ControlName control;
  // None: the option is the page's own (it reads it when it needs it); it
  // stays on its page and reaches nobody.
  ControlHandler<Page> handler = nullptr;
};

// The index a row hands its handler when it takes a notification from the
// sender `name`, or nothing when it does not.
std::optional<int> IndexFor(const ControlName& row, std::string_view name);

// Runs every row of the table that takes the notification, in table order.
// The router runs bound tables so; this is for a page on its own.
template <typename Page>
void Dispatch(Page& page, std::span<const ControlBinding<Page>> table, const toolkit::Notification& n) {
  for (const ControlBinding<Page>& row : table)
    if (row.control.type == n.type && row.handler)
      if (const std::optional<int> index = IndexFor(row.control, n.sender)) (page.*row.handler)(n, *index);
}

}  // namespace talvo::pages
