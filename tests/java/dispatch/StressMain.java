package dispatch;

import AppSide_Connector.BusObjNativeInterface;
import java.util.ArrayList;
import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;
import java.util.concurrent.atomic.AtomicReference;
import vytest.Check;

/**
 * Eight agent threads send 5,000 requests each through n_DoVerbFor at once, every request with
 * values of its own; each response, bucket and error text must belong to its own request.
 */
public final class StressMain {
  static final int THREADS = 8;
  static final int REQUESTS = 5000;
  static final String[] RESULTS = {"1", "-5", "-1", "0"};

  public static void main(String[] args) throws Exception {
    BusObjNativeInterface.loadConnector("VyTestConnector");
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface agent = new BusObjNativeInterface();
    agent.setRecording(false);
    Check.eq(0, agent.n_init("4.1.0", "VyTestConnector"), "init");
    agent.n_gotBusObjSpec(Wire.spec(DispatchMain.TYPE, "Id", "Name", "Qty", "Note"));
    // The handler copies Name into Note, reports Name as its error text and returns Qty.
    DispatchMain.script("Test.Verb.CopyAttr", "1=3", "Test.Verb.ErrorFromAttr", "1",
        "Test.Verb.ResultFromAttr", "2");

    Check.group("8 threads x 5000 requests");
    AtomicInteger wrong = new AtomicInteger();
    AtomicReference<String> firstWrong = new AtomicReference<>();
    List<Thread> threads = new ArrayList<>();
    for (int t = 0; t < THREADS; t++) {
      final int thread = t;
      threads.add(new Thread(() -> {
        for (int i = 0; i < REQUESTS; i++) {
          String id = thread + "-" + i;
          String name = "t" + thread + " r" + i + " Zür✓";
          String result = RESULTS[(i + thread) % RESULTS.length];
          String request = Wire.bo(DispatchMain.TYPE, false, "Update", id, name, result, "KyIgnore");
          DispatchMain.Outcome o = DispatchMain.send(agent, request);
          int expected = Integer.parseInt(result);
          String expectedContent = expected == 1 || expected == -5
              ? Wire.bo(DispatchMain.TYPE, false, "Update", id, name, result, name)
              : request;
          String problem = null;
          if (o.status != expected) problem = "status " + o.status + " for " + id;
          else if (!name.equals(o.error)) problem = "error text <" + o.error + "> for " + id;
          else if (!expectedContent.equals(o.content)) problem = "bucket <" + o.content + "> for " + id;
          if (problem != null) {
            wrong.incrementAndGet();
            firstWrong.compareAndSet(null, problem);
          }
        }
      }, "agent-" + t));
    }
    for (Thread th : threads) th.start();
    for (Thread th : threads) th.join();
    Check.eq(0, wrong.get(), "wrong responses (first: " + firstWrong.get() + ")");

    Check.eq(0, agent.n_terminate(), "terminate");
    Check.finish();
  }
}
