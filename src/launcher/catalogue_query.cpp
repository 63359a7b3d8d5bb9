#include "launcher/catalogue_query.h"

#include "launcher/catalogue_connection.h"
#include "launcher/exceptions.h"
#include "platform/statement_markers.h"
#include "rtl/text.h"

namespace meridian::launcher {

std::vector<std::string> ParamNamesOf(std::string_view sql) {
  // The provider finds the markers by the same rules when it binds them.
  std::vector<std::string> names;
  platform::PositionalStatement(sql, names);
  return names;
}

void TCatalogueParameter::SetAsBoolean(bool value) {
  if (data_type_ == ftUnknown) data_type_ = ftBoolean;
  value_.kind = platform::dvBoolean;
  value_.boolean = value;
  value_.text.clear();
}

void TCatalogueParameter::SetAsString(std::string_view value) {
  if (data_type_ == ftUnknown) data_type_ = ftString;
  if (data_type_ == ftString && value.size() > size_) size_ = value.size();
  value_.kind = platform::dvText;
  value_.boolean = false;
  value_.text.assign(value);
}

TCatalogueQuery::TCatalogueQuery(rtl::TComponent* owner) : rtl::TComponent(owner) {}

TCatalogueQuery::~TCatalogueQuery() { SetConnection(nullptr); }

void TCatalogueQuery::SetConnection(TCatalogueConnection* connection) {
  if (connection == connection_) return;
  if (connection_ != nullptr) connection_->RemoveFreeNotification(this);
  connection_ = connection;
  if (connection_ != nullptr) connection_->FreeNotification(this);
}

void TCatalogueQuery::Notification(rtl::TComponent* component, rtl::TOperation operation) {
  rtl::TComponent::Notification(component, operation);
  if (operation == rtl::opRemove && component == connection_) connection_ = nullptr;
}

void TCatalogueQuery::ClearSQL() {
  lines_.clear();
  DeriveParams();
}

void TCatalogueQuery::AddSQL(std::string_view line) {
  lines_.emplace_back(line);
  DeriveParams();
}

std::string TCatalogueQuery::SQLText() const {
  std::string text;
  for (const std::string& line : lines_) {
    text += line;
    text += '\n';
  }
  return text;
}

void TCatalogueQuery::DeriveParams() {
  params_.clear();
  for (std::string& name : ParamNamesOf(SQLText())) params_.emplace_back(std::move(name));
}

TCatalogueParameter& TCatalogueQuery::ParamByName(std::string_view name) {
  for (TCatalogueParameter& param : params_) {
    if (rtl::SameText(param.Name(), name)) return param;
  }
  throw EDatabaseError("Parameter '" + std::string(name) + "' not found");
}

void TCatalogueQuery::ExecSQL() {
  if (connection_ == nullptr) throw EDatabaseError("The statement has no connection");
  std::vector<platform::TDbParameter> values;
  values.reserve(params_.size());
  for (const TCatalogueParameter& param : params_) values.push_back({param.Name(), param.Value()});
  connection_->Execute(SQLText(), values);
}

}  // namespace meridian::launcher
