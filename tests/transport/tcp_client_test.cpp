#include "transport/tcp_client.h"

#include <gtest/gtest.h>

int dummy_for_now = 0;
