package vytest;

import java.util.Objects;

/**
 * A tiny assertion kit for the Java-driven tests: each failed check prints what was expected and
 * what came, and the process exits non-zero at the end of the run.
 */
public final class Check {
  private static int failures;
  private static int checks;
  private static String group = "";

  private Check() {}

  /** Names the group of checks that follow, for the report. */
  public static void group(String name) {
    group = name;
    System.out.println("[ RUN ] " + name);
  }

  public static void isTrue(boolean condition, String what) {
    checks++;
    if (!condition) fail(what);
  }

  public static void eq(Object expected, Object actual, String what) {
    checks++;
    if (!Objects.equals(expected, actual)) {
      fail(what + ": expected <" + expected + "> but was <" + actual + ">");
    }
  }

  public static void fail(String what) {
    failures++;
    System.out.println("[FAIL ] " + group + ": " + what);
    new Throwable().getStackTrace();
  }

  /** A piece of work under test, which may throw. */
  public interface Work {
    void run() throws Exception;
  }

  /**
   * Checks that `work` refuses `input` (as the report names it) with an IllegalArgumentException
   * whose message contains `part` (any message where `part` is null).
   */
  public static void refuses(String input, String part, Work work) {
    try {
      work.run();
      fail("accepted: " + input);
    } catch (IllegalArgumentException e) {
      isTrue(part == null || e.getMessage().contains(part),
          "message \"" + e.getMessage() + "\" has " + part);
    } catch (Exception e) {
      fail("refused " + input + " with " + e);
    }
  }

  /** Ends the run: exit status 0 only when every check passed. */
  public static void finish() {
    System.out.println((failures == 0 ? "[ PASS] " : "[FAILED] ") + checks + " checks, "
        + failures + " failed");
    System.exit(failures == 0 ? 0 : 1);
  }
}
