// The connection to the reader's catalogue database.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/catalogue_provider.h"
#include "rtl/component.h"

namespace meridian::launcher {

// A component holding one catalogue connection. The connection string is set
// while disconnected; Open connects through the platform's catalogue provider
// without any login prompt and without exclusive use. Destroying the component
// closes the connection. Not thread-safe.
class TCatalogueConnection : public rtl::TComponent {
 public:
  explicit TCatalogueConnection(rtl::TComponent* owner = nullptr);
  ~TCatalogueConnection() override;

  std::string ClassName() const override { return "TCatalogueConnection"; }

  const std::string& ConnectionString() const { return connection_string_; }
  // Throws EDatabaseError when connected.
  void SetConnectionString(std::string connection_string);

  bool Connected() const;

  // Connects; does nothing when already connected. Throws EDatabaseError with
  // the provider's message when the database cannot be opened (missing,
  // locked, damaged, wrong password); the connection is then closed.
  void Open();

  // Disconnects; harmless when not connected.
  void Close();

  // Runs `sql` once with `parameters`, committed at once unless a transaction
  // is open. Throws EDatabaseError when not connected or with the provider's
  // message when the statement fails.
  void Execute(const std::string& sql, const std::vector<platform::TDbParameter>& parameters);

  // A transaction: the statements in it reach the catalogue together at
  // CommitTrans, or not at all. Closing the connection undoes an open one.
  // Each throws EDatabaseError when not connected, and with the provider's
  // message when the provider refuses (BeginTrans inside a transaction,
  // CommitTrans or RollbackTrans outside one, a commit that cannot be made).
  void BeginTrans();
  void CommitTrans();
  void RollbackTrans();
  bool InTransaction() const;

 private:
  std::string connection_string_;
  std::unique_ptr<platform::TCatalogueProvider> provider_;
};

}  // namespace meridian::launcher
