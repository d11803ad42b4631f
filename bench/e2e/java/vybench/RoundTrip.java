package vybench;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * Round trips per second of business objects through n_DoVerbFor, and events per second through
 * the connector's event callback, each next to its JNI floor measured in the same run.
 *
 * <p>With one thread: the reference object with a handler that answers 1 unchanged and with one
 * that changes one attribute, the same object with 13 % non-ASCII characters, and events of both
 * objects. With more threads: the reference round trip only (for the scaling figure).
 *
 * <p>Arguments: the folder of the reference data (spec texts "*.spec.wire", the object texts
 * "reference.bo.wire" and "reference-nonascii.bo.wire", one wire text per file, UTF-8), seconds
 * per figure, threads, and optionally a part of a figure's name to measure that figure alone (one
 * thread). Besides the readable lines, each figure is printed once as
 * "FIGURE|name|kit us|floor us|target ratio" for bin/vybench's summary; with more than one
 * thread, "RATE|threads|round trips per second|the same with one thread" instead, the two
 * measured alternately.
 */
public final class RoundTrip {
  public static void main(String[] args) throws Exception {
    Path data = Path.of(args.length > 0 ? args[0] : "bench/data");
    double seconds = args.length > 1 ? Double.parseDouble(args[1]) : 3.0;
    int threads = args.length > 2 ? Integer.parseInt(args[2]) : 1;

    BusObjNativeInterface.loadConnector("VyBenchEcho");
    BusObjNativeInterface agent = new BusObjNativeInterface();
    agent.setRecording(false);
    if (agent.n_init("4.1.0", "VyBenchEcho") != 0) throw new IllegalStateException("init failed");
    List<Path> specs = new ArrayList<>();
    try (var files = Files.list(data)) {
      files.filter(p -> p.toString().endsWith(".spec.wire")).sorted().forEach(specs::add);
    }
    for (Path p : specs) agent.n_gotBusObjSpec(Files.readString(p, StandardCharsets.UTF_8));
    String request = Files.readString(data.resolve("reference.bo.wire"), StandardCharsets.UTF_8);
    String nonAscii =
        Files.readString(data.resolve("reference-nonascii.bo.wire"), StandardCharsets.UTF_8);
    check(agent, request);
    check(agent, nonAscii);

    System.out.printf("reference object: %d UTF-16 units; non-ASCII object: %d units; %d thread(s)%n",
        request.length(), nonAscii.length(), threads);
    if (threads > 1) {
      Runnable verb = () -> {
        StringBucket b = new StringBucket(request);
        agent.n_DoVerbFor(b, false, new ReturnStatusDescriptor());
      };
      double[] rates = compare(seconds, verb, threads, verb, 1);
      System.out.printf("n_DoVerbFor round trips/s: %12.0f with %d threads (%.2f us each), %.0f with one%n",
          rates[0], threads, 1e6 / rates[0] * threads, rates[1]);
      System.out.printf("RATE|%d|%.0f|%.0f%n", threads, rates[0], rates[1]);
      agent.n_terminate();
      return;
    }
    String only = args.length > 3 ? args[3] : "";
    String[] names = {
      "round trip, reference object, handler answers 1 unchanged",
      "round trip, reference object, handler changes one attribute",
      "round trip, non-ASCII object (13 %)",
      "event of the reference object",
      "event of the non-ASCII object"
    };
    if (names[0].contains(only)) roundTrip(agent, names[0], request, seconds, false, 4.0);
    if (names[1].contains(only)) roundTrip(agent, names[1], request, seconds, true, 4.5);
    if (names[2].contains(only)) roundTrip(agent, names[2], nonAscii, seconds, false, 6.0);
    if (names[3].contains(only)) event(agent, names[3], request, seconds, 3.0);
    if (names[4].contains(only)) event(agent, names[4], nonAscii, seconds, 4.5);
    agent.n_terminate();
  }

  static void check(BusObjNativeInterface agent, String request) {
    StringBucket probe = new StringBucket(request);
    ReturnStatusDescriptor st = new ReturnStatusDescriptor();
    int status = agent.n_DoVerbFor(probe, false, st);
    if (status != 1 || !probe.getContent().equals(request)) {
      throw new IllegalStateException("the object is refused or changed: " + status + " " + st.getErrorString());
    }
  }

  static void roundTrip(BusObjNativeInterface agent, String name, String request, double seconds,
      boolean change, double target) throws InterruptedException {
    Floor.changeOne(change);
    double[] rates = compare(seconds, () -> {
      StringBucket b = new StringBucket(request);
      agent.n_DoVerbFor(b, false, new ReturnStatusDescriptor());
    }, 1, () -> Floor.roundTrip(new StringBucket(request)), 1);
    Floor.changeOne(false);
    report(name, rates[0], rates[1], target, "JNI floor");
  }

  static void event(BusObjNativeInterface agent, String name, String request, double seconds,
      double target) throws InterruptedException {
    final int perPoll = 10_000;
    if (Floor.prepareEvent(request, perPoll) != 1) throw new IllegalStateException("event unreadable");
    agent.n_SubscribeTo(typeOf(request), null, 0);
    agent.n_poll();
    String eventText = agent.getLastEventText();
    if (!eventText.equals(request)) throw new IllegalStateException("the event text differs");
    double[] rates = compare(seconds, () -> agent.n_poll(), 1,
        () -> Floor.upcalls(agent, eventText, perPoll), 1);
    report(name, rates[0] * perPoll, rates[1] * perPoll, target, "upcall floor");
  }

  static void report(String name, double kit, double floor, double target, String floorName) {
    System.out.printf("%s:%n", name);
    System.out.printf("  kit   /s: %12.0f  (%.2f us each)%n", kit, 1e6 / kit);
    System.out.printf("  %-6s/s: %12.0f  (%.2f us each, %s)%n", "floor", floor, 1e6 / floor, floorName);
    System.out.printf("  ratio:     %12.2f  (target <= %.1f)%n", floor / kit, target);
    System.out.printf("FIGURE|%s|%.2f|%.2f|%.1f%n", name, 1e6 / kit, 1e6 / floor, target);
  }

  /** The type name of a business object wire text: its third field. */
  static String typeOf(String wire) {
    int pos = 0;
    String field = null;
    for (int i = 0; i < 3; i++) {
      int delim = wire.indexOf('\u0003', pos);
      int len = Integer.parseInt(wire.substring(pos, delim));
      field = wire.substring(delim + 1, delim + 1 + len);
      pos = delim + 1 + len;
    }
    return field;
  }

  /**
   * Calls per second of a and of b (over all their threads), measured in alternating slices that
   * share `seconds` between them, each figure the best of its slices. A shared machine slows
   * whole stretches of time (another process, a collection, the clock): alternating puts both
   * figures under the same conditions, and the best slice is the one least disturbed.
   */
  static double[] compare(double seconds, Runnable a, int threadsA, Runnable b, int threadsB)
      throws InterruptedException {
    final int slices = 8;
    warm(a);
    warm(b);
    double bestA = 0;
    double bestB = 0;
    for (int i = 0; i < slices; i++) {
      bestA = Math.max(bestA, measure(seconds / (2 * slices), threadsA, a));
      bestB = Math.max(bestB, measure(seconds / (2 * slices), threadsB, b));
    }
    return new double[] {bestA, bestB};
  }

  static void warm(Runnable call) {
    long warmEnd = System.nanoTime() + 1_000_000_000L;
    while (System.nanoTime() < warmEnd) call.run();
  }

  /** Calls per second over all threads. */
  static double measure(double seconds, int threads, Runnable call) throws InterruptedException {
    long[] counts = new long[threads];
    Thread[] workers = new Thread[threads];
    long end = System.nanoTime() + (long) (seconds * 1e9);
    long start = System.nanoTime();
    for (int t = 0; t < threads; t++) {
      final int id = t;
      workers[t] = new Thread(() -> {
        long n = 0;
        while (System.nanoTime() < end) {
          for (int i = 0; i < 64; i++) call.run();
          n += 64;
        }
        counts[id] = n;
      });
      workers[t].start();
    }
    long total = 0;
    for (int t = 0; t < threads; t++) {
      workers[t].join();
      total += counts[t];
    }
    return total / ((System.nanoTime() - start) / 1e9);
  }
}
