package sqlite;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import java.nio.file.Path;
import vyagent.ObjectDef;
import vyagent.ObjectText;
import vyagent.ObjectWire;
import vyagent.SpecDef;
import vyagent.SpecText;
import vyagent.Specs;

/**
 * Benchmark, not a test: events delivered per second by libSqliteConnector. Creates N objects
 * (their events wait, unsubscribed), then subscribes and polls until every event is delivered,
 * timing the polls. Arguments: spec file, object file (a Create, key left out), database file,
 * N, PollQuantity.
 */
public final class EventRate {
  public static void main(String[] args) throws Exception {
    Specs specs = new Specs(SpecText.parseFile(Path.of(args[0])));
    ObjectDef object = ObjectText.parseFile(Path.of(args[1]), specs);
    int n = Integer.parseInt(args[3]);
    BusObjNativeInterface.setProperty("ConnectorName", "EventRate");
    BusObjNativeInterface.setProperty("DatabasePath", args[2]);
    BusObjNativeInterface.setProperty("PollQuantity", args[4]);
    BusObjNativeInterface.loadConnector("SqliteConnector");
    BusObjNativeInterface agent = new BusObjNativeInterface();
    agent.setRecording(false);
    if (agent.n_init("4.1.0", "libSqliteConnector.so") != 0) throw new IllegalStateException("init");
    for (SpecDef s : specs.all()) agent.n_gotBusObjSpec(s.toWire());
    String wire = ObjectWire.write(object);
    for (int i = 0; i < n; i++) {
      int status = agent.n_DoVerbFor(new StringBucket(wire), false, new ReturnStatusDescriptor());
      if (status != 1) throw new IllegalStateException("Create failed: " + status);
    }
    int[] delivered = {0};
    agent.setEventListener(text -> {
      delivered[0]++;
      return 1;
    });
    agent.n_SubscribeTo(object.spec.name, null, 0);
    long t0 = System.nanoTime();
    int polls = 0;
    while (delivered[0] < n) {
      if (agent.n_poll() != 0) throw new IllegalStateException("poll failed");
      polls++;
    }
    double seconds = (System.nanoTime() - t0) / 1e9;
    System.out.printf("%d events of %s delivered in %.2f s by %d polls (PollQuantity %s):"
        + " %.0f events/second%n", delivered[0], object.spec.name, seconds, polls, args[4],
        delivered[0] / seconds);
    agent.n_terminate();
  }
}
