package vyagent;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import java.io.PrintStream;
import java.util.ArrayList;
import java.util.HashMap;
import java.util.List;
import java.util.Locale;
import java.util.Map;
import java.util.SplittableRandom;
import java.util.TreeMap;
import java.util.concurrent.CountDownLatch;
import java.util.concurrent.atomic.AtomicLong;
import java.util.concurrent.atomic.LongAdder;

/**
 * A load: agent threads sending the mix through n_DoVerbFor while a polling thread calls n_poll,
 * after the seeds and an optional warm-up. Statuses, error texts and latencies are counted per
 * thread and merged into the result at the end.
 */
record LoadRun(DriverOptions opt, BusObjNativeInterface agent, PrintStream out,
    LoadRequests requests) {

  void run(LoadDriver.Result r) {
    long firstNumber = 0;
    for (String seed : requests.seeds) {
      int s = agent.n_DoVerbFor(new StringBucket(seed), false, new ReturnStatusDescriptor());
      r.seedStatuses.merge(s, 1L, Long::sum);
      r.seeded++;
    }
    Poller poller = opt.pollMs > 0 ? new Poller() : null;
    if (poller != null) poller.start();
    if (opt.warmup > 0 && opt.threads > 0) {
      LoadDriver.Result ignored = new LoadDriver.Result();
      // The measured run numbers its requests on from where the warm-up stopped, so a Create
      // never repeats a key the warm-up already stored.
      firstNumber = phase(ignored, 0, opt.warmup, false, 0);
      r.warmupSent = ignored.sent;
    }
    if (poller != null) poller.restart();
    if (opt.threads == 0) {
      watch(r);
    } else {
      phase(r, opt.requests, opt.duration, opt.progress && System.console() != null, firstNumber);
    }
    if (poller != null) {
      poller.finish();
      r.polls = poller.polls.get();
      r.pollFailures = poller.failures.get();
    }
  }

  /** No agent thread: the polling thread alone runs for the duration. */
  private void watch(LoadDriver.Result r) {
    long start = System.nanoTime();
    long deadline = start + (long) (opt.duration * 1e9);
    long left;
    while ((left = deadline - System.nanoTime()) > 0) {
      try {
        Thread.sleep(Math.max(1, Math.min(250, left / 1_000_000)));
      } catch (InterruptedException e) {
        break;
      }
    }
    r.seconds = (System.nanoTime() - start) / 1e9;
  }

  /** The polling thread; its counts start again when the measured run starts. */
  private final class Poller extends Thread {
    final AtomicLong polls = new AtomicLong();
    final AtomicLong failures = new AtomicLong();
    volatile boolean stop;

    Poller() {
      super("vyagent-poll");
      setDaemon(true);
    }

    @Override
    public void run() {
      while (!stop) {
        int p = agent.n_poll();
        polls.incrementAndGet();
        if (p != 0) failures.incrementAndGet();
        try {
          Thread.sleep(opt.pollMs);
        } catch (InterruptedException e) {
          return;
        }
      }
    }

    void restart() {
      polls.set(0);
      failures.set(0);
    }

    void finish() {
      stop = true;
      interrupt();
      try {
        join();
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
      }
    }
  }

  private final class Worker extends Thread {
    final int id;
    final LatencyHistogram hist = new LatencyHistogram();
    final List<Map<Integer, long[]>> counts = new ArrayList<>();
    final ErrorTally errors = new ErrorTally();
    final SplittableRandom random;
    final CountDownLatch gate;
    final AtomicLong issued;
    final long limit;
    final LongAdder done;
    volatile boolean stop;
    long exceptions;
    long sent;
    long endedAt;
    /** This thread's request number; numbers are unique over the run and its warm-up. */
    long n;

    Worker(int id, CountDownLatch gate, AtomicLong issued, long limit, LongAdder done, long first) {
      super("vyagent-" + id);
      this.id = id;
      this.gate = gate;
      this.issued = issued;
      this.limit = limit;
      this.done = done;
      this.n = first;
      this.random = new SplittableRandom(System.nanoTime() * 31 + id);
      for (int i = 0; i < requests.verbs.length; i++) counts.add(new HashMap<>());
    }

    @Override
    public void run() {
      try {
        gate.await();
      } catch (InterruptedException e) {
        return;
      }
      int total = requests.totalWeight();
      while (!stop && (limit <= 0 || issued.getAndIncrement() < limit)) {
        int v = requests.pick(random.nextInt(total));
        // Unique over the whole run: each thread takes every threads-th number.
        long unique = n * opt.threads + id + 1;
        StringBucket bucket = new StringBucket(requests.text(v, n++, unique));
        ReturnStatusDescriptor status = new ReturnStatusDescriptor();
        int result;
        long t0 = System.nanoTime();
        try {
          result = agent.n_DoVerbFor(bucket, false, status);
        } catch (RuntimeException | Error e) {
          exceptions++;
          errors.add(ErrorTally.EXCEPTION, e.toString());
          continue;
        } finally {
          hist.record(System.nanoTime() - t0);
          sent++;
          done.increment();
        }
        counts.get(v).computeIfAbsent(result, k -> new long[1])[0]++;
        String err = status.getErrorString();
        if (err != null) errors.add(result, err);
      }
      endedAt = System.nanoTime();
    }
  }

  /** Runs one phase; answers the first request number no thread of it has used. */
  private long phase(
      LoadDriver.Result r, long limit, double seconds, boolean progress, long firstNumber) {
    CountDownLatch gate = new CountDownLatch(1);
    AtomicLong issued = new AtomicLong();
    LongAdder done = new LongAdder();
    List<Worker> workers = new ArrayList<>();
    for (int i = 0; i < opt.threads; i++) {
      Worker w = new Worker(i, gate, issued, limit, done, firstNumber);
      w.start();
      workers.add(w);
    }
    long start = System.nanoTime();
    gate.countDown();
    long deadline = start + (long) (seconds * 1e9);
    boolean shown = false;
    while (workers.stream().anyMatch(Thread::isAlive)) {
      long now = System.nanoTime();
      if (limit <= 0 && now >= deadline) workers.forEach(w -> w.stop = true);
      if (progress && now - start > 1_000_000_000L) {
        double el = (now - start) / 1e9;
        long d = done.sum();
        out.printf(Locale.ROOT, "\r  %6.1f s  %,12d requests  %,10.0f req/s   ", el, d, d / el);
        out.flush();
        shown = true;
      }
      try {
        long left = limit <= 0 ? (deadline - System.nanoTime()) / 1_000_000 : 250;
        Thread.sleep(Math.max(1, Math.min(250, left)));
      } catch (InterruptedException e) {
        workers.forEach(w -> w.stop = true);
      }
    }
    for (Worker w : workers) {
      try {
        w.join();
      } catch (InterruptedException e) {
        Thread.currentThread().interrupt();
      }
    }
    // From the start to the end of the last call, however late this thread noticed it.
    long end = start;
    for (Worker w : workers) end = Math.max(end, w.endedAt);
    r.seconds = (end - start) / 1e9;
    if (shown) {
      out.print("\r" + " ".repeat(60) + "\r");
      out.flush();
    }
    for (Worker w : workers) {
      r.sent += w.sent;
      r.exceptions += w.exceptions;
      r.latency.add(w.hist);
      for (int v = 0; v < requests.verbs.length; v++) {
        TreeMap<Integer, Long> perVerb =
            r.byVerb.computeIfAbsent(requests.verbs[v], k -> new TreeMap<>());
        for (Map.Entry<Integer, long[]> e : w.counts.get(v).entrySet()) {
          perVerb.merge(e.getKey(), e.getValue()[0], Long::sum);
          r.byStatus.merge(e.getKey(), e.getValue()[0], Long::sum);
        }
      }
      r.errors.addAll(w.errors);
    }
    long next = firstNumber;
    for (Worker w : workers) next = Math.max(next, w.n);
    return next;
  }
}
