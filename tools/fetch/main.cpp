// meridian-fetch: fetches URLs over HTTP with the Meridian network library.
#include <string>
#include <vector>

#include "fetch_session.h"
#include "standard_streams.h"

int main(int argc, char** argv) {
  meridian::fetch::UseBinaryStandardStreams();
  const std::vector<std::string> args(argv + 1, argv + argc);
  meridian::fetch::TFetchStandardError err;
  return meridian::fetch::RunFetch(args, err);
}
