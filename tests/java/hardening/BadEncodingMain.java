package hardening;

import static vytest.WireText.wire;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import vytest.Check;

/**
 * An agent whose native encoding is not a charset the JVM knows. The encoding is asked once per
 * process, so this runs in a process of its own. Every text conversion fails: specs are not
 * filed, requests fail with an error text and leave the bucket as it was, the agent is told
 * (message 80014 naming the encoding), and nothing crashes or is left pending.
 */
public final class BadEncodingMain {
  public static void main(String[] args) {
    BusObjNativeInterface.loadConnector("VyTestConnector");
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface agent = new BusObjNativeInterface();
    agent.setEncoding("no-such-charset");

    Check.group("init with an unknown encoding");
    // The connector's init reads this property; a value that cannot be converted reads as
    // absent (init answers its default 0) and the agent is told with message 80014.
    BusObjNativeInterface.setProperty("Test.InitResult", "5");
    Check.eq(0, agent.n_init("4.1.0", "VyTestConnector"), "init");
    long unconvertible = agent.getMessages().stream()
        .filter(m -> m.msgNum() == 80014 && m.msgType() == 7 && m.msgSet() == 1 && m.argCount() == 0
            && m.text() == null)
        .count();
    Check.isTrue(unconvertible >= 1, "80014 for the unconvertible property: " + agent.getMessages());
    Check.isTrue(agent.getLogs().stream().anyMatch(l -> l.text().startsWith("80014")),
        "80014 logged: " + agent.getLogs());
    BusObjNativeInterface.setProperty("Test.InitResult", null);

    Check.group("a spec that cannot be converted is not filed");
    String spec = wire("BusObjSpec", "4.2.0.0", "Enc", "1.0.0", "\u0005", "1", "1",
        "Id", "String", "true", "false", "false", "\u0005", "40", "\u0005", "1.0.0", "1",
        "Containment", "true", "\u0005", "Create", "\u0005");
    agent.n_gotBusObjSpec(spec);

    Check.group("a request that cannot be converted fails and keeps its text");
    String request = wire("BusinessObject", "4.2.0.0", "Enc", "1.0.0", "false", "Create",
        "en_US", "1", "k\u00e9y");
    for (boolean transactional : new boolean[] {false, true}) {
      StringBucket bucket = new StringBucket(request);
      ReturnStatusDescriptor status = new ReturnStatusDescriptor();
      Check.eq(-1, agent.n_DoVerbFor(bucket, transactional, status), "status");
      Check.eq(request, bucket.content, "bucket untouched");
      Check.isTrue(status.getErrorString() != null && !status.getErrorString().isEmpty(),
          "an error text");
    }
    boolean told = agent.getMessages().stream()
        .anyMatch(m -> m.msgNum() == 80014 && "no-such-charset".equals(m.text()));
    Check.isTrue(told, "80014 names the encoding");

    Check.group("the rest of the interface still answers");
    Check.eq(0, agent.n_poll(), "poll");
    agent.n_SubscribeTo("Enc", "Create", 0);
    agent.n_getPerfMonitors();
    Check.eq(0, agent.n_terminate(), "terminate");
    Check.finish();
  }
}
