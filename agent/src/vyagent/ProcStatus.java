package vyagent;

import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Locale;

/** Memory figures of this process, read from /proc/self/status. */
final class ProcStatus {
  private ProcStatus() {}

  static String mib(long bytes) {
    return String.format(Locale.ROOT, "%.1f MiB", bytes / 1048576.0);
  }

  /** A line of /proc/self/status, such as "VmRSS:", as the kernel gives it ("unknown" if none). */
  static String line(String key) {
    try {
      for (String line : Files.readAllLines(Path.of("/proc/self/status"), StandardCharsets.UTF_8)) {
        if (line.startsWith(key)) {
          String v = line.substring(key.length()).trim();
          if (v.endsWith(" kB")) {
            return mib(Long.parseLong(v.substring(0, v.length() - 3).trim()) * 1024);
          }
          return v;
        }
      }
    } catch (IOException | RuntimeException e) {
      return "unknown";
    }
    return "unknown";
  }
}
