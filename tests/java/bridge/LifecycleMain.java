package bridge;

import AppSide_Connector.BusObjNativeInterface;
import vytest.Check;

/**
 * Loads the test connector exactly as an agent does (System.loadLibrary) and drives its
 * lifecycle through the exported entry points, so their names and signatures are proven.
 */
public final class LifecycleMain {
  private static final String FAULT_SPEC = dispatch.Wire.spec("LcOrder", "Id", "Note");
  private static final String FAULT_REQUEST = dispatch.Wire.bo("LcOrder", false, "Create", "7", "x");

  public static void main(String[] args) {
    BusObjNativeInterface.loadConnector("VyTestConnector");

    Check.group("every entry point before n_init");
    BusObjNativeInterface early = new BusObjNativeInterface();
    AppSide_Connector.StringBucket bucket = new AppSide_Connector.StringBucket("BusinessObject");
    KyCommon.ReturnStatusDescriptor status = new KyCommon.ReturnStatusDescriptor();
    Check.eq(-1, early.n_DoVerbFor(bucket, false, status), "a request before init fails");
    Check.isTrue(status.getErrorString() != null
        && status.getErrorString().contains("not running"), "with a text saying why");
    Check.eq("BusinessObject", bucket.content, "the request stays as the agent sent it");
    Check.eq(-1, early.n_DoVerbFor(bucket, true, null), "also without a status object");
    early.n_gotBusObjSpec("BusObjSpec");
    Check.eq(-1, early.n_SubscribeTo("T", "Create", 0), "subscribe");
    Check.isTrue(!early.n_isSubscribed("T", "Create"), "isSubscribed");
    early.n_CancelSub("T", "1.0.0", "Create");
    early.n_UpdateSubscription("T", "Create", 0, 0);
    early.n_getPerfMonitors();
    Check.eq(-1, early.n_poll(), "poll");
    Check.eq("", early.n_getVersion(), "getVersion");
    early.n_suspend();
    early.n_resume();
    early.n_setTraceLevel(3);
    Check.eq(-1, early.n_terminate(), "terminate");

    Check.group("init with the framework version");
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface.setProperty("Test.InitResult", "4");
    BusObjNativeInterface.setProperty("ConnectorName", "JavaDriven");
    BusObjNativeInterface.setProperty("AgentTraceLevel", "5");
    BusObjNativeInterface agent = new BusObjNativeInterface();
    Check.eq(4, agent.n_init("4.1.0", "VyTestConnector"), "init result");
    Check.eq("4.1.1.0", agent.n_CJNIVersion(), "CJNI version");
    Check.eq("4.1.0", agent.n_CDKVersion(), "CDK version");
    Check.eq("9.9.9", agent.n_getVersion(), "connector version");
    Check.eq(0, agent.n_poll(), "poll");
    agent.n_suspend();
    agent.n_resume();
    agent.n_setTraceLevel(2);
    boolean sawInit = false;
    for (BusObjNativeInterface.TraceRecord t : agent.getTraces()) {
      if ("BusObjNativeInterface_n_init called.".equals(t.msg())) {
        sawInit = true;
        Check.eq("JavaDriven", t.name(), "trace name");
        Check.eq(5, t.level(), "trace level of the entry trace");
      }
    }
    Check.isTrue(sawInit, "n_init traced itself");
    int traced = agent.getTraces().size();
    agent.n_suspend();  // level 2 now: the level-5 entry trace is dropped
    Check.eq(traced, agent.getTraces().size(), "lines above the level are dropped");
    Check.eq(0, agent.n_terminate(), "terminate");

    Check.group("version mismatch");
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface refused = new BusObjNativeInterface();
    Check.eq(-1, refused.n_init("4.1.1", "VyTestConnector"), "4.1.1 refused");
    boolean sawFatal = false;
    for (BusObjNativeInterface.MsgRecord m : refused.getMessages()) {
      if (m.msgNum() == 17017) {
        sawFatal = true;
        Check.eq(7, m.msgType(), "17017 is fatal");
        Check.eq(1, m.msgSet(), "framework message set");
        Check.eq(0, m.argCount(), "no arguments");
      }
    }
    Check.isTrue(sawFatal, "17017 requested");
    Check.isTrue(refused.getLogs().stream().anyMatch(l -> l.text().startsWith("17017")), "17017 logged");
    refused.n_terminate();

    Check.group("connector exceptions");
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface.setProperty("Test.Throw.poll", "object");
    BusObjNativeInterface.setProperty("Test.Throw.getVersion", "string");
    BusObjNativeInterface thrower = new BusObjNativeInterface();
    Check.eq(0, thrower.n_init("4.1.0", "VyTestConnector"), "init");
    Check.eq(-1, thrower.n_poll(), "poll that throws");
    Check.eq("", thrower.n_getVersion(), "getVersion that throws");
    long count80401 = thrower.getMessages().stream().filter(m -> m.msgNum() == 80401).count();
    Check.eq(2L, count80401, "80401 twice");
    Check.isTrue(thrower.getLogs().stream().anyMatch(l -> l.severity() == 6
        && l.text().contains("poll: the connector threw an object of type")), "the poll fault logged");
    Check.isTrue(thrower.getLogs().stream().anyMatch(l -> l.severity() == 6
        && l.text().contains("getVersion: the connector threw the text \"connector string failure\"")),
        "the getVersion fault logged with the thrown text");
    thrower.n_terminate();

    Check.group("a verb that throws a std::exception");
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface.setProperty("Test.Throw.verb", "runtime");
    BusObjNativeInterface verbs = new BusObjNativeInterface();
    Check.eq(0, verbs.n_init("4.1.0", "VyTestConnector"), "init");
    verbs.n_gotBusObjSpec(FAULT_SPEC);
    AppSide_Connector.StringBucket request = new AppSide_Connector.StringBucket(FAULT_REQUEST);
    KyCommon.ReturnStatusDescriptor verbStatus = new KyCommon.ReturnStatusDescriptor();
    Check.eq(-1, verbs.n_DoVerbFor(request, false, verbStatus), "status");
    String error = verbStatus.getErrorString();
    Check.isTrue(error != null && error.startsWith("80401: DoVerbFor")
        && error.contains("std::runtime_error: connector runtime failure"), "status text: " + error);
    Check.eq(FAULT_REQUEST, request.content, "the request stays as the agent sent it");
    verbs.n_terminate();

    Check.finish();
  }
}
