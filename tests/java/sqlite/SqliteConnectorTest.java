package sqlite;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import java.io.IOException;
import java.nio.charset.StandardCharsets;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.concurrent.atomic.AtomicBoolean;
import java.util.concurrent.atomic.AtomicInteger;
import vyagent.ObjectDef;
import vyagent.ObjectText;
import vyagent.ObjectWire;
import vyagent.SpecDef;
import vyagent.SpecText;
import vyagent.Specs;
import vytest.Check;
import vytest.TempDir;

/**
 * libSqliteConnector under the real agent class against real database files: whole-tree verbs,
 * transactions, hostile values, events written by the sqlite3 command line, and several agent
 * threads with the polling thread running. Each group uses a database file of its own.
 */
public final class SqliteConnectorTest {
  /** The verbs every type of these tests has. */
  static final String VERBS = "  verb Create\n  verb Retrieve\n  verb Update\n  verb Delete";

  public static final String SPEC_TEXT = String.join("\n",
      "type SqlOrder 1.0.0",
      "  attr OrderId String key",
      "  attr Status String",
      "  attr Total Double",
      "  attr Lines SqlOrderLine card=n",
      "  attr Customer SqlCustomer",
      VERBS,
      "end",
      "type SqlOrderLine 1.0.0",
      "  attr LineId String key",
      "  attr Product String",
      "  attr Quantity Integer",
      "  attr Notes SqlNote card=n",
      VERBS,
      "end",
      "type SqlNote 1.0.0",
      "  attr NoteId String key",
      "  attr Text LongText",
      VERBS,
      "end",
      "type SqlCustomer 1.0.0",
      "  attr CustomerId String key",
      "  attr Name String",
      VERBS,
      "end",
      // Names that are SQL keywords or carry quotes and blanks.
      "type Select 1.0.0",
      "  attr \"from\" String key",
      "  attr where String",
      "  attr \"group by\" String",
      "  attr \"q\\\"uote\" String",
      "  attr \"x'y\" LongText",
      "  attr \"Table\" Index card=n",
      VERBS,
      "end",
      "type Index 1.0.0",
      "  attr \"order\" String key",
      "  attr \"values\" String",
      VERBS,
      "end",
      "");

  public static final Specs specs = new Specs(SpecText.parse(SPEC_TEXT));
  static Path dir;
  static Path db;
  public static BusObjNativeInterface agent;
  static boolean loaded;

  public static void main(String[] args) throws Exception {
    try (TempDir scratch = new TempDir("vy-sqlite-test")) {
      dir = scratch.path;
      createAndRetrieve();
      updateAndDelete();
      failuresLeaveNothing();
      hostileValues();
      deltaUpdates();
      eventDelivery();
      pollQuantityAndRefusal();
      threads();
    }
    Check.finish();
  }

  // ---- harness ----

  static void start(String name, Map<String, String> extra) {
    db = dir.resolve(name + ".db");
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface.setProperty("ConnectorName", "SqliteTest");
    BusObjNativeInterface.setProperty("DatabasePath", db.toString());
    extra.forEach(BusObjNativeInterface::setProperty);
    if (!loaded) {
      BusObjNativeInterface.loadConnector("SqliteConnector");
      loaded = true;
    }
    agent = new BusObjNativeInterface();
    Check.eq(0, agent.n_init("4.1.0", "libSqliteConnector.so"), "n_init");
    for (SpecDef s : specs.all()) agent.n_gotBusObjSpec(s.toWire());
  }

  static void stop() {
    Check.eq(0, agent.n_terminate(), "n_terminate");
  }

  /** What one request gave back. */
  public static final class Reply {
    public int status;
    public String error;
    public String bucket;
    public ObjectDef object() {
      return ObjectWire.read(bucket, specs);
    }
  }

  public static Reply send(ObjectDef o) {
    return send(ObjectWire.write(o));
  }

  public static Reply send(String wire) {
    StringBucket b = new StringBucket(wire);
    ReturnStatusDescriptor st = new ReturnStatusDescriptor();
    Reply r = new Reply();
    r.status = agent.n_DoVerbFor(b, false, st);
    r.error = st.getErrorString();
    r.bucket = b.content;
    return r;
  }

  public static ObjectDef parse(String... lines) {
    return ObjectText.parse(String.join("\n", lines) + "\n", specs);
  }

  public static ObjectDef retrieve(String type, String keyAttr, String key) {
    ObjectDef o = new ObjectDef(specs.get(type));
    o.verb = "Retrieve";
    o.set(keyAttr, key);
    Reply r = send(o);
    return r.status == 1 ? r.object() : null;
  }

  /** The tree with every verb cleared, so trees from different verbs compare by content. */
  public static ObjectDef noVerbs(ObjectDef o) {
    for (ObjectDef x : o.tree()) x.verb = null;
    return o;
  }

  /** Runs SQL through the sqlite3 command line, another process on the same file. */
  static String sql(String statements) throws IOException, InterruptedException {
    Process p = new ProcessBuilder("sqlite3", "-batch", db.toString()).redirectErrorStream(true)
        .start();
    p.getOutputStream().write((".timeout 10000\n" + statements + "\n").getBytes(StandardCharsets.UTF_8));
    p.getOutputStream().close();
    String out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8).trim();
    Check.eq(0, p.waitFor(), "sqlite3 exit status for " + statements + ": " + out);
    return out;
  }

  static final String ORDER = String.join("\n",
      "object SqlOrder verb=Create",
      "  OrderId = %s",
      "  Status = Open",
      "  Total = 10.50",
      "  Lines = object SqlOrderLine verb=Create",
      "    LineId = 1",
      "    Product = Tea",
      "    Quantity = 3",
      "    Notes = object SqlNote verb=Create",
      "      NoteId = n1",
      "      Text = green",
      "    end",
      "  end",
      "  Lines = object SqlOrderLine verb=Create",
      "    LineId = 2",
      "    Product = Cups",
      "    Quantity = 6",
      "  end",
      "  Lines = object SqlOrderLine verb=Create",
      "    LineId = 3",
      "    Product = Pot",
      "    Quantity = 1",
      "  end",
      "  Customer = object SqlCustomer verb=Create",
      "    CustomerId = C-7",
      "    Name = O'Brien",
      "  end",
      "end");

  public static ObjectDef order(String key) {
    return parse(String.format(ORDER, key));
  }

  // ---- verbs ----

  static void createAndRetrieve() throws Exception {
    Check.group("Create then Retrieve returns an equal tree");
    start("verbs", Map.of());
    ObjectDef sent = order("A1");
    Reply created = send(sent);
    Check.eq(1, created.status, "Create: " + created.error);
    ObjectDef back = retrieve("SqlOrder", "OrderId", "A1");
    Check.isTrue(back != null, "Retrieve A1");
    if (back != null) Check.eq(noVerbs(order("A1")), noVerbs(back), "retrieved tree");

    Check.group("a key that arrives blank or ignored is generated and written back");
    ObjectDef noKey = order("x");
    noKey.set("OrderId", null);
    for (ObjectDef line : ((ObjectDef.Container) noKey.get("Lines")).children) {
      line.set("LineId", ObjectDef.BLANK);
    }
    Reply r = send(noKey);
    Check.eq(1, r.status, "Create without key: " + r.error);
    ObjectDef written = r.object();
    String key = (String) written.get("OrderId");
    Check.isTrue(key != null && key.matches("\\d+"), "generated OrderId: " + key);
    String lineKey = (String) ((ObjectDef.Container) written.get("Lines")).children.get(1).get("LineId");
    Check.isTrue(lineKey != null && lineKey.matches("\\d+"), "generated LineId: " + lineKey);
    ObjectDef again = key == null ? null : retrieve("SqlOrder", "OrderId", key);
    Check.isTrue(again != null, "the generated key finds the object");
    if (again != null) Check.eq(noVerbs(written), noVerbs(again), "stored as written back");
    Reply second = send(noKey);
    Check.eq(1, second.status, "a second Create: " + second.error);
    if (second.status == 1) {
      Check.isTrue(!key.equals(second.object().get("OrderId")), "a second Create gets another key");
    }

    Check.group("a Retrieve of a missing key fails with a clear text");
    ObjectDef missing = new ObjectDef(specs.get("SqlOrder"));
    missing.verb = "Retrieve";
    missing.set("OrderId", "nope");
    Reply m = send(missing);
    Check.eq(-1, m.status, "status");
    Check.isTrue(m.error != null && m.error.contains("SqlOrder [OrderId=nope]")
        && m.error.contains("Retrieve") && m.error.contains("no such object"), "text: " + m.error);
    missing.verb = "Frobnicate";
    stop();
  }

  static void updateAndDelete() throws Exception {
    Check.group("Update: one child removed, one changed, one added, the single child replaced");
    start("update", Map.of());
    Check.eq(1, send(order("U1")).status, "Create U1");
    Check.eq(1, send(order("U2")).status, "Create U2 (same child keys under another parent)");
    ObjectDef after = parse(
        "object SqlOrder verb=Update",
        "  OrderId = U1",
        "  Status = Shipped",
        "  Total = 10.50",
        "  Lines = object SqlOrderLine verb=Update",
        "    LineId = 1",
        "    Product = Tea",
        "    Quantity = 4",
        "    Notes = object SqlNote verb=Update",
        "      NoteId = n2",
        "      Text = black",
        "    end",
        "  end",
        "  Lines = object SqlOrderLine verb=Update",
        "    LineId = 3",
        "    Product = Pot",
        "    Quantity = 1",
        "  end",
        "  Lines = object SqlOrderLine verb=Create",
        "    LineId = 4",
        "    Product = Saucers",
        "    Quantity = 6",
        "  end",
        "  Customer = object SqlCustomer verb=Update",
        "    CustomerId = C-8",
        "    Name = Smith",
        "  end",
        "end");
    Reply u = send(after);
    Check.eq(1, u.status, "Update: " + u.error);
    ObjectDef back = retrieve("SqlOrder", "OrderId", "U1");
    Check.isTrue(back != null, "Retrieve U1");
    if (back != null) Check.eq(noVerbs(after), noVerbs(back), "stored tree is the after-image");
    Check.eq("1|4|n2\n3|1|\n4|6|", sql("SELECT l.LineId, l.Quantity, coalesce(n.NoteId, '')"
        + " FROM SqlOrderLine l LEFT JOIN SqlNote n ON n.vy_parent_key = json_array("
        + "l.vy_parent_type, l.vy_parent_attr, l.vy_parent_key, l.LineId)"
        + " WHERE l.vy_parent_key = '[\"U1\"]' ORDER BY l.vy_position"), "line rows of U1");
    Check.eq("C-8", sql("SELECT CustomerId FROM SqlCustomer WHERE vy_parent_key = '[\"U1\"]'"),
        "one customer row for U1");
    ObjectDef other = retrieve("SqlOrder", "OrderId", "U2");
    Check.isTrue(other != null && noVerbs(order("U2")).equals(noVerbs(other)), "U2 untouched");

    Check.group("Delete removes the whole tree and nothing else");
    ObjectDef del = new ObjectDef(specs.get("SqlOrder"));
    del.verb = "Delete";
    del.set("OrderId", "U1");
    Check.eq(1, send(del).status, "Delete U1");
    Check.isTrue(retrieve("SqlOrder", "OrderId", "U1") == null, "U1 is gone");
    Check.eq("0|0|0", sql("SELECT (SELECT count(*) FROM SqlOrderLine WHERE vy_root_key = '[\"U1\"]'),"
        + " (SELECT count(*) FROM SqlNote WHERE vy_root_key = '[\"U1\"]'),"
        + " (SELECT count(*) FROM SqlCustomer WHERE vy_root_key = '[\"U1\"]')"), "no child rows left");
    Check.eq("3|1", sql("SELECT (SELECT count(*) FROM SqlOrderLine), (SELECT count(*) FROM SqlNote)"),
        "U2's rows stay");
    Reply again = send(del);
    Check.eq(-1, again.status, "Delete of a missing object");
    Check.isTrue(again.error != null && again.error.contains("SqlOrder [OrderId=U1]"), again.error);
    del.verb = "Update";
    Check.eq(-1, send(del).status, "Update of a missing object");
    stop();
  }

  static void failuresLeaveNothing() throws Exception {
    Check.group("a failing statement in the middle of a tree Create leaves no row behind");
    start("failures", Map.of());
    ObjectDef bad = order("F1");
    ObjectDef.Container lines = (ObjectDef.Container) bad.get("Lines");
    lines.children.get(2).set("LineId", "1");  // the third line repeats the first's key
    String wire = ObjectWire.write(bad);
    Reply r = send(wire);
    Check.eq(-1, r.status, "Create with a duplicate child key");
    Check.isTrue(r.error != null && r.error.startsWith("SqlOrder [OrderId=F1]: Create failed: ")
        && r.error.contains("UNIQUE constraint failed"), "text: " + r.error);
    Check.eq(wire, r.bucket, "the bucket keeps the request");
    Check.eq("0|0|0|0", sql("SELECT (SELECT count(*) FROM SqlOrder), (SELECT count(*) FROM SqlOrderLine),"
        + " (SELECT count(*) FROM SqlNote), (SELECT count(*) FROM SqlCustomer)"), "no rows");
    Check.eq("0", sql("SELECT count(*) FROM vy_event"), "no events");

    Check.group("a failing Update leaves the stored tree as it was");
    Check.eq(1, send(order("F2")).status, "Create F2");
    ObjectDef upd = order("F2");
    for (ObjectDef x : upd.tree()) x.verb = "Update";
    upd.set("Status", "Changed");
    List<ObjectDef> updLines = ((ObjectDef.Container) upd.get("Lines")).children;
    updLines.get(0).set("Quantity", "99");
    for (int i = 0; i < 2; i++) {  // two new lines with the same key: the second insert fails
      ObjectDef line = new ObjectDef(specs.get("SqlOrderLine"));
      line.verb = "Create";
      line.set("LineId", "5");
      updLines.add(line);
    }
    Reply failed = send(upd);
    Check.eq(-1, failed.status, "Update with a duplicate new child key");
    Check.isTrue(failed.error != null && failed.error.contains("UNIQUE constraint failed"),
        "text: " + failed.error);
    ObjectDef back = retrieve("SqlOrder", "OrderId", "F2");
    Check.isTrue(back != null && noVerbs(order("F2")).equals(noVerbs(back)), "F2 unchanged: " + back);
    stop();
  }

  /** Keys that are SQL, blanks around a value, and a number that must stay text. */
  public static final String[] HOSTILE_KEYS = {"k'1\"; DROP TABLE \"Select\"; --", "  padded  ", "007"};

  /**
   * A Create of the keyword-named type with hostile values: SQL in values, every character from 1
   * to 0x7ff, CJK and one outside the BMP, a blank, `big` as the long text, and a child.
   */
  public static ObjectDef hostile(String key, String big) {
    StringBuilder binary = new StringBuilder();
    for (char c = 1; c < 0x800; c++) binary.append(c);
    binary.append("\uFFFD\u4E2D\uD83D\uDE00");
    ObjectDef o = new ObjectDef(specs.get("Select"));
    o.verb = "Create";
    o.set("from", key);
    o.set("where", "'; DROP TABLE \"Index\"; --");
    o.set("group by", binary.toString());
    o.set("q\"uote", ObjectDef.BLANK);
    o.set("x'y", big);
    ObjectDef.Container c = new ObjectDef.Container();
    ObjectDef child = new ObjectDef(specs.get("Index"));
    child.verb = "Create";
    child.set("order", "\"); DELETE FROM vy_event; --");
    child.set("values", "NULL");
    c.children.add(child);
    o.set("Table", c);
    return o;
  }

  static void hostileValues() throws Exception {
    Check.group("hostile values and keyword names are stored and returned exactly");
    start("hostile", Map.of());
    StringBuilder big = new StringBuilder(1 << 20);
    for (int i = 0; big.length() < (1 << 20); i++) big.append("line ").append(i).append(" 'q' \"d\";\n");
    for (String key : HOSTILE_KEYS) {
      ObjectDef o = hostile(key, big.toString());
      Reply r = send(o);
      Check.eq(1, r.status, "Create " + key + ": " + r.error);
      ObjectDef back = retrieve("Select", "from", key);
      Check.isTrue(back != null, "Retrieve by key " + key);
      if (back != null) {
        Check.eq(noVerbs(o), noVerbs(back), "round trip of " + key);
        Check.isTrue(((String) back.get("x'y")).length() >= (1 << 20), "the 1 MB value");
      }
    }
    Check.eq("3|3", sql("SELECT (SELECT count(*) FROM \"Select\"), (SELECT count(*) FROM \"Index\")"),
        "both tables hold every row");
    Check.eq("007", sql("SELECT \"from\" FROM \"Select\" WHERE typeof(\"from\") = 'text'"
        + " AND \"from\" = '007'"), "numbers stay text");
    stop();
  }

  /**
   * Sends a delta Update of the stored order `key` that sets its Status to "Paid", and checks
   * that it succeeds and that the stored tree is the order's with that Status; returns the delta.
   */
  public static ObjectDef deltaUpdate(String key) {
    ObjectDef delta = new ObjectDef(specs.get("SqlOrder"));
    delta.verb = "Update";
    delta.delta = true;
    delta.set("OrderId", key);
    delta.set("Status", "Paid");
    Reply r = send(delta);
    Check.eq(1, r.status, "delta Update: " + r.error);
    ObjectDef expected = order(key);
    expected.set("Status", "Paid");
    ObjectDef back = retrieve("SqlOrder", "OrderId", key);
    Check.isTrue(back != null && noVerbs(expected).equals(noVerbs(back)), "merged: " + back);
    return delta;
  }

  static void deltaUpdates() throws Exception {
    for (String answer : new String[] {null, "true"}) {
      Check.group("a delta Update, delta support " + answer);
      start("delta" + answer, Map.of());
      if (answer != null) BusObjNativeInterface.setDeltaSupportAnswer("SqlOrder", answer);
      Check.eq(1, send(order("D1")).status, "Create D1");
      ObjectDef delta = deltaUpdate("D1");
      delta.set("OrderId", "D9");
      Check.eq(-1, send(delta).status, "delta Update of a missing object");
      stop();
      BusObjNativeInterface.setDeltaSupportAnswer("SqlOrder", "false");
    }
  }

  // ---- events ----

  public static List<ObjectDef> events() {
    List<ObjectDef> out = new ArrayList<>();
    for (String w : agent.getEvents()) out.add(ObjectWire.read(w, specs));
    return out;
  }

  /** One n_poll, answered 0, after which the events the agent holds read as `expected`. */
  static void pollDelivers(String expected, String what) {
    Check.eq(0, agent.n_poll(), "poll: " + what);
    Check.eq(expected, describe(events()), what);
  }

  public static String describe(List<ObjectDef> events) {
    StringBuilder sb = new StringBuilder();
    for (ObjectDef e : events) {
      String key = e.spec.name.equals("SqlOrder") ? (String) e.get("OrderId") : (String) e.get("CustomerId");
      sb.append(e.spec.name).append(' ').append(e.verb).append(' ').append(key);
      if (e.spec.name.equals("SqlOrder")) sb.append(' ').append(e.get("Status"));
      sb.append(';');
    }
    return sb.toString();
  }

  static void eventDelivery() throws Exception {
    Check.group("events of the connector's own writes and of another process, in order, once");
    start("events", Map.of());
    Check.eq(1, send(order("E0")).status, "Create E0 (prepares the tables)");
    agent.n_SubscribeTo("SqlOrder", null, 0);
    pollDelivers("SqlOrder Create E0 Open;", "the Create of E0");
    ObjectDef e0 = events().get(0);
    Check.eq(3, ((ObjectDef.Container) e0.get("Lines")).children.size(), "delivered with its tree");
    agent.clearRecords();

    sql("INSERT INTO SqlOrder (OrderId, Status) VALUES ('E1', 'New');");
    pollDelivers("SqlOrder Create E1 New;", "an insert by sqlite3");
    agent.clearRecords();
    sql("UPDATE SqlOrder SET Status = 'Paid' WHERE OrderId = 'E1';"
        + "INSERT INTO SqlOrder (OrderId, Status) VALUES ('E2', 'New');"
        + "DELETE FROM SqlOrder WHERE OrderId = 'E1';"
        + "INSERT INTO SqlOrderLine (vy_parent_type, vy_parent_attr, vy_parent_key, vy_root_type,"
        + " vy_root_key, LineId) VALUES ('SqlOrder', 'Lines', '[\"E0\"]', 'SqlOrder', '[\"E0\"]', '9');");
    Check.eq(0, agent.n_poll(), "poll");
    // E1 was deleted before the poll: its Update carries its keys only.
    Check.eq("SqlOrder Update E1 null;SqlOrder Create E2 New;SqlOrder Delete E1 null;"
        + "SqlOrder Update E0 Open;", describe(events()), "update, insert, delete, child insert");
    List<ObjectDef> ev = events();
    if (ev.size() == 4) {
      Check.eq(4, ((ObjectDef.Container) ev.get(3).get("Lines")).children.size(),
          "the child insert shows in E0's tree");
    }
    agent.clearRecords();
    Check.eq(0, agent.n_poll(), "poll");
    Check.eq(0, agent.getEvents().size(), "each event delivered once");
    Check.eq("0", sql("SELECT count(*) FROM vy_event"), "nothing pending");

    Check.group("events nobody subscribes to are kept, not lost, and do not block others");
    ObjectDef cust = new ObjectDef(specs.get("SqlCustomer"));
    cust.verb = "Create";
    cust.set("CustomerId", "K1");
    Check.eq(1, send(cust).status, "Create a top-level SqlCustomer");
    sql("INSERT INTO SqlOrder (OrderId, Status) VALUES ('E3', 'New');");
    pollDelivers("SqlOrder Create E3 New;", "only the subscribed one");
    Check.eq("SqlCustomer|Create", sql("SELECT type, verb FROM vy_event"), "the other is pending");
    agent.clearRecords();
    agent.n_SubscribeTo("SqlCustomer", "Create", 0);
    pollDelivers("SqlCustomer Create K1;", "delivered once subscribed");
    stop();
  }

  static void pollQuantityAndRefusal() throws Exception {
    Check.group("PollQuantity events per poll, in order; a refused event is delivered again");
    start("quantity", Map.of("PollQuantity", "2"));
    Check.eq(1, send(order("Q0")).status, "Create Q0");
    sql("DELETE FROM vy_event;"
        + "INSERT INTO SqlOrder (OrderId) VALUES ('Q1'), ('Q2'), ('Q3'), ('Q4'), ('Q5');");
    agent.n_SubscribeTo("SqlOrder", "Create", 0);
    int[] expected = {2, 4, 5, 5};
    for (int i = 0; i < expected.length; i++) {
      Check.eq(0, agent.n_poll(), "poll " + (i + 1));
      Check.eq(expected[i], agent.getEvents().size(), "events after poll " + (i + 1));
    }
    Check.eq("SqlOrder Create Q1 null;SqlOrder Create Q2 null;SqlOrder Create Q3 null;"
        + "SqlOrder Create Q4 null;SqlOrder Create Q5 null;", describe(events()), "in order");
    agent.clearRecords();
    sql("INSERT INTO SqlOrder (OrderId) VALUES ('R1'), ('R2');");
    agent.setEventAnswer(-1);
    pollDelivers("SqlOrder Create R1 null;", "the agent refuses: the poll stops");
    Check.eq("2", sql("SELECT count(*) FROM vy_event WHERE taken = 0"), "both still pending");
    agent.clearRecords();
    agent.setEventAnswer(1);
    pollDelivers("SqlOrder Create R1 null;SqlOrder Create R2 null;", "delivered");
    stop();
  }

  // ---- threads ----

  static void threads() throws Exception {
    Check.group("several agent threads with the polling thread raising events");
    start("threads", Map.of("PollQuantity", "7"));
    agent.n_SubscribeTo("SqlOrder", null, 0);
    final int threads = 4;
    final int perThread = 40;
    AtomicInteger failures = new AtomicInteger();
    List<String> errors = java.util.Collections.synchronizedList(new ArrayList<>());
    AtomicBoolean stopPolling = new AtomicBoolean();
    Thread poller = new Thread(() -> {
      while (!stopPolling.get()) {
        if (agent.n_poll() != 0) failures.incrementAndGet();
      }
    });
    poller.start();
    List<Thread> workers = new ArrayList<>();
    for (int t = 0; t < threads; t++) {
      final int id = t;
      Thread w = new Thread(() -> {
        for (int i = 0; i < perThread; i++) {
          String key = "T" + id + "-" + i;
          Reply c = send(order(key));
          ObjectDef upd = order(key);
          for (ObjectDef x : upd.tree()) x.verb = "Update";
          upd.set("Status", "Done");
          ((ObjectDef.Container) upd.get("Lines")).children.remove(0);
          Reply u = send(upd);
          ObjectDef back = retrieve("SqlOrder", "OrderId", key);
          if (c.status != 1 || u.status != 1 || back == null || !noVerbs(upd).equals(noVerbs(back))) {
            failures.incrementAndGet();
            errors.add(key + ": " + c.error + " / " + u.error);
          }
        }
      });
      workers.add(w);
      w.start();
    }
    for (Thread w : workers) w.join();
    stopPolling.set(true);
    poller.join();
    for (int i = 0; i < 100 && !sql("SELECT count(*) FROM vy_event").equals("0"); i++) agent.n_poll();
    Check.eq(0, failures.get(), "every verb and poll succeeded: " + errors);
    Map<String, String> perKey = new HashMap<>();
    for (ObjectDef e : events()) perKey.merge((String) e.get("OrderId"), e.verb, (a, b) -> a + "," + b);
    Check.eq(threads * perThread, perKey.size(), "events for every object");
    long wrong = perKey.values().stream().filter(v -> !v.equals("Create,Update")).count();
    Check.eq(0L, wrong, "each object: one Create, then one Update: " + perKey);
    stop();
  }
}
