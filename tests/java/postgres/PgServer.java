package postgres;

import java.io.IOException;
import java.io.OutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.Comparator;
import java.util.List;
import java.util.stream.Stream;

/**
 * A real PostgreSQL server of the test's own, in a scratch folder, through
 * connectors/postgres/example/scratch-server.sh (initdb and pg_ctl as the postgres user when run
 * as root), stopped and removed by close() even when the test fails. Without the PostgreSQL
 * binaries the test fails, saying how to install them; only with VY_ALLOW_NO_POSTGRES=1 it is
 * skipped instead (exit status 77, which CTest reports as skipped).
 */
final class PgServer implements AutoCloseable {
  static final int SKIPPED = 77;
  final Path script;
  final Path dir;
  final int port;

  private PgServer(Path script, Path dir, int port) {
    this.script = script;
    this.dir = dir;
    this.port = port;
  }

  /** Starts a server; `script` is scratch-server.sh. Exits (fails or skips) without binaries. */
  static PgServer start(Path script) throws Exception {
    Path dir = Files.createTempDirectory("vy-pg-");
    Result r = run(script.toString(), "start", dir.toString());
    if (r.exit == 2) {
      delete(dir);
      if ("1".equals(System.getenv("VY_ALLOW_NO_POSTGRES"))) {
        System.out.println("SKIPPED (VY_ALLOW_NO_POSTGRES=1): " + r.out.trim());
        System.exit(SKIPPED);
      }
      System.out.println("[FAIL ] no PostgreSQL server can be started: " + r.out.trim());
      System.exit(1);
    }
    if (r.exit != 0) {
      delete(dir);
      throw new IllegalStateException("scratch-server.sh start: exit " + r.exit + "\n" + r.out);
    }
    String[] lines = r.out.trim().split("\n");
    PgServer server = new PgServer(script, dir, Integer.parseInt(lines[lines.length - 1].trim()));
    Runtime.getRuntime().addShutdownHook(new Thread(server::stopQuietly));
    return server;
  }

  /** The agent properties that reach this server. */
  String[][] properties() {
    return new String[][] {{"Host", dir.toString()}, {"Port", Integer.toString(port)},
        {"User", "postgres"}, {"Database", "postgres"}};
  }

  void stop() throws Exception {
    control("stop");
  }

  void startAgain() throws Exception {
    // The same folder and port: "restart" of a stopped server starts it.
    control("restart");
  }

  void restart() throws Exception {
    control("restart");
  }

  private void control(String what) throws Exception {
    Result r = run(script.toString(), what, dir.toString());
    if (r.exit != 0) {
      throw new IllegalStateException("scratch-server.sh " + what + ": exit " + r.exit + "\n"
          + r.out);
    }
  }

  /** Runs SQL through psql (another client of the same server); returns its unaligned rows. */
  String sql(String statements) throws Exception {
    Result r = run(psql(), "-X", "-q", "-At", "-v", "ON_ERROR_STOP=1", "-h", dir.toString(), "-p",
        Integer.toString(port), "-U", "postgres", "-d", "postgres", "-c", statements);
    if (r.exit != 0) throw new IllegalStateException("psql: " + statements + "\n" + r.out);
    return r.out.trim();
  }

  /** A psql session kept open: statements are sent as they come; close() ends it. */
  Session session() throws IOException {
    Process p = tool(psql(), "-X", "-q", "-At", "-h", dir.toString(), "-p",
        Integer.toString(port), "-U", "postgres", "-d", "postgres")
        .redirectErrorStream(true).redirectOutput(ProcessBuilder.Redirect.DISCARD).start();
    return new Session(p);
  }

  static final class Session implements AutoCloseable {
    private final Process process;
    private final OutputStream in;

    Session(Process process) {
      this.process = process;
      this.in = process.getOutputStream();
    }

    void send(String sql) throws IOException {
      in.write((sql + "\n").getBytes(StandardCharsets.UTF_8));
      in.flush();
    }

    @Override
    public void close() throws Exception {
      in.close();
      process.waitFor();
    }
  }

  private static String psql() {
    Path bin = Path.of("/usr/lib/postgresql/15/bin/psql");
    return Files.isExecutable(bin) ? bin.toString() : "psql";
  }

  @Override
  public void close() {
    stopQuietly();
    delete(dir);
  }

  private void stopQuietly() {
    if (!Files.exists(dir)) return;  // closed already
    try {
      run(script.toString(), "stop", dir.toString());
    } catch (Exception e) {
      // already stopped
    }
  }

  static final class Result {
    int exit;
    String out;
  }

  /**
   * PostgreSQL's own programs run without what a sanitized test run preloads into this JVM: their
   * leaks are not ours to report.
   */
  static ProcessBuilder tool(String... cmd) {
    ProcessBuilder b = new ProcessBuilder(List.of(cmd));
    b.environment().remove("LD_PRELOAD");
    return b;
  }

  static Result run(String... cmd) throws IOException, InterruptedException {
    Process p = tool(cmd).redirectErrorStream(true).start();
    Result r = new Result();
    r.out = new String(p.getInputStream().readAllBytes(), StandardCharsets.UTF_8);
    r.exit = p.waitFor();
    return r;
  }

  static void delete(Path dir) {
    if (!Files.exists(dir)) return;
    try (Stream<Path> files = Files.walk(dir)) {
      List<Path> all = new ArrayList<>();
      files.sorted(Comparator.reverseOrder()).forEach(all::add);
      for (Path p : all) p.toFile().delete();
    } catch (IOException e) {
      // a scratch folder left behind is harmless
    }
  }
}
