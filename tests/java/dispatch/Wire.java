package dispatch;

import java.util.ArrayList;
import java.util.Arrays;
import java.util.List;

/** Builds the wire texts the dispatch tests send: specs, business objects, transaction objects. */
public final class Wire {
  static final String EMPTY = "\u0005";
  static final String[] VERBS = {"Create", "Retrieve", "Update", "Delete"};

  private Wire() {}

  /** Each field as its UTF-16 length, U+0003 and the text; an empty text travels as "null". */
  static String fields(List<String> fields) {
    StringBuilder sb = new StringBuilder();
    for (String f : fields) {
      String t = f == null || f.isEmpty() ? "null" : f;
      sb.append(t.length()).append('\u0003').append(t);
    }
    return sb.toString();
  }

  static String fields(String... fields) {
    return fields(Arrays.asList(fields));
  }

  /** A spec of simple String attributes, the first one the key. */
  public static String spec(String name, String... attrs) {
    List<String> f = new ArrayList<>(Arrays.asList("BusObjSpec", "4.2.0.0", name, "1.0.0", EMPTY,
        String.valueOf(attrs.length), String.valueOf(VERBS.length)));
    for (int i = 0; i < attrs.length; i++) {
      f.addAll(Arrays.asList(attrs[i], "String", i == 0 ? "true" : "false", "false", "false",
          EMPTY, "255", EMPTY, "1.0.0", "1", EMPTY, "false", EMPTY));
    }
    for (String v : VERBS) {
      f.add(v);
      f.add(EMPTY);
    }
    return fields(f);
  }

  static List<String> object(String type, boolean delta, String verb, String... values) {
    List<String> f = new ArrayList<>(Arrays.asList("BusinessObject", "4.2.0.0", type, "1.0.0",
        delta ? "true" : "false", verb, "en_US", String.valueOf(values.length)));
    f.addAll(Arrays.asList(values));
    return f;
  }

  public static String bo(String type, boolean delta, String verb, String... values) {
    return fields(object(type, delta, verb, values));
  }

  /** A transaction object: the object, then its section with the given reference values. */
  static String tx(String type, String verb, String[] values, String... refs) {
    List<String> f = object(type, false, verb, values);
    f.addAll(Arrays.asList("TransactionBusinessObject", "4.2.0.0", type, "1.0.0", verb,
        String.valueOf(refs.length)));
    f.addAll(Arrays.asList(refs));
    return fields(f);
  }
}
