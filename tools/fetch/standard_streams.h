// The process's standard streams as meridian-fetch uses them.
#pragma once

namespace meridian::fetch {

// Makes standard input and output carry bytes unchanged: a body written to
// standard output is exactly the bytes received, and data read from standard
// input is exactly the bytes given (no line-end translation).
void UseBinaryStandardStreams();

}  // namespace meridian::fetch
