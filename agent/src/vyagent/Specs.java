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
    if (s == null) throw new IllegalArgumentException("no spec named " + name);
    return s;
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
