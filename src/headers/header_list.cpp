#include "headers/header_list.h"

#include <vector>

#include "rtl/text.h"
#include "rtl/wrap_text.h"

namespace meridian::net {

namespace {

// Folds after the blanks and commas that separate list items and words.
constexpr std::string_view kFoldBreak = "\r\n ";
constexpr std::string_view kFoldBreakChars = " \t,";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// A bare CR or LF in a value would end the header line on the wire and let
// the value inject lines of its own; only CR LF followed by a blank (a fold)
// is kept.
std::string NeutraliseLineBreaks(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    if (out[i] != '\r' && out[i] != '\n') continue;
    if (out[i] == '\r' && i + 2 < out.size() && out[i + 1] == '\n' && IsBlank(out[i + 2])) {
      i += 2;
      continue;
    }
    out[i] = ' ';
  }
  return out;
}

}  // namespace

bool TNetHeaderList::IsContinuationLine(std::string_view line) { return !line.empty() && IsBlank(line[0]); }

std::string_view TNetHeaderList::LineName(int32_t index) const {
  const std::string& line = Strings(index);
  std::string_view separator = name_separator_;
  while (!separator.empty() && static_cast<unsigned char>(separator.back()) <= ' ') separator.remove_suffix(1);
  const size_t at = rtl::FirstOccurrence(separator, line);
  return at == 0 ? std::string_view() : std::string_view(line).substr(0, at - 1);
}

bool TNetHeaderList::NameIs(int32_t index, std::string_view name) const {
  // The cheap test first: most lines differ in their first letters.
  const std::string& line = Strings(index);
  return line.size() >= name.size() && rtl::SameText(std::string_view(line).substr(0, name.size()), name) &&
         LineName(index).size() == name.size();
}

std::string TNetHeaderList::NameAt(int32_t index) const {
  if (index < 0 || index >= Count()) return {};
  const std::string_view name = LineName(index);
  return match_case_ ? std::string(name) : rtl::UpperCase(name);
}

std::string TNetHeaderList::ValueAt(int32_t index) const {
  if (index < 0 || index >= Count()) return {};
  const std::string& line = Strings(index);
  // The value starts one byte past the name's end, behind the ":".
  const size_t start = LineName(index).size() + 1;
  std::string value = start < line.size() ? line.substr(start) : std::string();
  if (join_continuations_) {
    // Joining trims both sides of each piece; leading blanks of the whole are
    // trimmed once at the end, so trailing ones are all that need going here.
    for (int32_t i = index + 1; i < Count() && IsContinuationLine(Strings(i)); ++i) {
      while (!value.empty() && static_cast<unsigned char>(value.back()) <= ' ') value.pop_back();
      value += ' ';
      value += rtl::Trim(Strings(i));
    }
  }
  return rtl::Trim(value);
}

int32_t TNetHeaderList::FindName(std::string_view name) const {
  for (int32_t i = 0; i < Count(); ++i) {
    if (NameIs(i, name)) return i;
  }
  return -1;
}

std::string TNetHeaderList::GetValue(std::string_view name) const { return ValueAt(FindName(name)); }

void TNetHeaderList::SetValue(std::string_view name, std::string_view value) {
  int32_t index = FindName(name);
  if (!value.empty()) {
    if (index < 0) index = Add(std::string());
    std::string line = NeutraliseLineBreaks(std::string(name) + name_separator_ + std::string(value));
    if (fold_on_set_) {
      DropContinuations(index);
      WriteFolded(index, line);
    } else {
      SetStrings(index, std::move(line));
    }
  } else if (index >= 0) {
    if (fold_on_set_) DropContinuations(index);
    Delete(index);
  }
}

void TNetHeaderList::CollectValues(std::string_view name, rtl::TStringList* dest) const {
  if (dest == nullptr) return;
  for (int32_t i = 0; i < Count(); ++i) {
    if (NameIs(i, name)) dest->Add(ValueAt(i));
  }
}

void TNetHeaderList::DropContinuations(int32_t index) {
  while (index + 1 < Count() && IsContinuationLine(Strings(index + 1))) Delete(index + 1);
}

void TNetHeaderList::WriteFolded(int32_t index, std::string_view text) {
  const std::string wrapped = rtl::WrapText(text, kFoldBreak, kFoldBreakChars, fold_width_);
  std::vector<std::string> pieces;
  size_t start = 0;
  while (true) {
    const size_t end = wrapped.find("\r\n", start);
    std::string piece = rtl::TrimRight(std::string_view(wrapped).substr(start, end - start));
    // An empty piece would be an empty line, which ends a header block.
    if (pieces.empty() || !piece.empty()) pieces.push_back(std::move(piece));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  SetStrings(index, pieces.back());
  for (size_t i = pieces.size() - 1; i-- > 0;) Insert(index, std::move(pieces[i]));
}

}  // namespace meridian::net
