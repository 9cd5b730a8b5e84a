#pragma once
// The JACK test clients moved to tests/support/JackClients.h; tests that include this name
// still find the graph-order bracket here.

#include "JackClients.h"

namespace tamborel::midi::test {
using testing::GraphOrder;
} // namespace tamborel::midi::test
