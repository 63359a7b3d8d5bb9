#include "launcher/program.h"

#include <memory>

#include "launcher/constants.h"
#include "launcher/engine_check.h"
#include "launcher/form.h"
#include "platform/process.h"

namespace meridian::launcher {

int LauncherMain() {
  if (!DatabaseEngineReady()) {
    platform::WinExec(kRestartCommandLine, platform::kShowWindow);
    return 0;
  }
  // The catalogue access needs the component object services on this
  // thread; they outlive the form and with it the catalogue connection.
  const platform::TComponentObjectServices component_object_services;
  // The form is created as the main form and never shown. Its creation runs
  // the whole order of work; afterwards nothing is left to wait for, whether
  // the order of work finished or an error ended it and was shown, so the
  // launcher ends here and no hidden process stays behind.
  auto form = std::make_unique<TfrmMeridian>();
  frmMeridian = form.get();
  form->AfterConstruction();
  frmMeridian = nullptr;
  return 0;
}

}  // namespace meridian::launcher
