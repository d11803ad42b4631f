package bridge;

import AppSide_Connector.BusObjNativeInterface;
import vytest.Check;

/**
 * Loads a library that defines no GenGlobals object (the kit's own library alone) the way an
 * agent loads a connector, and checks that n_init says what is missing and how to register it.
 */
public final class NoGlobalsMain {
  public static void main(String[] args) {
    BusObjNativeInterface.loadConnector("VyConnector");
    BusObjNativeInterface.clearProperties();

    Check.group("n_init without a globals object");
    BusObjNativeInterface agent = new BusObjNativeInterface();
    Check.eq(-1, agent.n_init("4.1.0", "VyConnector"), "init refused");
    BusObjNativeInterface.LogRecord fatal = null;
    for (BusObjNativeInterface.LogRecord l : agent.getLogs()) {
      if (l.severity() == 7) fatal = l;
    }
    Check.isTrue(fatal != null, "a fatal line is logged");
    if (fatal != null) {
      Check.isTrue(fatal.text().contains("registered no connector globals object"), "names the problem: " + fatal.text());
      Check.isTrue(fatal.text().contains("one static object of a GenGlobals subclass"), "says how to register");
    }

    Check.group("the other entry points stay safe");
    Check.eq(-1, agent.n_poll(), "poll");
    Check.eq("", agent.n_getVersion(), "getVersion");
    agent.n_suspend();
    agent.n_resume();
    Check.eq(-1, agent.n_terminate(), "terminate");

    Check.finish();
  }
}
