package vyagent;

import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Map;

/**
 * Error texts with how often each came, per status. One tally per thread, merged at the end. The
 * number of distinct texts kept is bounded (texts that name keys may all differ); the requests
 * beyond it are counted as "other texts".
 */
public final class ErrorTally {
  static final int DISTINCT_LIMIT = 1000;
  /** The status that stands for a Java exception thrown from the native call. */
  public static final int EXCEPTION = Integer.MIN_VALUE;

  /** One error text and its count. */
  public static final class Entry {
    public final int status;
    public final String text;
    public long count;

    Entry(int status, String text) {
      this.status = status;
      this.text = text;
    }
  }

  private final Map<String, Entry> entries = new HashMap<>();
  private long others;

  public void add(int status, String text) {
    add(status, text, 1);
  }

  private void add(int status, String text, long n) {
    String k = status + "\u0000" + text;
    Entry e = entries.get(k);
    if (e == null) {
      if (entries.size() >= DISTINCT_LIMIT) {
        others += n;
        return;
      }
      e = new Entry(status, text);
      entries.put(k, e);
    }
    e.count += n;
  }

  public void addAll(ErrorTally other) {
    for (Entry e : other.entries.values()) add(e.status, e.text, e.count);
    others += other.others;
  }

  /** The n most frequent texts, the most frequent first (equal counts: by status, then text). */
  public List<Entry> top(int n) {
    List<Entry> all = new ArrayList<>(entries.values());
    all.sort((a, b) -> a.count != b.count ? Long.compare(b.count, a.count)
        : a.status != b.status ? Integer.compare(a.status, b.status) : a.text.compareTo(b.text));
    return all.subList(0, Math.min(n, all.size()));
  }

  public int distinct() {
    return entries.size();
  }

  /** Requests whose text was not kept once the distinct texts reached the limit. */
  public long others() {
    return others;
  }
}
