package vyagent;

import java.util.Set;
import java.util.TreeSet;

/**
 * The statuses a request is expected to get: "ok" (1, 0 or -5), "fail" (any other) or a list of
 * numbers such as "1" or "0,1".
 */
public final class Expectation {
  public static final Expectation OK = new Expectation("ok", null, false);
  public static final Expectation FAIL = new Expectation("fail", null, true);

  private final String text;
  private final Set<Integer> statuses;
  private final boolean failure;

  private Expectation(String text, Set<Integer> statuses, boolean failure) {
    this.text = text;
    this.statuses = statuses;
    this.failure = failure;
  }

  public static Expectation parse(String text) {
    String t = text.trim();
    if (t.equals("ok")) return OK;
    if (t.equals("fail")) return FAIL;
    Set<Integer> set = new TreeSet<>();
    for (String part : t.split(",")) {
      try {
        set.add(Integer.parseInt(part.trim()));
      } catch (NumberFormatException e) {
        throw new IllegalArgumentException("expected status \"" + text
            + "\": give ok, fail or status numbers separated by commas");
      }
    }
    return new Expectation(t.replace(" ", ""), set, false);
  }

  public boolean accepts(int status) {
    if (statuses != null) return statuses.contains(status);
    return failure == Statuses.isFailure(status);
  }

  @Override
  public String toString() {
    return text;
  }
}
