// Gives every thread its own connection to the connector's database file, opened on the
// thread's first use. SQLite connections are cheap to hold and WAL lets them read in parallel,
// so agent threads never queue on a shared handle; writers are serialised by SQLite itself.
//
// Ownership: the pool owns every connection. A thread's connection is closed when the thread
// ends, when closeAll() runs (at terminate, when the agent has no call in flight) or when the
// thread discards it after a failure that spoiled it; a thread that calls again afterwards opens
// a new one. Threads: every operation may be called from any thread.
#ifndef SQLITE_CONNECTOR_CONNECTION_POOL_HPP
#define SQLITE_CONNECTOR_CONNECTION_POOL_HPP

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "SqliteConnection.hpp"

class ConnectionPool {
 public:
  ConnectionPool();
  ~ConnectionPool();
  ConnectionPool(const ConnectionPool&) = delete;
  ConnectionPool& operator=(const ConnectionPool&) = delete;

  // Connections opened from now on use `options`; those open before are closed.
  void open(const SqliteConnection::Options& options);
  // Closes every connection. No other thread may be using one.
  void closeAll();
  // The calling thread's connection (opened now if needed). Throws SqliteError when the file
  // cannot be opened.
  SqliteConnection& forThisThread();
  // The same, for a write: a connection opened while the file could only be read is replaced
  // first when the file may be written now.
  SqliteConnection& forWriting();
  // Closes the calling thread's connection, if it has one, so that its next use opens a new
  // one: after a failure that spoils a connection (a file opened read-only, a corrupt file).
  // No Statement or Transaction of the connection may be alive.
  void discard();
  // Called when a thread ends: closes its connection if it belongs to the current generation.
  void release(std::uint64_t generation, SqliteConnection* connection);

 private:
  std::mutex lock;
  SqliteConnection::Options options;
  std::uint64_t generation;
  std::vector<std::unique_ptr<SqliteConnection>> connections;
};

#endif  // SQLITE_CONNECTOR_CONNECTION_POOL_HPP
