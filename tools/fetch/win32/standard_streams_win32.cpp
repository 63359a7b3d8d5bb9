#include "standard_streams.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace meridian::fetch {

// The C runtime opens the standard streams in text mode, which writes each
// line feed as CR LF and stops reading input at a Ctrl-Z byte.
void UseBinaryStandardStreams() {
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stdout), _O_BINARY);
}

}  // namespace meridian::fetch
