#include "launcher/catalogue_connection.h"

#include "launcher/exceptions.h"

namespace meridian::launcher {

TCatalogueConnection::TCatalogueConnection(rtl::TComponent* owner)
    : rtl::TComponent(owner), provider_(platform::NewCatalogueProvider()) {}

TCatalogueConnection::~TCatalogueConnection() { Close(); }

void TCatalogueConnection::SetConnectionString(std::string connection_string) {
  if (Connected()) throw EDatabaseError("Cannot change the connection string of an open connection");
  connection_string_ = std::move(connection_string);
}

bool TCatalogueConnection::Connected() const { return provider_->IsOpen(); }

void TCatalogueConnection::Open() {
  if (Connected()) return;
  std::string error;
  if (!provider_->Open(connection_string_, error)) throw EDatabaseError(error);
}

void TCatalogueConnection::Close() { provider_->Close(); }

void TCatalogueConnection::Execute(const std::string& sql,
                                   const std::vector<platform::TDbParameter>& parameters) {
  if (!Connected()) throw EDatabaseError("The catalogue connection is not open");
  std::string error;
  if (!provider_->Execute(sql, parameters, error)) throw EDatabaseError(error);
}

void TCatalogueConnection::BeginTrans() {
  if (!Connected()) throw EDatabaseError("The catalogue connection is not open");
  std::string error;
  if (!provider_->BeginTransaction(error)) throw EDatabaseError(error);
}

void TCatalogueConnection::CommitTrans() {
  if (!Connected()) throw EDatabaseError("The catalogue connection is not open");
  std::string error;
  if (!provider_->Commit(error)) throw EDatabaseError(error);
}

void TCatalogueConnection::RollbackTrans() {
  if (!Connected()) throw EDatabaseError("The catalogue connection is not open");
  std::string error;
  if (!provider_->Rollback(error)) throw EDatabaseError(error);
}

bool TCatalogueConnection::InTransaction() const { return provider_->InTransaction(); }

}  // namespace meridian::launcher
