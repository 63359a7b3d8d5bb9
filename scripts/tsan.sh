#!/usr/bin/env bash
# Builds the transport and HTTP tests with ThreadSanitizer into build/tsan and
# runs them, the many-client stress test among them. Any race, or a thread
# left running, fails the run.
#
#   scripts/tsan.sh [CTEST_REGEX]
#
# CTEST_REGEX narrows the tests run (default: every transport and HTTP test).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=build/tsan
targets=(transport_stack_tests transport_connection_tests transport_socks_tests
  http_text_tests http_header_records_tests http_response_tests http_cookie_tests
  http_client_tests http_auth_retry_tests http_threads_tests)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMERIDIAN_TSAN=ON -DMERIDIAN_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"

# halt_on_error: the first race fails its test instead of scrolling past.
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1:report_thread_leaks=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300 \
  -L '^(transport|http)_' ${1:+-R "$1"}
