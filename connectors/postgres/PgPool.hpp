// The connections of the agent threads: at most "PoolSize" open at once, made on first need and
// reused. A thread leases one for a whole verb; a thread that already holds one (a verb that
// runs another verb) is given the same one, so the nested verb joins its transaction. A thread
// that finds them all leased waits for one to come back.
//
// Ownership: the pool owns every idle connection, a Lease the one it holds. A connection that
// comes back dead (the server restarted, the network failed) is closed, so the next lease makes
// a new one. Threads: any; open() and closeAll() only while no lease is held (init, terminate).
#ifndef PG_CONNECTOR_PG_POOL_HPP
#define PG_CONNECTOR_PG_POOL_HPP

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "PgConnection.hpp"

class PgPool {
 public:
  static const int DEFAULT_SIZE = 4;

  class Lease {
   public:
    explicit Lease(PgPool& pool);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    PgConnection& operator*() const { return *connection; }

   private:
    PgPool& pool;
    PgConnection* connection = nullptr;
    std::unique_ptr<PgConnection> owned;  // null for a nested lease
    std::uint64_t generation = 0;
  };

  // Connections made from now on use `options`; idle ones are closed. Sizes below 1 give 1.
  void open(const PgConnection::Options& options, int size);
  void closeAll();
  const PgConnection::Options& connectionOptions() const { return options; }

 private:
  std::mutex lock;
  std::condition_variable returned;
  PgConnection::Options options;
  int size = DEFAULT_SIZE;
  int leased = 0;
  std::uint64_t generation = 0;
  std::vector<std::unique_ptr<PgConnection>> idle;
};

#endif  // PG_CONNECTOR_PG_POOL_HPP
