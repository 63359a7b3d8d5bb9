// The lines of one header block, looked up by header name.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/string_list.h"

namespace meridian::net {

// Header lines ("Name: value") and their continuation lines, in wire order.
// A continuation line is a non-empty line that begins with a space or a
// horizontal tab; every other line is a header line whose name is the text
// before its first ":". Names are matched without regard to letter case; a
// value spread over continuation lines is joined on reading, and a value set
// through SetValue is folded to FoldWidth on writing. The string list's own
// operations (Add, Clear, Count, Strings, Text, SetText) work on raw lines.
class TNetHeaderList : public rtl::TStringList {
 public:
  TNetHeaderList() = default;

  std::string ClassName() const override { return "TNetHeaderList"; }

  // Written between name and value; its form without trailing blanks ends a
  // name when reading. Default: ": ".
  const std::string& NameSeparator() const { return name_separator_; }
  void SetNameSeparator(std::string separator) { name_separator_ = std::move(separator); }
  // When false, NameAt returns names in upper case. Lookups ignore case either
  // way. Default: false.
  bool MatchCase() const { return match_case_; }
  void SetMatchCase(bool match_case) { match_case_ = match_case; }
  // Reading a value joins the continuation lines after its line. Default: true.
  bool JoinContinuations() const { return join_continuations_; }
  void SetJoinContinuations(bool join) { join_continuations_ = join; }
  // SetValue folds long values into continuation lines and replaces the old
  // continuation lines of the line it writes. Default: true.
  bool FoldOnSet() const { return fold_on_set_; }
  void SetFoldOnSet(bool fold) { fold_on_set_ = fold; }
  // Column after which SetValue folds. Default: 78.
  int32_t FoldWidth() const { return fold_width_; }
  void SetFoldWidth(int32_t width) { fold_width_ = width; }

  // The name of the line at `index`, upper-cased unless MatchCase, not trimmed
  // ('Host : x' has the name "HOST "). Empty for a line without the separator
  // and for an index outside the list.
  std::string NameAt(int32_t index) const;
  // The value of the line at `index`, trimmed, with its continuation lines
  // joined by single spaces when JoinContinuations. Empty for an index outside
  // the list.
  std::string ValueAt(int32_t index) const;
  // ValueAt written into `value`, whose storage is reused: for parsers that
  // read a block after block into the same fields.
  void ValueInto(int32_t index, std::string& value) const;
  // Index of the first line at or after `from` whose name equals `name`
  // without regard to case; -1 when there is none.
  int32_t FindName(std::string_view name, int32_t from = 0) const;
  // FindName for each of `names` (as many as `indexes`) in one pass over the
  // lines: for parsers that read many names at once.
  void FindNames(std::span<const std::string_view> names, std::span<int32_t> indexes) const;
  // The value of the first line named `name`; empty when there is none.
  std::string GetValue(std::string_view name) const;
  // Replaces the first line named `name` (and, when FoldOnSet, its
  // continuation lines) by `name` + NameSeparator + `value`, folded when
  // FoldOnSet; appends it when the name is absent. An empty value deletes the
  // line and its continuation lines instead. Later lines of the same name stay.
  // Line breaks inside the text never start a line of their own: a CR or LF
  // that is not part of a CR LF followed by a blank becomes a space, and folds
  // that would leave an empty line are dropped.
  void SetValue(std::string_view name, std::string_view value);
  // Appends the line SetValue writes for a name not yet in the list, without
  // looking for one; nothing for an empty value. For composing a block afresh.
  void AddValue(std::string_view name, std::string_view value);
  // Appends to `dest`, in list order, the value of every line named `name`.
  // Does nothing when `dest` is null.
  void CollectValues(std::string_view name, rtl::TStringList* dest) const;

  // Empties the list as Clear does, but keeps the storage of its lines for the
  // lines that AddValue and SetValue write next: a block composed anew for
  // every message allocates nothing once it has been composed.
  void ClearKeepingStorage();

  // True for a non-empty line that begins with a space or a horizontal tab.
  static bool IsContinuationLine(std::string_view line);

 private:
  // The name of the line at `index` as it stands in the line (letter case
  // kept), a view into the line.
  std::string_view LineName(int32_t index) const;
  // The name of `line`, as LineName, for a separator that ends in `end`.
  static std::string_view NameOf(std::string_view line, std::string_view end);
  // The separator without its trailing blanks: what ends a line's name.
  std::string_view NameEnd() const;
  // Whether `line` is named `name`, letter case ignored, when `end` (see
  // NameEnd) ends a name.
  static bool NameIs(std::string_view line, std::string_view name, std::string_view end);
  void DropContinuations(int32_t index);
  // Sets the line at `index` to `name`, the separator and `value`, as SetValue
  // writes it (line breaks neutralised, folded when FoldOnSet).
  void WriteLine(int32_t index, std::string_view name, std::string_view value);
  // `name`, the separator and `value`, line breaks neutralised.
  std::string ComposedLine(std::string_view name, std::string_view value);
  // True when `text` is written as one line, unfolded; its trailing blanks
  // are then cut off.
  bool FitsOneLine(std::string& text) const;
  void WriteFolded(int32_t index, std::string text);

  std::string name_separator_ = ": ";
  bool match_case_ = false;
  bool join_continuations_ = true;
  bool fold_on_set_ = true;
  int32_t fold_width_ = 78;
  // Emptied lines whose storage the next composed lines take over.
  std::vector<std::string> spare_;
};

}  // namespace meridian::net
