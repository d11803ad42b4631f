package vyagent;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;
import java.util.Objects;

/**
 * One business object type as the driver announces it: name, version, application text, the
 * attributes in order and the supported verbs with their application texts. Converts to and from
 * the spec wire text the native side parses.
 */
public final class SpecDef {
  public static final String[] SIMPLE_TYPES = {
    "Boolean", "Integer", "Float", "Double", "String", "Date", "LongText"
  };

  /** One attribute: the thirteen fields of the spec wire format. */
  public static final class Attr {
    public String name;
    public String typeName;
    public boolean key;
    public boolean foreignKey;
    public boolean required;
    public String appText = "";
    public int maxLength = 255;
    public String defaultValue = "";
    /** Null: the version of the type that holds the attribute. */
    public String version;
    /** "1" or "n"; empty travels as "null". */
    public String cardinality = "1";
    /** Empty for simple attributes, "Containment" for children unless told otherwise. */
    public String relation = "";
    public boolean serverBound;
    public String aux = "";

    public Attr(String name, String typeName) {
      this.name = name;
      this.typeName = typeName;
      if (!isSimple()) relation = "Containment";
    }

    /** Type number 1 to 7 for the simple types (exact, case-sensitive), 0 for a child type. */
    public int typeNum() {
      for (int i = 0; i < SIMPLE_TYPES.length; i++) {
        if (SIMPLE_TYPES[i].equals(typeName)) return i + 1;
      }
      return 0;
    }

    public boolean isSimple() {
      return typeNum() != 0;
    }

    public boolean isMultiple() {
      return "n".equalsIgnoreCase(cardinality);
    }

    @Override
    public boolean equals(Object o) {
      if (!(o instanceof Attr)) return false;
      Attr a = (Attr) o;
      return name.equals(a.name) && typeName.equals(a.typeName) && key == a.key
          && foreignKey == a.foreignKey && required == a.required && appText.equals(a.appText)
          && maxLength == a.maxLength && defaultValue.equals(a.defaultValue)
          && Objects.equals(version, a.version) && cardinality.equals(a.cardinality)
          && relation.equals(a.relation) && serverBound == a.serverBound && aux.equals(a.aux);
    }

    @Override
    public int hashCode() {
      return name.hashCode();
    }
  }

  public String name;
  public String version = "1.0.0";
  public String appText = "";
  public final List<Attr> attrs = new ArrayList<>();
  /** Verb to application text, in the order given. */
  public final Map<String, String> verbs = new LinkedHashMap<>();

  public SpecDef(String name) {
    this.name = name;
  }

  public Attr attr(String attrName) {
    for (Attr a : attrs) {
      if (a.name.equals(attrName)) return a;
    }
    return null;
  }

  public int indexOf(String attrName) {
    for (int i = 0; i < attrs.size(); i++) {
      if (attrs.get(i).name.equals(attrName)) return i;
    }
    return -1;
  }

  /** The spec wire text, as n_gotBusObjSpec takes it. */
  public String toWire() {
    Wire.Writer w = new Wire.Writer();
    w.field("BusObjSpec").field("4.2.0.0").field(name).field(version).specText(appText);
    w.field(attrs.size()).field(verbs.size());
    for (Attr a : attrs) {
      w.field(a.name).field(a.typeName).bool(a.key).bool(a.foreignKey).bool(a.required);
      w.specText(a.appText).field(a.maxLength).specText(a.defaultValue);
      w.field(a.version == null ? version : a.version);
      w.field(a.cardinality).field(a.relation).bool(a.serverBound).specText(a.aux);
    }
    for (Map.Entry<String, String> v : verbs.entrySet()) {
      w.field(v.getKey()).specText(v.getValue());
    }
    return w.toString();
  }

  /** Reads a spec wire text back; the attribute version is kept only where it differs. */
  public static SpecDef fromWire(String wire) {
    Wire.Reader r = new Wire.Reader(wire);
    r.next();
    r.next();
    SpecDef s = new SpecDef(r.next());
    s.version = r.next();
    s.appText = r.nextSpecText();
    int n = r.nextInt();
    int v = r.nextInt();
    for (int i = 0; i < n; i++) {
      Attr a = new Attr(r.next(), r.next());
      a.key = "true".equals(r.next());
      a.foreignKey = "true".equals(r.next());
      a.required = "true".equals(r.next());
      a.appText = r.nextSpecText();
      String max = r.next();
      try {
        a.maxLength = Integer.parseInt(max);
      } catch (NumberFormatException e) {
        a.maxLength = 0;
      }
      if (a.maxLength == 0) a.maxLength = 255;
      a.defaultValue = r.nextSpecText();
      String ver = r.next();
      a.version = ver.equals(s.version) ? null : ver;
      String card = r.next();
      a.cardinality = "null".equals(card) ? "" : card;
      String rel = r.next();
      a.relation = "null".equals(rel) ? "" : rel;
      a.serverBound = "true".equals(r.next());
      a.aux = r.nextSpecText();
      s.attrs.add(a);
    }
    for (int i = 0; i < v; i++) {
      String verb = r.next();
      s.verbs.put(verb, r.nextSpecText());
    }
    if (r.hasMore()) throw new IllegalArgumentException("spec text has fields after its verbs");
    return s;
  }

  @Override
  public boolean equals(Object o) {
    if (!(o instanceof SpecDef)) return false;
    SpecDef s = (SpecDef) o;
    return name.equals(s.name) && version.equals(s.version) && appText.equals(s.appText)
        && attrs.equals(s.attrs) && verbs.equals(s.verbs);
  }

  @Override
  public int hashCode() {
    return name.hashCode();
  }
}
