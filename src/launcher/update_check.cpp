// The content update check of the launcher's form.
#include <algorithm>
#include <memory>

#include "http/http_client.h"
#include "launcher/constants.h"
#include "launcher/exceptions.h"
#include "launcher/form.h"
#include "launcher/launcher_state.h"
#include "launcher/update_list.h"
#include "rtl/streams.h"

namespace meridian::launcher {

namespace {

// The update list as it arrives, refused once it would outgrow the byte
// limit, so that a server cannot fill memory before the deadline comes. The
// head before it has the response reader's own bound.
class TBoundedListStream : public rtl::TMemoryStream {
 public:
  int64_t Write(const void* buffer, int64_t count) override {
    if (Position() + count > kDownloadByteLimit) throw EDownloadTooLarge();
    return rtl::TMemoryStream::Write(buffer, count);
  }
  // A body announced longer than the limit is refused before any of it.
  void SetSize(int64_t size) override {
    if (size > kDownloadByteLimit) throw EDownloadTooLarge();
    rtl::TMemoryStream::SetSize(size);
  }
};

// One GET of `url` through `client`, which keeps the library's defaults apart
// from the time bound: the whole download, connect included, ends within
// `time_limit` ms whatever the server does.
std::string DownloadList(net::TNetHTTP& client, const std::string& url, int32_t time_limit) {
  client.SetDeadline(net::TNetDeadline::In(std::max(time_limit, 1)));
  TBoundedListStream list;
  client.Get(url, list);
  return list.DataString();
}

}  // namespace

int32_t TfrmMeridian::DownloadTimeLimit() const { return kDownloadTimeLimit; }

void TfrmMeridian::CheckContentUpdates(const std::string& base_url) {
  // The client and the line lists are released on every road out of here.
  const auto client = std::make_unique<net::TNetHTTP>(nullptr);
  try {
    ServerVersions = ParseVersionList(DownloadList(*client, base_url + UpdateListName, DownloadTimeLimit()));
  } catch (const std::exception&) {
    // A failed download is no error for the user: nothing changes and the
    // reader starts as usual. The local list is not even looked at.
    return;
  }

  const std::string local_file = AppFolder + UpdateListName;
  if (!rtl::FileExists(local_file)) {
    // Without a local copy every module the server lists is offered anew.
    for (const TFileVersion& server : ServerVersions) SetModuleUpdateFlag(ModuleNameOf(server.FileName), true);
    return;
  }
  LocalVersions = ParseVersionList(ReadListFile(local_file));

  // Every matching pair makes its own statement, in list order, so for a
  // module listed more than once the last pair decides.
  for (const TFileVersion& server : ServerVersions) {
    for (const TFileVersion& local : LocalVersions) {
      if (!SameModule(server, local)) continue;
      SetModuleUpdateFlag(ModuleNameOf(local.FileName), VersionsDiffer(server, local));
    }
  }
}

}  // namespace meridian::launcher
