#include "platform/core/random.h"

#include <cstdint>

namespace platform {

namespace {
constexpr std::uint32_t kStart = 0x50000;
std::uint32_t state = kStart;
}  // namespace

double rnd() {
    state = (state * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu;
    return static_cast<double>(state) / 16777216.0;
}

void resetRandomForTest() {
    state = kStart;
}

}  // namespace platform
