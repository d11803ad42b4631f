package bench;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import java.io.ByteArrayOutputStream;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashSet;
import java.util.List;
import java.util.Map;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import vyagent.DriverOptions;
import vyagent.LoadDriver;
import vyagent.ObjectDef;
import vyagent.ObjectMaker;
import vyagent.ObjectWire;
import vyagent.SpecDef;
import vyagent.SpecText;
import vyagent.Specs;
import vytest.Check;

/**
 * libBenchConnector loaded with System.loadLibrary under the real agent class. The connector
 * reads its two properties once per process, so each configuration runs in a child JVM of its
 * own; the parent starts them and passes their output on.
 */
public final class BenchConnectorTest {
  static final String SPEC_TEXT = String.join("\n",
      "type Order 1.0.0",
      "  attr OrderId String key",
      "  attr Name String",
      "  attr Lines Line card=n",
      "  attr Owner Party",
      "  verb Create", "  verb Retrieve", "  verb Update", "  verb Delete",
      "end",
      "type Line 1.0.0",
      "  attr LineId Integer key",
      "  attr Qty Integer",
      "end",
      "type Party 1.0.0",
      "  attr PartyId String key",
      "  attr Note String",
      "end",
      "");
  static final Pattern LOG_LINE =
      Pattern.compile("\ndoVerbFor on BOHandler named (.*) for verb (.*), Count = (\\d+)");

  static final Specs specs = new Specs(SpecText.parse(SPEC_TEXT));
  static BusObjNativeInterface agent;

  public static void main(String[] args) throws Exception {
    if (args.length == 1) {
      runCase(args[0]);
      Check.finish();
      return;
    }
    for (String c : new String[] {"absent", "always", "never", "half", "wait", "nowait-zero",
        "nowait-negative", "nowait-below-int", "threads", "driver"}) {
      child(c);
    }
    Check.finish();
  }

  /** Runs one case in a new JVM with the same class path, library path and checks. */
  private static void child(String name) throws Exception {
    Check.group("child JVM: " + name);
    String java = Path.of(System.getProperty("java.home"), "bin", "java").toString();
    List<String> cmd = List.of(java, "-Xcheck:jni", "-ea",
        "-Djava.library.path=" + System.getProperty("java.library.path"),
        "-cp", System.getProperty("java.class.path"), BenchConnectorTest.class.getName(), name);
    Process p = new ProcessBuilder(cmd).redirectErrorStream(true).start();
    String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    int code = p.waitFor();
    System.out.print(out.replaceAll("(?m)^", "    "));
    Check.eq(0, code, "exit status of case " + name);
  }

  private static void start(Map<String, String> props) {
    BusObjNativeInterface.clearProperties();
    props.forEach(BusObjNativeInterface::setProperty);
    BusObjNativeInterface.loadConnector("BenchConnector");
    agent = new BusObjNativeInterface();
    Check.eq(0, agent.n_init("4.1.0", "libBenchConnector.so"), "n_init");
    Check.eq("3.0.1", agent.n_getVersion(), "connector version");
    for (SpecDef s : specs.all()) agent.n_gotBusObjSpec(s.toWire());
  }

  /** One request: returns the status; bucket[0] receives what the bucket holds afterwards. */
  static int send(String wire, String[] bucketOut) {
    StringBucket b = new StringBucket(wire);
    int status = agent.n_DoVerbFor(b, false, new ReturnStatusDescriptor());
    if (bucketOut != null) bucketOut[0] = b.content;
    return status;
  }

  static String order(String verb, long seq) {
    return ObjectWire.write(new ObjectMaker(specs, 3, false).make("Order", verb, seq));
  }

  static String party(String verb) {
    return ObjectWire.write(new ObjectMaker(specs, 0, false).make("Party", verb, 5));
  }

  /** The (type, verb, count) of every per-verb log line, in the order logged. */
  static List<String[]> verbLines() {
    List<String[]> out = new ArrayList<>();
    for (BusObjNativeInterface.LogRecord r : agent.getLogs()) {
      Matcher m = LOG_LINE.matcher(r.text());
      if (m.matches()) out.add(new String[] {m.group(1), m.group(2), m.group(3)});
    }
    return out;
  }

  private static void runCase(String name) throws Exception {
    switch (name) {
      case "absent": absent(); break;
      case "always": always(); break;
      case "never": rate("0", 0.0, 0.0); break;
      case "half": rate("50", 0.40, 0.60); break;
      case "wait": waits(); break;
      case "nowait-zero": noWait("0"); break;
      case "nowait-negative": noWait("-1"); break;
      case "nowait-below-int": noWait("-99999999999"); break;
      case "threads": threads(); break;
      case "driver": driver(); break;
      default: throw new IllegalArgumentException(name);
    }
    // The driver runs the whole lifecycle itself.
    if (!name.equals("driver")) Check.eq(0, agent.n_terminate(), "n_terminate");
  }

  /** Without "ConsumeSuccessRate" every verb fails; the log counts every verb from 1. */
  private static void absent() {
    Check.group("without ConsumeSuccessRate every verb fails");
    start(Map.of("ConnectorName", "BenchTest"));
    Check.isTrue(agent.getLogs().stream().anyMatch(r -> r.text().startsWith("28: BenchTest")),
        "message 28 with the connector name logged at init: " + agent.getLogs());
    agent.clearRecords();
    String[] verbs = {"Create", "Retrieve", "Update", "Delete", "Frobnicate", null};
    for (String v : verbs) {
      String wire = order(v, 1);
      String[] after = new String[1];
      Check.eq(-1, send(wire, after), "Order " + v);
      Check.eq(wire, after[0], "bucket keeps the request after " + v);
      Check.eq(-1, send(party(v), null), "Party " + v);
    }
    List<String[]> lines = verbLines();
    Check.eq(verbs.length * 2, lines.size(), "one log line per verb");
    for (int i = 0; i < lines.size(); i++) {
      String expectVerb = verbs[i / 2] == null ? "null" : verbs[i / 2];
      Check.eq(i % 2 == 0 ? "Order" : "Party", lines.get(i)[0], "type in line " + (i + 1));
      Check.eq(expectVerb, lines.get(i)[1], "verb in line " + (i + 1));
      Check.eq(Integer.toString(i + 1), lines.get(i)[2], "count across types, line " + (i + 1));
    }

    Check.group("the log line holds names of any length");
    SpecDef big = new SpecDef("Long" + "N".repeat(700));
    SpecDef.Attr id = new SpecDef.Attr("Id", "String");
    id.key = true;
    big.attrs.add(id);
    agent.n_gotBusObjSpec(big.toWire());
    Specs bigSpecs = new Specs(List.of(big));
    String verb = "Verb" + "V".repeat(600);
    agent.clearRecords();
    Check.eq(-1, send(ObjectWire.write(new ObjectMaker(bigSpecs, 0, false).make(big.name, verb, 1)),
        null), "long verb fails");
    List<String[]> one = verbLines();
    Check.eq(1, one.size(), "one line");
    if (one.size() == 1) {
      Check.eq(big.name, one.get(0)[0], "whole type name");
      Check.eq(verb, one.get(0)[1], "whole verb");
      Check.eq(Integer.toString(verbs.length * 2 + 1), one.get(0)[2], "count goes on");
    }
  }

  /** 100 always succeeds; a Create gives every key of the tree a new decimal value. */
  private static void always() {
    Check.group("ConsumeSuccessRate 100: Create, Retrieve, Update succeed; Delete and others fail");
    start(Map.of("ConsumeSuccessRate", "100", "AppResponseInMSecs", "-20"));
    for (int round = 0; round < 50; round++) {
      ObjectDef sent = new ObjectMaker(specs, 3, false).make("Order", "Create", 7);
      String[] after = new String[1];
      Check.eq(1, send(ObjectWire.write(sent), after), "Create");
      ObjectDef back = ObjectWire.read(after[0], specs);
      List<ObjectDef> before = sent.tree();
      List<ObjectDef> now = back.tree();
      Check.eq(before.size(), now.size(), "same tree shape");
      for (int k = 0; k < before.size() && k < now.size(); k++) {
        SpecDef spec = before.get(k).spec;
        for (int i = 0; i < spec.attrs.size(); i++) {
          SpecDef.Attr a = spec.attrs.get(i);
          if (!a.isSimple()) continue;
          Object was = before.get(k).values[i];
          Object is = now.get(k).values[i];
          if (a.key) {
            Check.isTrue(is instanceof String && ((String) is).matches("\\d+"),
                spec.name + "." + a.name + " is decimal: " + is);
            Check.isTrue(!was.equals(is), spec.name + "." + a.name + " has a new value");
          } else {
            Check.eq(was, is, spec.name + "." + a.name + " kept");
          }
        }
      }
    }
    // An Update comes back exactly as sent: the driver's writer and reader agree with the kit's.
    ObjectDef upd = new ObjectMaker(specs, 2, false).make("Order", "Update", 3);
    String[] after = new String[1];
    Check.eq(1, send(ObjectWire.write(upd), after), "Update");
    Check.eq(upd, ObjectWire.read(after[0], specs), "Update returns the object unchanged");
    String retrieve = order("Retrieve", 4);
    Check.eq(0, send(retrieve, after), "Retrieve answers 0");
    Check.eq(retrieve, after[0], "Retrieve leaves the request in the bucket");
    for (int i = 0; i < 20; i++) {
      Check.eq(-1, send(order("Delete", i), null), "Delete always fails");
      Check.eq(-1, send(order("Archive", i), null), "unknown verb always fails");
      Check.eq(-1, send(order(null, i), null), "no verb always fails");
    }
  }

  /** Share of successes among Create, Retrieve and Update. */
  private static void rate(String value, double low, double high) {
    Check.group("ConsumeSuccessRate " + value + " gives " + low + " to " + high + " successes");
    start(Map.of("ConsumeSuccessRate", value));
    agent.setRecording(false);
    String[] verbs = {"Create", "Retrieve", "Update"};
    int n = 3000;
    int ok = 0;
    for (int i = 0; i < n; i++) {
      int s = send(order(verbs[i % 3], i), null);
      Check.isTrue(s == 1 || s == 0 || s == -1, "status " + s);
      if (s != -1) ok++;
    }
    double share = ok / (double) n;
    Check.isTrue(share >= low && share <= high, "success share " + share);
  }

  /** "AppResponseInMSecs" waits milliseconds, not seconds. */
  private static void waits() {
    Check.group("AppResponseInMSecs 40 waits 40 ms per verb");
    start(Map.of("ConsumeSuccessRate", "100", "AppResponseInMSecs", "40"));
    for (int i = 0; i < 3; i++) {
      long t0 = System.nanoTime();
      Check.eq(1, send(order("Update", i), null), "Update");
      long ms = (System.nanoTime() - t0) / 1_000_000;
      Check.isTrue(ms >= 40, "waited at least 40 ms: " + ms);
      Check.isTrue(ms < 5000, "waited milliseconds, not seconds: " + ms);
    }
  }

  /**
   * "AppResponseInMSecs" of 0 or less gives no wait. A negative count handed to a wait that takes
   * an unsigned one would sleep for years: the requests run on a thread of their own, and one
   * still running after a minute has hung (a liveness guard, not a speed measure).
   */
  private static void noWait(String value) throws InterruptedException {
    Check.group("AppResponseInMSecs " + value + " gives no wait");
    start(Map.of("ConsumeSuccessRate", "100", "AppResponseInMSecs", value));
    int[] statuses = new int[3];
    Thread requests = new Thread(() -> {
      for (int i = 0; i < statuses.length; i++) statuses[i] = send(order("Update", i), null);
    });
    requests.setDaemon(true);
    requests.start();
    requests.join(60_000);
    Check.isTrue(!requests.isAlive(), "the verbs did not wait: still running after a minute");
    if (requests.isAlive()) {
      Check.finish();  // the hung thread would keep n_terminate waiting
    }
    for (int s : statuses) Check.eq(1, s, "Update answered");
  }

  /** Several agent threads at once: every count from 1 to N appears exactly once. */
  private static void threads() throws InterruptedException {
    Check.group("the verb count is exact with four agent threads");
    start(Map.of("ConsumeSuccessRate", "100"));
    agent.clearRecords();
    int perThread = 400;
    Thread[] ts = new Thread[4];
    int[] bad = new int[ts.length];
    for (int t = 0; t < ts.length; t++) {
      final int id = t;
      ts[t] = new Thread(() -> {
        String wire = order(id % 2 == 0 ? "Create" : "Update", id);
        for (int i = 0; i < perThread; i++) {
          if (send(wire, null) != 1) bad[id]++;
        }
      });
      ts[t].start();
    }
    for (Thread t : ts) t.join();
    for (int t = 0; t < ts.length; t++) Check.eq(0, bad[t], "failures on thread " + t);
    List<String[]> lines = verbLines();
    Set<String> counts = new HashSet<>();
    for (String[] l : lines) counts.add(l[2]);
    int n = perThread * ts.length;
    Check.eq(n, lines.size(), "one line per verb");
    Check.eq(n, counts.size(), "no count given twice");
    Check.isTrue(counts.contains("1") && counts.contains(Integer.toString(n)), "counts 1 to " + n);
  }

  /** A short driver run: its summary agrees with the statuses and with the connector's log. */
  private static void driver() throws Exception {
    Check.group("a short driver run reports what happened");
    Path specFile = Files.createTempFile("vy-bench-", ".spec");
    Files.writeString(specFile, SPEC_TEXT);
    DriverOptions opt = DriverOptions.parse(new String[] {
        "--lib", "BenchConnector", "--spec", specFile.toString(), "--type", "Order",
        "-P", "ConsumeSuccessRate=100", "--mix", "Create=2,Retrieve=1,Update=1,Delete=1",
        "--threads", "2", "--duration", "1.5", "--children", "4", "--show-log",
        "--log-limit", "0", "--no-progress"});
    ByteArrayOutputStream bytes = new ByteArrayOutputStream();
    LoadDriver d = new LoadDriver(opt, new PrintStream(bytes, true, StandardCharsets.UTF_8));
    LoadDriver.Result r = d.run();
    agent = d.agent();
    Files.deleteIfExists(specFile);
    String text = bytes.toString(StandardCharsets.UTF_8);
    System.out.print(text);
    Check.eq(0, r.initResult, "n_init");
    Check.isTrue(r.sent > 100, "requests sent: " + r.sent);
    long byStatus = r.byStatus.values().stream().mapToLong(Long::longValue).sum();
    Check.eq(r.sent, byStatus, "statuses add up to the requests sent");
    Check.eq(r.sent, r.latency.count(), "one latency per request");
    Check.eq(0L, r.exceptions, "no exception");
    // The connector logged one line per verb it saw: the driver counted every call it made.
    long logged = d.agent().getLogs().stream().filter(l -> LOG_LINE.matcher(l.text()).matches()).count();
    // The seeds (Creates of the keys the other verbs name) come first and are not counted.
    Check.eq((long) vyagent.LoadRequests.POOL, r.seeded, "seeds sent");
    Check.eq(r.sent + r.seeded, logged, "connector log lines");
    // Delete fails every time: a fifth of the mix, above the default --max-failures.
    Check.eq(r.byStatus.get(-1), r.failures(), "failures are the -1 statuses");
    Check.eq(LoadDriver.EXIT_FAILURES, r.exitStatus, "exit status of a load with failures");
    Check.eq(Set.of(-1), r.byVerb.get("Delete").keySet(), "Delete only fails");
    Check.eq(Set.of(1), r.byVerb.get("Create").keySet(), "Create only succeeds");
    Check.eq(Set.of(0), r.byVerb.get("Retrieve").keySet(), "Retrieve answers 0");
    Check.eq(Set.of(1), r.byVerb.get("Update").keySet(), "Update answers 1");
    Check.isTrue(text.contains(String.format("Requests sent    %,d", r.sent)), "printed total");
    Matcher m = Pattern.compile("(?m)^ +-1 +0 +0 +0 +([\\d,]+) +([\\d,]+) +failure$").matcher(text);
    Check.isTrue(m.find(), "a -1 row with only Delete in it");
    if (m.find(0)) {
      Check.eq(m.group(1), m.group(2), "the -1 row: Delete column equals total");
      Check.eq(r.byStatus.get(-1), Long.parseLong(m.group(2).replace(",", "")), "-1 total");
    }
    Check.isTrue(r.latency.percentile(0.5) <= r.latency.percentile(0.99)
        && r.latency.percentile(0.99) <= r.latency.max(), "percentiles in order");
    Check.isTrue(text.contains("VmRSS"), "process memory printed");
  }
}
