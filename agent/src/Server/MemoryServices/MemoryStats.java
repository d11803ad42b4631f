package Server.MemoryServices;

/**
 * The memory figures of one sample, in bytes: the size of this process and the physical memory
 * the system still has available. {@link MemoryService#updateMemoryStats} fills both fields.
 */
public class MemoryStats {
  public long currentProcessMemory;
  public long availableSystemMemory;

  @Override
  public String toString() {
    return "currentProcessMemory=" + currentProcessMemory + " availableSystemMemory="
        + availableSystemMemory;
  }
}
