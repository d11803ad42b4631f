package postgres;

import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.TreeMap;
import java.util.regex.Matcher;
import java.util.regex.Pattern;
import vytest.Check;

/**
 * Several agents sharing one PostgreSQL server: three load driver processes (vyagent.LoadDriver,
 * each a JVM with libPostgresConnector), two agent threads each, Creates, Updates and Retrieves
 * of the same objects for VY_PG_AGENTS_SECONDS (default 20) while every agent polls. A trigger
 * of the test's own copies every event the connector's triggers write into an audit table; the
 * events the agents printed, with those a last watching run drains, must be exactly that list
 * (each event once across the agents, none lost, none made up). No request may fail, and the
 * trees must be whole (no child row outside its tree, every order with its two lines).
 * Arguments: scratch-server.sh, the spec file (the SQLite example's orders.spec).
 */
public final class PgAgentsTest {
  static final int AGENTS = 3;
  static PgServer server;
  static Path spec;

  public static void main(String[] args) throws Exception {
    spec = Path.of(args[1]);
    String env = System.getenv("VY_PG_AGENTS_SECONDS");
    String seconds = env != null ? env : "20";
    server = PgServer.start(Path.of(args[0]));
    try {
      run(seconds);
    } finally {
      server.close();
    }
    Check.finish();
  }

  static List<String> driver(String... extra) {
    String java = Path.of(System.getProperty("java.home"), "bin", "java").toString();
    List<String> cmd = new ArrayList<>(List.of(java,
        "-Djava.library.path=" + System.getProperty("java.library.path"),
        "-cp", System.getProperty("java.class.path"), "vyagent.LoadDriver", "--no-progress",
        "--lib", "PostgresConnector", "--spec", spec.toString(), "-P", "PollQuantity=50"));
    for (String[] p : server.properties()) cmd.addAll(List.of("-P", p[0] + "=" + p[1]));
    cmd.addAll(List.of(extra));
    return cmd;
  }

  static final Pattern EVENT =
      Pattern.compile("(?m)^    object SqlOrder verb=(\\w+)\\n      OrderId = (.*)$");
  static final Pattern RECEIVED = Pattern.compile("\\n  ([\\d,]+) received in");

  /** The events a run printed, as "verb key" counts, added to `into`; returns how many. */
  static int collect(String out, Map<String, Integer> into) {
    Matcher m = EVENT.matcher(out);
    int n = 0;
    while (m.find()) {
      into.merge(m.group(1) + " " + m.group(2), 1, Integer::sum);
      n++;
    }
    Matcher r = RECEIVED.matcher(out);
    int received = r.find() ? Integer.parseInt(r.group(1).replace(",", "")) : 0;
    Check.eq(received, n, "every event the run received is printed");
    return n;
  }

  static void run(String seconds) throws Exception {
    Check.group(AGENTS + " agents, 2 threads each, " + seconds + " s of Creates, Updates and"
        + " Retrieves while all poll: no request fails");
    // The connector makes its tables; the audit trigger goes on its event table.
    Process first = new ProcessBuilder(driver("--threads", "0", "--duration", "0.1"))
        .redirectErrorStream(true).start();
    first.getInputStream().readAllBytes();
    Check.eq(0, first.waitFor(), "a first agent prepared the tables");
    server.sql("CREATE TABLE vy_audit (id bigint, verb text, key text);"
        + "CREATE FUNCTION vy_audit() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN"
        + " INSERT INTO vy_audit VALUES (NEW.id, NEW.verb, NEW.key); RETURN NULL; END $$;"
        + "CREATE TRIGGER vy_audit AFTER INSERT ON vy_event FOR EACH ROW EXECUTE FUNCTION"
        + " vy_audit();");
    List<Process> agents = new ArrayList<>();
    List<Path> outputs = new ArrayList<>();
    for (int a = 0; a < AGENTS; a++) {
      Path out = server.dir.resolve("agent" + a + ".txt");
      outputs.add(out);
      agents.add(new ProcessBuilder(driver("--type", "SqlOrder", "--mix",
          "Create=1,Update=1,Retrieve=1", "--children", "2", "--threads", "2", "--duration",
          seconds, "--poll-ms", "10", "--subscribe", "SqlOrder", "--show-events", "100000000",
          "--max-failures", "0")).redirectErrorStream(true).redirectOutput(out.toFile()).start());
      Thread.sleep(300);  // load keys carry the millisecond the driver made them in
    }
    Map<String, Integer> delivered = new TreeMap<>();
    for (int a = 0; a < AGENTS; a++) {
      int exit = agents.get(a).waitFor();
      String out = Files.readString(outputs.get(a), StandardCharsets.UTF_8);
      Check.eq(0, exit, "agent " + a + " exit status (output in " + outputs.get(a) + ")");
      Check.isTrue(out.contains("failed  0 (0.00 %)"), "agent " + a + ": no request failed");
      Matcher rate = Pattern.compile("Requests/second +([\\d,]+)").matcher(out);
      int n = collect(out, delivered);
      System.out.println("agent " + a + ": " + (rate.find() ? rate.group(1) : "?")
          + " requests/s, " + n + " events");
      Check.isTrue(n > 0, "agent " + a + " took events too");
    }

    Check.group("every event raised is delivered exactly once across the agents");
    // The events the agents had not taken when their loads ended: one watching agent takes them.
    for (int i = 0; i < 30 && !server.sql("SELECT count(*) FROM vy_event").equals("0"); i++) {
      Process drain = new ProcessBuilder(driver("--threads", "0", "--duration", "3", "--poll-ms",
          "1", "--subscribe", "SqlOrder", "--show-events", "100000000", "-P", "PollQuantity=200"))
          .redirectErrorStream(true).start();
      String out = new String(drain.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
      Check.eq(0, drain.waitFor(), "the draining run");
      collect(out, delivered);
    }
    Check.eq("0", server.sql("SELECT count(*) FROM vy_event"), "nothing left pending");
    Map<String, Integer> raised = new TreeMap<>();
    String audit = server.sql("SELECT verb || ' ' || (key::json ->> 0) FROM vy_audit");
    for (String line : audit.split("\n")) {
      if (!line.isEmpty()) raised.merge(line, 1, Integer::sum);
    }
    int total = raised.values().stream().mapToInt(Integer::intValue).sum();
    System.out.println(total + " events raised");
    Check.isTrue(total > 100, "events were raised: " + total);
    Check.eq(raised.size(), delivered.size(), "the same objects and verbs");
    int wrong = 0;
    for (Map.Entry<String, Integer> e : raised.entrySet()) {
      if (!e.getValue().equals(delivered.get(e.getKey()))) {
        if (wrong++ < 10) {
          Check.fail(e.getKey() + ": raised " + e.getValue() + ", delivered "
              + delivered.get(e.getKey()));
        }
      }
    }
    Check.eq(0, wrong, "objects whose events were not delivered exactly once");

    Check.group("the trees are whole");
    Check.eq("0|0|0", server.sql("SELECT (SELECT count(*) FROM \"SqlOrderLine\" l WHERE NOT"
        + " EXISTS (SELECT 1 FROM \"SqlOrder\" o"
        + " WHERE l.vy_root_key = array_to_json(ARRAY[o.\"OrderId\"])::text)),"
        + " (SELECT count(*) FROM (SELECT 1 FROM \"SqlOrderLine\" GROUP BY vy_parent_key"
        + " HAVING count(*) <> 2) x),"
        + " (SELECT count(*) FROM (SELECT 1 FROM \"SqlCustomer\" GROUP BY vy_parent_key"
        + " HAVING count(*) <> 1) x)"), "orphan lines, orders without 2 lines, without 1 customer");
  }
}
