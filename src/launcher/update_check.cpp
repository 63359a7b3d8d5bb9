// The content update check of the launcher's form.
#include <memory>

#include "http/http_client.h"
#include "launcher/constants.h"
#include "launcher/download_deadline.h"
#include "launcher/form.h"
#include "launcher/launcher_state.h"
#include "launcher/update_list.h"
#include "rtl/exceptions.h"
#include "rtl/streams.h"

namespace meridian::launcher {

namespace {

// A memory stream that refuses to hold more than `limit` bytes. The body is
// refused as it arrives, and a body whose announced length is too large
// before it arrives: the client sizes its destination to that length first.
class TBoundedMemoryStream : public rtl::TMemoryStream {
 public:
  explicit TBoundedMemoryStream(int64_t limit) : limit_(limit) {}

  int64_t Write(const void* buffer, int64_t count) override {
    if (count > limit_ - Position()) throw rtl::EWriteError("Update list too large");
    return rtl::TMemoryStream::Write(buffer, count);
  }
  void SetSize(int64_t size) override {
    if (size > limit_) throw rtl::EWriteError("Update list too large");
    rtl::TMemoryStream::SetSize(size);
  }

 private:
  int64_t limit_;
};

// One GET of `url` through `client` into `body`. The client keeps the
// library's defaults apart from the time bound: the deadline sets its
// ReadTimeout before the connect and after every block received.
void DownloadList(net::TNetHTTP& client, const std::string& url, int32_t time_limit, rtl::TStream& body) {
  TDownloadDeadline deadline(time_limit, kDownloadByteLimit);
  deadline.Arm(client);
  client.SetIntercept(&deadline);
  struct Detach {
    net::TNetHTTP& client;
    ~Detach() { client.SetIntercept(nullptr); }
  } detach{client};
  client.Get(url, body);
}

// The check's catalogue statements in one transaction, when the catalogue is
// open: one commit instead of one disk flush per statement, so a list of
// thousands of modules costs a moment rather than minutes, and a launcher
// that dies midway leaves every flag as it was. Leaving on an error commits
// the statements made so far, as if each had been committed by itself.
class TStatementBatch {
 public:
  explicit TStatementBatch(TCatalogueConnection& connection) : connection_(connection) {
    if (connection_.Connected()) {
      connection_.BeginTrans();
      open_ = true;
    }
  }
  TStatementBatch(const TStatementBatch&) = delete;
  TStatementBatch& operator=(const TStatementBatch&) = delete;
  ~TStatementBatch() {
    if (!open_ || !connection_.InTransaction()) return;
    try {
      connection_.CommitTrans();
    } catch (const std::exception&) {
      // The error that ends the check is the one to show; closing the
      // connection undoes what could not be committed.
    }
  }

  void Commit() {
    if (!open_) return;
    open_ = false;
    connection_.CommitTrans();
  }

 private:
  TCatalogueConnection& connection_;
  bool open_ = false;
};

}  // namespace

int32_t TfrmMeridian::DownloadTimeLimit() const { return kDownloadTimeLimit; }

void TfrmMeridian::CheckContentUpdates(const std::string& base_url) {
  // The client and the line lists are released on every road out of here.
  const auto client = std::make_unique<net::TNetHTTP>(nullptr);
  try {
    TBoundedMemoryStream body(kUpdateListByteLimit);
    DownloadList(*client, base_url + UpdateListName, DownloadTimeLimit(), body);
    // Counted before the lines are made: each costs far more memory than
    // its bytes.
    if (CountListLines(body.DataString()) > kUpdateListLineLimit) {
      throw rtl::EReadError("Update list too long");
    }
    ServerVersions = ParseVersionList(body.DataString());
  } catch (const std::exception&) {
    // A failed download is no error for the user: nothing changes and the
    // reader starts as usual. The local list is not even looked at.
    return;
  }

  const std::string local_file = AppFolder + UpdateListName;
  const bool local_list = rtl::FileExists(local_file);
  if (local_list) LocalVersions = ParseVersionList(ReadListFile(local_file));

  TStatementBatch batch(*connection_);
  if (!local_list) {
    // Without a local copy every module the server lists is offered anew.
    for (const TFileVersion& server : ServerVersions) SetModuleUpdateFlag(ModuleNameOf(server.FileName), true);
  } else {
    // Every matching pair makes its own statement, in list order, so for a
    // module listed more than once the last pair decides.
    for (const TFileVersion& server : ServerVersions) {
      for (const TFileVersion& local : LocalVersions) {
        if (!SameModule(server, local)) continue;
        SetModuleUpdateFlag(ModuleNameOf(local.FileName), VersionsDiffer(server, local));
      }
    }
  }
  batch.Commit();
}

}  // namespace meridian::launcher
