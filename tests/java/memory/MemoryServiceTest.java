package memory;

import Server.MemoryServices.MemoryService;
import Server.MemoryServices.MemoryStats;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.RandomAccessFile;
import java.lang.ref.Reference;
import java.nio.MappedByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.List;
import vytest.Check;

/**
 * Loads libSysMemory the way the agent's memory service does and samples through it. The lines
 * the library prints go to the process's own standard output, not System.out, so the cases that
 * print are re-run in a child JVM whose output is read back whole.
 */
public final class MemoryServiceTest {
  private static final long GIB = 1L << 30;
  private static final long UNTOUCHED = -7;

  /** Right shape but the second field missing. */
  static final class WithoutAvailable {
    public long currentProcessMemory = UNTOUCHED;
  }

  /** Right shape but the first field missing. */
  static final class WithoutCurrent {
    public long availableSystemMemory = UNTOUCHED;
  }

  /** Both names present, but one is not a long. */
  static final class AvailableNotLong {
    public long currentProcessMemory = UNTOUCHED;
    public int availableSystemMemory = (int) UNTOUCHED;
  }

  public static void main(String[] args) throws Exception {
    MemoryService.load();
    MemoryService service = new MemoryService();
    if (args.length == 1) {
      System.exit(childCase(service, args[0]));
    }
    fillsBothFields(service);
    carriesSizesPastTwoGib(service);
    refusesWrongShapes(service);
    printsTheFailedLookup();
    Check.finish();
  }

  private static void fillsBothFields(MemoryService service) throws IOException {
    Check.group("fills both fields");
    MemoryStats stats = new MemoryStats();
    stats.currentProcessMemory = UNTOUCHED;
    stats.availableSystemMemory = UNTOUCHED;
    Check.eq(0, service.updateMemoryStats(stats), "result");
    long vmSize = statusKib("VmSize:") * 1024;
    Check.isTrue(stats.currentProcessMemory > 0, "process figure written: " + stats);
    Check.isTrue(stats.availableSystemMemory > 0, "system figure written: " + stats);
    // Bytes, not pages or kilobytes: the kernel's own VmSize, read just after, agrees closely.
    Check.isTrue(Math.abs(vmSize - stats.currentProcessMemory) < 256L << 20,
        "process figure " + stats.currentProcessMemory + " near VmSize " + vmSize);
    long memTotal = meminfoKib("MemTotal:") * 1024;
    Check.isTrue(stats.availableSystemMemory <= memTotal,
        "system figure " + stats.availableSystemMemory + " within MemTotal " + memTotal);
    Check.isTrue(stats.availableSystemMemory > memTotal / 1024,
        "system figure in bytes, not pages or kilobytes: " + stats.availableSystemMemory);
  }

  /** A sparse file mapped read-only grows the virtual size by 3 GiB without using memory. */
  private static void carriesSizesPastTwoGib(MemoryService service) throws IOException {
    Check.group("carries sizes past 2 GiB");
    long before = service.sample().currentProcessMemory;
    Path file = Files.createTempFile("vy-memory-", ".sparse");
    List<MappedByteBuffer> maps = new ArrayList<>();
    try (RandomAccessFile raf = new RandomAccessFile(file.toFile(), "rw")) {
      raf.setLength(3 * GIB);
      FileChannel channel = raf.getChannel();
      long half = 3 * GIB / 2; // one mapping is limited to 2 GiB
      maps.add(channel.map(FileChannel.MapMode.READ_ONLY, 0, half));
      maps.add(channel.map(FileChannel.MapMode.READ_ONLY, half, 3 * GIB - half));
      long after = service.sample().currentProcessMemory;
      Check.isTrue(after > 1L << 31, "figure past 2^31: " + after);
      Check.isTrue(after - before >= 3 * GIB - (64L << 20),
          "figure grew by the 3 GiB mapped: before " + before + ", after " + after);
      long vmSize = statusKib("VmSize:") * 1024;
      Check.isTrue(Math.abs(vmSize - after) < 256L << 20,
          "large figure " + after + " near VmSize " + vmSize);
    } finally {
      Reference.reachabilityFence(maps);
      Files.deleteIfExists(file);
    }
  }

  private static void refusesWrongShapes(MemoryService service) {
    Check.group("refuses wrong shapes without writing or throwing");
    try {
      WithoutAvailable noAvailable = new WithoutAvailable();
      Check.eq(1, service.updateMemoryStats(noAvailable), "lacking availableSystemMemory");
      Check.eq(UNTOUCHED, noAvailable.currentProcessMemory, "currentProcessMemory unwritten");

      WithoutCurrent noCurrent = new WithoutCurrent();
      Check.eq(1, service.updateMemoryStats(noCurrent), "lacking currentProcessMemory");
      Check.eq(UNTOUCHED, noCurrent.availableSystemMemory, "availableSystemMemory unwritten");

      AvailableNotLong notLong = new AvailableNotLong();
      Check.eq(1, service.updateMemoryStats(notLong), "availableSystemMemory an int");
      Check.eq(UNTOUCHED, notLong.currentProcessMemory, "currentProcessMemory unwritten");
      Check.eq((int) UNTOUCHED, notLong.availableSystemMemory, "int field unwritten");

      Check.eq(1, service.updateMemoryStats(null), "null statistics object");
      Check.eq(1, service.updateMemoryStats("not statistics"), "object of another class");

      // The service is usable again after refusals: no error was left pending.
      Check.isTrue(service.sample().currentProcessMemory > 0, "sample after refusals");
    } catch (Throwable t) {
      Check.fail("threw " + t);
    }
  }

  /** What a failed lookup prints, read from a child JVM's standard output. */
  private static void printsTheFailedLookup() throws Exception {
    Check.group("prints the failed lookup");
    ChildRun noAvailable = runChild("without-available");
    Check.eq(1, noAvailable.exit, "child result without availableSystemMemory");
    Check.eq("fid_avaiable_system_memory failed\n", noAvailable.stdout, "printed line");
    Check.eq("", noAvailable.stderr, "nothing on standard error");

    ChildRun noCurrent = runChild("without-current");
    Check.eq(1, noCurrent.exit, "child result without currentProcessMemory");
    Check.eq("fid_current_process_memory failed\n", noCurrent.stdout, "printed line");
    Check.eq("", noCurrent.stderr, "nothing on standard error");
  }

  /** One call in a child JVM; its result becomes the exit status and nothing else is printed. */
  private static int childCase(MemoryService service, String name) {
    switch (name) {
      case "without-available":
        return service.updateMemoryStats(new WithoutAvailable());
      case "without-current":
        return service.updateMemoryStats(new WithoutCurrent());
      default:
        return 99;
    }
  }

  private static final class ChildRun {
    int exit;
    String stdout;
    String stderr;
  }

  private static ChildRun runChild(String name) throws Exception {
    String java = Paths.get(System.getProperty("java.home"), "bin", "java").toString();
    ProcessBuilder builder = new ProcessBuilder(java, "-Xcheck:jni", "-ea",
        "-Djava.library.path=" + System.getProperty("java.library.path"), "-cp",
        System.getProperty("java.class.path"), MemoryServiceTest.class.getName(), name);
    File err = File.createTempFile("vy-memory-child-", ".err");
    builder.redirectError(err);
    Process child = builder.start();
    ChildRun run = new ChildRun();
    try (InputStream out = child.getInputStream()) {
      run.stdout = new String(out.readAllBytes(), StandardCharsets.UTF_8);
    }
    run.exit = child.waitFor();
    run.stderr = Files.readString(err.toPath());
    Files.delete(err.toPath());
    // Echo the child so that any JNI warning it printed also fails this run.
    System.out.print(indent("child " + name + " stdout", run.stdout));
    System.out.print(indent("child " + name + " stderr", run.stderr));
    return run;
  }

  private static String indent(String title, String text) {
    if (text.isEmpty()) return "";
    return "  " + title + ":\n    " + text.replace("\n", "\n    ").stripTrailing() + "\n";
  }

  private static long statusKib(String key) throws IOException {
    return kibField(Paths.get("/proc/self/status"), key);
  }

  private static long meminfoKib(String key) throws IOException {
    return kibField(Paths.get("/proc/meminfo"), key);
  }

  private static long kibField(Path file, String key) throws IOException {
    for (String line : Files.readAllLines(file)) {
      if (line.startsWith(key)) {
        return Long.parseLong(line.substring(key.length()).trim().split("\\s+")[0]);
      }
    }
    throw new IOException(key + " missing from " + file);
  }
}
