#include "HandleCount.h"

#include <atomic>

namespace {

std::atomic<int> g_live[static_cast<int>(HandleKind::Kinds)];

} // namespace

void CountHandleCreated(HandleKind kind) {
    ++g_live[static_cast<int>(kind)];
}

void CountHandleReleased(HandleKind kind) {
    --g_live[static_cast<int>(kind)];
}

int LiveHandleCount(HandleKind kind) {
    return g_live[static_cast<int>(kind)].load();
}
