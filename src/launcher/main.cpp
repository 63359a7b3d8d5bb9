// The launcher executable.
#include "launcher/program.h"

int main() {
  try {
    return meridian::launcher::LauncherMain();
  } catch (...) {
    // Every road ends with exit code 0, even one no layer expected.
    return 0;
  }
}
