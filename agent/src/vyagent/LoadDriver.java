package vyagent;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.SplittableRandom;
import java.util.TreeMap;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicLong;
import java.util.concurrent.atomic.LongAdder;

/**
 * The load driver: loads a connector library under the agent, announces specs, runs the
 * lifecycle and sends requests through the real n_DoVerbFor, then prints what happened. Every
 * figure comes from the agent side: statuses are the values n_DoVerbFor returned, latencies the
 * time each call took as the calling thread saw it.
 */
public final class LoadDriver {
  /** The agent interface version the driver announces. */
  public static final String AGENT_VERSION = "4.1.0";
  private static final int POOL = 16;

  /** What a run produced; the printed summary is made from these figures alone. */
  public static final class Result {
    public int initResult;
    public int terminateResult;
    public String connectorVersion;
    public long sent;
    public long warmupSent;
    public double seconds;
    public long exceptions;
    /** Status to count, over all verbs. */
    public final TreeMap<Integer, Long> byStatus = new TreeMap<>();
    /** Verb to (status to count). */
    public final Map<String, TreeMap<Integer, Long>> byVerb = new java.util.LinkedHashMap<>();
    /** Status to the first error text the agent's status object received with it. */
    public final Map<Integer, String> errorSamples = new TreeMap<>();
    public final LatencyHistogram latency = new LatencyHistogram();
    public String perfText;
    public List<PerfMonitors.Flow> perf = new ArrayList<>();
    public long polls;
    public long pollFailures;
    public String summary = "";
    /** The one request's outcome, in single-request mode. */
    public int requestStatus;
    public String responseText;
  }

  private final DriverOptions opt;
  private final PrintStream out;
  private final BusObjNativeInterface agent = new BusObjNativeInterface();
  private final Specs specs = new Specs();

  public LoadDriver(DriverOptions opt, PrintStream out) {
    this.opt = opt;
    this.out = out;
  }

  public static void main(String[] args) {
    int code;
    try {
      DriverOptions opt = DriverOptions.parse(args);
      if (opt.help) {
        System.out.println(DriverOptions.USAGE);
        return;
      }
      Result r = new LoadDriver(opt, System.out).run();
      code = r.initResult == 0 ? 0 : 2;
    } catch (IllegalArgumentException | IOException e) {
      System.err.println("vyagent: " + e.getMessage());
      System.err.println("vyagent --help lists the options");
      code = 1;
    }
    System.out.flush();
    System.exit(code);
  }

  public BusObjNativeInterface agent() {
    return agent;
  }

  /** Runs the whole job; the summary is printed and kept in the result. */
  public Result run() throws IOException {
    for (Path f : opt.specFiles) {
      for (SpecDef s : SpecText.parseFile(f)) specs.add(s);
    }
    specs.checkComplete();
    String type = chooseType();
    if (opt.emit != null) {
      emit(type);
      return new Result();
    }
    Map<String, String[]> pools = opt.requestFile == null && type != null ? buildPools(type) : null;

    BusObjNativeInterface.clearProperties();
    opt.props.forEach(BusObjNativeInterface::setProperty);
    if (!opt.props.containsKey("PerfLevel")) BusObjNativeInterface.setProperty("PerfLevel", "1");

    String libFile = loadLibrary(opt.lib);
    Result r = new Result();
    agent.clearRecords();
    agent.setRecording(true);
    r.initResult = agent.n_init(AGENT_VERSION, libFile);
    if (r.initResult != 0) {
      out.println("n_init answered " + r.initResult + "; the connector did not start.");
      r.terminateResult = agent.n_terminate();
      printLog();
      return r;
    }
    r.connectorVersion = agent.n_getVersion();
    for (SpecDef s : specs.all()) agent.n_gotBusObjSpec(s.toWire());

    if (opt.requestFile != null) {
      oneRequest(r);
    } else if (pools != null) {
      agent.setRecording(opt.showLog);
      load(r, pools);
      agent.setRecording(true);
    } else {
      out.println("No spec announced: nothing to send. Give --spec FILE.");
    }
    r.perfText = agent.n_getPerfMonitors();
    r.perf = PerfMonitors.decode(r.perfText);
    r.terminateResult = agent.n_terminate();
    if (opt.requestFile == null && pools != null) {
      r.summary = summary(r, type, libFile);
      out.print(r.summary);
    }
    printLog();
    out.flush();
    return r;
  }

  private String chooseType() throws IOException {
    if (opt.type != null) {
      specs.get(opt.type);
      return opt.type;
    }
    // A load object given without --type names its own type.
    if (opt.objectFile != null) return ObjectText.parseFile(opt.objectFile, specs).spec.name;
    if (specs.isEmpty()) return null;
    return specs.all().get(0).name;
  }

  private static String loadLibrary(String lib) {
    if (lib.contains("/") || lib.endsWith(".so")) {
      Path p = Path.of(lib).toAbsolutePath();
      BusObjNativeInterface.loadConnectorFile(p.toString());
      return p.getFileName().toString();
    }
    BusObjNativeInterface.loadConnector(lib);
    return System.mapLibraryName(lib);
  }

  /** A few request texts per verb, with different key values; built before anything is timed. */
  private Map<String, String[]> buildPools(String type) throws IOException {
    Map<String, String[]> pools = new HashMap<>();
    ObjectDef template = opt.objectFile != null ? ObjectText.parseFile(opt.objectFile, specs) : null;
    ObjectMaker maker = new ObjectMaker(specs, opt.children, opt.keysOnly);
    for (String verb : opt.mix.keySet()) {
      String[] pool = new String[template != null ? 1 : POOL];
      for (int i = 0; i < pool.length; i++) {
        ObjectDef o = template != null ? template : maker.make(type, verb, i + 1);
        if (template != null) {
          for (ObjectDef t : o.tree()) t.verb = verb;
        }
        pool[i] = ObjectWire.write(o);
      }
      pools.put(verb, pool);
    }
    return pools;
  }

  /** Writes the wire texts of the specs and of one load object, for tools that read files. */
  private void emit(String type) throws IOException {
    for (SpecDef s : specs.all()) {
      Path p = Path.of(opt.emit + "." + s.name + ".spec.wire");
      Files.writeString(p, s.toWire(), StandardCharsets.UTF_8);
      out.println("wrote " + p);
    }
    ObjectDef o;
    if (opt.objectFile != null) {
      o = ObjectText.parseFile(opt.objectFile, specs);
    } else if (type != null) {
      o = new ObjectMaker(specs, opt.children, opt.keysOnly).make(type, "Create", 1);
    } else {
      return;
    }
    Path text = Path.of(opt.emit + ".bo");
    Files.writeString(text, ObjectText.format(o), StandardCharsets.UTF_8);
    Path wire = Path.of(opt.emit + ".bo.wire");
    Files.writeString(wire, ObjectWire.write(o), StandardCharsets.UTF_8);
    out.println("wrote " + text + " and " + wire);
  }

  // ---- single request ----

  private void oneRequest(Result r) throws IOException {
    ObjectDef request = ObjectText.parseFile(opt.requestFile, specs);
    String wire = ObjectWire.write(request);
    StringBucket bucket = new StringBucket(wire);
    ReturnStatusDescriptor status = new ReturnStatusDescriptor();
    long t0 = System.nanoTime();
    r.requestStatus = agent.n_DoVerbFor(bucket, false, status);
    long t1 = System.nanoTime();
    r.responseText = bucket.content;
    out.printf(Locale.ROOT, "Request  %s %s: status %d (%s) in %.1f us%n", request.spec.name,
        request.verb == null ? "(no verb)" : request.verb, r.requestStatus,
        statusMeaning(r.requestStatus), (t1 - t0) / 1000.0);
    if (status.getErrorString() != null) out.println("Error text: " + status.getErrorString());
    if (wire.equals(bucket.content)) {
      out.println("The bucket holds the request text as it was sent (no object returned).");
      return;
    }
    out.println("Response object:");
    try {
      out.print(ObjectText.format(ObjectWire.read(bucket.content, specs)));
    } catch (IllegalArgumentException e) {
      out.println("(not readable: " + e.getMessage() + ")");
      out.println(Wire.show(bucket.content));
    }
  }

  // ---- load ----

  private final class Worker extends Thread {
    final LatencyHistogram hist = new LatencyHistogram();
    final String[] verbs;
    final int[] cumulative;
    final Map<String, String[]> pools;
    final List<Map<Integer, long[]>> counts = new ArrayList<>();
    final Map<Integer, String> errors = new HashMap<>();
    final SplittableRandom random;
    final CountDownLatch gate;
    final AtomicLong issued;
    final long limit;
    final LongAdder done;
    volatile boolean stop;
    long exceptions;
    long sent;
    long endedAt;

    Worker(int id, Map<String, String[]> pools, CountDownLatch gate, AtomicLong issued, long limit,
        LongAdder done) {
      super("vyagent-" + id);
      this.pools = pools;
      this.gate = gate;
      this.issued = issued;
      this.limit = limit;
      this.done = done;
      this.random = new SplittableRandom(System.nanoTime() * 31 + id);
      verbs = opt.mix.keySet().toArray(new String[0]);
      cumulative = new int[verbs.length];
      int sum = 0;
      for (int i = 0; i < verbs.length; i++) {
        sum += opt.mix.get(verbs[i]);
        cumulative[i] = sum;
        counts.add(new HashMap<>());
      }
    }

    @Override
    public void run() {
      try {
        gate.await();
      } catch (InterruptedException e) {
        return;
      }
      int total = cumulative[cumulative.length - 1];
      long n = 0;
      while (!stop && (limit <= 0 || issued.getAndIncrement() < limit)) {
        int pick = random.nextInt(total);
        int v = 0;
        while (cumulative[v] <= pick) v++;
        String[] pool = pools.get(verbs[v]);
        StringBucket bucket = new StringBucket(pool[(int) (n++ % pool.length)]);
        ReturnStatusDescriptor status = new ReturnStatusDescriptor();
        int result;
        long t0 = System.nanoTime();
        try {
          result = agent.n_DoVerbFor(bucket, false, status);
        } catch (RuntimeException | Error e) {
          exceptions++;
          errors.putIfAbsent(Integer.MIN_VALUE, e.toString());
          continue;
        } finally {
          hist.record(System.nanoTime() - t0);
          sent++;
          done.increment();
        }
        counts.get(v).computeIfAbsent(result, k -> new long[1])[0]++;
        String err = status.getErrorString();
        if (err != null) errors.putIfAbsent(result, err);
      }
      endedAt = System.nanoTime();
    }
  }

  private void load(Result r, Map<String, String[]> pools) {
    if (opt.warmup > 0) {
      Result ignored = new Result();
      phase(ignored, pools, 0, opt.warmup, false);
      r.warmupSent = ignored.sent;
    }
    Thread poller = null;
    AtomicLong polls = new AtomicLong();
    AtomicLong pollFailures = new AtomicLong();
    volatileStop = false;
    if (opt.pollMs > 0) {
      poller = new Thread(() -> {
        while (!volatileStop) {
          int p = agent.n_poll();
          polls.incrementAndGet();
          if (p != 0) pollFailures.incrementAndGet();
          try {
            Thread.sleep(opt.pollMs);
          } catch (InterruptedException e) {
            return;
          }
        }
      }, "vyagent-poll");
      poller.setDaemon(true);
      poller.start();
    }
    phase(r, pools, opt.requests, opt.duration, opt.progress && System.console() != null);
    volatileStop = true;
    if (poller != null) {
      poller.interrupt();
      try {
        poller.join();
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
      }
    }
    r.polls = polls.get();
    r.pollFailures = pollFailures.get();
  }

  private volatile boolean volatileStop;

  private void phase(Result r, Map<String, String[]> pools, long requests, double seconds,
      boolean progress) {
    CountDownLatch gate = new CountDownLatch(1);
    AtomicLong issued = new AtomicLong();
    LongAdder done = new LongAdder();
    List<Worker> workers = new ArrayList<>();
    for (int i = 0; i < opt.threads; i++) {
      Worker w = new Worker(i, pools, gate, issued, requests, done);
      w.start();
      workers.add(w);
    }
    long start = System.nanoTime();
    gate.countDown();
    long deadline = start + (long) (seconds * 1e9);
    boolean shown = false;
    while (true) {
      boolean alive = workers.stream().anyMatch(Thread::isAlive);
      long now = System.nanoTime();
      if (!alive) break;
      if (requests <= 0 && now >= deadline) {
        workers.forEach(w -> w.stop = true);
      }
      if (progress && now - start > 1_000_000_000L) {
        double el = (now - start) / 1e9;
        long d = done.sum();
        out.printf(Locale.ROOT, "\r  %6.1f s  %,12d requests  %,10.0f req/s   ", el, d, d / el);
        out.flush();
        shown = true;
      }
      try {
        long left = requests <= 0 ? (deadline - System.nanoTime()) / 1_000_000 : 250;
        Thread.sleep(Math.max(1, Math.min(250, left)));
      } catch (InterruptedException e) {
        workers.forEach(w -> w.stop = true);
      }
    }
    for (Worker w : workers) {
      try {
        w.join();
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
      }
    }
    // From the start to the end of the last call, however late this thread noticed it.
    long end = start;
    for (Worker w : workers) end = Math.max(end, w.endedAt);
    r.seconds = (end - start) / 1e9;
    if (shown) {
      out.print("\r" + " ".repeat(60) + "\r");
      out.flush();
    }
    for (Worker w : workers) {
      r.sent += w.sent;
      r.exceptions += w.exceptions;
      r.latency.add(w.hist);
      for (int v = 0; v < w.verbs.length; v++) {
        TreeMap<Integer, Long> perVerb = r.byVerb.computeIfAbsent(w.verbs[v], k -> new TreeMap<>());
        for (Map.Entry<Integer, long[]> e : w.counts.get(v).entrySet()) {
          perVerb.merge(e.getKey(), e.getValue()[0], Long::sum);
          r.byStatus.merge(e.getKey(), e.getValue()[0], Long::sum);
        }
      }
      w.errors.forEach(r.errorSamples::putIfAbsent);
    }
  }

  // ---- printing ----

  static String statusMeaning(int s) {
    switch (s) {
      case 1: return "success, object returned";
      case -5: return "not a failure, object returned";
      case 0: return "done, object not returned";
      case -1: return "failure";
      case -10: return "no subscription";
      default: return s < 0 ? "failure" : "other";
    }
  }

  private String summary(Result r, String type, String libFile) {
    StringBuilder sb = new StringBuilder();
    java.util.Formatter f = new java.util.Formatter(sb, Locale.ROOT);
    SpecDef spec = specs.get(type);
    f.format("%nConnector   %s, version %s, %d spec(s) announced%n", libFile, r.connectorVersion,
        specs.all().size());
    f.format("Load        %s (%s), %d thread(s), mix %s%n", type, shape(spec), opt.threads, opt.mix);
    if (r.warmupSent > 0) f.format("Warm-up     %,d requests, not counted%n", r.warmupSent);
    f.format("%nRequests sent    %,d in %.2f s%n", r.sent, r.seconds);
    f.format("Requests/second  %,.0f%n", r.seconds > 0 ? r.sent / r.seconds : 0.0);
    f.format("%nResults by status (values n_DoVerbFor returned)%n");
    List<String> verbs = new ArrayList<>(r.byVerb.keySet());
    f.format("  %7s", "status");
    for (String v : verbs) f.format(" %12s", v);
    f.format(" %12s  %s%n", "total", "meaning");
    long counted = 0;
    for (Map.Entry<Integer, Long> e : r.byStatus.entrySet()) {
      f.format("  %7d", e.getKey());
      for (String v : verbs) f.format(" %,12d", r.byVerb.get(v).getOrDefault(e.getKey(), 0L));
      f.format(" %,12d  %s%n", e.getValue(), statusMeaning(e.getKey()));
      counted += e.getValue();
    }
    if (r.exceptions > 0) f.format("  %7s %,12d Java exceptions from n_DoVerbFor%n", "-", r.exceptions);
    f.format("  %7s %,12d of %,d requests sent%n", "counted", counted + r.exceptions, r.sent);
    for (Map.Entry<Integer, String> e : r.errorSamples.entrySet()) {
      String k = e.getKey() == Integer.MIN_VALUE ? "exception" : "status " + e.getKey();
      f.format("  first error text with %s: %s%n", k, oneLine(e.getValue()));
    }
    LatencyHistogram h = r.latency;
    f.format("%nLatency of each n_DoVerbFor call, agent side (microseconds)%n");
    f.format("  %10s %10s %10s %10s %10s %10s%n", "min", "mean", "p50", "p90", "p99", "max");
    f.format("  %10.1f %10.1f %10.1f %10.1f %10.1f %10.1f%n", h.min() / 1e3, h.mean() / 1e3,
        h.percentile(0.50) / 1e3, h.percentile(0.90) / 1e3, h.percentile(0.99) / 1e3,
        h.max() / 1e3);
    f.format("%nPerformance monitors (n_getPerfMonitors, PerfLevel %s)%n",
        opt.props.getOrDefault("PerfLevel", "1"));
    if (r.perf.isEmpty()) {
      f.format("  (no flow reported: %s)%n", r.perfText == null ? "null" : "\"" + r.perfText + "\"");
    } else {
      f.format("  %-24s %-12s %s%n", "flow", "operation", "average (ms)");
      for (PerfMonitors.Flow fl : r.perf) f.format("  %-24s %-12s %s%n", fl.name, fl.operation, fl.average);
    }
    if (opt.pollMs > 0) {
      f.format("  polling thread: %,d n_poll calls, %,d answered other than 0%n", r.polls, r.pollFailures);
    }
    Runtime rt = Runtime.getRuntime();
    long used = rt.totalMemory() - rt.freeMemory();
    f.format("%nMemory at the end%n");
    f.format("  JVM heap   used %s, committed %s, max %s%n", mib(used), mib(rt.totalMemory()),
        mib(rt.maxMemory()));
    f.format("  process    VmRSS %s, VmHWM %s%n", procStatus("VmRSS:"), procStatus("VmHWM:"));
    f.format("Lifecycle   n_init %d, n_terminate %d%n", r.initResult, r.terminateResult);
    return sb.toString();
  }

  private String shape(SpecDef spec) {
    if (opt.objectFile != null) return "object from " + opt.objectFile;
    int multiple = 0;
    for (SpecDef.Attr a : spec.attrs) if (!a.isSimple() && a.isMultiple()) multiple++;
    return spec.attrs.size() + " attributes, " + multiple + " multiple attribute(s) x "
        + opt.children + " children" + (opt.keysOnly ? ", keys only" : "");
  }

  private static String oneLine(String s) {
    String t = s.replace('\n', ' ').replace('\r', ' ');
    return t.length() > 160 ? t.substring(0, 157) + "..." : t;
  }

  private static String mib(long bytes) {
    return String.format(Locale.ROOT, "%.1f MiB", bytes / 1048576.0);
  }

  /** A line of /proc/self/status, such as "VmRSS:", as the kernel gives it. */
  static String procStatus(String key) {
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

  private void printLog() {
    if (!opt.showLog) return;
    List<BusObjNativeInterface.LogRecord> logs = agent.getLogs();
    List<BusObjNativeInterface.TraceRecord> traces = agent.getTraces();
    out.printf("%nConnector log (%d line(s))%n", logs.size());
    printSome(logs);
    out.printf("%nConnector traces (%d line(s))%n", traces.size());
    printSome(traces);
  }

  private <T> void printSome(List<T> list) {
    int limit = opt.logLimit;
    int head = list.size() > limit ? limit / 2 : list.size();
    for (int i = 0; i < head; i++) out.println("  " + shown(list.get(i)));
    if (head == list.size()) return;
    out.printf("  ... %d line(s) not shown (--log-limit) ...%n", list.size() - limit);
    for (int i = list.size() - (limit - head); i < list.size(); i++) {
      out.println("  " + shown(list.get(i)));
    }
  }

  private static String shown(Object record) {
    return record.toString().replace("\n", "\\n");
  }
}
