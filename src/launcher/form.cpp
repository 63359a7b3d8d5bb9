#include "launcher/form.h"

#include "launcher/constants.h"
#include "launcher/launcher_state.h"
#include "platform/message_box.h"
#include "platform/process.h"

namespace meridian::launcher {

TfrmMeridian* frmMeridian = nullptr;

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The Data Source value as the connection string's reader takes it back: as
// it is, unless a ";" would end it early, a quote at its start would be taken
// for quoting, or blanks at either end would be trimmed. Then it is enclosed
// in double quotes, each double quote inside doubled.
std::string DataSourceValue(std::string_view file) {
  const bool plain = file.find_first_of(";\"'") == std::string_view::npos &&
                     (file.empty() || (!IsBlank(file.front()) && !IsBlank(file.back())));
  if (plain) return std::string(file);
  std::string quoted = "\"";
  for (const char c : file) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace

std::string CatalogueConnectionString(std::string_view app_folder) {
  // The folder's bytes go into the string unchanged; the provider converts
  // them as the platform's file names require (none on POSIX, through the
  // system's ANSI code page on Windows). The tail begins with the
  // catalogue's file name, which ends the Data Source value.
  const std::string_view tail = kConnectionStringTail;
  const size_t value_end = tail.find(';');
  std::string text = kConnectionStringHead;
  text += DataSourceValue(std::string(app_folder) + std::string(tail.substr(0, value_end)));
  text += tail.substr(value_end);
  return text;
}

std::string ErrorBoxText(std::string_view message) {
  std::string text(message);
  // Compared as an unsigned byte: a message ending in a character outside
  // ASCII gets its full stop too.
  if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.')) {
    text += '.';
  }
  return text;
}

TfrmMeridian::TfrmMeridian(rtl::TComponent* owner)
    : rtl::TComponent(owner),
      caption_(kFormCaption),
      connection_(rtl::MakeOwned<TCatalogueConnection>(*this)),
      query_(rtl::MakeOwned<TCatalogueQuery>(*this)) {
  SetName("frmMeridian");
  connection_->SetName("ADOConnection2");
  query_->SetName("ADOQuery3");
  query_->SetConnection(connection_);
}

TfrmMeridian::~TfrmMeridian() {
  // The owned components go first: they use no member of this form, but the
  // connection must be closed before the form is gone.
  DestroyComponents();
}

void TfrmMeridian::AfterConstruction() {
  try {
    FormCreate(this);
  } catch (const std::exception& error) {
    ShowException(error.what());
  }
}

void TfrmMeridian::FormCreate(rtl::TComponent* /*sender*/) {
  AppFolder = ExtractAppFolder(ExecutablePath());
  OpenCatalogue();
  UpdateListName = kUpdateListFileName;
  CheckContentUpdates(kContentServerBaseURL);
  // The reader starts while the catalogue is still open; it opens its own
  // connection beside this one.
  WinExec(kReaderCommandLine);
  connection_->Close();
  quit_posted_ = true;
}

void TfrmMeridian::OpenCatalogue() {
  connection_->Close();
  connection_->SetConnectionString(CatalogueConnectionString(AppFolder));
  connection_->Open();
}

void TfrmMeridian::SetModuleUpdateFlag(const std::string& module_name, bool update_available) {
  query_->Close();
  query_->ClearSQL();
  query_->AddSQL("update tblConfig");
  query_->AddSQL("set fVersion = :p1");
  query_->AddSQL("where fAppName = :p2");
  query_->ParamByName("p1").SetAsBoolean(update_available);
  query_->ParamByName("p2").SetAsString(module_name);
  query_->ExecSQL();
}

void TfrmMeridian::ShowException(std::string_view message) {
  ErrorBox(ErrorBoxText(message), ApplicationTitle(ExecutablePath()));
}

std::string TfrmMeridian::ExecutablePath() const { return platform::ExecutablePath(); }

void TfrmMeridian::WinExec(const std::string& command_line) {
  // Whether the program started is not examined: a missing reader ends the
  // launcher silently.
  platform::WinExec(command_line, platform::kShowWindow);
}

void TfrmMeridian::ErrorBox(const std::string& text, const std::string& title) {
  platform::ErrorMessageBox(text, title);
}

}  // namespace meridian::launcher
