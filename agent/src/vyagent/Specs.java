package vyagent;

import java.util.ArrayList;
import java.util.Collection;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/** The specs the driver knows, by type name, in the order they were added. */
public final class Specs {
  private final Map<String, SpecDef> byName = new LinkedHashMap<>();

  public Specs() {}

  public Specs(Collection<SpecDef> specs) {
    specs.forEach(this::add);
  }

  /** A later spec of the same name replaces the earlier one, as the native directory does. */
  public void add(SpecDef s) {
    byName.put(s.name, s);
  }

  public SpecDef find(String name) {
    return byName.get(name);
  }

  public SpecDef get(String name) {
    SpecDef s = byName.get(name);
    if (s == null) throw new IllegalArgumentException(unknownType(name));
    return s;
  }

  /** Says that no spec names the type, which specs there are, and where a spec comes from. */
  public String unknownType(String name) {
    if (byName.isEmpty()) {
      return "unknown type " + name + ": no spec is known; give the file with the type's spec "
          + "with --spec FILE";
    }
    String known = String.join(", ", byName.keySet());
    if (known.length() > 200) known = known.substring(0, 200) + "...";
    return "unknown type " + name + " (the specs given are " + known + "); give the file with "
        + "its spec with --spec FILE";
  }

  public List<SpecDef> all() {
    return new ArrayList<>(byName.values());
  }

  public boolean isEmpty() {
    return byName.isEmpty();
  }

  /** Every child type named by an attribute must be known. */
  public void checkComplete() {
    for (SpecDef s : byName.values()) {
      for (SpecDef.Attr a : s.attrs) {
        if (!a.isSimple() && !byName.containsKey(a.typeName)) {
          throw new IllegalArgumentException("type " + s.name + " attribute " + a.name
              + ": unknown type " + a.typeName);
        }
      }
    }
  }
}
