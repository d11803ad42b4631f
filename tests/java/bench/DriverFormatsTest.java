package bench;

import java.util.List;
import java.util.Map;
import java.util.Random;
import vyagent.DriverOptions;
import vyagent.ErrorTally;
import vyagent.Expectation;
import vyagent.RequestScript;
import vyagent.LatencyHistogram;
import vyagent.ObjectDef;
import vyagent.ObjectText;
import vyagent.ObjectWire;
import vyagent.PerfMonitors;
import vyagent.SpecDef;
import vyagent.SpecText;
import vyagent.Specs;
import vyagent.Wire;
import vytest.Check;

/** The load driver's text formats and figures, without a connector. */
public final class DriverFormatsTest {
  static final String SPECS = String.join("\n",
      "# two types",
      "type Order 2.1.0   # trailing comment",
      "  text \"order type\"",
      "  attr OrderId String key required max=20",
      "  attr Note String default=\"two  words\" app=\"a\\tb\" aux=x",
      "  attr Ref String foreignkey serverbound relation=Ref version=1.0.0",
      "  attr Lines Line card=n",
      "  attr Owner Line relation=\"\"",
      "  verb Create",
      "  verb Retrieve \"by key\"",
      "end",
      "type Line",
      "  attr LineId Integer key",
      "  attr Text LongText max=4000",
      "end",
      "");

  public static void main(String[] args) throws Exception {
    fieldEncoding();
    specText();
    specErrors();
    objectText();
    objectErrors();
    figures();
    scripts();
    fileErrors();
    optionErrors();
    Check.finish();
  }

  private static void fieldEncoding() {
    Check.group("field encoding");
    String w = new Wire.Writer().field("").field((String) null).field("a\u0003b").field("\uD83D\uDE00x")
        .toString();
    Check.eq("4\u0003null4\u0003null3\u0003a\u0003b3\u0003\uD83D\uDE00x", w, "lengths in UTF-16 units");
    Check.eq(List.of("null", "null", "a\u0003b", "\uD83D\uDE00x"), Wire.split(w), "split back");
    for (String bad : new String[] {"5\u0003abc", "x\u0003a", "\u0003a", "0\u0003", "3"}) {
      Check.refuses("malformed " + Wire.show(bad), null, () -> Wire.split(bad));
    }
  }

  private static void specText() {
    Check.group("spec text to wire and back");
    List<SpecDef> specs = SpecText.parse(SPECS);
    Check.eq(2, specs.size(), "two types");
    SpecDef order = specs.get(0);
    Check.eq("2.1.0", order.version, "version");
    Check.eq("1.0.0", specs.get(1).version, "default version");
    SpecDef.Attr note = order.attr("Note");
    Check.eq("two  words", note.defaultValue, "quoted default keeps blanks");
    Check.eq("a\tb", note.appText, "escape in quoted text");
    Check.eq("", order.attr("Owner").relation, "empty relation");
    Check.eq("Containment", order.attr("Lines").relation, "children default to Containment");

    List<String> f = Wire.split(order.toWire());
    Check.eq(List.of("BusObjSpec", "4.2.0.0", "Order", "2.1.0", "order type", "5", "2"),
        f.subList(0, 7), "header fields");
    // OrderId: name, type, key, fk, required, app, max, default, version, card, relation, srv, aux
    Check.eq(List.of("OrderId", "String", "true", "false", "true", Wire.EMPTY_MARKER, "20",
        Wire.EMPTY_MARKER, "2.1.0", "1", "null", "false", Wire.EMPTY_MARKER),
        f.subList(7, 20), "first attribute group");
    Check.eq(List.of("Lines", "Line", "false", "false", "false", Wire.EMPTY_MARKER, "255",
        Wire.EMPTY_MARKER, "2.1.0", "n", "Containment", "false", Wire.EMPTY_MARKER),
        f.subList(46, 59), "multiple child attribute group");
    Check.eq(List.of("Create", Wire.EMPTY_MARKER, "Retrieve", "by key"), f.subList(72, 76), "verbs");
    Check.eq(76, f.size(), "nothing after the verbs");
    for (SpecDef s : specs) {
      Check.eq(s, SpecDef.fromWire(s.toWire()), s.name + " from its wire text");
    }
    Check.eq(specs, SpecText.parse(SpecText.format(specs)), "formatted text parses to the same");
  }

  private static void specErrors() {
    Check.group("spec text errors name the line");
    String[][] cases = {
        {"type A\n  attr X String kee\nend\n", "line 2"},
        {"type A\n  attr X String card=3\nend\n", "line 2"},
        {"type A\n  attr X String\n", "no \"end\""},
        {"attr X String\n", "line 1"},
        {"type A 1.0\nend\n", "line 1"},
        {"type A\n  attr X String default=\"open\nend\n", "line 2"},
        {"type A\n  attrib X String\nend\n", "line 2"},
    };
    for (String[] c : cases) Check.refuses(c[0], c[1], () -> SpecText.parse(c[0]));
    Check.refuses("an unknown child type", "Missing",
        () -> new Specs(SpecText.parse("type A\n  attr X Missing\nend\n")).checkComplete());
  }

  static final String OBJECT = String.join("\n",
      "# an order",
      "object Order verb=Update locale=de_DE delta",
      "  OrderId = 17",
      "  Note = \"  padded \\\"quoted\\\"\\nnext line\"",
      "  Ref = <blank>",
      "  Lines = <delta-container>",
      "  Lines = object Line verb=Create",
      "    LineId = 1",
      "    Text = a = b # not a comment",
      "  end",
      "  Lines = object Line",
      "    LineId = 2",
      "    Text = \"<blank>\"",
      "  end",
      "  Owner = object Line verb=Delete",
      "    Text = \"\"",
      "  end",
      "end",
      "");

  private static void objectText() {
    Check.group("object text to wire and back");
    Specs specs = new Specs(SpecText.parse(SPECS));
    ObjectDef o = ObjectText.parse(OBJECT, specs);
    Check.eq("  padded \"quoted\"\nnext line", o.get("Note"), "quoted value with escapes");
    Check.eq(ObjectDef.BLANK, o.get("Ref"), "blank marker");
    ObjectDef.Container lines = (ObjectDef.Container) o.get("Lines");
    Check.eq(2, lines.children.size(), "two children");
    Check.isTrue(lines.delta, "container delta flag");
    Check.eq("a = b # not a comment", lines.children.get(0).get("Text"), "raw value to the end");
    Check.eq("<blank>", lines.children.get(1).get("Text"), "quoted marker is text");
    Check.eq(null, lines.children.get(1).verb, "no verb");
    ObjectDef owner = (ObjectDef) o.get("Owner");
    Check.eq(ObjectDef.BLANK, owner.get("Text"), "empty quotes are blank");
    Check.eq(null, owner.get("LineId"), "absent attribute ignored");

    String wire = ObjectWire.write(o);
    List<String> f = Wire.split(wire);
    Check.eq(List.of("BusinessObject", "4.2.0.0", "Order", "2.1.0", "true", "Update", "de_DE", "5",
        "17"), f.subList(0, 9), "header and first value");
    Check.eq(List.of("KyBlank", "2", "true", "BusinessObject"), f.subList(10, 14), "blank, container");
    Check.eq("KyIgnore", f.get(f.size() - 2), "ignored LineId of the owner");
    Check.eq(o, ObjectWire.read(wire, specs), "wire read back");
    Check.eq(o, ObjectText.parse(ObjectText.format(o), specs), "formatted text parses to the same");
    Check.eq(ObjectText.format(o), ObjectText.format(ObjectText.parse(ObjectText.format(o), specs)),
        "formatting is stable");

    // The parent-and-keys form has no delta flags at all.
    String keys = new Wire.Writer().field("BusinessObject").field("4.2.0.0").field("Order")
        .field("2.1.0").field("Retrieve").field("en_US").field(5).field("9").field("KyIgnore")
        .field("KyIgnore").field("0").field("0").toString();
    ObjectDef k = ObjectWire.read(keys, specs);
    Check.eq("Retrieve", k.verb, "verb without a delta flag before it");
    Check.eq("9", k.get("OrderId"), "key value");
    Check.isTrue(!k.delta && k.get("Lines") == null, "after-image without children");
  }

  private static void objectErrors() {
    Check.group("object errors");
    Specs specs = new Specs(SpecText.parse(SPECS));
    String[] texts = {
        "object Nope\nend\n",
        "object Order\n  Missing = 1\nend\n",
        "object Order\n  OrderId = 1\n  OrderId = 2\nend\n",
        "object Order\n  Owner = object Order\n  end\nend\n",
        "object Order\n  Lines = 3\nend\n",
        "object Order\n  OrderId = 1\n",
        "object Order\nend\nobject Order\nend\n",
    };
    for (String t : texts) Check.refuses(t, null, () -> ObjectText.parse(t, specs));
    String shortCount = new Wire.Writer().field("BusinessObject").field("4.2.0.0").field("Line")
        .field("1.0.0").field("false").field("Create").field("en_US").field(3).field("1")
        .field("x").field("y").toString();
    Check.refuses("an attribute count that differs from the spec", "3 attributes",
        () -> ObjectWire.read(shortCount, specs));
  }

  private static void figures() {
    Check.group("latency percentiles, monitors, properties and mix");
    LatencyHistogram h = new LatencyHistogram();
    Random rnd = new Random(5);
    long[] values = new long[20000];
    for (int i = 0; i < values.length; i++) {
      values[i] = 50 + (long) (Math.exp(rnd.nextGaussian() * 1.5 + 10));
      h.record(values[i]);
    }
    java.util.Arrays.sort(values);
    for (double q : new double[] {0.5, 0.9, 0.99}) {
      long exact = values[(int) Math.ceil(q * values.length) - 1];
      long got = h.percentile(q);
      Check.isTrue(Math.abs(got - exact) <= exact / 64 + 1, "p" + q + " " + got + " near " + exact);
    }
    Check.eq(values[values.length - 1], h.max(), "max exact");
    Check.eq(values[0], h.min(), "min exact");
    LatencyHistogram merged = new LatencyHistogram();
    merged.add(h);
    merged.add(h);
    Check.eq(2L * values.length, merged.count(), "merged count");
    Check.eq(h.percentile(0.9), merged.percentile(0.9), "merging keeps percentiles");
    Check.eq(0L, new LatencyHistogram().percentile(0.5), "empty histogram");

    List<PerfMonitors.Flow> flows = PerfMonitors.decode("#~Bench~Conn~init~3~#Bench~Conn~poll~0~#");
    Check.eq(2, flows.size(), "two flows");
    Check.eq("Bench~Conn", flows.get(0).name(), "name with the separator in it");
    Check.eq("init", flows.get(0).operation(), "operation");
    Check.eq("3", flows.get(0).average(), "average");
    Check.eq(0, PerfMonitors.decode("#~").size(), "no flows");

    Map<String, Integer> mix = DriverOptions.parseMix("Create=2, Retrieve ,Update=0");
    Check.eq(Map.of("Create", 2, "Retrieve", 1), mix, "mix weights; weight 0 drops a verb");
    Check.refuses("a negative weight", null, () -> DriverOptions.parseMix("Create=-1"));
  }

  private static void scripts() throws Exception {
    Check.group("scripts, expected statuses and error tallies");
    Specs specs = new Specs(SpecText.parse(SPECS));
    java.nio.file.Path dir = java.nio.file.Files.createTempDirectory("vy-script-");
    java.nio.file.Files.writeString(dir.resolve("one.bo"), "object Line verb=Create\n  LineId = 5\nend\n");
    List<RequestScript.Step> steps = RequestScript.parse(String.join("\n",
        "# comment",
        "request one.bo expect=0,1   # trailing comment",
        "",
        "request name=\"inline one\" expect=fail",
        "  # a comment before the object",
        "  object Order verb=Retrieve",
        "    OrderId = 7",
        "    Lines = object Line",
        "      LineId = 1",
        "    end",
        "  end",
        "poll",
        "poll 3 expect=0",
        "request one.bo"), dir, specs);
    Check.eq(5, steps.size(), "five steps");
    Check.eq("one.bo", steps.get(0).name, "a file names its step");
    Check.eq("5", steps.get(0).object.get("LineId"), "object read from the file beside the script");
    Check.isTrue(steps.get(0).expect.accepts(0) && steps.get(0).expect.accepts(1)
        && !steps.get(0).expect.accepts(-5), "status list");
    Check.eq("inline one", steps.get(1).name, "quoted name");
    Check.eq(4, steps.get(1).line, "line of the step");
    Check.eq("7", steps.get(1).object.get("OrderId"), "inline object");
    Check.eq(1, ((ObjectDef.Container) steps.get(1).object.get("Lines")).children.size(), "child");
    Check.isTrue(!steps.get(2).request && steps.get(2).polls == 0, "poll until quiet");
    Check.eq(3, steps.get(3).polls, "three polls");
    Check.eq("ok", steps.get(4).expect.toString(), "ok by default");

    String[][] bad = {
        {"fetch one.bo", "line 1"},
        {"request\n\nrequest one.bo", "line 1"},
        {"request one.bo two.bo", "line 1"},
        {"request missing.bo", "no object file"},
        {"request one.bo color=red", "unknown option"},
        {"poll 0", "line 1"},
        {"request one.bo\npoll expect=sometimes", "line 2"},
        {"request\n  object Order\n    Nope = 1\n  end", "line 3: Order has no attribute Nope"},
        {"request\n  object Order\n    OrderId = 1\n", "no \"end\""},
        {"# nothing\n", "no step"},
    };
    for (String[] c : bad) Check.refuses(c[0], c[1], () -> RequestScript.parse(c[0], dir, specs));
    for (java.nio.file.Path p : new java.nio.file.Path[] {dir.resolve("one.bo"), dir}) {
      java.nio.file.Files.delete(p);
    }

    Expectation ok = Expectation.parse("ok");
    Expectation fail = Expectation.parse("fail");
    for (int st : new int[] {1, 0, -5}) Check.isTrue(ok.accepts(st) && !fail.accepts(st), "ok " + st);
    for (int st : new int[] {-1, -10, 2}) Check.isTrue(!ok.accepts(st) && fail.accepts(st), "fail " + st);

    ErrorTally a = new ErrorTally();
    ErrorTally b = new ErrorTally();
    for (int i = 0; i < 3; i++) a.add(-1, "duplicate key");
    a.add(-1, "no such object");
    b.add(-1, "duplicate key");
    b.add(-2, "no such object");
    b.add(ErrorTally.EXCEPTION, "java.lang.Error");
    a.addAll(b);
    List<ErrorTally.Entry> top = a.top(2);
    Check.eq(2, top.size(), "top two");
    Check.eq("duplicate key", top.get(0).text, "most frequent first");
    Check.eq(4L, top.get(0).count, "merged count");
    Check.eq(ErrorTally.EXCEPTION, top.get(1).status, "ties by status");
    Check.eq(4, a.distinct(), "same text, other status: counted apart");
    ErrorTally many = new ErrorTally();
    for (int i = 0; i < 1500; i++) many.add(-1, "key " + i);
    Check.eq(500L, many.others(), "distinct texts are bounded; the rest is counted");
  }

  /** The message of what `call` throws, or null when it throws nothing. */
  private static String refusal(java.util.concurrent.Callable<?> call) throws Exception {
    try {
      call.call();
      return null;
    } catch (IllegalArgumentException e) {
      return e.getMessage();
    }
  }

  private static void fileErrors() throws Exception {
    Check.group("a mistake in a file names the file; a file that cannot be read says why");
    Specs specs = new Specs(SpecText.parse(SPECS));
    java.nio.file.Path dir = java.nio.file.Files.createTempDirectory("vy-files-");
    java.nio.file.Path bo = dir.resolve("bad.bo");
    java.nio.file.Files.writeString(bo, "object Line\n  LineId\nend\n");
    java.nio.file.Path spec = dir.resolve("bad.spec");
    java.nio.file.Files.writeString(spec, "type A\nend\ntype B\n");
    java.nio.file.Path script = dir.resolve("s.script");
    java.nio.file.Files.writeString(script, "poll\nrequest bad.bo\n");
    java.nio.file.Path latin = dir.resolve("latin.bo");
    java.nio.file.Files.write(latin, new byte[] {'o', 'b', 'j', (byte) 0xe9, '\n'});
    java.nio.file.Path gone = dir.resolve("gone.bo");
    String[][] cases = {
        {refusal(() -> ObjectText.parseFile(bo, specs)),
            bo + " line 2: expected \"<attribute> = <value>\" or \"end\""},
        {refusal(() -> SpecText.parseFile(spec)), spec + ": type B has no \"end\""},
        {refusal(() -> RequestScript.parseFile(script, specs)),
            script + " line 2: " + bo + " line 2: expected"},
        {refusal(() -> ObjectText.parseFile(gone, specs)), "cannot read " + gone + ": no such file"},
        {refusal(() -> SpecText.parseFile(dir)), "cannot read " + dir + ": a folder"},
        {refusal(() -> ObjectText.parseFile(latin, specs)), "cannot read " + latin + ": not UTF-8"},
        {refusal(() -> DriverOptions.readProperties(gone)), "cannot read " + gone + ": no such file"},
    };
    for (String[] c : cases) {
      Check.isTrue(c[0] != null && c[0].startsWith(c[1]), "\"" + c[0] + "\" starts with " + c[1]);
    }
    for (java.nio.file.Path p : new java.nio.file.Path[] {bo, spec, script, latin, dir}) {
      java.nio.file.Files.delete(p);
    }

    Check.group("a type no spec gives points at --spec");
    String none = refusal(() -> ObjectText.parse("object Ticket\nend\n", new Specs()));
    Check.eq("line 1: unknown type Ticket: no spec is known; give the file with the type's spec "
        + "with --spec FILE", none, "no spec at all");
    String other = refusal(() -> specs.get("Ticket"));
    Check.eq("unknown type Ticket (the specs given are Order, Line); give the file with its spec "
        + "with --spec FILE", other, "names the specs there are");
  }

  private static void optionErrors() throws Exception {
    Check.group("option mistakes are usage errors; a mistake in a --props file is not");
    String[][] usage = {
        {"--threads", "x"}, {"--bogus"}, {"--spec"}, {"--expect", "maybe"}, {"--mix", "="},
        {"-P", "novalue"}, {"--script", "a", "--request", "b"}, {"--script", "a", "--script", "b"},
    };
    for (String[] args : usage) {
      try {
        DriverOptions.parse(args);
        Check.fail("accepted: " + String.join(" ", args));
      } catch (DriverOptions.UsageError e) {
        Check.isTrue(e.getMessage().contains(args[0]), "names the option: " + e.getMessage());
      }
    }
    java.nio.file.Path props = java.nio.file.Files.createTempFile("vy-props-", ".properties");
    java.nio.file.Files.writeString(props, "# comment\nA=1\nnot a property\n");
    try {
      DriverOptions.parse(new String[] {"--props", props.toString()});
      Check.fail("bad --props line accepted");
    } catch (DriverOptions.UsageError e) {
      Check.fail("a --props file's mistake is an input error: " + e.getMessage());
    } catch (IllegalArgumentException e) {
      Check.eq(props + " line 3: expected name=value", e.getMessage(), "file and line");
    }
    java.nio.file.Files.delete(props);
  }
}
