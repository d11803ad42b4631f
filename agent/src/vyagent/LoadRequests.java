package vyagent;

import java.io.IOException;
import java.util.ArrayList;
import java.util.List;

/**
 * The request texts of a load, built before anything is timed: per verb of the mix, a few texts
 * with different keys. A Create made from the spec gets key values of its own on every request
 * (a run tag and a counter), so a connector that keeps unique keys never sees one twice; the
 * other verbs name the keys of the pool, which the seeds create before the run.
 */
public final class LoadRequests {
  /** Request texts per verb (and seeds), each with keys of its own. */
  public static final int POOL = 16;

  final String[] verbs;
  /** Running sums of the mix weights, in the order of `verbs`. */
  final int[] cumulative;
  private final String[][] pools;
  private final KeyedText[] fresh;
  /** Create texts of the pool's objects, sent once before the run; empty when not needed. */
  final List<String> seeds = new ArrayList<>();

  LoadRequests(DriverOptions opt, Specs specs, String type) throws IOException {
    verbs = opt.mix.keySet().toArray(new String[0]);
    cumulative = new int[verbs.length];
    pools = new String[verbs.length][];
    fresh = new KeyedText[verbs.length];
    ObjectDef template = opt.objectFile != null ? ObjectText.parseFile(opt.objectFile, specs) : null;
    ObjectMaker maker = new ObjectMaker(specs, opt.children, opt.keysOnly);
    String tag = Long.toString(System.currentTimeMillis(), 36);
    long numberBase = (System.currentTimeMillis() / 1000 % 100_000) * 10_000;
    boolean needSeeds = false;
    int sum = 0;
    for (int v = 0; v < verbs.length; v++) {
      String verb = verbs[v];
      sum += opt.mix.get(verb);
      cumulative[v] = sum;
      if (template != null) {
        for (ObjectDef t : template.tree()) t.verb = verb;
        pools[v] = new String[] {ObjectWire.write(template)};
        continue;
      }
      if (verb.equals("Create")) {
        fresh[v] = KeyedText.of(maker.make(type, verb, 1), tag, numberBase);
      }
      if (fresh[v] == null) {
        needSeeds = true;
        pools[v] = new String[POOL];
        for (int i = 0; i < POOL; i++) pools[v][i] = ObjectWire.write(maker.make(type, verb, i + 1));
      }
    }
    if (needSeeds && opt.threads > 0) {
      for (int i = 0; i < POOL; i++) seeds.add(ObjectWire.write(maker.make(type, "Create", i + 1)));
    }
  }

  /** The verb index a number below the total weight picks. */
  int pick(int weight) {
    int v = 0;
    while (cumulative[v] <= weight) v++;
    return v;
  }

  int totalWeight() {
    return cumulative[cumulative.length - 1];
  }

  /** The text of request number `n` of a thread for verb `v`; `unique` is unique in the run. */
  String text(int v, long n, long unique) {
    if (fresh[v] != null) return fresh[v].render(unique);
    String[] pool = pools[v];
    return pool[(int) (n % pool.length)];
  }

  /**
   * A wire text whose top-level key fields are filled in per request. Text keys become
   * "k<run tag>-<number>" (the end of it when the attribute is shorter); number keys count up
   * from a value taken from the clock. Keys of other types keep the made value.
   */
  static final class KeyedText {
    private final String[] parts;
    private final boolean[] numeric;
    private final int[] maxLength;
    private final String tag;
    private final long numberBase;

    private KeyedText(String[] parts, boolean[] numeric, int[] maxLength, String tag, long base) {
      this.parts = parts;
      this.numeric = numeric;
      this.maxLength = maxLength;
      this.tag = tag;
      this.numberBase = base;
    }

    /** Null when the top-level object has no key it can vary. */
    static KeyedText of(ObjectDef o, String tag, long numberBase) {
      List<SpecDef.Attr> keys = new ArrayList<>();
      for (int i = 0; i < o.values.length; i++) {
        SpecDef.Attr a = o.spec.attrs.get(i);
        int t = a.typeNum();
        if (!a.key || !(t == 2 || t == 3 || t == 4 || t == 5 || t == 7)) continue;
        o.values[i] = marker(keys.size());
        keys.add(a);
      }
      if (keys.isEmpty()) return null;
      String wire = ObjectWire.write(o);
      String[] parts = new String[keys.size() + 1];
      boolean[] numeric = new boolean[keys.size()];
      int[] max = new int[keys.size()];
      int from = 0;
      for (int k = 0; k < keys.size(); k++) {
        String m = marker(k);
        String field = m.length() + String.valueOf(Wire.DELIMITER) + m;
        int at = wire.indexOf(field, from);
        parts[k] = wire.substring(from, at);
        from = at + field.length();
        int t = keys.get(k).typeNum();
        numeric[k] = t == 2 || t == 3 || t == 4;
        max[k] = Math.max(1, keys.get(k).maxLength);
      }
      parts[keys.size()] = wire.substring(from);
      return new KeyedText(parts, numeric, max, tag, numberBase);
    }

    private static String marker(int k) {
      return "\u0001key" + k + "\u0001";
    }

    String render(long unique) {
      StringBuilder sb = new StringBuilder(parts[0].length() * 2 + 64);
      for (int k = 0; k < numeric.length; k++) {
        sb.append(parts[k]);
        String v = numeric[k] ? Long.toString(numberBase + unique) : "k" + tag + "-" + unique;
        if (v.length() > maxLength[k]) v = v.substring(v.length() - maxLength[k]);
        sb.append(v.length()).append(Wire.DELIMITER).append(v);
      }
      return sb.append(parts[numeric.length]).toString();
    }
  }
}
