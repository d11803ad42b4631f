#include "AgentPort.hpp"

#include <atomic>

#include "NativeAgentPort.hpp"

namespace vy {

AgentPort::~AgentPort() = default;

namespace {
std::atomic<AgentPort*> gInstalled{nullptr};
}  // namespace

AgentPort& agentPort() {
  AgentPort* port = gInstalled.load(std::memory_order_acquire);
  return port != nullptr ? *port : NativeAgentPort::instance();
}

void setAgentPort(AgentPort* port) { gInstalled.store(port, std::memory_order_release); }

bool agentPortInstalled() { return gInstalled.load(std::memory_order_acquire) != nullptr; }

}  // namespace vy
