package vyagent;

import AppSide_Connector.BusObjNativeInterface;
import java.io.IOException;
import java.io.PrintStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;

/**
 * The load driver: loads a connector library under the agent, announces specs, runs the
 * lifecycle and sends requests through the real n_DoVerbFor (a load, or requests one by one
 * with their expected statuses), then prints what happened. Every figure comes from the agent
 * side: statuses are the values n_DoVerbFor returned, latencies the time each call took as the
 * calling thread saw it.
 */
public final class LoadDriver {
  /** The agent interface version the driver announces. */
  public static final String AGENT_VERSION = "4.1.0";

  /** Exit statuses of the driver. */
  public static final int EXIT_OK = 0;
  public static final int EXIT_USAGE = 1;
  public static final int EXIT_INIT = 2;
  public static final int EXIT_UNEXPECTED = 3;
  public static final int EXIT_FAILURES = 4;

  /** What a run produced; the printed summary is made from these figures alone. */
  public static final class Result {
    public int initResult;
    public int terminateResult;
    public String connectorVersion;
    public long sent;
    public long warmupSent;
    public long seeded;
    public final TreeMap<Integer, Long> seedStatuses = new TreeMap<>();
    public double seconds;
    public long exceptions;
    /** Status to count, over all verbs. */
    public final TreeMap<Integer, Long> byStatus = new TreeMap<>();
    /** Verb to (status to count). */
    public final Map<String, TreeMap<Integer, Long>> byVerb = new java.util.LinkedHashMap<>();
    /** The error texts the agent's status objects received, with their counts. */
    public final ErrorTally errors = new ErrorTally();
    public final LatencyHistogram latency = new LatencyHistogram();
    public String perfText;
    public List<PerfMonitors.Flow> perf = new ArrayList<>();
    public long polls;
    public long pollFailures;
    public long events;
    public String summary = "";
    /** The last request's outcome, when requests are sent one by one. */
    public int requestStatus;
    public String responseText;
    /** Requests and polls sent one by one, and how many of them missed their expectation. */
    public int steps;
    public int unexpected;
    /** The --max-failures in effect, in percent. */
    public double maxFailures;
    public int exitStatus;

    /** Load requests that failed: a status other than 1, 0 or -5, or a Java exception. */
    public long failures() {
      long n = exceptions;
      for (Map.Entry<Integer, Long> e : byStatus.entrySet()) {
        if (Statuses.isFailure(e.getKey())) n += e.getValue();
      }
      return n;
    }

    public double failurePercent() {
      return sent == 0 ? 0 : 100.0 * failures() / sent;
    }
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
      code = new LoadDriver(opt, System.out).run().exitStatus;
    } catch (IllegalArgumentException | IOException | UnsatisfiedLinkError e) {
      System.out.flush();
      System.err.println("vyagent: " + errorText(e));
      // The hint helps with a mistyped option; after a mistake in a file it would mislead.
      if (e instanceof DriverOptions.UsageError) System.err.println("vyagent --help lists the options");
      code = EXIT_USAGE;
    }
    System.out.flush();
    System.exit(code);
  }

  /** The text of an exit-1 error, after "vyagent: ". */
  static String errorText(Throwable e) {
    if (e instanceof IOException) return InputFile.describe((IOException) e);
    return String.valueOf(e.getMessage());
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
    // Every input is read before the connector starts, so a mistake costs no run.
    List<RequestScript.Step> steps = opt.stepMode() ? steps() : null;
    LoadRequests load = steps == null && type != null ? new LoadRequests(opt, specs, type) : null;
    for (String[] s : opt.subscriptions) {
      if (specs.find(s[0]) == null) {
        throw new DriverOptions.UsageError("--subscribe " + specs.unknownType(s[0]));
      }
    }
    EventWatch events = opt.subscriptions.isEmpty()
        ? null : new EventWatch(opt.subscriptions, opt.showEvents);

    BusObjNativeInterface.clearProperties();
    opt.props.forEach(BusObjNativeInterface::setProperty);
    if (!opt.props.containsKey("PerfLevel")) BusObjNativeInterface.setProperty("PerfLevel", "1");

    String libFile = loadLibrary();
    Result r = new Result();
    r.maxFailures = opt.maxFailuresPercent();
    agent.clearRecords();
    agent.setRecording(true);
    try {
      r.initResult = agent.n_init(AGENT_VERSION, libFile);
    } catch (UnsatisfiedLinkError e) {
      // The JVM found no native n_init in the library it loaded.
      throw new IllegalArgumentException("--lib " + opt.lib + ": " + libFile + " exports no "
          + "connector entry points (no native n_init of " + BusObjNativeInterface.class.getName()
          + "): it is not a connector library. A connector library is linked with "
          + "libVyConnector and defines its connector's GenGlobals object.");
    }
    if (r.initResult != 0) {
      out.println("n_init answered " + r.initResult + "; the connector did not start.");
      printInitCause();
      r.terminateResult = agent.n_terminate();
      printLog();
      r.exitStatus = EXIT_INIT;
      return r;
    }
    r.connectorVersion = agent.n_getVersion();
    for (SpecDef s : specs.all()) agent.n_gotBusObjSpec(s.toWire());
    if (events != null) {
      for (String refused : events.subscribe(agent)) out.println("Subscription refused: " + refused);
    }

    if (steps != null) {
      String title = opt.scriptFile != null ? "Script " + opt.scriptFile : "Requests";
      new StepRun(agent, out, specs, events).run(steps, title, opt.scriptFile != null || steps.size() > 1, r);
    } else if (load != null) {
      agent.setRecording(opt.showLog);
      new LoadRun(opt, agent, out, load).run(r);
      agent.setRecording(true);
    } else {
      out.println("No spec announced: nothing to send. Give --spec FILE.");
    }
    r.perfText = agent.n_getPerfMonitors();
    r.perf = PerfMonitors.decode(r.perfText);
    r.terminateResult = agent.n_terminate();
    if (load != null) {
      r.summary = LoadReport.summary(r, opt, specs, type, libFile);
      out.print(r.summary);
    }
    if (events != null) {
      r.events = events.received();
      events.report(out, specs);
    }
    printLog();
    r.exitStatus = exitStatus(r, load != null);
    if (r.exitStatus == EXIT_FAILURES) {
      out.printf(java.util.Locale.ROOT, "%nvyagent: %.2f %% of the requests failed, more than "
          + "--max-failures %s %%: exit status %d%n", r.failurePercent(),
          LoadReport.trim(r.maxFailures), EXIT_FAILURES);
    } else if (r.exitStatus == EXIT_UNEXPECTED) {
      out.printf("%nvyagent: %d of %d step(s) did not get the status expected: exit status %d%n",
          r.unexpected, r.steps, EXIT_UNEXPECTED);
    }
    out.flush();
    return r;
  }

  private int exitStatus(Result r, boolean loaded) {
    if (r.steps > 0 && 100.0 * r.unexpected / r.steps > r.maxFailures) return EXIT_UNEXPECTED;
    if (loaded && r.sent > 0 && r.failurePercent() > r.maxFailures) return EXIT_FAILURES;
    return EXIT_OK;
  }

  private List<RequestScript.Step> steps() throws IOException {
    if (opt.scriptFile != null) return RequestScript.parseFile(opt.scriptFile, specs);
    List<RequestScript.Step> steps = new ArrayList<>();
    for (Path f : opt.requestFiles) {
      RequestScript.Step s = new RequestScript.Step(0, true);
      s.name = f.toString();
      s.object = ObjectText.parseFile(f, specs);
      s.expect = opt.expect;
      steps.add(s);
    }
    return steps;
  }

  private String chooseType() throws IOException {
    if (opt.type != null) {
      if (specs.find(opt.type) == null) {
        throw new DriverOptions.UsageError("--type " + specs.unknownType(opt.type));
      }
      return opt.type;
    }
    // A load object given without --type names its own type.
    if (opt.objectFile != null) return ObjectText.parseFile(opt.objectFile, specs).spec.name;
    if (specs.isEmpty()) return null;
    return specs.all().get(0).name;
  }

  /** Loads the connector: a path, a name found in a --lib-dir folder, or a name for the JVM. */
  private String loadLibrary() {
    String lib = opt.lib;
    if (lib.contains("/") || lib.endsWith(".so")) {
      Path p = Path.of(lib).toAbsolutePath();
      if (!Files.isRegularFile(p)) throw new DriverOptions.UsageError("--lib: no file " + p);
      loadFile(p);
      return p.getFileName().toString();
    }
    String file = System.mapLibraryName(lib);
    for (String dir : opt.libDirs) {
      Path p = Path.of(dir, file).toAbsolutePath();
      if (Files.isRegularFile(p)) {
        loadFile(p);
        return file;
      }
    }
    try {
      BusObjNativeInterface.loadConnector(lib);
    } catch (UnsatisfiedLinkError e) {
      throw new DriverOptions.UsageError("--lib " + lib + ": no " + file + " in "
          + (opt.libDirs.isEmpty() ? "" : "the --lib-dir folders " + opt.libDirs + " nor in ")
          + "java.library.path (" + System.getProperty("java.library.path") + "): "
          + e.getMessage());
    }
    return file;
  }

  private static void loadFile(Path p) {
    try {
      BusObjNativeInterface.loadConnectorFile(p.toString());
    } catch (UnsatisfiedLinkError e) {
      // Not a shared library for this machine, or one whose own dependencies are missing.
      throw new IllegalArgumentException("--lib " + p + ": cannot load it: " + e.getMessage());
    }
  }

  /**
   * Says why n_init failed: the errors and fatal errors the connector and the kit logged while
   * it ran, else every line logged then, so that the cause shows without --show-log.
   */
  private void printInitCause() {
    List<BusObjNativeInterface.LogRecord> logs = agent.getLogs();
    List<BusObjNativeInterface.LogRecord> errors = new ArrayList<>();
    for (BusObjNativeInterface.LogRecord l : logs) {
      if (l.severity() >= MLV_ERROR && l.severity() <= MLV_INT_FATAL) errors.add(l);
    }
    List<BusObjNativeInterface.LogRecord> shown = errors.isEmpty() ? logs : errors;
    if (shown.isEmpty()) {
      out.println("The connector logged nothing while starting (--show-log lists its traces).");
      return;
    }
    out.println(errors.isEmpty() ? "Logged while starting:" : "Errors logged while starting:");
    int limit = Math.max(1, Math.min(opt.logLimit, INIT_CAUSE_LINES));
    for (int i = 0; i < shown.size() && i < limit; i++) {
      BusObjNativeInterface.LogRecord l = shown.get(i);
      out.println("  " + severityName(l.severity()) + shown(l.text()));
    }
    if (shown.size() > limit) {
      out.printf("  ... %d more line(s) (--show-log lists them all)%n", shown.size() - limit);
    }
  }

  /** Message types of log lines, as the native side passes them. */
  private static final int MLV_WARNING = 1;
  private static final int MLV_INFO = 5;
  private static final int MLV_ERROR = 6;
  private static final int MLV_FATAL = 7;
  private static final int MLV_INT_ERROR = 8;
  private static final int MLV_INT_FATAL = 9;
  private static final int INIT_CAUSE_LINES = 20;

  private static String severityName(int severity) {
    switch (severity) {
      case MLV_WARNING: return "warning: ";
      case MLV_INFO: return "info: ";
      case MLV_ERROR: return "error: ";
      case MLV_FATAL: return "fatal: ";
      case MLV_INT_ERROR: return "internal error: ";
      case MLV_INT_FATAL: return "internal fatal error: ";
      default: return "";
    }
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
