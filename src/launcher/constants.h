// The launcher's fixed settings. The launcher reads no configuration: every
// name, address and command line it uses is here.
#pragma once

#include <cstddef>
#include <cstdint>

// The content server's host is chosen when the launcher is built.
#ifndef MERIDIAN_CONTENT_SERVER_HOST
#define MERIDIAN_CONTENT_SERVER_HOST "127.0.0.1"
#endif

namespace meridian::launcher {

// The reader's catalogue database in the launcher's own folder, and the key
// that protects it.
inline constexpr char kCatalogueFileName[] = "Corvane.mdb";

// The connection string is these two pieces with the launcher's folder
// between them.
inline constexpr char kConnectionStringHead[] = "Provider=Microsoft.Jet.OLEDB.4.0;Password=\"\";Data Source=";
inline constexpr char kConnectionStringTail[] =
    "Corvane.mdb;Persist Security Info=True;Jet OLEDB:Database Password=7341";

// The list of content module versions, on the content server and as a local
// copy in the launcher's folder.
inline constexpr char kUpdateListFileName[] = "Update_Contents.txt";

// The content server: plain HTTP on a fixed port and path.
inline constexpr char kContentServerHost[] = MERIDIAN_CONTENT_SERVER_HOST;
inline constexpr uint16_t kContentServerPort = 9000;
inline constexpr char kContentServerPath[] = "/Update/Contents/";
inline constexpr char kContentServerBaseURL[] = "http://" MERIDIAN_CONTENT_SERVER_HOST ":9000/Update/Contents/";

// The download of the server's update list ends after this many ms in all,
// whatever the server does (answers no connect, stays silent, sends a byte
// now and then); a download that runs out of time has failed.
inline constexpr int32_t kDownloadTimeLimit = 15000;
// The largest server list the check takes, in bytes and in lines. A real
// list holds one short line per module, some hundreds of them; a longer one
// counts as a failed download, so that neither memory nor the number of
// catalogue statements grows with what a server sends.
inline constexpr int64_t kUpdateListByteLimit = 1024 * 1024;
inline constexpr size_t kUpdateListLineLimit = 10000;
// The most bytes that the download may receive over the connection: a list
// at its limit, a response head at the client's limit and the framing of a
// chunked body, with room to spare. Error pages are read in full, so this
// also bounds what one of them may cost.
inline constexpr int64_t kDownloadByteLimit = 4 * 1024 * 1024;

// The programs the launcher hands over to, named without a folder.
inline constexpr char kReaderCommandLine[] = "Veritome2010.exe 5757";
inline constexpr char kRestartCommandLine[] = "Restart.exe";

// Where the database engine's library folder may be recorded.
inline constexpr char kEngineRegistryKey[] = "Software\\Borland\\Database Engine";
inline constexpr char kEngineRegistryValue[] = "DLLPATH";

// The caption of the launcher's (never shown) form.
inline constexpr char kFormCaption[] = "베리톰 메리디안";

}  // namespace meridian::launcher
