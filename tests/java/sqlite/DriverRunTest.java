package sqlite;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import vytest.Check;
import vytest.TempDir;

/**
 * The load driver as a user runs it: each run is a JVM of its own (vyagent.LoadDriver with this
 * JVM's class path and library path) against libSqliteConnector and a scratch database; the
 * checks read its exit status and output. Arguments: the SQLite example folder, the folder of
 * orders.script.
 */
public final class DriverRunTest {
  static Path example;
  static Path scripts;
  static Path work;

  public static void main(String[] args) throws Exception {
    example = Path.of(args[0]);
    scripts = Path.of(args[1]);
    try (TempDir scratch = new TempDir("vy-driver-")) {
      work = scratch.path;
      script();
      requests();
      loads();
      badInput();
      initFailures();
    }
    Check.finish();
  }

  /** A finished driver run. */
  static final class Run {
    int exit;
    String out;
  }

  static Run driver(String db, String... args) throws Exception {
    List<String> all = new ArrayList<>(List.of(
        "--lib", "SqliteConnector", "--spec", example.resolve("orders.spec").toString(),
        "-P", "ConnectorName=DriverRun", "-P", "DatabasePath=" + work.resolve(db)));
    all.addAll(List.of(args));
    return bare(all.toArray(new String[0]));
  }

  /** A run with only the given arguments (and --no-progress). */
  static Run bare(String... args) throws Exception {
    String java = Path.of(System.getProperty("java.home"), "bin", "java").toString();
    List<String> cmd = new ArrayList<>(List.of(java, "-Xcheck:jni",
        "-Djava.library.path=" + System.getProperty("java.library.path"),
        "-cp", System.getProperty("java.class.path"), "vyagent.LoadDriver", "--no-progress"));
    cmd.addAll(List.of(args));
    Process p = new ProcessBuilder(cmd).redirectErrorStream(true).start();
    Run r = new Run();
    r.out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    r.exit = p.waitFor();
    Check.isTrue(!r.out.contains("WARNING"), "no JNI warning:\n" + r.out);
    return r;
  }

  static void expectExit(int code, Run r, String what) {
    Check.eq(code, r.exit, what + " (output:\n" + r.out + ")");
  }

  private static void script() throws Exception {
    Check.group("a script with a subscription: every step as expected, events counted");
    Run r = driver("script.db", "--script", scripts.resolve("orders.script").toString(),
        "--subscribe", "SqlOrder", "--subscribe", "SqlCustomer:Create", "--show-events", "1");
    expectExit(0, r, "exit status");
    Check.isTrue(r.out.contains("7 step(s), 7 as expected\n"), "report line");
    Check.isTrue(r.out.contains("Error text: SqlOrder [OrderId=S-1]: Create failed: UNIQUE"),
        "the refused Create shows the database's reason");
    Check.isTrue(r.out.contains("1 event(s) received; expected ok: as expected"),
        "the poll step took the Create event");
    Matcher m = Pattern.compile("\\n  (\\d+) received in").matcher(r.out);
    Check.isTrue(m.find() && Integer.parseInt(m.group(1)) == 3, "Create, Update, Delete events");
    Check.isTrue(r.out.contains("    object SqlOrder verb=Create\n      OrderId = S-1\n"),
        "the first event printed readably");
    Check.isTrue(!r.out.contains("NOT as expected"), "nothing unexpected");

    Check.group("a step that misses its status fails the run and is named");
    Path bad = work.resolve("bad.script");
    Files.writeString(bad, String.join("\n",
        "request expect=1 name=first",
        "  object SqlOrder verb=Create",
        "    OrderId = B-1",
        "  end",
        "request expect=1 name=again    # the key is taken",
        "  object SqlOrder verb=Create",
        "    OrderId = B-1",
        "  end",
        "poll 2 expect=0",
        ""));
    r = driver("bad.db", "--script", bad.toString());
    expectExit(3, r, "exit status");
    Check.isTrue(r.out.contains("3 step(s), 2 as expected, 1 not:\n  step 2 (line 5, again): "
        + "status -1, expected 1\n"), "report names the step");
    Check.isTrue(r.out.contains("Poll     2 n_poll call(s); expected 0: as expected"), "polls");
    r = driver("bad2.db", "--script", bad.toString(), "--max-failures", "50");
    expectExit(0, r, "one step in three is within --max-failures 50");
  }

  private static void requests() throws Exception {
    Check.group("several --request run in order in one process");
    String create = example.resolve("create.bo").toString();
    String retrieve = example.resolve("retrieve.bo").toString();
    Run r = driver("req.db", "--request", create, "--request", retrieve);
    expectExit(0, r, "exit status");
    int c = r.out.indexOf("Request  SqlOrder Create: status 1 ");
    int g = r.out.indexOf("Request  SqlOrder Retrieve: status 1 ");
    Check.isTrue(c >= 0 && g > c, "Create, then Retrieve finds what it made");
    Check.isTrue(r.out.contains("2 step(s), 2 as expected"), "report");
    // The connector writes the generated key into the Create's object: a changed response.
    Check.isTrue(r.out.contains("Returned object:\nobject SqlOrder verb=Create\n  OrderId = 1\n"),
        "response with the generated key");

    Check.group("a single --request exits non-zero when it misses its status");
    r = driver("empty.db", "--request", retrieve);
    expectExit(3, r, "Retrieve of nothing, expected ok");
    Check.isTrue(r.out.contains("status -1 (failure)") && r.out.contains("NOT as expected"),
        "says so");
    Check.isTrue(r.out.contains("No object returned (the bucket still holds the request).")
        && !r.out.contains("object returned)"), "never claims an object for a failure");
    r = driver("empty.db", "--request", retrieve, "--expect", "fail");
    expectExit(0, r, "expected to fail");
    r = driver("empty.db", "--request", retrieve, "--expect", "0,-1");
    expectExit(0, r, "a list of statuses");
  }

  private static void loads() throws Exception {
    Check.group("the default load: Creates never repeat a key, across runs or after a warm-up");
    for (int run = 1; run <= 2; run++) {
      Run r = run == 1 ? driver("load.db", "--requests", "300", "--children", "2")
                       : driver("load.db", "--requests", "300", "--children", "2", "--warmup", "0.3");
      expectExit(0, r, "run " + run);
      Check.isTrue(r.out.contains("failed  0 (0.00 %), --max-failures 1 %"), "no failure, run " + run);
      Check.isTrue(!r.out.contains("UNIQUE"), "no duplicate key");
    }

    Check.group("watching only: events written by earlier runs reach a subscriber");
    Run r = driver("load.db", "--threads", "0", "--duration", "0.5", "--poll-ms", "20",
        "--subscribe", "SqlOrder", "--show-events", "0");
    expectExit(0, r, "exit status");
    Matcher m = Pattern.compile("\\n  ([\\d,]+) received in").matcher(r.out);
    Check.isTrue(m.find() && Long.parseLong(m.group(1).replace(",", "")) >= 25,
        "events received:\n" + r.out);
    Check.isTrue(!r.out.contains("Requests sent"), "no request sent");

    Check.group("a load above --max-failures: exit 4, error texts by count");
    Path object = work.resolve("fixed.bo");
    Files.writeString(object, "object SqlOrder verb=Create\n  OrderId = F-1\nend\n");
    r = driver("fixed.db", "--object", object.toString(), "--mix", "Create", "--requests", "40");
    expectExit(4, r, "every Create after the first is a duplicate");
    Check.isTrue(r.out.contains("failed  39 (97.50 %)"), "failure share");
    Check.isTrue(r.out.contains("        39 x status -1: SqlOrder [OrderId=F-1]: Create failed: UNIQUE"),
        "the error text with its count");
    r = driver("fixed.db", "--object", object.toString(), "--mix", "Create", "--requests", "10",
        "--max-failures", "100%");
    expectExit(0, r, "--max-failures 100%");
  }

  private static void badInput() throws Exception {
    Check.group("bad input: exit 1 with the reason");
    Path script = work.resolve("broken.script");
    Files.writeString(script, "request expect=1\n  object SqlOrder verb=Create\n    Nope = 1\n  end\n");
    Run r = driver("x.db", "--script", script.toString());
    expectExit(1, r, "unknown attribute");
    Check.isTrue(r.out.contains("broken.script line 3: SqlOrder has no attribute Nope"), r.out);
    r = driver("x.db", "--script", script.toString(), "--request", "a.bo");
    expectExit(1, r, "--script with --request");
    r = driver("x.db", "--subscribe", "NoSuchType");
    expectExit(1, r, "subscription to an unknown type");
    r = driver("x.db", "--expect", "maybe", "--request", "a.bo");
    expectExit(1, r, "bad --expect");

    Check.group("exit 1: a mistake in a file names the file and the line, without the options hint");
    Path badObject = work.resolve("bad.bo");
    Files.writeString(badObject, "object SqlOrder verb=Create\n  OrderId 7\nend\n");
    r = driver("x.db", "--request", badObject.toString());
    expectExit(1, r, "malformed object file");
    Check.isTrue(r.out.contains("vyagent: " + badObject + " line 2: expected \"<attribute> = "
        + "<value>\" or \"end\"\n"), r.out);
    Check.isTrue(!r.out.contains("--help"), "no options hint after a file's mistake:\n" + r.out);
    r = driver("x.db", "--object", badObject.toString());
    Check.isTrue(r.exit == 1 && r.out.contains(badObject + " line 2: "), "--object too:\n" + r.out);
    Path badSpec = work.resolve("bad.spec");
    Files.writeString(badSpec, "type T\n  attr X String kee\nend\n");
    r = driver("x.db", "--spec", badSpec.toString());
    expectExit(1, r, "malformed spec file");
    Check.isTrue(r.out.contains("vyagent: " + badSpec + " line 2: unknown attribute flag"), r.out);
    Check.isTrue(!r.out.contains("--help"), "no options hint:\n" + r.out);

    Check.group("exit 1: a file that cannot be read says why");
    r = driver("x.db", "--request", "nofile.bo");
    expectExit(1, r, "missing object file");
    Check.isTrue(r.out.contains("vyagent: cannot read nofile.bo: no such file\n"), r.out);
    Check.isTrue(!r.out.contains("--help"), "no options hint:\n" + r.out);
    r = driver("x.db", "--script", "nofile.script");
    Check.isTrue(r.exit == 1 && r.out.contains("cannot read nofile.script: no such file"), r.out);
    r = driver("x.db", "--props", "nofile.properties");
    Check.isTrue(r.exit == 1 && r.out.contains("cannot read nofile.properties: no such file"), r.out);
    r = driver("x.db", "--spec", work.toString());
    Check.isTrue(r.exit == 1 && r.out.contains("cannot read " + work + ": a folder"), r.out);

    Check.group("exit 1: an object whose type no --spec gives points at --spec");
    String create = example.resolve("create.bo").toString();
    r = bare("--lib", "SqliteConnector", "--request", create);
    expectExit(1, r, "no --spec");
    Check.isTrue(r.out.contains("vyagent: " + create + " line 2: unknown type SqlOrder: no spec is "
        + "known; give the file with the type's spec with --spec FILE"), r.out);
    r = driver("x.db", "--type", "Ticket");
    expectExit(1, r, "--type of no spec");
    Check.isTrue(r.out.contains("--type unknown type Ticket (the specs given are SqlOrder")
        && r.out.contains("--help lists the options"), "an option error keeps the hint:\n" + r.out);
    r = driver("x.db", "--threads", "many");
    Check.isTrue(r.exit == 1 && r.out.contains("vyagent --help lists the options"), r.out);

    Check.group("exit 1: a library that is no connector says so");
    r = bare("--lib", "VyPorting", "--spec", example.resolve("orders.spec").toString(),
        "--request", create);
    expectExit(1, r, "libVyPorting");
    Check.isTrue(r.out.contains("libVyPorting.so exports no connector entry points")
        && r.out.contains("it is not a connector library")
        && r.out.contains("linked with libVyConnector"), r.out);
    Check.isTrue(!r.out.contains("UnsatisfiedLinkError") && !r.out.contains("--help"), r.out);
    Path notElf = work.resolve("libNotOne.so");
    Files.writeString(notElf, "not a library\n");
    r = bare("--lib", notElf.toString());
    Check.isTrue(r.exit == 1 && r.out.contains("--lib " + notElf + ": cannot load it: "), r.out);
  }

  private static void initFailures() throws Exception {
    Check.group("exit 2: the errors logged while n_init ran are printed without --show-log");
    Run r = bare("--lib", "VyConnector", "--requests", "1");
    expectExit(2, r, "the kit's library alone: no globals object");
    Check.isTrue(r.out.contains("n_init answered -1; the connector did not start.\n"
        + "Errors logged while starting:\n  fatal: The connector cannot start: its library "
        + "registered no connector globals object."), r.out);
    Check.isTrue(!r.out.contains("Connector log ("), "the full log only with --show-log");

    r = driver("x.db", "-P", "DatabasePath=" + work.resolve("no/such/folder/x.db"), "--requests", "1");
    expectExit(2, r, "a database that cannot be opened");
    Check.isTrue(r.out.contains("  error: SQLite connector: database \"")
        && r.out.contains("unusable"), "the connector's own error line:\n" + r.out);
    Check.isTrue(!r.out.contains("info:") && !r.out.contains("warning:"), "errors only:\n" + r.out);

    r = bare("--lib", "VyTestConnector", "-P", "Test.Throw.init=runtime", "--requests", "1");
    expectExit(2, r, "init throws");
    Check.isTrue(r.out.contains("  error: ") && r.out.contains("the connector threw")
        && r.out.contains("connector runtime failure"), "what init threw:\n" + r.out);

    r = bare("--lib", "VyTestConnector", "-P", "Test.InitResult=-3", "--requests", "1");
    expectExit(2, r, "init answers -3 and logs nothing");
    Check.isTrue(r.out.contains("n_init answered -3; the connector did not start.\nThe connector "
        + "logged nothing while starting"), r.out);
  }
}
