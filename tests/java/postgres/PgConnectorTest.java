package postgres;

import static sqlite.SqliteConnectorTest.describe;
import static sqlite.SqliteConnectorTest.events;
import static sqlite.SqliteConnectorTest.noVerbs;
import static sqlite.SqliteConnectorTest.order;
import static sqlite.SqliteConnectorTest.retrieve;
import static sqlite.SqliteConnectorTest.send;
import static sqlite.SqliteConnectorTest.specs;

import AppSide_Connector.BusObjNativeInterface;
import java.lang.management.ManagementFactory;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import sqlite.SqliteConnectorTest;
import sqlite.SqliteConnectorTest.Reply;
import vyagent.ObjectDef;
import vyagent.SpecDef;
import vyagent.SpecText;
import vyagent.Specs;
import vytest.Check;

/**
 * libPostgresConnector under the real agent class against a real PostgreSQL server of the
 * test's own: the SQLite connector's specs and trees (the two connectors map them alike), hostile
 * values and names, events written by the connector and by psql, events claimed by another
 * session, a statement timeout, the server restarted under load and down at init, and an agent
 * process killed while it holds claimed events. Argument: scratch-server.sh.
 */
public final class PgConnectorTest {
  static PgServer server;
  static boolean loaded;
  static BusObjNativeInterface agent;

  public static void main(String[] args) throws Exception {
    if (args.length > 1 && args[0].equals("holder")) {
      holder(args);
      return;
    }
    server = PgServer.start(Path.of(args[0]));
    try {
      verbs();
      hostileValues();
      eventDelivery();
      claimedElsewhere();
      oneObjectManyWriters();
      statementTimeout();
      restartUnderLoad();
      downAtInit();
      existingTablesOnly();
      agentDiesHoldingEvents();
    } finally {
      server.close();
    }
    Check.finish();
  }

  // ---- harness ----

  /** A fresh database schema, then n_init with the server's properties and `extra`. */
  static void start(Map<String, String> extra) throws Exception {
    server.sql("DROP SCHEMA public CASCADE; CREATE SCHEMA public;");
    Check.eq(0, init(extra), "n_init");
  }

  static int init(Map<String, String> extra) {
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface.setProperty("ConnectorName", "PgTest");
    for (String[] p : server.properties()) BusObjNativeInterface.setProperty(p[0], p[1]);
    extra.forEach(BusObjNativeInterface::setProperty);
    if (!loaded) {
      BusObjNativeInterface.loadConnector("PostgresConnector");
      loaded = true;
    }
    agent = new BusObjNativeInterface();
    SqliteConnectorTest.agent = agent;
    int status = agent.n_init("4.1.0", "libPostgresConnector.so");
    if (status == 0) {
      for (SpecDef s : specs.all()) agent.n_gotBusObjSpec(s.toWire());
    }
    return status;
  }

  static void stop() {
    Check.eq(0, agent.n_terminate(), "n_terminate");
  }

  /** Waits (up to 10 s) until a session holds a lock of `mode` on `table`. */
  static void waitForLock(String mode, String table) throws Exception {
    for (int i = 0; i < 500; i++) {
      if (!server.sql("SELECT count(*) FROM pg_locks l JOIN pg_class c ON c.oid = l.relation"
          + " WHERE c.relname = '" + table + "' AND l.mode = '" + mode + "' AND l.granted")
          .equals("0")) {
        return;
      }
      Thread.sleep(20);
    }
    Check.fail("no session took the " + mode + " on " + table);
  }

  static ObjectDef asUpdate(ObjectDef o) {
    for (ObjectDef x : o.tree()) x.verb = "Update";
    return o;
  }

  static List<ObjectDef> lines(ObjectDef o) {
    return ((ObjectDef.Container) o.get("Lines")).children;
  }

  // ---- verbs ----

  static void verbs() throws Exception {
    Check.group("Create, Retrieve, Update and Delete of whole trees, as the SQLite connector");
    start(Map.of());
    Check.eq(1, send(order("A1")).status, "Create A1");
    Check.eq(1, send(order("A2")).status, "Create A2 (same child keys under another parent)");
    ObjectDef back = retrieve("SqlOrder", "OrderId", "A1");
    Check.isTrue(back != null && noVerbs(order("A1")).equals(noVerbs(back)), "A1 whole: " + back);
    ObjectDef after = asUpdate(order("A1"));
    after.set("Status", "Shipped");
    lines(after).remove(1);
    lines(after).get(0).set("Quantity", "4");
    ObjectDef added = new ObjectDef(specs.get("SqlOrderLine"));
    added.verb = "Create";
    added.set("LineId", "4");
    added.set("Product", "Saucers");
    lines(after).add(added);
    ((ObjectDef) after.get("Customer")).set("CustomerId", "C-8");
    Reply u = send(after);
    Check.eq(1, u.status, "Update: " + u.error);
    back = retrieve("SqlOrder", "OrderId", "A1");
    Check.isTrue(back != null && noVerbs(after).equals(noVerbs(back)), "the after-image: " + back);
    Check.eq("1|4\n3|1\n4|", server.sql("SELECT \"LineId\", coalesce(\"Quantity\", '') FROM"
        + " \"SqlOrderLine\" WHERE vy_root_key = '[\"A1\"]' ORDER BY vy_position"), "A1's lines");
    ObjectDef del = new ObjectDef(specs.get("SqlOrder"));
    del.verb = "Delete";
    del.set("OrderId", "A1");
    Check.eq(1, send(del).status, "Delete A1");
    Check.isTrue(retrieve("SqlOrder", "OrderId", "A1") == null, "A1 gone");
    Check.eq("0|3|1", server.sql("SELECT (SELECT count(*) FROM \"SqlOrderLine\" WHERE vy_root_key"
        + " = '[\"A1\"]'), (SELECT count(*) FROM \"SqlOrderLine\"), (SELECT count(*) FROM"
        + " \"SqlNote\")"), "A1's rows gone, A2's stay");
    Reply again = send(del);
    Check.isTrue(again.status == -1 && again.error.contains("SqlOrder [OrderId=A1]: Delete failed:"
        + " no such object"), "Delete of a missing object: " + again.error);

    Check.group("a key left out is generated; a failing tree Create leaves no row and no event");
    ObjectDef noKey = order("x");
    noKey.set("OrderId", null);
    Reply g = send(noKey);
    Check.isTrue(g.status == 1 && ((String) g.object().get("OrderId")).matches("\\d+"),
        "generated key: " + g.error);
    server.sql("DELETE FROM vy_event");
    ObjectDef bad = order("F1");
    lines(bad).get(2).set("LineId", "1");
    Reply f = send(bad);
    Check.isTrue(f.status == -1 && f.error.startsWith("SqlOrder [OrderId=F1]: Create failed: ")
        && f.error.contains("duplicate key value"), "duplicate child key: " + f.error);
    Check.eq("0|0", server.sql("SELECT (SELECT count(*) FROM \"SqlOrder\" WHERE \"OrderId\" ="
        + " 'F1'), (SELECT count(*) FROM vy_event)"), "no row, no event");
    String longKey = "K".repeat(2000);  // the server's text repeats the whole key
    Check.eq(1, send(order(longKey)).status, "Create of a 2,000-byte key");
    Reply twice = send(order(longKey));
    Check.isTrue(twice.status == -1 && twice.error.contains("duplicate key value")
        && twice.error.length() < 1300, "the text is cut: " + twice.error.length() + " bytes");

    Check.group("a delta Update: the retrieve and the update in one transaction, one connection");
    BusObjNativeInterface.setDeltaSupportAnswer("SqlOrder", "true");
    ObjectDef delta = SqliteConnectorTest.deltaUpdate("A2");
    delta.set("OrderId", "A9");
    Reply d = send(delta);
    Check.isTrue(d.status == -1 && d.error.contains("no such object"), "of a missing one: " + d.error);
    BusObjNativeInterface.setDeltaSupportAnswer("SqlOrder", "false");
    stop();
  }

  static void hostileValues() throws Exception {
    Check.group("hostile values and keyword names are stored and returned exactly");
    start(Map.of());
    // The long text also carries what would end a dollar-quoted body.
    String big = "x'\"\\;$body$ ".repeat(1 << 16);
    List<String> keys = new ArrayList<>(List.of(SqliteConnectorTest.HOSTILE_KEYS));
    keys.add("tab\there\\back\u0001\u00e9\"");  // escaped in the event table's JSON keys
    agent.n_SubscribeTo("Select", null, 0);
    for (String key : keys) {
      ObjectDef o = SqliteConnectorTest.hostile(key, big);
      Reply r = send(o);
      Check.eq(1, r.status, "Create " + key + ": " + r.error);
      ObjectDef back = retrieve("Select", "from", key);
      Check.isTrue(back != null && noVerbs(o).equals(noVerbs(back)), "round trip of " + key);
    }
    Check.eq("4|4|1", server.sql("SELECT (SELECT count(*) FROM \"Select\"), (SELECT count(*) FROM"
        + " \"Index\"), (SELECT count(*) FROM \"Select\" WHERE \"from\" = '007')"), "rows");
    // The server would cut a 64-byte name to 63 and raise its events under a name no spec has.
    String longName = "T" + "x".repeat(63);
    Specs longSpecs = new Specs(SpecText.parse("type " + longName + " 1.0.0\n  attr Id String key\n"
        + "  verb Create\n  verb Retrieve\nend\n"));
    agent.n_gotBusObjSpec(longSpecs.get(longName).toWire());
    ObjectDef tooLong = new ObjectDef(longSpecs.get(longName));
    tooLong.verb = "Create";
    tooLong.set("Id", "1");
    Reply refused = send(tooLong);
    Check.isTrue(refused.status == -1 && refused.error.contains("is longer than the 63 bytes"),
        "a name the server would cut: " + refused.error);
    Check.eq(0, agent.n_poll(), "poll");
    List<String> evented = new ArrayList<>();
    for (ObjectDef e : events()) evented.add(e.verb + " " + e.get("from") + " " + e.get("where"));
    List<String> expected = new ArrayList<>();
    for (String key : keys) expected.add("Create " + key + " '; DROP TABLE \"Index\"; --");
    Check.eq(expected, evented, "an event per object, its keys read back from the event table");
    stop();
  }

  // ---- events ----

  static void eventDelivery() throws Exception {
    Check.group("events of the connector's writes and of psql's, in order, each once");
    start(Map.of());
    Check.eq(1, send(order("E0")).status, "Create E0");
    agent.n_SubscribeTo("SqlOrder", null, 0);
    Check.eq(0, agent.n_poll(), "poll");
    Check.eq("SqlOrder Create E0 Open;", describe(events()), "the Create of E0");
    Check.isTrue(events().size() == 1 && lines(events().get(0)).size() == 3, "with its tree");
    agent.clearRecords();
    server.sql("INSERT INTO \"SqlOrder\" (\"OrderId\", \"Status\") VALUES ('E1', 'New');"
        + "UPDATE \"SqlOrder\" SET \"Status\" = 'Paid' WHERE \"OrderId\" = 'E1';"
        + "INSERT INTO \"SqlOrder\" (\"OrderId\", \"Status\") VALUES ('E2', 'New');"
        + "DELETE FROM \"SqlOrder\" WHERE \"OrderId\" = 'E1';"
        + "INSERT INTO \"SqlOrderLine\" (vy_parent_type, vy_parent_attr, vy_parent_key,"
        + " vy_root_type, vy_root_key, \"LineId\") VALUES ('SqlOrder', 'Lines', '[\"E0\"]',"
        + " 'SqlOrder', '[\"E0\"]', '9');");
    Check.eq(0, agent.n_poll(), "poll");
    Check.eq("SqlOrder Create E1 null;SqlOrder Update E1 null;SqlOrder Create E2 New;"
        + "SqlOrder Delete E1 null;SqlOrder Update E0 Open;", describe(events()),
        "insert, update, insert, delete, a child's insert");
    agent.clearRecords();
    Check.eq(0, agent.n_poll(), "poll");
    Check.eq(0, events().size(), "each once");
    Check.eq("0", server.sql("SELECT count(*) FROM vy_event"), "nothing pending");

    Check.group("an unsubscribed kind stays pending; a refused event stays and ends the poll");
    server.sql("INSERT INTO \"SqlCustomer\" (\"CustomerId\") VALUES ('K1');"
        + "INSERT INTO \"SqlOrder\" (\"OrderId\") VALUES ('R1'), ('R2');");
    agent.setEventAnswer(-1);
    Check.eq(0, agent.n_poll(), "poll while the agent refuses");
    Check.eq("SqlOrder Create R1 null;", describe(events()), "refused: the poll stops");
    Check.eq("SqlCustomer|Create\nSqlOrder|Create\nSqlOrder|Create", server.sql(
        "SELECT type, verb FROM vy_event ORDER BY id"), "all three pending");
    agent.clearRecords();
    agent.setEventAnswer(1);
    Check.eq(0, agent.n_poll(), "poll");
    Check.eq("SqlOrder Create R1 null;SqlOrder Create R2 null;", describe(events()), "delivered");
    Check.eq("SqlCustomer", server.sql("SELECT type FROM vy_event"), "the customer's waits");
    stop();
  }

  static void claimedElsewhere() throws Exception {
    Check.group("an event another session holds is skipped, and the object's later ones wait");
    start(Map.of());
    agent.n_SubscribeTo("SqlOrder", null, 0);
    Check.eq(1, send(order("C1")).status, "Create C1");
    Check.eq(1, send(asUpdate(order("C1"))).status, "Update C1");
    Check.eq(1, send(order("C2")).status, "Create C2");
    try (PgServer.Session holder = server.session()) {
      holder.send("BEGIN; SELECT id FROM vy_event WHERE key = '[\"C1\"]' AND verb = 'Create'"
          + " FOR UPDATE;");
      waitForLock("RowShareLock", "vy_event");
      Check.eq(0, agent.n_poll(), "poll");
      Check.eq("SqlOrder Create C2 Open;", describe(events()), "only C2's event");
      holder.send("ROLLBACK;");
    }
    agent.clearRecords();
    Check.eq(0, agent.n_poll(), "poll after the other session let go");
    Check.eq("SqlOrder Create C1 Open;SqlOrder Update C1 Open;", describe(events()), "in order");
    stop();
  }

  static void oneObjectManyWriters() throws Exception {
    Check.group("Updates of one object with different trees from four threads take turns");
    start(Map.of("PoolSize", "4"));
    Check.eq(1, send(order("M1")).status, "Create M1");
    List<String> failures = Collections.synchronizedList(new ArrayList<>());
    List<Thread> threads = new ArrayList<>();
    for (int t = 0; t < 4; t++) {
      final int id = t;
      Thread w = new Thread(() -> {
        for (int i = 0; i < 25; i++) {
          // Each thread writes lines of its own keys and of its neighbour's, so trees overlap.
          ObjectDef o = asUpdate(order("M1"));
          lines(o).clear();
          for (int k : new int[] {id, (id + 1) % 4}) {
            ObjectDef line = new ObjectDef(specs.get("SqlOrderLine"));
            line.verb = "Update";
            line.set("LineId", "L" + k);
            line.set("Product", "by " + id + " at " + i);
            lines(o).add(line);
          }
          Reply r = send(o);
          if (r.status != 1) failures.add(r.error);
        }
      });
      threads.add(w);
      w.start();
    }
    for (Thread w : threads) w.join();
    Check.eq(List.of(), failures, "every Update succeeded");
    ObjectDef back = retrieve("SqlOrder", "OrderId", "M1");
    List<String> writers = new ArrayList<>();
    for (ObjectDef line : lines(back)) writers.add(((String) line.get("Product")).split(" at")[0]);
    Check.isTrue(writers.size() == 2 && writers.get(0).equals(writers.get(1)),
        "the stored tree is one writer's whole: " + writers);
    Check.eq("2", server.sql("SELECT count(*) FROM \"SqlOrderLine\""), "no line left over");
    stop();
  }

  static void statementTimeout() throws Exception {
    Check.group("a statement past \"StatementTimeout\" fails naming it; the next one is served");
    start(Map.of("StatementTimeout", "300"));
    Check.eq(1, send(order("T1")).status, "Create T1");
    try (PgServer.Session locker = server.session()) {
      locker.send("BEGIN; LOCK TABLE \"SqlOrder\" IN ACCESS EXCLUSIVE MODE;");
      waitForLock("AccessExclusiveLock", "SqlOrder");
      Reply r = send(asUpdate(order("T1")));
      Check.isTrue(r.status == -1 && r.error.contains("statement timeout")
          && r.error.contains("\"StatementTimeout\" is 300 ms"), "text: " + r.error);
      locker.send("ROLLBACK;");
    }
    Check.isTrue(retrieve("SqlOrder", "OrderId", "T1") != null, "served afterwards");
    stop();
  }

  // ---- faults ----

  static void restartUnderLoad() throws Exception {
    Check.group("the server restarted under load: in-flight requests fail with a text, the next"
        + " ones are served, nothing is answered wrongly");
    start(Map.of("PoolSize", "3"));
    agent.n_SubscribeTo("SqlOrder", null, 0);
    AtomicBoolean done = new AtomicBoolean();
    AtomicInteger ok = new AtomicInteger();
    AtomicInteger wrong = new AtomicInteger();
    List<String> failures = Collections.synchronizedList(new ArrayList<>());
    List<Thread> threads = new ArrayList<>();
    for (int t = 0; t < 3; t++) {
      final int id = t;
      Thread w = new Thread(() -> {
        for (int i = 0; !done.get(); i++) {
          String key = "W" + id + "-" + i;
          Reply c = send(order(key));
          if (c.status != 1) {
            failures.add(c.error);
            continue;
          }
          ObjectDef back = retrieve("SqlOrder", "OrderId", key);
          if (back != null && !noVerbs(order(key)).equals(noVerbs(back))) wrong.incrementAndGet();
          ok.incrementAndGet();
        }
      });
      threads.add(w);
      w.start();
    }
    Thread poller = new Thread(() -> {
      while (!done.get()) agent.n_poll();
    });
    poller.start();
    Thread.sleep(800);
    server.restart();
    int before = ok.get();
    Thread.sleep(1500);
    done.set(true);
    for (Thread w : threads) w.join();
    poller.join();
    Check.isTrue(ok.get() > before, "requests served after the restart: " + before + " -> " + ok);
    Check.eq(0, wrong.get(), "no tree read back wrongly");
    for (String f : failures) {
      Check.isTrue(f.contains("connection") || f.contains("terminating") || f.contains("shut"),
          "a failure says the connection went: " + f);
    }
    System.out.println("restart: " + failures.size() + " requests failed, " + ok + " served");
    server.restart();  // again, with every connection idle
    Check.eq(1, send(order("after")).status, "the first request after a restart is served");
    Check.eq(0, agent.n_poll(), "so is the first poll");
    stop();
  }

  static void downAtInit() throws Exception {
    Check.group("the server down at init: a clear failure; init succeeds once it is back");
    server.stop();
    agent.clearRecords();
    Check.eq(-1, init(Map.of("ConnectTimeout", "2")), "n_init with the server down");
    String log = agent.getLogs().toString();
    Check.isTrue(log.contains("PostgreSQL connector: cannot start: cannot connect to PostgreSQL"),
        "the log says why: " + log);
    server.startAgain();
    Check.eq(0, init(Map.of()), "n_init with the server back");
    Check.eq(1, send(order("D1")).status, "served");
    stop();

    Check.group("\"ConnectionString\" wins over the separate settings; one libpq cannot read fails init");
    Check.eq(0, init(Map.of("ConnectionString", "postgresql://postgres@/postgres?host=" + server.dir
        + "&port=" + server.port, "Host", "/no/such/folder", "Password", "secret-word")),
        "n_init with a URI and a Host that would not reach the server");
    Check.isTrue(retrieve("SqlOrder", "OrderId", "D1") != null, "served through the URI");
    stop();
    agent.clearRecords();
    Check.eq(-1, init(Map.of("ConnectionString", "host=" + server.dir + " port", "Password",
        "secret-word")), "n_init with a broken connection string");
    log = agent.getLogs().toString();
    Check.isTrue(log.contains("\"ConnectionString\" is not a libpq connection string")
        && !log.contains("secret-word"), "the log says why, and never the password: " + log);
  }

  static void existingTablesOnly() throws Exception {
    Check.group("\"CreateTables\" false: nothing is created, and what is missing is named");
    server.sql("DROP SCHEMA public CASCADE; CREATE SCHEMA public;");
    agent.clearRecords();
    Check.eq(-1, init(Map.of("CreateTables", "false")), "n_init without the event table");
    Check.isTrue(agent.getLogs().toString().contains("the tables vy_event and vy_key_sequence do"
        + " not exist and \"CreateTables\" is false"), "the log says so");
    Check.eq(0, init(Map.of()), "n_init that creates them");
    stop();
    Check.eq(0, init(Map.of("CreateTables", "false")), "n_init with them there");
    Reply r = send(order("X1"));
    Check.isTrue(r.status == -1 && r.error.contains("table \"SqlOrder\" does not exist and"
        + " \"CreateTables\" is false"), "a type without its table: " + r.error);
    Check.eq("vy_event,vy_key_sequence", server.sql("SELECT string_agg(tablename, ',' ORDER BY"
        + " tablename) FROM pg_tables WHERE schemaname = 'public'"), "no table made");
    stop();
  }

  /**
   * The child: an agent whose event listener never returns from the first event, so its poll
   * holds the claimed events until the process is killed.
   */
  static void holder(String[] args) throws Exception {
    BusObjNativeInterface.setProperty("ConnectorName", "PgHolder");
    BusObjNativeInterface.setProperty("Host", args[1]);
    BusObjNativeInterface.setProperty("Port", args[2]);
    BusObjNativeInterface.setProperty("User", "postgres");
    BusObjNativeInterface.setProperty("Database", "postgres");
    BusObjNativeInterface.setProperty("PollQuantity", "5");
    BusObjNativeInterface.loadConnector("PostgresConnector");
    BusObjNativeInterface child = new BusObjNativeInterface();
    if (child.n_init("4.1.0", "libPostgresConnector.so") != 0) System.exit(3);
    for (SpecDef s : specs.all()) child.n_gotBusObjSpec(s.toWire());
    child.setEventListener(wire -> {
      System.out.println("HOLDING");
      System.out.flush();
      while (true) {
        try {
          Thread.sleep(60_000);
        } catch (InterruptedException e) {
          return 1;
        }
      }
    });
    child.n_SubscribeTo("SqlOrder", null, 0);
    child.n_poll();
  }

  static void agentDiesHoldingEvents() throws Exception {
    Check.group("an agent killed while it holds claimed events loses none of them");
    start(Map.of());
    for (int i = 0; i < 8; i++) Check.eq(1, send(order("H" + i)).status, "Create H" + i);
    List<String> cmd = new ArrayList<>();
    cmd.add(ProcessHandle.current().info().command().orElse("java"));
    cmd.addAll(ManagementFactory.getRuntimeMXBean().getInputArguments());
    cmd.addAll(List.of("-cp", System.getProperty("java.class.path"),
        PgConnectorTest.class.getName(), "holder", server.dir.toString(),
        Integer.toString(server.port)));
    Process child = new ProcessBuilder(cmd).redirectErrorStream(true).start();
    String first = new String(child.getInputStream().readNBytes(7));
    Check.eq("HOLDING", first, "the child took an event and holds it");
    agent.n_SubscribeTo("SqlOrder", null, 0);
    Check.eq(0, agent.n_poll(), "poll while the child holds 5 events");
    Check.eq(3, events().size(), "only the 3 events nobody holds");
    child.destroyForcibly();
    child.waitFor();
    for (int i = 0; i < 100 && events().size() < 8; i++) {
      Check.eq(0, agent.n_poll(), "poll");
      Thread.sleep(20);
    }
    Check.eq("SqlOrder Create H5 Open;SqlOrder Create H6 Open;SqlOrder Create H7 Open;"
        + "SqlOrder Create H0 Open;SqlOrder Create H1 Open;SqlOrder Create H2 Open;"
        + "SqlOrder Create H3 Open;SqlOrder Create H4 Open;", describe(events()),
        "the killed agent's events delivered here, each once");
    Check.eq("0", server.sql("SELECT count(*) FROM vy_event"), "nothing pending");
    stop();
  }
}
