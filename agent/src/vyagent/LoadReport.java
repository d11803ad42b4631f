package vyagent;

import java.util.ArrayList;
import java.util.Formatter;
import java.util.List;
import java.util.Locale;
import java.util.Map;

/** The printed summary of a load, made from the figures of the result alone. */
final class LoadReport {
  /** Error texts listed, the most frequent first. */
  static final int TOP_ERRORS = 5;

  private LoadReport() {}

  static String summary(LoadDriver.Result r, DriverOptions opt, Specs specs, String type,
      String libFile) {
    StringBuilder sb = new StringBuilder();
    Formatter f = new Formatter(sb, Locale.ROOT);
    SpecDef spec = specs.get(type);
    f.format("%nConnector   %s, version %s, %d spec(s) announced%n", libFile, r.connectorVersion,
        specs.all().size());
    if (opt.threads == 0) {
      f.format("Watch       no agent thread, polling only, for %.2f s%n", r.seconds);
    } else {
      f.format("Load        %s (%s), %d thread(s), mix %s%n", type, shape(opt, spec), opt.threads,
          opt.mix);
    }
    if (r.seeded > 0) {
      f.format("Seeds       %,d Creates of the keys the other verbs name, not counted (statuses %s)%n",
          r.seeded, r.seedStatuses);
    }
    if (r.warmupSent > 0) f.format("Warm-up     %,d requests, not counted%n", r.warmupSent);
    if (opt.threads > 0) requests(f, r);
    perf(f, r, opt);
    Runtime rt = Runtime.getRuntime();
    long used = rt.totalMemory() - rt.freeMemory();
    f.format("%nMemory at the end%n");
    f.format("  JVM heap   used %s, committed %s, max %s%n", ProcStatus.mib(used),
        ProcStatus.mib(rt.totalMemory()), ProcStatus.mib(rt.maxMemory()));
    f.format("  process    VmRSS %s, VmHWM %s%n", ProcStatus.line("VmRSS:"),
        ProcStatus.line("VmHWM:"));
    f.format("Lifecycle   n_init %d, n_terminate %d%n", r.initResult, r.terminateResult);
    return sb.toString();
  }

  private static void requests(Formatter f, LoadDriver.Result r) {
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
      f.format(" %,12d  %s%n", e.getValue(), Statuses.meaning(e.getKey()));
      counted += e.getValue();
    }
    if (r.exceptions > 0) {
      f.format("  %7s %,12d Java exceptions from n_DoVerbFor%n", "-", r.exceptions);
    }
    f.format("  %7s %,12d of %,d requests sent%n", "counted", counted + r.exceptions, r.sent);
    f.format("  failed  %,d (%.2f %%), --max-failures %s %%%n", r.failures(), r.failurePercent(),
        trim(r.maxFailures));
    List<ErrorTally.Entry> top = r.errors.top(TOP_ERRORS);
    if (!top.isEmpty()) {
      f.format("%nError texts, the most frequent first (%d distinct%s)%n", r.errors.distinct(),
          r.errors.others() > 0 ? ", " + r.errors.others() + " more requests not kept" : "");
      for (ErrorTally.Entry e : top) {
        String k = e.status == ErrorTally.EXCEPTION ? "exception" : "status " + e.status;
        f.format("  %,10d x %s: %s%n", e.count, k, oneLine(e.text));
      }
    }
    LatencyHistogram h = r.latency;
    f.format("%nLatency of each n_DoVerbFor call, agent side (microseconds)%n");
    f.format("  %10s %10s %10s %10s %10s %10s%n", "min", "mean", "p50", "p90", "p99", "max");
    f.format("  %10.1f %10.1f %10.1f %10.1f %10.1f %10.1f%n", h.min() / 1e3, h.mean() / 1e3,
        h.percentile(0.50) / 1e3, h.percentile(0.90) / 1e3, h.percentile(0.99) / 1e3,
        h.max() / 1e3);
  }

  private static void perf(Formatter f, LoadDriver.Result r, DriverOptions opt) {
    f.format("%nPerformance monitors (n_getPerfMonitors, PerfLevel %s)%n",
        opt.props.getOrDefault("PerfLevel", "1"));
    if (r.perf.isEmpty()) {
      f.format("  (no flow reported: %s)%n", r.perfText == null ? "null" : "\"" + r.perfText + "\"");
    } else {
      f.format("  %-24s %-12s %s%n", "flow", "operation", "average (ms)");
      for (PerfMonitors.Flow fl : r.perf) {
        f.format("  %-24s %-12s %s%n", fl.name(), fl.operation(), fl.average());
      }
    }
    if (opt.pollMs > 0) {
      f.format("  polling thread: %,d n_poll calls, %,d answered other than 0%n", r.polls,
          r.pollFailures);
    }
  }

  private static String shape(DriverOptions opt, SpecDef spec) {
    if (opt.objectFile != null) return "object from " + opt.objectFile;
    int multiple = 0;
    for (SpecDef.Attr a : spec.attrs) {
      if (!a.isSimple() && a.isMultiple()) multiple++;
    }
    return spec.attrs.size() + " attributes, " + multiple + " multiple attribute(s) x "
        + opt.children + " children" + (opt.keysOnly ? ", keys only" : "");
  }

  static String trim(double d) {
    return d == Math.rint(d) ? Long.toString((long) d) : Double.toString(d);
  }

  static String oneLine(String s) {
    String t = s.replace('\n', ' ').replace('\r', ' ');
    return t.length() > 200 ? t.substring(0, 197) + "..." : t;
  }
}
