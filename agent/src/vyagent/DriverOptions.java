package vyagent;

import java.io.IOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/** The driver's command line. */
public final class DriverOptions {
  public static final String USAGE = String.join("\n",
      "usage: vyagent [options]",
      "  --lib NAME|FILE      connector library: a name for System.loadLibrary (BenchConnector)",
      "                       or a file path (default BenchConnector)",
      "  --lib-dir DIR        folder searched first for --lib NAME (repeatable)",
      "  --spec FILE          readable spec file to announce (repeatable)",
      "  --props FILE         configuration properties, name=value lines",
      "  -P name=value        one property (overrides --props; repeatable)",
      "  --type NAME          type of the load objects (default: the first type announced)",
      "  --mix V=W,...        verb mix by weight (default Create=1,Retrieve=1,Update=1)",
      "  --children N         children per multiple-cardinality attribute (default 10)",
      "  --keys-only          fill only the key attributes of the load objects",
      "  --object FILE        load with this readable object (verbs replaced by the mix)",
      "  --threads N          agent threads sending requests (default 1; 0: only poll, for",
      "                       --duration, to watch events)",
      "  --requests N         stop after N requests (default: run for --duration)",
      "  --duration SECONDS   length of the run when --requests is not given (default 10)",
      "  --warmup SECONDS     requests sent before the measured run, not counted (default 0)",
      "  --poll-ms N          n_poll interval on the polling thread, 0 for none (default 100)",
      "  --request FILE       send a request from a readable object and print the response;",
      "                       repeat to send several in order, in one process",
      "  --expect LIST        statuses each --request must get: numbers (1 or 0,1), ok (1, 0",
      "                       or -5; the default) or fail (any other)",
      "  --script FILE        run the requests and polls of a script, each with its expected",
      "                       status, and report",
      "  --subscribe T[:V]    subscribe to type T (and verb V; all verbs without one) and count",
      "                       the events the connector raises (repeatable)",
      "  --show-events N      print the first N events received (default 3)",
      "  --max-failures PCT   highest share of failed requests (load) or of requests with an",
      "                       unexpected status (--request, --script) that still exits 0",
      "                       (default 1 for a load, 0 otherwise)",
      "  --show-log           list what the connector logged and traced (the whole run)",
      "  --log-limit N        at most N lines of each list (default 200)",
      "  --no-progress        no progress line",
      "  --emit PREFIX        write PREFIX.<type>.spec.wire for every spec, and the load object",
      "                       as PREFIX.bo (readable) and PREFIX.bo.wire (verb Create); no run",
      "  --help               this text");

  private static final java.util.Set<String> VALUE_OPTIONS = java.util.Set.of("--lib", "--spec",
      "--props", "-P", "--prop", "--type", "--mix", "--children", "--object", "--threads",
      "--requests", "--duration", "--warmup", "--poll-ms", "--request", "--expect", "--script",
      "--subscribe", "--show-events", "--max-failures", "--lib-dir", "--log-limit", "--emit");

  public String lib = "BenchConnector";
  public final List<Path> specFiles = new ArrayList<>();
  public final Map<String, String> props = new LinkedHashMap<>();
  public String type;
  public final Map<String, Integer> mix = new LinkedHashMap<>();
  public int children = 10;
  public boolean keysOnly;
  public Path objectFile;
  public int threads = 1;
  public long requests;
  public double duration = 10;
  public double warmup;
  public int pollMs = 100;
  public final List<String> libDirs = new ArrayList<>();
  /** The --request files, sent in order. */
  public final List<Path> requestFiles = new ArrayList<>();
  public Expectation expect = Expectation.OK;
  public Path scriptFile;
  /** The --subscribe values as {type, verb}; the verb is null for every verb. */
  public final List<String[]> subscriptions = new ArrayList<>();
  public int showEvents = 3;
  /** Percent; null until given, then the mode's default applies. */
  public Double maxFailures;
  public boolean showLog;
  public int logLimit = 200;
  public boolean progress = true;
  public boolean help;
  public String emit;

  /**
   * A mistake in the command line itself (an unknown option, a missing or malformed value, a
   * name no spec or library answers to), as opposed to a mistake in an input file.
   */
  public static final class UsageError extends IllegalArgumentException {
    public UsageError(String message) {
      super(message);
    }
  }

  /** Option mistakes throw UsageError; a --props file that cannot be read or parsed does not. */
  public static DriverOptions parse(String[] args) throws IOException {
    DriverOptions o = new DriverOptions();
    Map<String, String> cmdProps = new LinkedHashMap<>();
    for (int i = 0; i < args.length; i++) {
      String a = args[i];
      if (a.equals("--props") && i + 1 < args.length) {
        // A mistake in the file is an input error that names the file, not an option error.
        o.props.putAll(readProperties(Path.of(args[++i])));
        continue;
      }
      try {
        i = option(o, args, i, cmdProps);
      } catch (UsageError e) {
        throw e;
      } catch (IllegalArgumentException e) {
        String msg = String.valueOf(e.getMessage());
        throw new UsageError(msg.contains(a) ? msg : a + ": " + msg);
      }
    }
    o.props.putAll(cmdProps);
    if (o.scriptFile != null && !o.requestFiles.isEmpty()) {
      throw new UsageError("--script and --request do not go together: put the "
          + "requests in the script");
    }
    if (o.mix.isEmpty()) {
      o.mix.put("Create", 1);
      o.mix.put("Retrieve", 1);
      o.mix.put("Update", 1);
    }
    return o;
  }

  /** Takes the option at args[i] (and its value); returns the index of the last word used. */
  private static int option(DriverOptions o, String[] args, int i, Map<String, String> cmdProps) {
    String a = args[i];
    switch (a) {
      case "--help": case "-h": o.help = true; break;
      case "--keys-only": o.keysOnly = true; break;
      case "--show-log": o.showLog = true; break;
      case "--no-progress": o.progress = false; break;
      default: {
        if (!VALUE_OPTIONS.contains(a)) throw new IllegalArgumentException("unknown option " + a);
        if (i + 1 >= args.length) throw new IllegalArgumentException(a + " needs a value");
        String v = args[++i];
        switch (a) {
          case "--lib": o.lib = v; break;
          case "--spec": o.specFiles.add(Path.of(v)); break;
          case "-P": case "--prop": {
            int eq = v.indexOf('=');
            if (eq <= 0) throw new IllegalArgumentException(a + " takes name=value");
            cmdProps.put(v.substring(0, eq), v.substring(eq + 1));
            break;
          }
          case "--type": o.type = v; break;
          case "--mix": o.mix.putAll(parseMix(v)); break;
          case "--children": o.children = nonNegative(a, v); break;
          case "--object": o.objectFile = Path.of(v); break;
          case "--threads": o.threads = nonNegative(a, v); break;
          case "--requests": o.requests = nonNegative(a, v); break;
          case "--duration": o.duration = seconds(a, v); break;
          case "--warmup": o.warmup = seconds(a, v); break;
          case "--poll-ms": o.pollMs = nonNegative(a, v); break;
          case "--request": o.requestFiles.add(Path.of(v)); break;
          case "--expect": o.expect = Expectation.parse(v); break;
          case "--script": {
            if (o.scriptFile != null) throw new IllegalArgumentException("one --script at a time");
            o.scriptFile = Path.of(v);
            break;
          }
          case "--subscribe": o.subscriptions.add(subscription(v)); break;
          case "--show-events": o.showEvents = nonNegative(a, v); break;
          case "--max-failures": o.maxFailures = percent(a, v); break;
          case "--lib-dir": o.libDirs.add(v); break;
          case "--log-limit": o.logLimit = nonNegative(a, v); break;
          case "--emit": o.emit = v; break;
          default: throw new IllegalArgumentException("unknown option " + a);
        }
      }
    }
    return i;
  }

  /** name=value lines; blank lines and lines starting with "#" or "!" are skipped. */
  public static Map<String, String> readProperties(Path file) throws IOException {
    Map<String, String> out = new LinkedHashMap<>();
    int ln = 0;
    for (String line : InputFile.read(file).split("\r?\n", -1)) {
      ln++;
      String t = line.trim();
      if (t.isEmpty() || t.startsWith("#") || t.startsWith("!")) continue;
      int eq = t.indexOf('=');
      if (eq <= 0) throw new IllegalArgumentException(file + " line " + ln + ": expected name=value");
      out.put(t.substring(0, eq).trim(), t.substring(eq + 1).trim());
    }
    return out;
  }

  /** "Create=2,Retrieve=1": verbs with weights; a verb alone weighs 1. */
  public static Map<String, Integer> parseMix(String text) {
    Map<String, Integer> out = new LinkedHashMap<>();
    for (String part : text.split(",")) {
      String p = part.trim();
      if (p.isEmpty()) continue;
      int eq = p.indexOf('=');
      String verb = eq < 0 ? p : p.substring(0, eq).trim();
      int w = eq < 0 ? 1 : nonNegative("--mix " + verb, p.substring(eq + 1).trim());
      if (verb.isEmpty()) throw new IllegalArgumentException("--mix: empty verb");
      if (w > 0) out.put(verb, w);
    }
    if (out.isEmpty()) throw new IllegalArgumentException("--mix gives no verb a weight");
    return out;
  }

  /** True when requests are sent one by one (--request or --script), not as a load. */
  public boolean stepMode() {
    return scriptFile != null || !requestFiles.isEmpty();
  }

  /** The --max-failures in effect, in percent. */
  public double maxFailuresPercent() {
    if (maxFailures != null) return maxFailures;
    return stepMode() ? 0 : DEFAULT_LOAD_MAX_FAILURES;
  }

  /** The failure share a load may reach and still exit 0, in percent. */
  public static final double DEFAULT_LOAD_MAX_FAILURES = 1;

  /** "Type" or "Type:Verb". */
  static String[] subscription(String v) {
    int colon = v.indexOf(':');
    String type = (colon < 0 ? v : v.substring(0, colon)).trim();
    String verb = colon < 0 ? null : v.substring(colon + 1).trim();
    if (type.isEmpty() || (verb != null && verb.isEmpty())) {
      throw new IllegalArgumentException("--subscribe takes TYPE or TYPE:VERB, not \"" + v + "\"");
    }
    return new String[] {type, verb};
  }

  /** "5", "5%" or "0.5": a share in percent, 0 to 100. */
  static double percent(String opt, String v) {
    String t = v.trim();
    if (t.endsWith("%")) t = t.substring(0, t.length() - 1).trim();
    try {
      double d = Double.parseDouble(t);
      if (d >= 0 && d <= 100) return d;
    } catch (NumberFormatException e) {
      // reported below
    }
    throw new IllegalArgumentException(opt + " takes a percentage from 0 to 100, not \"" + v + "\"");
  }

  private static int nonNegative(String opt, String v) {
    try {
      int n = Integer.parseInt(v.trim());
      if (n >= 0) return n;
    } catch (NumberFormatException e) {
      // reported below
    }
    throw new IllegalArgumentException(opt + " takes a number of 0 or more, not \"" + v + "\"");
  }

  private static double seconds(String opt, String v) {
    try {
      double d = Double.parseDouble(v.trim());
      if (d >= 0 && d < 1e7) return d;
    } catch (NumberFormatException e) {
      // reported below
    }
    throw new IllegalArgumentException(opt + " takes seconds, not \"" + v + "\"");
  }
}
