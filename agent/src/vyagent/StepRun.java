package vyagent;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import java.io.PrintStream;
import java.util.ArrayList;
import java.util.List;
import java.util.Locale;

/**
 * Requests and polls sent one at a time, in order (--request, --script): each is printed with
 * its status, error text and response, and checked against the status it is expected to get.
 */
record StepRun(BusObjNativeInterface agent, PrintStream out, Specs specs, EventWatch events) {
  /** Polls that bring new events before "poll" (until quiet) gives up. */
  static final int QUIET_LIMIT = 100;

  /** Runs every step; fills the result's step counts and the status of the last request. */
  void run(List<RequestScript.Step> steps, String title, boolean numbered, LoadDriver.Result r) {
    List<String> missed = new ArrayList<>();
    int n = 0;
    for (RequestScript.Step s : steps) {
      n++;
      if (numbered) {
        out.printf("%n%d. %s%s%n", n, s.line > 0 ? "line " + s.line + ": " : "",
            s.name != null ? s.name : s.request ? "request" : "poll");
      }
      String miss = s.request ? request(s, r) : poll(s);
      r.steps++;
      if (miss != null) {
        String label = s.name != null ? s.name : s.request ? "request" : "poll";
        String where = "step " + n + " (" + (s.line > 0 ? "line " + s.line + ", " : "") + label + ")";
        missed.add(where + ": " + miss);
      }
    }
    // Events raised by the last requests reach the agent with the next polls.
    if (events != null && !steps.isEmpty()) pollUntilQuiet();
    r.unexpected = missed.size();
    out.printf("%n%s: %d step(s), %d as expected", title, r.steps, r.steps - missed.size());
    if (missed.isEmpty()) {
      out.println();
      return;
    }
    out.printf(", %d not:%n", missed.size());
    for (String m : missed) out.println("  " + m);
  }

  /** Sends one request and prints it; returns what went against the expectation, or null. */
  private String request(RequestScript.Step s, LoadDriver.Result r) {
    ObjectDef request = s.object;
    String wire = ObjectWire.write(request);
    StringBucket bucket = new StringBucket(wire);
    ReturnStatusDescriptor status = new ReturnStatusDescriptor();
    long t0 = System.nanoTime();
    int result;
    try {
      result = agent.n_DoVerbFor(bucket, false, status);
    } catch (RuntimeException | Error e) {
      out.printf("Request  %s %s: Java exception from n_DoVerbFor: %s; expected %s: NOT as expected%n",
          request.spec.name, request.verb == null ? "(no verb)" : request.verb, e, s.expect);
      return "Java exception " + e;
    }
    long t1 = System.nanoTime();
    r.requestStatus = result;
    r.responseText = bucket.content;
    boolean asExpected = s.expect.accepts(result);
    out.printf(Locale.ROOT, "Request  %s %s: status %d (%s) in %.1f us; expected %s: %s%n",
        request.spec.name, request.verb == null ? "(no verb)" : request.verb, result,
        Statuses.meaning(result), (t1 - t0) / 1000.0, s.expect,
        asExpected ? "as expected" : "NOT as expected");
    if (status.getErrorString() != null) out.println("Error text: " + status.getErrorString());
    describeResponse(result, wire, bucket.content);
    return asExpected ? null : "status " + result + ", expected " + s.expect;
  }

  /**
   * What the connector handed back. The agent reads the bucket only for 1 and -5, so for other
   * statuses its content is shown only when the connector changed it anyway.
   */
  private void describeResponse(int result, String sent, String after) {
    boolean same = sent.equals(after);
    if (Statuses.returnsObject(result)) {
      if (same) {
        out.println("Returned object: the request unchanged.");
        return;
      }
      out.println("Returned object:");
    } else {
      if (same || after == null) {
        out.println("No object returned (the bucket still holds the request).");
        return;
      }
      out.println("No object returned by this status, yet the connector changed the bucket to:");
    }
    if (after == null) {
      out.println("  (null)");
      return;
    }
    try {
      out.print(ObjectText.format(ObjectWire.read(after, specs)));
    } catch (IllegalArgumentException e) {
      out.println("(not readable: " + e.getMessage() + ")");
      out.println(Wire.show(after));
    }
  }

  private String poll(RequestScript.Step s) {
    long before = events == null ? 0 : events.received();
    int calls = 0;
    List<Integer> bad = new ArrayList<>();
    while (true) {
      long mark = events == null ? 0 : events.received();
      int answer = agent.n_poll();
      calls++;
      if (!s.expect.accepts(answer)) bad.add(answer);
      if (s.polls > 0 ? calls >= s.polls
          : events == null || events.received() == mark || calls >= QUIET_LIMIT) {
        break;
      }
    }
    String got = events == null ? "" : ", " + (events.received() - before) + " event(s) received";
    out.printf("Poll     %d n_poll call(s)%s; expected %s: %s%n", calls, got, s.expect,
        bad.isEmpty() ? "as expected" : "NOT as expected (answers " + bad + ")");
    return bad.isEmpty() ? null : "n_poll answered " + bad + ", expected " + s.expect;
  }

  private void pollUntilQuiet() {
    for (int i = 0; i < QUIET_LIMIT; i++) {
      long mark = events.received();
      agent.n_poll();
      if (events.received() == mark) return;
    }
  }
}
