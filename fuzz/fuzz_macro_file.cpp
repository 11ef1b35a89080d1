// Macro index and ".mac" files come from the user's folders and from imports;
// any bytes must read within the bounds the model promises, every step text
// must parse or be refused without fault, a parsed step must format back to
// a text that parses to the same step, and the image of what was read must
// have the length and header it announces.
//
// Input: the whole input is read as an index file and as a ".mac" file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "macros/macro_action.h"
#include "macros/macro_files.h"
#include "macros/macro_image.h"
#include "platform/ini_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace talvo::macros;
  const auto file = talvo::platform::IniLookup::Parse(std::span(data, size));

  // A count costs at most what the file holds beside it.
  const std::vector<std::string> names = MacroNames(file);
  Check(names.size() <= kMaxIndexedMacros && names.size() <= file.KeyCount("MACRONAME"));
  for (const std::string& name : names) {
    if (IsSafeMacroName(name))
      Check(name.find('/') == name.npos && name.find('\\') == name.npos && name != "." && name != "..");
  }

  const std::vector<std::string> steps = MacroSteps(file);
  Check(steps.size() <= kMaxSteps && steps.size() <= file.KeyCount("MACROACTION"));
  for (const std::string& text : steps) {
    if (const auto action = ParseAction(text)) Check(ParseAction(FormatAction(*action)) == action);
  }
  // The label is what follows the last comma, so a raw input parses too.
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  if (const auto action = ParseAction(raw)) Check(raw.ends_with(action->label));

  const std::vector<MacroRecord> macros{{"m", steps}};
  const std::vector<uint8_t> image = BuildMacroImage(macros);
  if (const auto length = MacroImageLength(macros)) {
    Check(image.size() == *length);
    Check(image[0] == 0xAA && image[1] == 0x55 && size_t(image[2] | image[3] << 8) == *length);
    Check(size_t(image[18] | image[19] << 8) == steps.size());
  } else {
    Check(image.empty());
  }
  return 0;
}
