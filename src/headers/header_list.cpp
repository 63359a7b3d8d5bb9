#include "headers/header_list.h"

#include <algorithm>
#include <array>
#include <vector>

#include "rtl/text.h"
#include "rtl/wrap_text.h"

namespace meridian::net {

namespace {

// Folds after the blanks and commas that separate list items and words.
constexpr std::string_view kFoldBreak = "\r\n ";
constexpr std::string_view kFoldBreakChars = " \t,";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The most emptied lines a list keeps for reuse: more than a composed block
// has, and a bound on what a list that is cleared with more lines holds.
constexpr size_t kMaxSpareLines = 32;

// A bare CR or LF in a value would end the header line on the wire and let
// the value inject lines of its own; only CR LF followed by a blank (a fold)
// is kept.
void NeutraliseLineBreaks(std::string& text) {
  size_t i = std::min(text.find('\r'), text.find('\n'));
  for (; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    if (text[i] == '\r' && i + 2 < text.size() && text[i + 1] == '\n' && IsBlank(text[i + 2])) {
      i += 2;
      continue;
    }
    text[i] = ' ';
  }
}

}  // namespace

bool TNetHeaderList::IsContinuationLine(std::string_view line) { return !line.empty() && IsBlank(line[0]); }

std::string_view TNetHeaderList::NameEnd() const {
  std::string_view separator = name_separator_;
  while (!separator.empty() && static_cast<unsigned char>(separator.back()) <= ' ') separator.remove_suffix(1);
  return separator;
}

std::string_view TNetHeaderList::NameOf(std::string_view line, std::string_view end) {
  const size_t at = rtl::FirstOccurrence(end, line);
  return at == 0 ? std::string_view() : line.substr(0, at - 1);
}

std::string_view TNetHeaderList::LineName(int32_t index) const { return NameOf(Strings(index), NameEnd()); }

bool TNetHeaderList::NameIs(std::string_view line, std::string_view name, std::string_view end) {
  // The cheap test first: the separator must follow right behind the name,
  // which rules out nearly every other line before any letter is compared.
  // The name ends at the separator's first occurrence, so none may come
  // earlier.
  // A line without the separator has an empty name.
  if (name.empty()) return rtl::FirstOccurrence(end, line) <= 1;
  const size_t named = name.size() + end.size();
  if (end.empty() || line.size() < named || line[name.size()] != end[0]) return false;
  return line.substr(name.size(), end.size()) == end && rtl::SameText(line.substr(0, name.size()), name) &&
         rtl::FirstOccurrence(end, line.substr(0, named)) == name.size() + 1;
}

std::string TNetHeaderList::NameAt(int32_t index) const {
  if (index < 0 || index >= Count()) return {};
  const std::string_view name = LineName(index);
  return match_case_ ? std::string(name) : rtl::UpperCase(name);
}

std::string TNetHeaderList::ValueAt(int32_t index) const {
  std::string value;
  ValueInto(index, value);
  return value;
}

void TNetHeaderList::ValueInto(int32_t index, std::string& value) const {
  value.clear();
  if (index < 0 || index >= Count()) return;
  const std::vector<std::string>& lines = Lines();
  const std::string_view line = lines[static_cast<size_t>(index)];
  // The value starts one byte past the name's end, behind the ":".
  const size_t start = NameOf(line, NameEnd()).size() + 1;
  const std::string_view first = start < line.size() ? line.substr(start) : std::string_view();
  const auto continues = [&](size_t i) { return join_continuations_ && i < lines.size() && IsContinuationLine(lines[i]); };
  size_t next = static_cast<size_t>(index) + 1;
  if (!continues(next)) {
    value = rtl::TrimmedView(first);
    return;
  }
  // Joining trims both sides of each piece; leading blanks of the whole are
  // trimmed once at the end, so trailing ones are all that need going here.
  value = first;
  for (; continues(next); ++next) {
    while (!value.empty() && static_cast<unsigned char>(value.back()) <= ' ') value.pop_back();
    value += ' ';
    value += rtl::TrimmedView(lines[next]);
  }
  const std::string_view trimmed = rtl::TrimmedView(value);
  const size_t lead = static_cast<size_t>(trimmed.data() - value.data());
  value.resize(lead + trimmed.size());
  value.erase(0, lead);
}

int32_t TNetHeaderList::FindName(std::string_view name, int32_t from) const {
  const std::string_view end = NameEnd();
  const std::vector<std::string>& lines = Lines();
  for (size_t i = static_cast<size_t>(std::max(from, 0)); i < lines.size(); ++i) {
    if (NameIs(lines[i], name, end)) return static_cast<int32_t>(i);
  }
  return -1;
}

void TNetHeaderList::FindNames(std::span<const std::string_view> names, std::span<int32_t> indexes) const {
  std::fill(indexes.begin(), indexes.end(), -1);
  // The first names chained by length, so that a line meets only the names
  // as long as its own; longer names share the last chain, names past the
  // chained ones are tried with every line.
  constexpr size_t kChains = 32;
  constexpr size_t kChained = 64;
  constexpr uint8_t kEnd = 0xFF;
  const size_t chained = std::min(names.size(), kChained);
  std::array<uint8_t, kChains> first;
  first.fill(kEnd);
  std::array<uint8_t, kChained> next;
  for (size_t k = chained; k-- > 0;) {
    uint8_t& head = first[std::min(names[k].size(), kChains - 1)];
    next[k] = head;
    head = static_cast<uint8_t>(k);
  }
  const auto match = [&](size_t k, std::string_view name, size_t line) {
    if (indexes[k] >= 0 || names[k].size() != name.size() || !rtl::SameText(name, names[k])) return false;
    indexes[k] = static_cast<int32_t>(line);
    return true;
  };
  const std::string_view end = NameEnd();
  size_t missing = names.size();
  const std::vector<std::string>& lines = Lines();
  for (size_t i = 0; i < lines.size() && missing > 0; ++i) {
    const std::string_view name = NameOf(lines[i], end);
    for (uint8_t k = first[std::min(name.size(), kChains - 1)]; k != kEnd; k = next[k]) {
      if (match(k, name, i)) --missing;
    }
    for (size_t k = chained; k < names.size(); ++k) {
      if (match(k, name, i)) --missing;
    }
  }
}

std::string TNetHeaderList::GetValue(std::string_view name) const { return ValueAt(FindName(name)); }

void TNetHeaderList::SetValue(std::string_view name, std::string_view value) {
  const int32_t index = FindName(name);
  if (index < 0) {
    AddValue(name, value);
  } else if (!value.empty()) {
    if (fold_on_set_) DropContinuations(index);
    WriteLine(index, name, value);
  } else {
    if (fold_on_set_) DropContinuations(index);
    Delete(index);
  }
}

void TNetHeaderList::AddValue(std::string_view name, std::string_view value) {
  if (value.empty()) return;
  std::string line = ComposedLine(name, value);
  if (!fold_on_set_ || FitsOneLine(line)) {
    Add(std::move(line));
  } else {
    WriteFolded(Add(std::string()), std::move(line));
  }
}

void TNetHeaderList::WriteLine(int32_t index, std::string_view name, std::string_view value) {
  std::string line = ComposedLine(name, value);
  if (fold_on_set_) {
    WriteFolded(index, std::move(line));
  } else {
    SetStrings(index, std::move(line));
  }
}

void TNetHeaderList::ClearKeepingStorage() {
  std::vector<std::string>& lines = MutableLines();
  for (std::string& line : lines) {
    if (spare_.size() >= kMaxSpareLines) break;
    line.clear();
    spare_.push_back(std::move(line));
  }
  lines.clear();
}

std::string TNetHeaderList::ComposedLine(std::string_view name, std::string_view value) {
  std::string line;
  if (!spare_.empty()) {
    line = std::move(spare_.back());
    spare_.pop_back();
  }
  line.reserve(name.size() + name_separator_.size() + value.size());
  line.append(name).append(name_separator_).append(value);
  NeutraliseLineBreaks(line);
  return line;
}

void TNetHeaderList::CollectValues(std::string_view name, rtl::TStringList* dest) const {
  if (dest == nullptr) return;
  for (int32_t i = FindName(name); i >= 0; i = FindName(name, i + 1)) dest->Add(ValueAt(i));
}

void TNetHeaderList::DropContinuations(int32_t index) {
  while (index + 1 < Count() && IsContinuationLine(Strings(index + 1))) Delete(index + 1);
}

bool TNetHeaderList::FitsOneLine(std::string& text) const {
  // A text shorter than the fold width with no break of its own stays one line.
  if (text.size() >= static_cast<size_t>(std::max(fold_width_, 0)) || text.find('\r') != std::string::npos) return false;
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ') text.pop_back();
  return true;
}

void TNetHeaderList::WriteFolded(int32_t index, std::string text) {
  if (FitsOneLine(text)) {
    SetStrings(index, std::move(text));
    return;
  }
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
