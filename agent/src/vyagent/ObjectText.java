package vyagent;

import java.io.IOException;
import java.nio.file.Path;
import java.util.List;

/**
 * The readable object format of the driver:
 *
 * <pre>
 * object Order verb=Create             # also locale=..., version=..., delta
 *   OrderId = 17                       # the rest of the line, blanks around it dropped
 *   Note = "two  spaces\tand a tab"    # quoted: escapes \" \\ \n \t \r \\uXXXX
 *   Comment = &lt;blank&gt;                  # the blank marker; "" means the same
 *   Lines = object OrderLine verb=Create   # a multiple attribute: one block per child
 *     LineId = 1
 *   end
 * end
 * </pre>
 *
 * An attribute not named is ignored ("KyIgnore"). "Lines = &lt;delta-container&gt;" sets the delta
 * flag of that attribute's container. Lines starting with "#" are comments.
 */
public final class ObjectText {
  private ObjectText() {}

  /** A mistake in the file is reported with the file's name and the line. */
  public static ObjectDef parseFile(Path file, Specs specs) throws IOException {
    String text = InputFile.read(file);
    try {
      return parse(text, specs);
    } catch (IllegalArgumentException e) {
      throw InputFile.inFile(file, e);
    }
  }

  public static ObjectDef parse(String text, Specs specs) {
    String[] lines = text.split("\r?\n", -1);
    int[] pos = {0};
    ObjectDef top = null;
    while (pos[0] < lines.length) {
      String line = lines[pos[0]++].trim();
      if (line.isEmpty() || line.startsWith("#")) continue;
      if (top != null) throw TextTokens.error(pos[0], "text after the object");
      if (!line.startsWith("object")) throw TextTokens.error(pos[0], "expected \"object <type> ...\"");
      top = block(line, pos[0], lines, pos, specs);
    }
    if (top == null) throw new IllegalArgumentException("no object in the text");
    return top;
  }

  /**
   * Reads the object whose "object" line is lines[pos[0]], up to its "end", for texts that hold
   * an object among other lines; pos[0] moves past it. Line numbers count lines[0] as line 1.
   */
  static ObjectDef parseAt(String[] lines, int[] pos, Specs specs) {
    int ln = pos[0] + 1;
    return block(lines[pos[0]++].trim(), ln, lines, pos, specs);
  }

  /** Reads the header on `header` (line number ln) and the block that follows, up to "end". */
  private static ObjectDef block(String header, int ln, String[] lines, int[] pos, Specs specs) {
    List<String> w = TextTokens.split(header, ln);
    if (w.size() < 2 || !w.get(0).equals("object")) {
      throw TextTokens.error(ln, "expected \"object <type> ...\"");
    }
    SpecDef spec = specs.find(w.get(1));
    if (spec == null) throw TextTokens.error(ln, specs.unknownType(w.get(1)));
    ObjectDef o = new ObjectDef(spec);
    for (String word : w.subList(2, w.size())) {
      if (word.equals("delta")) o.delta = true;
      else if (word.startsWith("verb=")) o.verb = word.substring(5);
      else if (word.startsWith("locale=")) o.locale = word.substring(7);
      else if (word.startsWith("version=")) o.version = word.substring(8);
      else throw TextTokens.error(ln, "unknown object option \"" + word + "\"");
    }
    if (o.verb != null && (o.verb.isEmpty() || o.verb.equals("null"))) o.verb = null;
    if (o.locale.isEmpty()) throw TextTokens.error(ln, "empty locale");
    while (pos[0] < lines.length) {
      int lineNo = pos[0] + 1;
      String line = lines[pos[0]++].trim();
      if (line.isEmpty() || line.startsWith("#")) continue;
      if (line.equals("end")) return o;
      int eq = line.indexOf('=');
      if (eq <= 0) throw TextTokens.error(lineNo, "expected \"<attribute> = <value>\" or \"end\"");
      String name = line.substring(0, eq).trim();
      String value = line.substring(eq + 1).trim();
      int i = spec.indexOf(name);
      if (i < 0) throw TextTokens.error(lineNo, spec.name + " has no attribute " + name);
      SpecDef.Attr a = spec.attrs.get(i);
      if (value.equals("<ignore>")) {
        o.values[i] = null;
      } else if (value.equals("<blank>") || value.equals("\"\"")) {
        o.values[i] = ObjectDef.BLANK;
      } else if (a.isSimple()) {
        if (o.values[i] != null) throw TextTokens.error(lineNo, name + " is given twice");
        o.values[i] = simpleValue(value, lineNo);
      } else if (a.isMultiple() && value.equals("<delta-container>")) {
        containerOf(o, i).delta = true;
      } else if (value.startsWith("object")) {
        ObjectDef child = block(value, lineNo, lines, pos, specs);
        if (!child.spec.name.equals(a.typeName)) {
          throw TextTokens.error(lineNo, name + " holds " + a.typeName + ", not " + child.spec.name);
        }
        if (a.isMultiple()) {
          containerOf(o, i).children.add(child);
        } else {
          if (o.values[i] != null) throw TextTokens.error(lineNo, name + " is given twice");
          o.values[i] = child;
        }
      } else {
        throw TextTokens.error(lineNo, name + " holds objects: expected \"object " + a.typeName + "\"");
      }
    }
    throw new IllegalArgumentException("object " + spec.name + " has no \"end\"");
  }

  private static ObjectDef.Container containerOf(ObjectDef o, int i) {
    if (!(o.values[i] instanceof ObjectDef.Container)) o.values[i] = new ObjectDef.Container();
    return (ObjectDef.Container) o.values[i];
  }

  private static String simpleValue(String value, int lineNo) {
    if (!value.startsWith("\"")) return value;
    StringBuilder sb = new StringBuilder();
    int after = TextTokens.unquote(value, 0, sb, lineNo);
    if (after != value.length()) throw TextTokens.error(lineNo, "text after the quoted value");
    return sb.toString();
  }

  /** The readable text of an object; parsing it gives an equal object. */
  public static String format(ObjectDef o) {
    StringBuilder sb = new StringBuilder();
    format(o, "", "object ", sb);
    return sb.toString();
  }

  private static void format(ObjectDef o, String indent, String head, StringBuilder sb) {
    sb.append(head).append(TextTokens.quote(o.spec.name));
    if (o.verb != null) sb.append(" verb=").append(TextTokens.quote(o.verb));
    if (!o.locale.equals("en_US")) sb.append(" locale=").append(TextTokens.quote(o.locale));
    if (!o.version.equals(o.spec.version)) sb.append(" version=").append(TextTokens.quote(o.version));
    if (o.delta) sb.append(" delta");
    sb.append('\n');
    String in = indent + "  ";
    for (int i = 0; i < o.values.length; i++) {
      Object v = o.values[i];
      if (v == null) continue;
      String name = o.spec.attrs.get(i).name;
      if (v == ObjectDef.BLANK) {
        sb.append(in).append(name).append(" = <blank>\n");
      } else if (v instanceof String) {
        sb.append(in).append(name).append(" = ").append(valueText((String) v)).append('\n');
      } else if (v instanceof ObjectDef) {
        format((ObjectDef) v, in, in + name + " = object ", sb);
      } else {
        ObjectDef.Container c = (ObjectDef.Container) v;
        if (c.delta) sb.append(in).append(name).append(" = <delta-container>\n");
        for (ObjectDef child : c.children) format(child, in, in + name + " = object ", sb);
      }
    }
    sb.append(indent).append("end\n");
  }

  private static String valueText(String v) {
    boolean bare = !v.isEmpty() && v.equals(v.trim()) && !v.startsWith("\"")
        && !v.startsWith("<") && !v.startsWith("object") && !v.startsWith("#");
    for (int i = 0; bare && i < v.length(); i++) {
      char c = v.charAt(i);
      if (c < ' ' || c == 0x7f) bare = false;
    }
    return bare ? v : quoteAlways(v);
  }

  private static String quoteAlways(String v) {
    String q = TextTokens.quote(v);
    return q.startsWith("\"") ? q : "\"" + q + "\"";
  }
}
