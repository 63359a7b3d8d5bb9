// An ordered list of 8-bit text lines, the runtime's general line container.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/component.h"

namespace meridian::rtl {

// Lines in insertion order; never sorted. Indexes are 0-based; an index outside
// the list throws EListError "List index out of bounds (%d)".
class TStringList : public TPersistent {
 public:
  TStringList() = default;

  std::string ClassName() const override { return "TStringList"; }
  // Takes over the lines of another string list.
  void Assign(const TPersistent& source) override;

  int32_t Count() const { return static_cast<int32_t>(lines_.size()); }
  const std::string& Strings(int32_t index) const;
  void SetStrings(int32_t index, std::string line);

  // Appends a line unchanged; returns its index.
  int32_t Add(std::string line);
  void AddStrings(const TStringList& source);
  // Inserts before `index`; an index equal to Count() appends.
  void Insert(int32_t index, std::string line);
  void Delete(int32_t index);
  void Clear() { lines_.clear(); }

  // Index of the first line equal to `line` without regard to ASCII case; -1
  // when there is none.
  int32_t IndexOf(std::string_view line) const;

  // Every line followed by carriage return and line feed.
  std::string Text() const;
  // Replaces the lines by those of `text`, split at CR LF, a lone LF or a lone
  // CR. A final line break does not start an empty line.
  void SetText(std::string_view text);

  const std::vector<std::string>& Lines() const { return lines_; }

 protected:
  std::vector<std::string>& MutableLines() { return lines_; }

 private:
  void CheckIndex(int32_t index, int32_t limit) const;

  std::vector<std::string> lines_;
};

}  // namespace meridian::rtl
