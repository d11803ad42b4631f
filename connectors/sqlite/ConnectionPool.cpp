#include "ConnectionPool.hpp"

#include <algorithm>
#include <atomic>

#include "SqliteConnection.hpp"

namespace {

// Generations are unique across every pool of the process, so a thread's remembered connection
// is never mistaken for one of a later open().
std::atomic<std::uint64_t> nextGeneration{1};

// The calling thread's connection; gives it back to its pool when the thread ends.
struct ThreadSlot {
  ConnectionPool* pool = nullptr;
  std::uint64_t generation = 0;
  SqliteConnection* connection = nullptr;
  ~ThreadSlot() {
    if (pool != nullptr) pool->release(generation, connection);
  }
};
thread_local ThreadSlot slot;

}  // namespace

ConnectionPool::ConnectionPool() : generation(nextGeneration++) {}

ConnectionPool::~ConnectionPool() = default;

void ConnectionPool::open(const SqliteConnection::Options& newOptions) {
  std::lock_guard<std::mutex> guard(lock);
  connections.clear();
  options = newOptions;
  generation = nextGeneration++;
}

void ConnectionPool::closeAll() {
  std::lock_guard<std::mutex> guard(lock);
  connections.clear();
  generation = nextGeneration++;
}

SqliteConnection& ConnectionPool::forThisThread() {
  std::lock_guard<std::mutex> guard(lock);
  if (slot.pool == this && slot.generation == generation && slot.connection != nullptr) {
    return *slot.connection;
  }
  auto connection = std::make_unique<SqliteConnection>(options);
  slot.pool = this;
  slot.generation = generation;
  slot.connection = connection.get();
  connections.push_back(std::move(connection));
  return *slot.connection;
}

SqliteConnection& ConnectionPool::forWriting() {
  SqliteConnection& connection = forThisThread();
  if (!connection.writableAgain()) return connection;
  discard();
  return forThisThread();
}

void ConnectionPool::discard() {
  std::lock_guard<std::mutex> guard(lock);
  if (slot.pool != this || slot.generation != generation || slot.connection == nullptr) return;
  SqliteConnection* connection = slot.connection;
  slot.connection = nullptr;
  auto it = std::find_if(connections.begin(), connections.end(),
                         [connection](const auto& c) { return c.get() == connection; });
  if (it != connections.end()) connections.erase(it);
}

void ConnectionPool::release(std::uint64_t gen, SqliteConnection* connection) {
  std::lock_guard<std::mutex> guard(lock);
  if (gen != generation) return;
  auto it = std::find_if(connections.begin(), connections.end(),
                         [connection](const auto& c) { return c.get() == connection; });
  if (it != connections.end()) connections.erase(it);
}
