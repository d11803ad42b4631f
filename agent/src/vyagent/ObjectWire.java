package vyagent;

/** Business objects to and from the agent's wire text. */
public final class ObjectWire {
  private ObjectWire() {}

  public static String write(ObjectDef o) {
    Wire.Writer w = new Wire.Writer();
    write(o, w);
    return w.toString();
  }

  private static void write(ObjectDef o, Wire.Writer w) {
    w.field("BusinessObject").field("4.2.0.0").field(o.spec.name).field(o.version);
    w.bool(o.delta).field(o.verb).field(o.locale).field(o.values.length);
    for (int i = 0; i < o.values.length; i++) {
      SpecDef.Attr a = o.spec.attrs.get(i);
      Object v = o.values[i];
      if (a.isSimple()) {
        if (v == null) w.field("KyIgnore");
        else if (v == ObjectDef.BLANK) w.field("KyBlank");
        else w.field((String) v);
      } else if (v instanceof ObjectDef) {
        w.field("1");
        write((ObjectDef) v, w);
      } else if (v instanceof ObjectDef.Container && !((ObjectDef.Container) v).children.isEmpty()) {
        ObjectDef.Container c = (ObjectDef.Container) v;
        w.field(c.children.size()).bool(c.delta);
        for (ObjectDef child : c.children) write(child, w);
      } else {
        w.field("0");
      }
    }
  }

  /** Reads one object; the text may also be in the parent-and-keys form (no delta flags). */
  public static ObjectDef read(String wire, Specs specs) {
    Wire.Reader r = new Wire.Reader(wire);
    ObjectDef o = read(r, specs);
    if (r.hasMore()) throw new IllegalArgumentException("fields after the object");
    return o;
  }

  private static ObjectDef read(Wire.Reader r, Specs specs) {
    String kind = r.next();
    if (!kind.equals("BusinessObject")) {
      throw new IllegalArgumentException("expected BusinessObject, found \"" + kind + "\"");
    }
    r.next();
    String name = r.next();
    SpecDef spec = specs.find(name);
    if (spec == null) throw new IllegalArgumentException("unknown type " + name);
    ObjectDef o = new ObjectDef(spec);
    o.version = r.next();
    String t = r.next();
    boolean flags = t.equals("true") || t.equals("false");
    if (flags) {
      o.delta = t.equals("true");
      t = r.next();
    }
    o.verb = t.equals("null") ? null : t;
    o.locale = r.next();
    int count = r.nextInt();
    if (count != spec.attrs.size()) {
      throw new IllegalArgumentException(name + ": " + count + " attributes, the spec has "
          + spec.attrs.size());
    }
    for (int i = 0; i < count; i++) {
      SpecDef.Attr a = spec.attrs.get(i);
      String v = r.next();
      if (v.equals("KyIgnore")) continue;
      if (v.equals("KyBlank")) {
        o.values[i] = ObjectDef.BLANK;
        continue;
      }
      if (a.isSimple()) {
        o.values[i] = v;
        continue;
      }
      int n;
      try {
        n = Integer.parseInt(v);
      } catch (NumberFormatException e) {
        throw new IllegalArgumentException(name + "." + a.name + ": expected a child count");
      }
      if (n <= 0) continue;
      if (a.isMultiple()) {
        ObjectDef.Container c = new ObjectDef.Container();
        if (flags) c.delta = r.next().equals("true");
        for (int k = 0; k < n; k++) c.children.add(read(r, specs));
        o.values[i] = c;
      } else {
        o.values[i] = read(r, specs);
      }
    }
    return o;
  }
}
