package vyagent;

import java.util.ArrayList;
import java.util.List;

/**
 * The agent's field encoding: each field is its length in UTF-16 units as decimal digits, the
 * delimiter U+0003, then the text. The length alone delimits the text, so a field may contain
 * the delimiter. An empty or absent text travels as "null".
 */
public final class Wire {
  public static final char DELIMITER = '\u0003';
  /** The one-character text that stands for an empty text inside a spec. */
  public static final String EMPTY_MARKER = "\u0005";

  private Wire() {}

  /** Builds a wire text field by field. */
  public static final class Writer {
    private final StringBuilder sb = new StringBuilder(256);

    public Writer field(String text) {
      String t = (text == null || text.isEmpty()) ? "null" : text;
      sb.append(t.length()).append(DELIMITER).append(t);
      return this;
    }

    public Writer field(int value) {
      return field(Integer.toString(value));
    }

    public Writer bool(boolean value) {
      return field(value ? "true" : "false");
    }

    /** An empty text is written as the empty marker, as specs carry it. */
    public Writer specText(String text) {
      return field(text == null || text.isEmpty() ? EMPTY_MARKER : text);
    }

    @Override
    public String toString() {
      return sb.toString();
    }
  }

  /** Splits a wire text into its field texts; a malformed tail is an error. */
  public static List<String> split(String wire) {
    return head(wire, Integer.MAX_VALUE);
  }

  /** The first `count` fields of a wire text (fewer when it has fewer), the rest not read. */
  public static List<String> head(String wire, int count) {
    List<String> out = new ArrayList<>(Math.min(count, 16));
    int pos = 0;
    while (out.size() < count && pos < wire.length()) {
      int d = wire.indexOf(DELIMITER, pos);
      if (d <= pos) throw new IllegalArgumentException("field without a length at unit " + pos);
      int len;
      try {
        len = Integer.parseInt(wire.substring(pos, d));
      } catch (NumberFormatException e) {
        throw new IllegalArgumentException("bad field length at unit " + pos);
      }
      if (len < 1 || d + 1 + len > wire.length()) {
        throw new IllegalArgumentException("field length " + len + " at unit " + pos
            + " does not fit the text");
      }
      out.add(wire.substring(d + 1, d + 1 + len));
      pos = d + 1 + len;
    }
    return out;
  }

  /** Reads fields one after the other. */
  public static final class Reader {
    private final List<String> fields;
    private int pos;

    public Reader(String wire) {
      this.fields = split(wire);
    }

    public boolean hasMore() {
      return pos < fields.size();
    }

    public String peek() {
      if (pos >= fields.size()) throw new IllegalArgumentException("text ends early");
      return fields.get(pos);
    }

    public String next() {
      String s = peek();
      pos++;
      return s;
    }

    public int nextInt() {
      String s = next();
      try {
        return Integer.parseInt(s.trim());
      } catch (NumberFormatException e) {
        throw new IllegalArgumentException("expected a number, found \"" + s + "\"");
      }
    }

    /** A spec text field: the empty marker reads as the empty text. */
    public String nextSpecText() {
      String s = next();
      return EMPTY_MARKER.equals(s) ? "" : s;
    }

    public int position() {
      return pos;
    }
  }

  /** A readable picture of a wire text: fields separated by " | ". */
  public static String show(String wire) {
    try {
      return String.join(" | ", split(wire));
    } catch (IllegalArgumentException e) {
      return wire.replace(DELIMITER, '^');
    }
  }
}
