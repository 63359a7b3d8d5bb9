#include "rtl/string_list.h"

#include "rtl/exceptions.h"
#include "rtl/text.h"

namespace meridian::rtl {

void TStringList::Assign(const TPersistent& source) {
  if (const auto* list = dynamic_cast<const TStringList*>(&source)) {
    if (list != this) lines_ = list->lines_;
    return;
  }
  TPersistent::Assign(source);
}

void TStringList::CheckIndex(int32_t index, int32_t limit) const {
  if (index < 0 || index > limit) throw EListError(Format("List index out of bounds (%d)", index));
}

const std::string& TStringList::Strings(int32_t index) const {
  CheckIndex(index, Count() - 1);
  return lines_[static_cast<size_t>(index)];
}

void TStringList::SetStrings(int32_t index, std::string line) {
  CheckIndex(index, Count() - 1);
  lines_[static_cast<size_t>(index)] = std::move(line);
}

int32_t TStringList::Add(std::string line) {
  lines_.push_back(std::move(line));
  return Count() - 1;
}

void TStringList::AddStrings(const TStringList& source) {
  if (&source == this) {
    const std::vector<std::string> copy = lines_;
    lines_.insert(lines_.end(), copy.begin(), copy.end());
    return;
  }
  lines_.insert(lines_.end(), source.lines_.begin(), source.lines_.end());
}

void TStringList::Insert(int32_t index, std::string line) {
  CheckIndex(index, Count());
  lines_.insert(lines_.begin() + index, std::move(line));
}

void TStringList::Delete(int32_t index) {
  CheckIndex(index, Count() - 1);
  lines_.erase(lines_.begin() + index);
}

int32_t TStringList::IndexOf(std::string_view line) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (SameText(lines_[i], line)) return static_cast<int32_t>(i);
  }
  return -1;
}

std::string TStringList::Text() const {
  size_t size = 0;
  for (const std::string& line : lines_) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void TStringList::SetText(std::string_view text) {
  lines_.clear();
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines_.emplace_back(text.substr(start));
      break;
    }
    lines_.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
}

}  // namespace meridian::rtl
