#include "board/network_serial_bridge.h"

#include <atomic>

namespace kavu {
namespace {
std::atomic<INetworkSerialBridge*> g_bridge{nullptr};
}  // namespace

INetworkSerialBridge* NetworkSerialBridge() { return g_bridge.load(); }
void SetNetworkSerialBridge(INetworkSerialBridge* bridge) { g_bridge.store(bridge); }

}  // namespace kavu
