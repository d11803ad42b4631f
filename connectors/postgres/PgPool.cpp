#include "PgPool.hpp"

namespace {

// The connection the calling thread holds, if any, for nested verbs.
thread_local PgConnection* held = nullptr;

}  // namespace

PgPool::Lease::Lease(PgPool& p) : pool(p) {
  if (held != nullptr) {
    connection = held;
    return;
  }
  {
    std::unique_lock<std::mutex> guard(pool.lock);
    pool.returned.wait(guard, [this] { return !pool.idle.empty() || pool.leased < pool.size; });
    pool.leased++;
    generation = pool.generation;
    if (!pool.idle.empty()) {
      owned = std::move(pool.idle.back());
      pool.idle.pop_back();
    }
  }
  if (owned == nullptr) {
    try {
      owned = std::make_unique<PgConnection>(pool.options);
    } catch (...) {
      std::lock_guard<std::mutex> guard(pool.lock);
      pool.leased--;
      pool.returned.notify_one();
      throw;
    }
  }
  connection = owned.get();
  held = connection;
}

PgPool::Lease::~Lease() {
  if (owned == nullptr) return;  // nested: the outer lease gives it back
  held = nullptr;
  std::lock_guard<std::mutex> guard(pool.lock);
  pool.leased--;
  // A dead connection, one left inside a transaction, or one of an earlier open() is closed.
  if (owned->usable() && !owned->inTransaction() && generation == pool.generation) {
    pool.idle.push_back(std::move(owned));
  }
  pool.returned.notify_one();
}

void PgPool::open(const PgConnection::Options& o, int n) {
  std::lock_guard<std::mutex> guard(lock);
  idle.clear();
  options = o;
  size = n > 0 ? n : 1;
  generation++;
}

void PgPool::closeAll() {
  std::lock_guard<std::mutex> guard(lock);
  idle.clear();
  generation++;
}
