#include "macros/macro_draft.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace talvo::macros {
namespace {

using Strings = std::vector<std::string>;

// Every edit opens the session, including one that finds no step to change;
// loading and saving close it.
TEST(MacroDraftTest, EditsChangeTheStepsAndOpenTheSession) {
  struct Case {
    const char* what;
    std::function<void(MacroDraft&)> edit;
    Strings after;
  };
  const std::vector<Case> cases = {
      {"up", [](MacroDraft& d) { EXPECT_EQ(d.Move(1, StepMove::Up), 0u); }, {"b", "a", "c"}},
      {"up from the top", [](MacroDraft& d) { EXPECT_EQ(d.Move(0, StepMove::Up), 0u); }, {"a", "b", "c"}},
      {"down", [](MacroDraft& d) { EXPECT_EQ(d.Move(1, StepMove::Down), 2u); }, {"a", "c", "b"}},
      {"down from the bottom", [](MacroDraft& d) { EXPECT_EQ(d.Move(2, StepMove::Down), 2u); }, {"a", "b", "c"}},
      {"top", [](MacroDraft& d) { EXPECT_EQ(d.Move(2, StepMove::Top), 0u); }, {"c", "a", "b"}},
      {"bottom", [](MacroDraft& d) { EXPECT_EQ(d.Move(0, StepMove::Bottom), 2u); }, {"b", "c", "a"}},
      {"move beyond", [](MacroDraft& d) { EXPECT_EQ(d.Move(3, StepMove::Top), 3u); }, {"a", "b", "c"}},
      {"insert", [](MacroDraft& d) { EXPECT_EQ(d.Insert(1, {"x"}), 1u); }, {"a", "x", "b", "c"}},
      {"insert beyond appends", [](MacroDraft& d) { EXPECT_EQ(d.Insert(9, {"x"}), 3u); }, {"a", "b", "c", "x"}},
      {"replace", [](MacroDraft& d) { d.Replace(2, "x"); }, {"a", "b", "x"}},
      {"replace beyond", [](MacroDraft& d) { d.Replace(3, "x"); }, {"a", "b", "c"}},
      {"remove", [](MacroDraft& d) { d.Remove(0); }, {"b", "c"}},
      {"remove beyond", [](MacroDraft& d) { d.Remove(3); }, {"a", "b", "c"}},
      {"remove all", [](MacroDraft& d) { d.RemoveAll(); }, {}},
      {"open a step", [](MacroDraft& d) { d.Touch(); }, {"a", "b", "c"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MacroDraft draft;
    draft.Load({"a", "b", "c"});
    ASSERT_FALSE(draft.Dirty());
    c.edit(draft);
    EXPECT_EQ(draft.Actions(), c.after);
    EXPECT_TRUE(draft.Dirty());
    draft.Saved();
    EXPECT_FALSE(draft.Dirty());
  }
}

}  // namespace
}  // namespace talvo::macros
