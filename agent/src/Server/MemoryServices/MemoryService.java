package Server.MemoryServices;

/**
 * Samples process and system memory through the native library SysMemory. The library keeps no
 * state, so any thread may sample at any time; call {@link #load()} once before the first sample.
 */
public class MemoryService {
  /** Loads libSysMemory from java.library.path. */
  public static void load() {
    System.loadLibrary("SysMemory");
  }

  /**
   * Writes the process size into the long field "currentProcessMemory" and the available
   * physical memory into the long field "availableSystemMemory" of {@code stats} (normally a
   * {@link MemoryStats}), both in bytes; a figure that cannot be measured is written as 0.
   *
   * @return 0 when both fields were written; 1 when {@code stats} is null or lacks either long
   *     field, in which case nothing is written and nothing is thrown
   */
  public native int updateMemoryStats(Object stats);

  /** Samples into a new statistics object; throws IllegalStateException if sampling failed. */
  public MemoryStats sample() {
    MemoryStats stats = new MemoryStats();
    if (updateMemoryStats(stats) != 0) throw new IllegalStateException("memory sample failed");
    return stats;
  }
}
