package sqlite;

import static sqlite.SqliteConnectorTest.agent;
import static sqlite.SqliteConnectorTest.noVerbs;
import static sqlite.SqliteConnectorTest.specs;
import static sqlite.SqliteConnectorTest.sql;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import java.io.IOException;
import java.lang.management.ManagementFactory;
import java.nio.ByteBuffer;
import java.nio.channels.FileChannel;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardOpenOption;
import java.util.ArrayList;
import java.util.Base64;
import java.util.HashMap;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Random;
import vyagent.ObjectDef;
import vyagent.ObjectWire;
import vytest.Check;
import vytest.TempDir;

/**
 * libSqliteConnector killed with SIGKILL in the middle of a load, then started again.
 *
 * A child JVM runs Creates and Updates of whole trees on two agent threads through the real
 * agent classes, with a polling thread taking the events meanwhile, and keeps a log: "S" with the
 * tree before a request is sent, "A" with it once the request answered 1 and "E" for an event
 * before it is accepted, the last two forced to disk before the load goes on. The parent kills
 * the child at a random point (SIGKILL, nothing runs on the way out), starts the connector on the
 * same file and checks that every answered request is in the database whole (the last answered
 * tree of every key; for a key with a request in flight, that tree or the one in flight, never a
 * mix), that no row belongs to a tree that is not there, and that the events left pending are
 * delivered, each once: with those taken before the kill they make one event per write, where
 * only the one event in hand at the kill (accepted, not yet removed) may come a second time.
 * Several rounds run on the same file: three in the short form, VY_SQLITE_KILL_ROUNDS for more.
 */
public final class SqliteCrashTest {
  static final int THREADS = 2;
  /** Line keys a tree draws from, and the most notes under a line: about 30 rows a tree. */
  static final int LINES = 12;
  static final int NOTES = 4;
  /** Orders the rounds before the current one left in the database. */
  static int created;

  public static void main(String[] args) throws Exception {
    if (args.length > 0 && args[0].equals("load")) {
      load(Path.of(args[1]), Path.of(args[2]), args[3], Long.parseLong(args[4]));
      return;
    }
    String env = System.getenv("VY_SQLITE_KILL_ROUNDS");
    int rounds = env != null ? Integer.parseInt(env) : 3;
    try (TempDir scratch = new TempDir("vy-sqlite-crash")) {
      SqliteConnectorTest.dir = scratch.path;
      run(rounds);
    }
    Check.finish();
  }

  // ---- the child: a load that logs what the connector answered ----

  static FileChannel log;

  /**
   * One log line, written with one write call (no buffer in this process, so a kill cannot lose
   * it); an answer is also forced to disk before the load goes on.
   */
  static synchronized void record(String kind, String key, String wire) throws IOException {
    String line = kind + " " + key + " "
        + Base64.getEncoder().encodeToString(wire.getBytes(StandardCharsets.UTF_8)) + "\n";
    log.write(ByteBuffer.wrap(line.getBytes(StandardCharsets.UTF_8)));
    if (!kind.equals("S")) log.force(false);
  }

  static void load(Path db, Path logFile, String round, long seed) throws Exception {
    log = FileChannel.open(logFile, StandardOpenOption.CREATE, StandardOpenOption.WRITE,
        StandardOpenOption.APPEND);
    BusObjNativeInterface.setProperty("ConnectorName", "SqliteCrash");
    BusObjNativeInterface.setProperty("DatabasePath", db.toString());
    BusObjNativeInterface.loadConnector("SqliteConnector");
    BusObjNativeInterface child = new BusObjNativeInterface();
    child.setRecording(false);
    if (child.n_init("4.1.0", "libSqliteConnector.so") != 0) {
      throw new IllegalStateException("n_init failed");
    }
    for (var s : specs.all()) child.n_gotBusObjSpec(s.toWire());
    // Events are taken while the load runs; each is logged (and forced) before it is accepted.
    child.setEventListener(wire -> {
      ObjectDef e = ObjectWire.read(wire, specs);
      try {
        record("E", (String) e.get("OrderId"), e.verb);
      } catch (IOException ex) {
        return -1;
      }
      return 1;
    });
    child.n_SubscribeTo("SqlOrder", null, 0);
    Thread poller = new Thread(() -> {
      while (true) {
        if (child.n_poll() != 0) {
          System.out.println("[FAIL ] the load: a poll failed");
          System.exit(3);
        }
        try {
          Thread.sleep(2);
        } catch (InterruptedException e) {
          return;
        }
      }
    });
    poller.setDaemon(true);
    poller.start();
    List<Thread> threads = new ArrayList<>();
    for (int t = 0; t < THREADS; t++) {
      final int id = t;
      Thread thread = new Thread(() -> {
        Random rnd = new Random(seed * 31 + id);
        Map<String, ObjectDef> stored = new HashMap<>();
        List<String> keys = new ArrayList<>();
        try {
          for (int seq = 0;; seq++) {
            boolean create = keys.isEmpty() || rnd.nextInt(5) < 3;
            String key = create ? round + "-" + id + "-" + keys.size()
                : keys.get(rnd.nextInt(keys.size()));
            ObjectDef o = tree(key, "S" + seq, rnd, create ? null : stored.get(key));
            String wire = ObjectWire.write(o);
            record("S", key, wire);
            StringBucket bucket = new StringBucket(wire);
            ReturnStatusDescriptor status = new ReturnStatusDescriptor();
            int answer = child.n_DoVerbFor(bucket, false, status);
            if (answer != 1) {
              System.out.println("[FAIL ] the load: " + key + ": " + status.getErrorString());
              System.exit(3);
            }
            record("A", key, wire);
            if (create) keys.add(key);
            stored.put(key, o);
          }
        } catch (IOException e) {
          throw new RuntimeException(e);
        }
      });
      threads.add(thread);
      thread.start();
    }
    for (Thread t : threads) t.join();  // never: the parent kills this process
  }

  /**
   * A random tree of `key`: lines from a small set of keys (so an Update creates, changes and
   * deletes children), notes under some lines, a customer. `before` is the stored tree an Update
   * replaces (null for a Create); children it holds are sent as "Update", new ones as "Create".
   */
  static ObjectDef tree(String key, String status, Random rnd, ObjectDef before) {
    java.util.Set<String> oldLines = new java.util.HashSet<>();
    if (before != null) {
      for (ObjectDef l : ((ObjectDef.Container) before.get("Lines")).children) {
        oldLines.add((String) l.get("LineId"));
      }
    }
    ObjectDef o = new ObjectDef(specs.get("SqlOrder"));
    o.verb = before == null ? "Create" : "Update";
    o.set("OrderId", key);
    o.set("Status", status);
    o.set("Total", rnd.nextInt(100000) / 100.0 + "");
    ObjectDef.Container lines = new ObjectDef.Container();
    for (int l = 1; l <= LINES; l++) {
      if (rnd.nextInt(3) == 0 && !(l == LINES && lines.children.isEmpty())) continue;
      ObjectDef line = new ObjectDef(specs.get("SqlOrderLine"));
      line.verb = oldLines.contains("" + l) ? "Update" : "Create";
      line.set("LineId", "" + l);
      line.set("Product", "p" + rnd.nextInt(1000) + " " + status);
      line.set("Quantity", "" + rnd.nextInt(50));
      ObjectDef.Container notes = new ObjectDef.Container();
      for (int n = rnd.nextInt(NOTES + 1); n > 0; n--) {
        ObjectDef note = new ObjectDef(specs.get("SqlNote"));
        note.verb = line.verb;
        note.set("NoteId", "n" + n);
        note.set("Text", "note " + rnd.nextInt(1000) + " of " + status);
        notes.children.add(note);
      }
      if (!notes.children.isEmpty()) line.set("Notes", notes);
      lines.children.add(line);
    }
    o.set("Lines", lines);
    ObjectDef customer = new ObjectDef(specs.get("SqlCustomer"));
    customer.verb = before == null ? "Create" : "Update";
    customer.set("CustomerId", "C" + rnd.nextInt(3));
    customer.set("Name", "name " + status);
    o.set("Customer", customer);
    return o;
  }

  // ---- the parent: kill, start again, check ----

  /** What the log says of one key. */
  static final class KeyLog {
    ObjectDef acked;       // the last tree answered 1
    ObjectDef inFlight;    // a tree sent after it and never answered
    int ackedWrites;       // requests answered 1
    List<String> delivered = new ArrayList<>();  // the verbs of its events the load accepted
  }

  static Map<String, KeyLog> readLog(Path logFile, String round) throws IOException {
    Map<String, KeyLog> keys = new LinkedHashMap<>();
    String text = Files.readString(logFile);
    int end = text.lastIndexOf('\n');  // a line the kill cut short is not a record
    if (end < 0) return keys;
    for (String line : text.substring(0, end).split("\n")) {
      String[] f = line.split(" ");
      if (!f[1].startsWith(round + "-")) continue;
      KeyLog k = keys.computeIfAbsent(f[1], x -> new KeyLog());
      String data = new String(Base64.getDecoder().decode(f[2]), StandardCharsets.UTF_8);
      if (f[0].equals("E")) {
        k.delivered.add(data);
        continue;
      }
      ObjectDef o = noVerbs(ObjectWire.read(data, specs));
      if (f[0].equals("S")) {
        k.inFlight = o;
      } else {
        k.acked = o;
        k.inFlight = null;
        k.ackedWrites++;
      }
    }
    return keys;
  }

  static long ackedLines(Path logFile) throws IOException {
    if (!Files.exists(logFile)) return 0;
    return Files.readAllLines(logFile).stream().filter(l -> l.startsWith("A ")).count();
  }

  static void run(int rounds) throws Exception {
    Path db = SqliteConnectorTest.dir.resolve("crash.db");
    Path logFile = SqliteConnectorTest.dir.resolve("answered.log");
    Random rnd = new Random();
    long seed = rnd.nextLong();
    System.out.println("seed " + seed);
    rnd = new Random(seed);
    int answered = 0;
    int eventsDelivered = 0;
    int duplicates = 0;
    int eventsBefore = 0;
    for (int r = 0; r < rounds; r++) {
      String round = "R" + r;
      Check.group("round " + r + ": a load of Creates and Updates killed with SIGKILL");
      long before = ackedLines(logFile);
      long target = before + 20 + rnd.nextInt(80);
      List<String> cmd = new ArrayList<>();
      cmd.add(ProcessHandle.current().info().command().orElse("java"));
      cmd.addAll(ManagementFactory.getRuntimeMXBean().getInputArguments());
      cmd.addAll(List.of("-cp", System.getProperty("java.class.path"),
          SqliteCrashTest.class.getName(), "load", db.toString(), logFile.toString(), round,
          Long.toString(rnd.nextLong())));
      Process child = new ProcessBuilder(cmd).inheritIO().start();
      while (child.isAlive() && ackedLines(logFile) < target) Thread.sleep(5);
      Thread.sleep(rnd.nextInt(20));
      boolean alive = child.isAlive();
      child.destroyForcibly();  // SIGKILL
      int exit = child.waitFor();
      Check.isTrue(alive, "the load was still running when it was killed (exit " + exit + ")");
      Check.eq(137, exit, "killed by SIGKILL");

      Check.group("round " + r + ": started again, every answered request is stored whole");
      SqliteConnectorTest.start("crash", Map.of());
      Map<String, KeyLog> keys = readLog(logFile, round);
      int inFlight = 0;
      Map<String, Integer> expectedEvents = new HashMap<>();
      for (Map.Entry<String, KeyLog> e : keys.entrySet()) {
        KeyLog k = e.getValue();
        answered += k.ackedWrites;
        ObjectDef back = SqliteConnectorTest.retrieve("SqlOrder", "OrderId", e.getKey());
        if (back != null) noVerbs(back);
        int writes = k.ackedWrites;
        if (k.inFlight != null) {
          inFlight++;
          boolean asBefore = k.acked == null ? back == null : k.acked.equals(back);
          boolean asSent = k.inFlight.equals(back);
          Check.isTrue(asBefore || asSent, e.getKey() + " (in flight at the kill) holds the tree"
              + " answered before or the one in flight, whole: " + back);
          if (asSent) writes++;
        } else {
          Check.isTrue(k.acked.equals(back), e.getKey() + " holds its last answered tree: " + back);
        }
        if (writes > 0) expectedEvents.put(e.getKey(), writes);
      }
      Check.isTrue(inFlight <= THREADS, "at most one request in flight per thread: " + inFlight);
      Check.eq(String.valueOf(expectedEvents.size() + created),
          sql("SELECT count(*) FROM SqlOrder"), "no other order rows");
      for (String table : new String[] {"SqlOrderLine", "SqlNote", "SqlCustomer"}) {
        Check.eq("0", sql("SELECT count(*) FROM " + table + " WHERE vy_root_key NOT IN"
            + " (SELECT json_array(OrderId) FROM SqlOrder)"), "no " + table + " row outside a tree");
      }
      Check.eq("0", sql("SELECT count(*) FROM SqlNote n WHERE NOT EXISTS (SELECT 1 FROM"
          + " SqlOrderLine l WHERE n.vy_parent_key = json_array(l.vy_parent_type,"
          + " l.vy_parent_attr, l.vy_parent_key, l.LineId))"), "no note without its line");

      Check.group("round " + r + ": the pending events are delivered, each once");
      agent.n_SubscribeTo("SqlOrder", null, 0);
      for (int i = 0; i < 1000 && !sql("SELECT count(*) FROM vy_event").equals("0"); i++) {
        Check.eq(0, agent.n_poll(), "poll");
      }
      Check.eq("0", sql("SELECT count(*) FROM vy_event"), "nothing left pending");
      Check.eq(0, agent.n_poll(), "a last poll");
      Map<String, List<String>> after = new HashMap<>();
      for (String w : agent.getEvents()) {
        ObjectDef ev = ObjectWire.read(w, specs);
        after.computeIfAbsent((String) ev.get("OrderId"), x -> new ArrayList<>()).add(ev.verb);
        eventsDelivered++;
      }
      // A Create and every Update of the top-level row raise an event of their own. The events
      // accepted before the kill and those delivered now make up exactly that sequence, except
      // that the one event being handed over at the kill (accepted, not yet removed) comes again.
      int twice = 0;
      for (Map.Entry<String, KeyLog> e : keys.entrySet()) {
        int writes = expectedEvents.getOrDefault(e.getKey(), 0);
        List<String> expected = new ArrayList<>();
        for (int i = 0; i < writes; i++) expected.add(i == 0 ? "Create" : "Update");
        List<String> taken = e.getValue().delivered;
        List<String> now = after.getOrDefault(e.getKey(), List.of());
        List<String> all = new ArrayList<>(taken);
        all.addAll(now);
        if (!all.equals(expected) && !taken.isEmpty() && !now.isEmpty()
            && now.get(0).equals(taken.get(taken.size() - 1))) {
          all.remove(taken.size());
          twice++;
        }
        Check.eq(expected, all, e.getKey() + ": one event per answered write, in order");
        after.remove(e.getKey());
      }
      Check.isTrue(after.isEmpty(), "no events of other keys: " + after.keySet());
      Check.isTrue(twice <= 1, "only the event in hand at the kill comes twice: " + twice);
      duplicates += twice;
      SqliteConnectorTest.stop();
      System.out.println("round " + r + ": " + (ackedLines(logFile) - before)
          + " requests answered before the kill, " + inFlight + " in flight, "
          + agent.getEvents().size() + " events delivered after the restart");
      eventsBefore += keys.values().stream().mapToInt(k -> k.delivered.size()).sum();
      created += expectedEvents.size();
    }
    System.out.println("figures: " + rounds + " kills, " + answered + " requests answered 1"
        + " before a kill, all found whole; " + eventsBefore + " events taken before the kills, "
        + eventsDelivered + " after the restarts, " + duplicates + " delivered again (in hand at"
        + " the kill)");
  }
}
