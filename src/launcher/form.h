// The launcher's one form, never shown: its creation runs the launcher's whole
// order of work.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "launcher/catalogue_connection.h"
#include "launcher/catalogue_query.h"
#include "rtl/component.h"

namespace meridian::launcher {

// The catalogue connection string for a launcher in `app_folder` (which ends
// in its folder separator): the fixed head, the folder, the fixed tail naming
// the catalogue file and its password. The Data Source value (folder and file name) is
// enclosed in double quotes when it holds ";" or a quote or begins or ends
// with a blank, so that every folder name reaches the provider whole.
std::string CatalogueConnectionString(std::string_view app_folder);

// The text of the error box for an error with `message`: the message, with "."
// appended unless it is empty or its last byte's code is at most that of "."
// (control characters, blank and "!" to ".").
std::string ErrorBoxText(std::string_view message);

// The launcher's main form. It owns the catalogue connection (ADOConnection2)
// and the statement object bound to it (ADOQuery3) for its whole life;
// destroying the form closes the connection if it is still open.
//
// Order of use: construct, then call AfterConstruction once, which runs
// FormCreate. Everything runs on the main thread.
class TfrmMeridian : public rtl::TComponent {
 public:
  explicit TfrmMeridian(rtl::TComponent* owner = nullptr);
  ~TfrmMeridian() override;

  std::string ClassName() const override { return "TfrmMeridian"; }
  const std::string& Caption() const { return caption_; }

  TCatalogueConnection& ADOConnection2() { return *connection_; }
  TCatalogueQuery& ADOQuery3() { return *query_; }

  // The form's creation: runs FormCreate; an error escaping it ends the order
  // of work there and is shown in the error box (ShowException).
  void AfterConstruction();

  // The order of work: set AppFolder, open the catalogue, set UpdateListName,
  // check for content updates, start the reader, disconnect the catalogue,
  // post the quit request. Throws whatever a step throws; later steps are then
  // skipped.
  void FormCreate(rtl::TComponent* sender);

  // Disconnects ADOConnection2, sets its connection string for the catalogue
  // in AppFolder and connects. Throws EDatabaseError when the catalogue cannot
  // be opened.
  void OpenCatalogue();

  // Sets the module's update flag (fVersion) in the catalogue's tblConfig row
  // whose fAppName is `module_name`; a name with no row changes nothing.
  // Committed at once. Throws EDatabaseError when the statement fails.
  virtual void SetModuleUpdateFlag(const std::string& module_name, bool update_available);

  // Compares the content server's update list, `base_url` followed by
  // UpdateListName, with the local copy in AppFolder and flags the modules
  // offered in another version: one SetModuleUpdateFlag per pair of entries
  // with the same FileName (server entries outer, local entries inner, in
  // list order), true when their versions differ. Without a local list every
  // server entry is flagged true. A failed download (any error, including
  // running out of DownloadTimeLimit, and a list over kUpdateListByteLimit
  // bytes or kUpdateListLineLimit lines) changes nothing and is not reported;
  // the local list is then not read. On an open catalogue the statements are
  // committed together at the end; when one fails, those before it are
  // committed and the error escapes. Fills ServerVersions and LocalVersions.
  // Throws EFOpenError or EReadError when the local list exists but cannot
  // be read, and what SetModuleUpdateFlag throws.
  virtual void CheckContentUpdates(const std::string& base_url);

  // True once FormCreate has finished its order of work.
  bool QuitPosted() const { return quit_posted_; }

  // Shows `message` in the error box: text as ErrorBoxText gives it, the
  // application title as its title.
  void ShowException(std::string_view message);

 protected:
  // The platform operations of the order of work; tests replace them.
  virtual std::string ExecutablePath() const;
  virtual void WinExec(const std::string& command_line);
  virtual void ErrorBox(const std::string& text, const std::string& title);
  // The bound in ms on the whole download of the server's list.
  // Default: kDownloadTimeLimit.
  virtual int32_t DownloadTimeLimit() const;

 private:
  std::string caption_;
  TCatalogueConnection* connection_;  // owned as a component
  TCatalogueQuery* query_;            // owned as a component
  bool quit_posted_ = false;
};

// The form of the running launcher, while it exists.
extern TfrmMeridian* frmMeridian;

}  // namespace meridian::launcher
