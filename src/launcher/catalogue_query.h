// A reusable catalogue statement whose parameters come from its text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/catalogue_provider.h"
#include "rtl/component.h"

namespace meridian::launcher {

class TCatalogueConnection;

enum TFieldType : uint8_t { ftUnknown, ftBoolean, ftString };

// One statement parameter, named by a ":name" marker of the statement text.
class TCatalogueParameter {
 public:
  explicit TCatalogueParameter(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }
  // ftUnknown until a value is first given; then the type of that value.
  TFieldType DataType() const { return data_type_; }
  // For a text parameter, the longest text it has held. Default: 0.
  size_t Size() const { return size_; }
  const platform::TDbValue& Value() const { return value_; }

  void SetAsBoolean(bool value);
  void SetAsString(std::string_view value);

 private:
  std::string name_;
  TFieldType data_type_ = ftUnknown;
  size_t size_ = 0;
  platform::TDbValue value_;
};

// The statement text is a list of lines joined by line breaks. Every change of
// the text derives the parameter list anew from it: each ":" followed by a
// name (letters, digits, "_") outside quoted literals becomes a parameter of
// that name, in order of appearance; "::" stands for a plain colon. Values
// given before the change are dropped.
//
// The query refers to its connection without owning it; the connection must
// outlive it or its destruction clears the reference. Not thread-safe.
class TCatalogueQuery : public rtl::TComponent {
 public:
  explicit TCatalogueQuery(rtl::TComponent* owner = nullptr);
  ~TCatalogueQuery() override;

  std::string ClassName() const override { return "TCatalogueQuery"; }

  TCatalogueConnection* Connection() const { return connection_; }
  void SetConnection(TCatalogueConnection* connection);

  // Empties the statement text (and so the parameter list).
  void ClearSQL();
  // Adds one line to the statement text.
  void AddSQL(std::string_view line);
  const std::vector<std::string>& SQL() const { return lines_; }
  // The lines joined by line breaks.
  std::string SQLText() const;

  size_t ParamCount() const { return params_.size(); }
  TCatalogueParameter& Params(size_t index) { return params_.at(index); }
  // The first parameter of that name (ASCII case ignored). Throws
  // EDatabaseError when the parameter list holds no such name.
  TCatalogueParameter& ParamByName(std::string_view name);

  // Runs the statement once against the connection, committed at once; rows
  // it may yield are discarded. Throws EDatabaseError when there is no
  // connection, it is not open, or the provider reports a failure.
  void ExecSQL();

  // Releases any previous command; harmless when nothing is open. The text
  // and the parameters stay.
  void Close() {}

 protected:
  void Notification(rtl::TComponent* component, rtl::TOperation operation) override;

 private:
  void DeriveParams();

  TCatalogueConnection* connection_ = nullptr;
  std::vector<std::string> lines_;
  std::vector<TCatalogueParameter> params_;
};

// The parameter names marked in `sql`, in order of appearance.
std::vector<std::string> ParamNamesOf(std::string_view sql);

}  // namespace meridian::launcher
