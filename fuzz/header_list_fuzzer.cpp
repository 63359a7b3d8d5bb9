// Reads every name and value of an arbitrary header block, then sets an
// arbitrary value and checks that the lines it writes hold no line break and
// that only continuation lines follow the first.
#include <cstdlib>

#include "fuzz_input.h"
#include "headers/header_list.h"

using meridian::net::TNetHeaderList;

namespace {

// True when the text ends with a lead byte whose second byte is missing: the
// separator after such a name would be read as its second byte.
bool EndsInsideCharacter(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) i += meridian::rtl::IsLeadByte(text[i]) ? 2 : 1;
  return i > text.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  meridian::fuzz::FuzzInput input(data, size);
  input.PickCodePage();
  const int32_t width = static_cast<int8_t>(input.Byte());
  const std::string name = input.Text();
  const std::string value = input.Text();

  TNetHeaderList list;
  list.SetFoldWidth(width);
  list.SetText(input.Rest());
  for (int32_t i = 0; i < list.Count(); ++i) {
    list.NameAt(i);
    list.ValueAt(i);
  }
  list.GetValue(name);

  // A name with a fold break character in it may itself be folded.
  const bool plain_name = !name.empty() && name.find_first_of(":\r\n \t,") == std::string::npos &&
                          !EndsInsideCharacter(name);
  list.SetValue(name, value);
  if (!plain_name || value.empty()) return 0;
  const int32_t at = list.FindName(name);
  if (at < 0) abort();
  for (int32_t i = at; i < list.Count(); ++i) {
    const std::string& line = list.Strings(i);
    if (line.find_first_of("\r\n") != std::string::npos) abort();
    if (i > at && !TNetHeaderList::IsContinuationLine(line)) break;
  }
  // Reading the lines back as wire text finds the same header first.
  TNetHeaderList reread;
  reread.SetText(list.Text());
  if (reread.Count() != list.Count() || reread.GetValue(name) != list.GetValue(name)) abort();
  return 0;
}
