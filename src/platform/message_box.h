// The error message box.
#pragma once

#include <string_view>

namespace meridian::platform {

// Shows an error: `title` and `text` with one OK button and the stop icon, and
// returns when the user has confirmed it.
//
// On POSIX the title and the text always go to standard error as one line,
// "title: text". When a graphical session is present (DISPLAY or
// WAYLAND_DISPLAY set) and the zenity dialog program is installed, the dialog
// is also shown there and the call waits for it to be closed. Without a
// display it never waits.
//
// On Windows the system's message box is shown (MessageBoxA). The same line
// goes to standard error first when the process has one (a launcher started
// from a script or a test). A box that cannot be shown (the system answers 0
// or below) is given up at once: the call never waits then.
void ErrorMessageBox(std::string_view text, std::string_view title);

}  // namespace meridian::platform
