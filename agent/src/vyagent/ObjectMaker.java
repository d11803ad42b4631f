package vyagent;

import java.util.ArrayDeque;
import java.util.Deque;

/**
 * Builds request objects of a chosen shape from a spec: every simple attribute filled (or only
 * the keys), each multiple attribute with a given number of children, each single attribute
 * with one child. A child type that is already an ancestor's type is left empty, so recursive
 * specs give finite trees.
 */
public final class ObjectMaker {
  private final Specs specs;
  private final int children;
  private final boolean keysOnly;

  public ObjectMaker(Specs specs, int children, boolean keysOnly) {
    this.specs = specs;
    this.children = children;
    this.keysOnly = keysOnly;
  }

  /** An object of type `type` with verb `verb` on every object of the tree; `seq` varies keys. */
  public ObjectDef make(String type, String verb, long seq) {
    return make(specs.get(type), verb, seq, new ArrayDeque<>());
  }

  private ObjectDef make(SpecDef spec, String verb, long seq, Deque<String> ancestors) {
    ObjectDef o = new ObjectDef(spec);
    o.verb = verb;
    ancestors.push(spec.name);
    for (int i = 0; i < spec.attrs.size(); i++) {
      SpecDef.Attr a = spec.attrs.get(i);
      if (a.isSimple()) {
        if (a.key) o.values[i] = Long.toString(seq * 1000 + i);
        else if (!keysOnly) o.values[i] = sample(a, seq);
        continue;
      }
      if (ancestors.contains(a.typeName)) continue;
      SpecDef child = specs.get(a.typeName);
      if (a.isMultiple()) {
        if (children <= 0) continue;
        ObjectDef.Container c = new ObjectDef.Container();
        for (int k = 0; k < children; k++) {
          c.children.add(make(child, verb, seq * 100 + k + 1, ancestors));
        }
        o.values[i] = c;
      } else {
        o.values[i] = make(child, verb, seq * 100 + 1, ancestors);
      }
    }
    ancestors.pop();
    return o;
  }

  private static String sample(SpecDef.Attr a, long seq) {
    String v;
    switch (a.typeNum()) {
      case 1: v = (seq & 1) == 0 ? "true" : "false"; break;
      case 2: v = Long.toString(seq % 100000); break;
      case 3: case 4: v = (seq % 1000) + ".25"; break;
      case 6: v = "2024-05-" + (10 + seq % 18) + " 12:30:00"; break;
      case 7: v = "Long text for " + a.name + " number " + seq + ", written to fill a page."; break;
      default: v = a.name + "-" + seq;
    }
    return v.length() > a.maxLength ? v.substring(0, a.maxLength) : v;
  }
}
