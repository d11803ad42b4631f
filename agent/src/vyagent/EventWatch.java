package vyagent;

import AppSide_Connector.BusObjNativeInterface;
import java.io.PrintStream;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.TreeMap;
import java.util.concurrent.atomic.AtomicLong;

/**
 * The driver's subscriptions: subscribes through n_SubscribeTo, takes every event the connector
 * raises (answering 1), counts them by type and verb and keeps the first few texts to print.
 */
final class EventWatch implements BusObjNativeInterface.EventListener {
  private final List<String[]> subscriptions;
  private final int keep;
  private final AtomicLong received = new AtomicLong();
  private final Map<String, Long> byKind = new TreeMap<>();
  private final List<String> first = new ArrayList<>();
  private long startedAt;
  private long lastAt;

  EventWatch(List<String[]> subscriptions, int keep) {
    this.subscriptions = subscriptions;
    this.keep = keep;
  }

  /** Subscribes; returns the subscriptions the connector refused, as printable texts. */
  List<String> subscribe(BusObjNativeInterface agent) {
    agent.setEventListener(this);
    List<String> refused = new ArrayList<>();
    for (String[] s : subscriptions) {
      int answer = agent.n_SubscribeTo(s[0], s[1], 0);
      if (answer < 0) refused.add(name(s) + " (n_SubscribeTo answered " + answer + ")");
    }
    startedAt = System.nanoTime();
    return refused;
  }

  @Override
  public int onEvent(String wireText) {
    String kind = kind(wireText);
    synchronized (this) {
      byKind.merge(kind, 1L, Long::sum);
      if (first.size() < keep) first.add(wireText);
      lastAt = System.nanoTime();
    }
    received.incrementAndGet();
    return 1;
  }

  long received() {
    return received.get();
  }

  /** "Type Verb" of an event's wire text, read from its first fields. */
  static String kind(String wire) {
    try {
      List<String> f = Wire.head(wire, 6);
      String flag = f.get(4);
      String verb = flag.equals("true") || flag.equals("false") ? f.get(5) : flag;
      return f.get(2) + " " + verb;
    } catch (IllegalArgumentException | IndexOutOfBoundsException e) {
      return "(unreadable)";
    }
  }

  private static String name(String[] s) {
    return s[1] == null ? s[0] : s[0] + ":" + s[1];
  }

  /** The event part of the report. */
  synchronized void report(PrintStream out, Specs specs) {
    long n = received.get();
    double seconds = ((n > 0 ? lastAt : System.nanoTime()) - startedAt) / 1e9;
    List<String> names = new ArrayList<>();
    for (String[] s : subscriptions) names.add(name(s));
    out.printf(Locale.ROOT, "%nEvents (subscribed to %s)%n", String.join(", ", names));
    if (n == 0) {
      out.println("  none received");
      return;
    }
    out.printf(Locale.ROOT, "  %,d received in %.2f s (%,.1f per second), each answered 1%n", n,
        seconds, seconds > 0 ? n / seconds : 0.0);
    byKind.forEach((k, c) -> out.printf(Locale.ROOT, "  %,10d  %s%n", c, k));
    if (first.isEmpty()) return;
    out.printf("  the first %d:%n", first.size());
    for (String text : first) {
      String shown;
      try {
        shown = ObjectText.format(ObjectWire.read(text, specs));
      } catch (IllegalArgumentException e) {
        shown = "(not readable: " + e.getMessage() + ")\n" + Wire.show(text) + "\n";
      }
      out.print(shown.replaceAll("(?m)^", "    "));
    }
  }
}
