package vyagent;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;
import java.util.Objects;

/**
 * One business object on the agent side: type, version, verb, locale, delta flag and one value
 * per spec attribute. A value is null (ignored), {@link #BLANK}, a text, a child ObjectDef
 * (single cardinality) or a {@link Container} (multiple cardinality).
 */
public final class ObjectDef {
  /** The blank marker, "KyBlank" on the wire. */
  public static final Object BLANK = new Object() {
    @Override
    public String toString() {
      return "<blank>";
    }
  };

  /** The children of a multiple-cardinality attribute. */
  public static final class Container {
    public boolean delta;
    public final List<ObjectDef> children = new ArrayList<>();

    @Override
    public boolean equals(Object o) {
      return o instanceof Container && ((Container) o).delta == delta
          && ((Container) o).children.equals(children);
    }

    @Override
    public int hashCode() {
      return children.hashCode();
    }
  }

  public final SpecDef spec;
  public String version;
  /** Null when the object has no verb ("null" on the wire). */
  public String verb;
  public String locale = "en_US";
  public boolean delta;
  public final Object[] values;

  public ObjectDef(SpecDef spec) {
    this.spec = spec;
    this.version = spec.version;
    this.values = new Object[spec.attrs.size()];
  }

  public Object get(String attr) {
    int i = spec.indexOf(attr);
    if (i < 0) throw new IllegalArgumentException(spec.name + " has no attribute " + attr);
    return values[i];
  }

  public void set(String attr, Object value) {
    int i = spec.indexOf(attr);
    if (i < 0) throw new IllegalArgumentException(spec.name + " has no attribute " + attr);
    values[i] = value;
  }

  /** Every object of the tree, this one first, children in attribute and container order. */
  public List<ObjectDef> tree() {
    List<ObjectDef> out = new ArrayList<>();
    collect(this, out);
    return out;
  }

  private static void collect(ObjectDef o, List<ObjectDef> out) {
    out.add(o);
    for (Object v : o.values) {
      if (v instanceof ObjectDef) collect((ObjectDef) v, out);
      else if (v instanceof Container) {
        for (ObjectDef c : ((Container) v).children) collect(c, out);
      }
    }
  }

  @Override
  public boolean equals(Object o) {
    if (!(o instanceof ObjectDef)) return false;
    ObjectDef b = (ObjectDef) o;
    return spec.name.equals(b.spec.name) && version.equals(b.version) && Objects.equals(verb, b.verb)
        && locale.equals(b.locale) && delta == b.delta && Arrays.equals(values, b.values);
  }

  @Override
  public int hashCode() {
    return spec.name.hashCode();
  }

  @Override
  public String toString() {
    return ObjectText.format(this);
  }
}
