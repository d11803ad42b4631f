package vyagent;

/**
 * Latencies in nanoseconds, kept in log-linear buckets: exact below 128 ns, then 64 buckets per
 * doubling (under 1 % error). One writer thread; merge the per-thread histograms at the end.
 */
public final class LatencyHistogram {
  private static final int LINEAR = 128;
  private static final int SUB = 64;
  private final long[] counts = new long[LINEAR + 56 * SUB];
  private long total;
  private long max;
  private long min = Long.MAX_VALUE;
  private long sum;

  static int index(long v) {
    if (v < LINEAR) return (int) Math.max(v, 0);
    int e = 63 - Long.numberOfLeadingZeros(v);
    int s = e - 6;
    return LINEAR + (e - 7) * SUB + (int) ((v >> s) - SUB);
  }

  /** The smallest value that falls in bucket i, and the bucket width. */
  static long lower(int i) {
    if (i < LINEAR) return i;
    int e = (i - LINEAR) / SUB + 7;
    long m = (i - LINEAR) % SUB + SUB;
    return m << (e - 6);
  }

  static long width(int i) {
    if (i < LINEAR) return 1;
    return 1L << ((i - LINEAR) / SUB + 1);
  }

  public void record(long nanos) {
    counts[index(nanos)]++;
    total++;
    sum += nanos;
    if (nanos > max) max = nanos;
    if (nanos < min) min = nanos;
  }

  public void add(LatencyHistogram o) {
    for (int i = 0; i < counts.length; i++) counts[i] += o.counts[i];
    total += o.total;
    sum += o.sum;
    max = Math.max(max, o.max);
    min = Math.min(min, o.min);
  }

  public long count() {
    return total;
  }

  public long max() {
    return total == 0 ? 0 : max;
  }

  public long min() {
    return total == 0 ? 0 : min;
  }

  public double mean() {
    return total == 0 ? 0 : (double) sum / total;
  }

  /** The value at quantile q (0..1): the middle of its bucket, kept within [min, max]. */
  public long percentile(double q) {
    if (total == 0) return 0;
    long rank = (long) Math.ceil(q * total);
    if (rank < 1) rank = 1;
    long seen = 0;
    for (int i = 0; i < counts.length; i++) {
      seen += counts[i];
      if (seen >= rank) {
        long mid = lower(i) + width(i) / 2;
        return Math.max(min, Math.min(max, mid));
      }
    }
    return max;
  }
}
