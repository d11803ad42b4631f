package dispatch;

import AppSide_Connector.BusObjNativeInterface;
import AppSide_Connector.StringBucket;
import KyCommon.ReturnStatusDescriptor;
import java.util.ArrayList;
import java.util.List;
import vytest.Check;

/**
 * Verb requests end to end: the test connector is loaded as an agent loads it, specs are
 * announced through n_gotBusObjSpec, and every request goes through the real n_DoVerbFor with a
 * bucket and a status object, as the agent sends it.
 */
public final class DispatchMain {
  static final String TYPE = "JdItem";

  static final class Outcome {
    int status;
    String content;
    String error;
  }

  static Outcome send(BusObjNativeInterface agent, String text, boolean transactional) {
    StringBucket bucket = new StringBucket(text);
    ReturnStatusDescriptor status = new ReturnStatusDescriptor();
    Outcome o = new Outcome();
    o.status = agent.n_DoVerbFor(bucket, transactional, status);
    o.content = bucket.content;
    o.error = status.getErrorString();
    return o;
  }

  static Outcome send(BusObjNativeInterface agent, String text) {
    return send(agent, text, false);
  }

  static void script(String... pairs) {
    for (int i = 0; i + 1 < pairs.length; i += 2) BusObjNativeInterface.setProperty(pairs[i], pairs[i + 1]);
  }

  static void unscript(String... names) {
    for (String n : names) BusObjNativeInterface.setProperty(n, null);
  }

  static List<String> seen(BusObjNativeInterface agent) {
    List<String> out = new ArrayList<>();
    for (BusObjNativeInterface.LogRecord l : agent.getLogs()) {
      if (l.text().startsWith("Test.Verb.Seen ")) out.add(l.text().substring("Test.Verb.Seen ".length()));
    }
    return out;
  }

  static BusObjNativeInterface.MsgRecord message(BusObjNativeInterface agent, int num) {
    BusObjNativeInterface.MsgRecord found = null;
    for (BusObjNativeInterface.MsgRecord m : agent.getMessages()) {
      if (m.msgNum() == num) found = m;
    }
    return found;
  }

  public static void main(String[] args) {
    BusObjNativeInterface.loadConnector("VyTestConnector");
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface.setProperty("ConnectorName", "DispatchConnector");
    BusObjNativeInterface agent = new BusObjNativeInterface();
    Check.eq(0, agent.n_init("4.1.0", "VyTestConnector"), "init");
    agent.n_gotBusObjSpec(Wire.spec(TYPE, "Id", "Name", "Qty", "Note"));

    String request = Wire.bo(TYPE, false, "Update", "7", "Old", "5", "KyIgnore");

    Check.group("results 1 and -5 write the changed object back");
    for (String result : new String[] {"1", "-5"}) {
      script("Test.Verb.Result", result, "Test.Verb.SetAttr", "1=Changed;3=Zürich ✓ 日本");
      Outcome o = send(agent, request);
      Check.eq(Integer.parseInt(result), o.status, "status " + result);
      Check.eq(Wire.bo(TYPE, false, "Update", "7", "Changed", "5", "Zürich ✓ 日本"), o.content,
          "written back for " + result);
      Check.eq(null, o.error, "no error text for " + result);
    }

    Check.group("other results leave the request text in the bucket");
    for (String result : new String[] {"0", "-1", "-2", "-10", "2"}) {
      script("Test.Verb.Result", result, "Test.Verb.SetAttr", "1=Changed");
      Outcome o = send(agent, request);
      Check.eq(Integer.parseInt(result), o.status, "status passed through: " + result);
      Check.isTrue(request == o.content || request.equals(o.content), "bucket kept for " + result);
    }

    Check.group("error texts reach the status whatever the result");
    for (String result : new String[] {"1", "-1", "0"}) {
      script("Test.Verb.Result", result, "Test.Verb.Error", "oops " + result);
      Outcome o = send(agent, request);
      Check.eq("oops " + result, o.error, "error text for " + result);
      Check.eq(result.equals("1"), !request.equals(o.content), "written back only for 1: " + result);
    }
    unscript("Test.Verb.Error", "Test.Verb.SetAttr");

    Check.group("text outside Latin-1 survives the round trip");
    script("Test.Verb.Result", "1");
    String wide = Wire.bo(TYPE, false, "Update", "8", "Größe ✓ 𝄞 日本語", "1", "KyBlank");
    Check.eq(wide, send(agent, wide).content, "unchanged object written back identically");

    Check.group("connector exceptions");
    String[][] throwsCases = {{"int", "80402", "7"}, {"string", "80403", "connector string failure"},
        {"object", "80401", "DoVerbFor"}};
    for (String[] c : throwsCases) {
      script("Test.Verb.Throw", c[0], "Test.Throw.verb", c[0]);
      agent.clearRecords();
      Outcome o = send(agent, request);
      Check.eq(-1, o.status, "status for a thrown " + c[0]);
      Check.eq(request, o.content, "bucket kept for a thrown " + c[0]);
      BusObjNativeInterface.MsgRecord m = message(agent, Integer.parseInt(c[1]));
      Check.isTrue(m != null, c[1] + " requested");
      if (m != null) {
        Check.eq(c[2], m.args(), c[1] + " argument");
        Check.eq(1, m.msgSet(), c[1] + " framework message set");
        Check.eq(6, m.msgType(), c[1] + " is an error");
      }
    }
    unscript("Test.Verb.Throw", "Test.Throw.verb");

    Check.group("requests that cannot reach a handler");
    String[] unusable = {"garbage without fields", Wire.fields("BusinessObject"),
        Wire.bo("NoSuchType", false, "Update", "1"),
        Wire.bo(TYPE, false, "Update", "7", "too", "few"), ""};
    for (String text : unusable) {
      Outcome o = send(agent, text);
      Check.eq(-1, o.status, "refused: " + text);
      Check.isTrue(o.error != null && !o.error.isEmpty(), "error text for: " + text);
      Check.eq(text, o.content, "bucket kept for: " + text);
    }
    script("Test.NoHandler", "true");
    agent.n_gotBusObjSpec(Wire.spec("JdOrphan", "Id", "Name"));
    unscript("Test.NoHandler");
    String orphan = Wire.bo("JdOrphan", false, "Create", "1", "x");
    Outcome none = send(agent, orphan);
    Check.eq(-1, none.status, "no handler");
    Check.isTrue(none.error != null && none.error.contains("JdOrphan"), "the error names the type: " + none.error);
    Check.eq(orphan, none.content, "bucket kept without handler");

    Check.group("delta update without delta support: retrieve, then update of the after image");
    script("Test.Verb.Record", "true", "Test.Verb.Result", "1",
        "Test.Verb.SetAttrFor.Retrieve", "1=Stored;3=kept");
    agent.clearRecords();
    String delta = Wire.bo(TYPE, true, "Update", "7", "KyIgnore", "5", "KyIgnore");
    Outcome d = send(agent, delta);
    Check.eq(1, d.status, "delta status");
    List<String> verbs = seen(agent);
    Check.eq(2, verbs.size(), "two handler calls: " + verbs);
    if (verbs.size() == 2) {
      Check.eq("Retrieve delta=0 7|<ignore>|5|<ignore>", verbs.get(0), "the retrieve of a non-delta clone");
      Check.eq("Update delta=0 7|Stored|5|kept", verbs.get(1), "the update of the after image");
    }
    Check.eq(Wire.bo(TYPE, false, "Update", "7", "Stored", "5", "kept"), d.content,
        "after image written back with the delta flag cleared");

    Check.group("delta update whose retrieve fails");
    script("Test.Verb.ResultFor.Retrieve", "-3");
    agent.clearRecords();
    Outcome failed = send(agent, delta);
    Check.eq(-3, failed.status, "retrieve failure returned");
    Check.eq(1, seen(agent).size(), "no update after a failed retrieve");
    Check.isTrue(agent.getLogs().stream().anyMatch(l -> l.text().startsWith("17115: " + TYPE)), "17115 logged");
    Check.isTrue(failed.error != null && failed.error.contains("17115"), "17115 becomes the error text: " + failed.error);
    Check.eq(delta, failed.content, "bucket kept");
    unscript("Test.Verb.ResultFor.Retrieve");

    Check.group("delta update with delta support: the handler gets the delta");
    BusObjNativeInterface.setDeltaSupportAnswer(TYPE, "true");
    agent.clearRecords();
    Outcome direct = send(agent, delta);
    Check.eq(1, direct.status, "status");
    Check.eq(List.of("Update delta=1 7|<ignore>|5|<ignore>"), seen(agent), "the delta itself");
    BusObjNativeInterface.setDeltaSupportAnswer(TYPE, null);
    unscript("Test.Verb.SetAttrFor.Retrieve");

    Check.group("transaction objects: best effort");
    String[] values = {"7", "Mine", "5", "KyIgnore"};
    script("Test.Verb.SetAttrFor.Retrieve", "1=Ref", "Test.Verb.SetAttrFor.Update", "3=done");
    agent.clearRecords();
    Outcome tx = send(agent, Wire.tx(TYPE, "Update", values, "KyIgnore", "Ref", "KyIgnore", "KyIgnore"), true);
    Check.eq(1, tx.status, "best effort status");
    Check.eq(List.of("Retrieve delta=0 7|Mine|5|<ignore>", "Update delta=0 7|Mine|5|<ignore>"), seen(agent), "retrieve, then the verb");
    Check.eq(Wire.tx(TYPE, "Update", new String[] {"7", "Mine", "5", "done"}, "KyIgnore", "Ref", "KyIgnore", "KyIgnore"),
        tx.content, "written back with its transaction section");

    Outcome differs = send(agent, Wire.tx(TYPE, "Update", values, "KyIgnore", "Expected", "KyIgnore", "KyIgnore"), true);
    Check.eq(-1, differs.status, "reference values differ");
    Check.eq("17117: DispatchConnector,JdItem", differs.error, "17117 error text");

    script("Test.Verb.ResultFor.Retrieve", "-2");
    Outcome noRetrieve = send(agent, Wire.tx(TYPE, "Delete", values, "KyIgnore", "KyIgnore", "KyIgnore", "KyIgnore"), true);
    Check.eq(-2, noRetrieve.status, "failed retrieve returned");
    Check.eq("17119: DispatchConnector,JdItem", noRetrieve.error, "17119 error text");

    script("Test.Verb.ResultFor.Retrieve", "-5");
    agent.clearRecords();
    Outcome info = send(agent, Wire.tx(TYPE, "Update", values, "KyIgnore", "Ref", "KyIgnore", "KyIgnore"), true);
    Check.eq(1, info.status, "a retrieve of -5 goes on");
    Check.isTrue(agent.getLogs().stream().anyMatch(l -> l.text().startsWith("17057") && l.severity() == -1), "17057 logged without severity");

    Outcome badSection = send(agent, Wire.bo(TYPE, false, "Update", values) + Wire.fields("TransactionBusinessObject", "Nope", "1.0.0", "Update", "4"), true);
    Check.eq(-1, badSection.status, "unknown type in the section");
    Check.isTrue(badSection.error != null && !badSection.error.isEmpty(), "error text for a bad section");
    unscript("Test.Verb.SetAttrFor.Retrieve", "Test.Verb.SetAttrFor.Update", "Test.Verb.ResultFor.Retrieve", "Test.Verb.Record");

    Check.eq(0, agent.n_terminate(), "terminate");
    Check.finish();
  }
}
