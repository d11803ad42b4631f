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
 * Round trips per second of a business object through n_DoVerbFor with a handler that answers 1
 * unchanged, next to the JNI floor measured in the same run.
 *
 * <p>Arguments: the folder of the reference data (spec texts "*.spec.wire" and the object text
 * "reference.bo.wire", each one wire text per file, UTF-8), seconds per measurement, threads.
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

    StringBucket probe = new StringBucket(request);
    ReturnStatusDescriptor st = new ReturnStatusDescriptor();
    int status = agent.n_DoVerbFor(probe, false, st);
    if (status != 1) {
      throw new IllegalStateException("the reference object is refused: " + status + " " + st.getErrorString());
    }

    double kit = measure(seconds, threads, () -> {
      StringBucket b = new StringBucket(request);
      agent.n_DoVerbFor(b, false, new ReturnStatusDescriptor());
    });
    double floor = measure(seconds, threads, () -> Floor.roundTrip(new StringBucket(request)));
    System.out.printf("object: %d UTF-16 units, %d thread(s)%n", request.length(), threads);
    System.out.printf("n_DoVerbFor round trips/s: %12.0f  (%.2f us each)%n", kit, 1e6 / kit * threads);
    System.out.printf("JNI floor round trips/s:   %12.0f  (%.2f us each)%n", floor, 1e6 / floor * threads);
    System.out.printf("ratio (floor / kit):       %12.2f  (target <= 4)%n", floor / kit);

    // Events: the reference object raised by the connector, delivered to an agent answering 1.
    final int perPoll = 10_000;
    if (Floor.prepareEvent(request, perPoll) != 1) throw new IllegalStateException("event unreadable");
    agent.n_SubscribeTo(request.isEmpty() ? "" : typeOf(request), null, 0);
    double events = measure(seconds, 1, () -> agent.n_poll()) * perPoll;
    String eventText = agent.getLastEventText();
    double eventFloor = measure(seconds, 1, () -> Floor.upcalls(agent, eventText, perPoll)) * perPoll;
    System.out.printf("events delivered/s:        %12.0f  (%.2f us each)%n", events, 1e6 / events);
    System.out.printf("upcall floor events/s:     %12.0f  (%.2f us each)%n", eventFloor, 1e6 / eventFloor);
    System.out.printf("ratio (floor / kit):       %12.2f%n", eventFloor / events);
    agent.n_terminate();
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

  /** Calls per second over all threads, after a warm-up. */
  static double measure(double seconds, int threads, Runnable call) throws InterruptedException {
    long warmEnd = System.nanoTime() + 1_000_000_000L;
    while (System.nanoTime() < warmEnd) call.run();
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
