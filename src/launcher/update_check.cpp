// The content update check of the launcher's form.
#include <memory>

#include "http/http_client.h"
#include "launcher/constants.h"
#include "launcher/download_deadline.h"
#include "launcher/form.h"
#include "launcher/launcher_state.h"
#include "launcher/update_list.h"
#include "rtl/streams.h"

namespace meridian::launcher {

namespace {

// One GET of `url` through `client`, which keeps the library's defaults apart
// from the time bound: the deadline sets its ReadTimeout before the connect
// and after every block received.
std::string DownloadList(net::TNetHTTP& client, const std::string& url, int32_t time_limit) {
  TDownloadDeadline deadline(time_limit, kDownloadByteLimit);
  deadline.Arm(client);
  client.SetIntercept(&deadline);
  struct Detach {
    net::TNetHTTP& client;
    ~Detach() { client.SetIntercept(nullptr); }
  } detach{client};
  return client.Get(url);
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
