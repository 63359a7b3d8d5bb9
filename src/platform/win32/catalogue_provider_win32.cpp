// Placeholder until the ODBC provider arrives: every open fails cleanly.
#include "platform/catalogue_provider.h"

namespace meridian::platform {

namespace {

class TUnavailableProvider : public TCatalogueProvider {
 public:
  bool Open(const std::string&, std::string& error) override {
    error = "No catalogue provider on this platform";
    return false;
  }
  void Close() override {}
  bool IsOpen() const override { return false; }
  bool Execute(const std::string&, const std::vector<TDbParameter>&, std::string& error) override {
    error = "Not open";
    return false;
  }
  bool BeginTransaction(std::string& error) override {
    error = "Not open";
    return false;
  }
  bool Commit(std::string& error) override {
    error = "Not open";
    return false;
  }
  bool Rollback(std::string& error) override {
    error = "Not open";
    return false;
  }
  bool InTransaction() const override { return false; }
};

}  // namespace

std::unique_ptr<TCatalogueProvider> NewCatalogueProvider() { return std::make_unique<TUnavailableProvider>(); }

}  // namespace meridian::platform
