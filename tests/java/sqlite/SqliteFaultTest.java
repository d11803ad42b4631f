package sqlite;

import static sqlite.SqliteConnectorTest.agent;
import static sqlite.SqliteConnectorTest.db;
import static sqlite.SqliteConnectorTest.order;
import static sqlite.SqliteConnectorTest.retrieve;
import static sqlite.SqliteConnectorTest.specs;
import static sqlite.SqliteConnectorTest.sql;

import AppSide_Connector.BusObjNativeInterface;
import java.io.File;
import java.io.OutputStream;
import java.io.RandomAccessFile;
import java.lang.management.ManagementFactory;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.nio.file.StandardCopyOption;
import java.nio.file.attribute.PosixFilePermissions;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;
import java.util.Random;
import vyagent.ObjectDef;
import vytest.Check;
import vytest.TempDir;

/**
 * libSqliteConnector when the database misbehaves: full, read-only, locked by another process
 * past the busy timeout, corrupt at start. Each fault must be answered with a failure status and
 * a text naming the cause, leave nothing half written, and the connector must serve again once
 * the cause is gone, without a restart where a restart is not needed.
 *
 * A read-only file is made with chmod, which does not stop a process that may override file
 * permissions (root). When this process may, it runs itself again under setpriv with
 * CAP_DAC_OVERRIDE and CAP_DAC_READ_SEARCH dropped, so the file modes hold for it.
 */
public final class SqliteFaultTest {
  static int requests;
  static int faults;
  static int failuresAnswered;

  public static void main(String[] args) throws Exception {
    if (!permissionsHold() && System.getenv("VY_SQLITE_NO_DAC") == null) {
      System.exit(rerunWithoutOverride(args));
    }
    try (TempDir scratch = new TempDir("vy-sqlite-fault")) {
      SqliteConnectorTest.dir = scratch.path;
      databaseFull();
      readOnlyFile();
      lockedPastBusyTimeout();
      corruptAtStart();
    }
    System.out.println("figures: " + requests + " requests, " + faults + " faults injected, "
        + failuresAnswered + " failures answered");
    Check.finish();
  }

  // ---- harness ----

  /** True when a file without write permission cannot be written by this process. */
  static boolean permissionsHold() throws Exception {
    Path probe = Files.createTempFile("vy-perm", ".probe");
    try {
      Files.setPosixFilePermissions(probe, PosixFilePermissions.fromString("r--r--r--"));
      try (OutputStream out = Files.newOutputStream(probe)) {
        return false;
      } catch (java.io.IOException denied) {
        return true;
      }
    } finally {
      Files.deleteIfExists(probe);
    }
  }

  static int rerunWithoutOverride(String[] args) throws Exception {
    List<String> cmd = new ArrayList<>(List.of("setpriv", "--bounding-set",
        "-dac_override,-dac_read_search", "--inh-caps", "-dac_override,-dac_read_search"));
    cmd.add(ProcessHandle.current().info().command().orElse("java"));
    cmd.addAll(ManagementFactory.getRuntimeMXBean().getInputArguments());
    cmd.add("-cp");
    cmd.add(System.getProperty("java.class.path"));
    cmd.add(SqliteFaultTest.class.getName());
    cmd.addAll(List.of(args));
    ProcessBuilder pb = new ProcessBuilder(cmd).inheritIO();
    pb.environment().put("VY_SQLITE_NO_DAC", "1");
    System.out.println("file modes do not bind this process: running again as " + cmd);
    try {
      return pb.start().waitFor();
    } catch (java.io.IOException noSetpriv) {
      System.out.println("[FAIL ] cannot run setpriv, so a read-only file cannot be made: "
          + noSetpriv.getMessage());
      return 1;
    }
  }

  static SqliteConnectorTest.Reply send(ObjectDef o) {
    requests++;
    return SqliteConnectorTest.send(o);
  }

  /** A request the fault must fail: -1 and a text holding every one of `causes`. */
  static void expectFailure(ObjectDef o, String what, String... causes) {
    SqliteConnectorTest.Reply r = send(o);
    Check.eq(-1, r.status, what + " fails");
    if (r.status == -1) failuresAnswered++;
    boolean named = r.error != null;
    for (String cause : causes) named = named && r.error.contains(cause);
    Check.isTrue(named, what + ": the text names the cause " + List.of(causes) + ": " + r.error);
  }

  static void expectSuccess(ObjectDef o, String what) {
    SqliteConnectorTest.Reply r = send(o);
    Check.eq(1, r.status, what + ": " + r.error);
  }

  static ObjectDef asUpdate(ObjectDef o, String status) {
    for (ObjectDef x : o.tree()) x.verb = "Update";
    o.set("Status", status);
    ObjectDef line = new ObjectDef(specs.get("SqlOrderLine"));
    line.verb = "Create";
    line.set("LineId", "added");
    line.set("Product", "x".repeat(3000));
    ((ObjectDef.Container) o.get("Lines")).children.add(line);
    return o;
  }

  /** The stored tree of `key` is exactly `expected` (null: no row of it anywhere). */
  static void storedAs(String key, ObjectDef expected, String what) throws Exception {
    ObjectDef back = retrieve("SqlOrder", "OrderId", key);
    requests++;
    if (expected == null) {
      Check.isTrue(back == null, what + ": " + key + " is absent");
      Check.eq("0|0|0|0|0", sql("SELECT (SELECT count(*) FROM SqlOrder WHERE OrderId = '" + key
          + "'), (SELECT count(*) FROM SqlOrderLine WHERE vy_root_key = '[\"" + key + "\"]'),"
          + " (SELECT count(*) FROM SqlNote WHERE vy_root_key = '[\"" + key + "\"]'),"
          + " (SELECT count(*) FROM SqlCustomer WHERE vy_root_key = '[\"" + key + "\"]'),"
          + " (SELECT count(*) FROM vy_event WHERE key = '[\"" + key + "\"]')"),
          what + ": no row or event of " + key);
    } else {
      Check.isTrue(back != null && SqliteConnectorTest.noVerbs(expected).equals(
          SqliteConnectorTest.noVerbs(back)), what + ": " + key + " is stored whole: " + back);
    }
  }

  static ObjectDef bigOrder(String key) {
    ObjectDef o = order(key);
    ((ObjectDef.Container) o.get("Lines")).children.get(0).set("Product", "p".repeat(3000));
    return o;
  }

  // ---- faults ----

  static void databaseFull() throws Exception {
    Check.group("the database full (MaxPageCount): the tree that does not fit fails whole");
    SqliteConnectorTest.start("full", Map.of("MaxPageCount", "60"));
    int created = 0;
    SqliteConnectorTest.Reply r = null;
    String failedKey = null;
    for (int i = 0; i < 400; i++) {
      r = send(bigOrder("M" + i));
      if (r.status != 1) {
        failedKey = "M" + i;
        break;
      }
      created++;
    }
    faults++;
    Check.isTrue(failedKey != null && created > 3, "the file filled after " + created + " trees");
    if (failedKey == null) return;
    failuresAnswered++;
    Check.isTrue(r.error != null && r.error.contains("SqlOrder [OrderId=" + failedKey + "]")
        && r.error.contains("full"), "the text names the cause: " + r.error);
    storedAs(failedKey, null, "the Create that did not fit");
    faults++;
    expectFailure(asUpdate(bigOrder("M0"), "Grown"), "an Update that grows M0", "full");
    for (int i = 0; i < created; i++) storedAs("M" + i, bigOrder("M" + i), "a tree stored before");

    Check.group("the database full: serving again once space is freed by another process");
    sql("DELETE FROM SqlOrderLine WHERE vy_root_key IN ('[\"M0\"]', '[\"M1\"]', '[\"M2\"]');"
        + "DELETE FROM SqlNote WHERE vy_root_key IN ('[\"M0\"]', '[\"M1\"]', '[\"M2\"]');"
        + "DELETE FROM SqlCustomer WHERE vy_root_key IN ('[\"M0\"]', '[\"M1\"]', '[\"M2\"]');"
        + "DELETE FROM SqlOrder WHERE OrderId IN ('M0', 'M1', 'M2'); DELETE FROM vy_event;");
    expectSuccess(bigOrder(failedKey), "the Create that failed, again");
    storedAs(failedKey, bigOrder(failedKey), "after the space was freed");
    expectSuccess(asUpdate(bigOrder("M3"), "Grown"), "an Update that grows M3");
    storedAs("M3", asUpdate(bigOrder("M3"), "Grown"), "the grown tree");
    SqliteConnectorTest.stop();
  }

  static void readOnlyFile() throws Exception {
    Check.group("a read-only file: Retrieves work, writes fail naming it, nothing is written");
    SqliteConnectorTest.start("readonly", Map.of());
    expectSuccess(order("R1"), "Create R1");
    expectSuccess(order("R2"), "Create R2");
    SqliteConnectorTest.stop();
    File file = db.toFile();
    Check.isTrue(file.setWritable(false, false), "chmod a-w");
    faults++;
    SqliteConnectorTest.start("readonly", Map.of());
    storedAs("R1", order("R1"), "read from the read-only file");
    expectFailure(order("R3"), "Create R3", "SqlOrder [OrderId=R3]", "readonly");
    expectFailure(asUpdate(order("R1"), "Changed"), "Update R1", "readonly");
    ObjectDef del = new ObjectDef(specs.get("SqlOrder"));
    del.verb = "Delete";
    del.set("OrderId", "R2");
    expectFailure(del, "Delete R2", "readonly");
    Check.eq(-1, agent.n_poll(), "a poll cannot take events from a read-only file");
    storedAs("R1", order("R1"), "R1 unchanged");
    storedAs("R2", order("R2"), "R2 unchanged");
    Check.eq("", sql("SELECT OrderId FROM SqlOrder WHERE OrderId = 'R3'"), "no R3 row");

    Check.group("a read-only file: writes work again once the file may be written, no restart");
    Check.isTrue(file.setWritable(true, false), "chmod a+w");
    expectSuccess(order("R3"), "Create R3");
    expectSuccess(asUpdate(order("R1"), "Changed"), "Update R1");
    storedAs("R1", asUpdate(order("R1"), "Changed"), "R1 updated");
    storedAs("R3", order("R3"), "R3 created");
    expectSuccess(del, "Delete R2");
    agent.n_SubscribeTo("SqlOrder", null, 0);
    Check.eq(0, agent.n_poll(), "poll");
    // Create and Update events carry the current tree, so R1's Create shows the new status.
    Check.eq("SqlOrder Create R1 Changed;SqlOrder Create R2 null;SqlOrder Create R3 Open;"
        + "SqlOrder Update R1 Changed;SqlOrder Delete R2 null;",
        SqliteConnectorTest.describe(SqliteConnectorTest.events()), "every event once, in order");
    SqliteConnectorTest.stop();
  }

  static void lockedPastBusyTimeout() throws Exception {
    Check.group("locked by another process past \"BusyTimeout\": writes fail naming the lock");
    SqliteConnectorTest.start("locked", Map.of("BusyTimeout", "250"));
    expectSuccess(order("L1"), "Create L1");
    Process holder = new ProcessBuilder("sqlite3", "-batch", db.toString())
        .redirectErrorStream(true).start();
    OutputStream in = holder.getOutputStream();
    // The holder says it holds the lock through a file: its standard output is buffered.
    Path marker = db.resolveSibling("lock-held");
    try {
      in.write(("BEGIN EXCLUSIVE;\nINSERT INTO vy_key_sequence VALUES ('held', 1);\n.once "
          + marker + "\nSELECT 'held';\n").getBytes(StandardCharsets.UTF_8));
      in.flush();
      for (int i = 0; i < 1000 && !Files.exists(marker); i++) Thread.sleep(10);
      Thread.sleep(50);  // the file appears before its line is written
      Check.isTrue(Files.exists(marker), "the other process holds the write lock");
      faults++;
      expectFailure(order("L2"), "Create L2", "SqlOrder [OrderId=L2]", "locked", "busy timeout");
      expectFailure(asUpdate(order("L1"), "Changed"), "Update L1", "locked");
      storedAs("L1", order("L1"), "L1 is read while the lock is held");
      agent.n_SubscribeTo("SqlOrder", null, 0);
      Check.eq(-1, agent.n_poll(), "a poll cannot take events while the lock is held");
      Check.eq(0, agent.getEvents().size(), "no event delivered");
    } finally {
      in.write("ROLLBACK;\n.quit\n".getBytes(StandardCharsets.UTF_8));
      in.close();
      Check.eq(0, holder.waitFor(), "the other process ends");
    }
    storedAs("L2", null, "the Create that was locked out");

    Check.group("locked: serving again once the lock is released");
    expectSuccess(order("L2"), "Create L2");
    expectSuccess(asUpdate(order("L1"), "Changed"), "Update L1");
    storedAs("L1", asUpdate(order("L1"), "Changed"), "L1 updated");
    storedAs("L2", order("L2"), "L2 created");
    Check.eq(0, agent.n_poll(), "poll");
    Check.eq("SqlOrder Create L1 Changed;SqlOrder Create L2 Open;SqlOrder Update L1 Changed;",
        SqliteConnectorTest.describe(SqliteConnectorTest.events()), "every event once, in order");
    SqliteConnectorTest.stop();
  }

  static String initError() {
    StringBuilder sb = new StringBuilder();
    for (BusObjNativeInterface.LogRecord l : agent.getLogs()) {
      if (l.text().contains("unusable")) sb.append(l.text());
    }
    return sb.toString();
  }

  /** n_init on the current file: its status, with the text init logged when it failed. */
  static int init(Map<String, String> extra) {
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface.setProperty("ConnectorName", "SqliteTest");
    BusObjNativeInterface.setProperty("DatabasePath", db.toString());
    extra.forEach(BusObjNativeInterface::setProperty);
    SqliteConnectorTest.agent = new BusObjNativeInterface();
    int rc = agent.n_init("4.1.0", "libSqliteConnector.so");
    for (var s : specs.all()) agent.n_gotBusObjSpec(s.toWire());
    return rc;
  }

  static void garble(long offset, int length, long seed) throws Exception {
    byte[] junk = new byte[length];
    new Random(seed).nextBytes(junk);
    try (RandomAccessFile f = new RandomAccessFile(db.toFile(), "rw")) {
      f.seek(offset);
      f.write(junk);
      f.getFD().sync();
    }
  }

  static void corruptAtStart() throws Exception {
    Check.group("corrupt at start: garbage over the header fails init with a clear text");
    SqliteConnectorTest.start("corrupt", Map.of());
    for (String k : new String[] {"C1", "C2", "C3"}) expectSuccess(bigOrder(k), "Create " + k);
    SqliteConnectorTest.stop();
    Path good = db.resolveSibling("corrupt.good");
    Files.copy(db, good, StandardCopyOption.REPLACE_EXISTING);

    garble(0, 512, 1);
    faults++;
    Check.eq(-1, init(Map.of()), "n_init on a garbled header");
    failuresAnswered++;
    Check.isTrue(initError().contains("corrupt"), "the logged text names it: " + initError());
    expectFailure(order("C4"), "Create after the failed init", "corrupt");
    Check.eq(0, agent.n_terminate(), "n_terminate");
    Files.copy(good, db, StandardCopyOption.REPLACE_EXISTING);
    Check.eq(0, init(Map.of()), "n_init once the file is sound again");
    storedAs("C1", bigOrder("C1"), "after the file was restored");
    Check.eq(0, agent.n_terminate(), "n_terminate");

    Check.group("corrupt at start: garbage over the tables, found at init or by the request");
    long pages = Files.size(db) / 4096;
    garble(2 * 4096, (int) ((pages - 2) * 4096), 2);
    faults++;
    Check.eq(-1, init(Map.of()), "n_init on garbled tables");
    failuresAnswered++;
    Check.isTrue(initError().contains("corrupt"), "the logged text names it: " + initError());
    Check.eq(0, agent.n_terminate(), "n_terminate");
    // Without the check init reads only the event table, which may or may not be garbled.
    if (init(Map.of("CheckAtStart", "false")) != 0) {
      Check.isTrue(initError().contains("corrupt"), "the logged text names the cause: "
          + initError());
    }
    ObjectDef probe = new ObjectDef(specs.get("SqlOrder"));
    probe.verb = "Retrieve";
    probe.set("OrderId", "C2");
    expectFailure(probe, "Retrieve C2 from garbled tables", "SqlOrder [OrderId=C2]", "corrupt");

    Check.group("corrupt: serving again once the file is restored, without a restart");
    Files.copy(good, db, StandardCopyOption.REPLACE_EXISTING);
    Files.deleteIfExists(db.resolveSibling(db.getFileName() + "-wal"));
    storedAs("C2", bigOrder("C2"), "the restored tree");
    expectSuccess(order("C4"), "Create C4");
    storedAs("C4", order("C4"), "C4 created");
    Check.eq(0, agent.n_terminate(), "n_terminate");
  }
}
