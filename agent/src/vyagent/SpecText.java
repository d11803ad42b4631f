package vyagent;

import java.io.IOException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;
import java.util.Map;

/**
 * The readable spec format of the driver. One type per block:
 *
 * <pre>
 * type Order 1.0.0                 # name, version (default 1.0.0)
 *   text "application text"        # optional
 *   attr OrderId String key required max=20
 *   attr Note String default="none" app=... aux=...
 *   attr Lines OrderLine card=n    # a type name that is no simple type: a child
 *   verb Create
 *   verb Retrieve "application text"
 * end
 * </pre>
 *
 * Attribute flags: key, foreignkey, required, serverbound. Options (name=value): card (1 or n),
 * max, default, app, aux, relation, version. Simple types: Boolean, Integer, Float, Double,
 * String, Date, LongText.
 */
public final class SpecText {
  private SpecText() {}

  /** A mistake in the file is reported with the file's name and the line. */
  public static List<SpecDef> parseFile(Path file) throws IOException {
    String text = InputFile.read(file);
    try {
      return parse(text);
    } catch (IllegalArgumentException e) {
      throw InputFile.inFile(file, e);
    }
  }

  public static List<SpecDef> parse(String text) {
    List<SpecDef> out = new ArrayList<>();
    SpecDef cur = null;
    String[] lines = text.split("\r?\n", -1);
    for (int ln = 1; ln <= lines.length; ln++) {
      List<String> w = TextTokens.split(lines[ln - 1], ln);
      if (w.isEmpty()) continue;
      String head = w.get(0);
      if (cur == null) {
        if (!head.equals("type") || w.size() < 2 || w.size() > 3) {
          throw TextTokens.error(ln, "expected \"type <name> [<version>]\"");
        }
        cur = new SpecDef(w.get(1));
        if (w.size() == 3) cur.version = checkVersion(w.get(2), ln);
        continue;
      }
      switch (head) {
        case "end":
          if (w.size() != 1) throw TextTokens.error(ln, "\"end\" takes nothing");
          out.add(cur);
          cur = null;
          break;
        case "text":
          cur.appText = String.join(" ", w.subList(1, w.size()));
          break;
        case "verb":
          if (w.size() < 2 || w.size() > 3) throw TextTokens.error(ln, "expected \"verb <verb> [<text>]\"");
          cur.verbs.put(w.get(1), w.size() == 3 ? w.get(2) : "");
          break;
        case "attr":
          cur.attrs.add(parseAttr(w, ln));
          break;
        default:
          throw TextTokens.error(ln, "unknown line \"" + head + "\" (attr, verb, text or end)");
      }
    }
    if (cur != null) throw new IllegalArgumentException("type " + cur.name + " has no \"end\"");
    return out;
  }

  private static SpecDef.Attr parseAttr(List<String> w, int ln) {
    if (w.size() < 3) throw TextTokens.error(ln, "expected \"attr <name> <type> ...\"");
    SpecDef.Attr a = new SpecDef.Attr(w.get(1), w.get(2));
    for (String word : w.subList(3, w.size())) {
      int eq = word.indexOf('=');
      if (eq < 0) {
        switch (word) {
          case "key": a.key = true; break;
          case "foreignkey": a.foreignKey = true; break;
          case "required": a.required = true; break;
          case "serverbound": a.serverBound = true; break;
          default: throw TextTokens.error(ln, "unknown attribute flag \"" + word + "\"");
        }
        continue;
      }
      String k = word.substring(0, eq);
      String v = word.substring(eq + 1);
      switch (k) {
        case "card":
          if (!v.matches("[1nN]?")) throw TextTokens.error(ln, "card is 1 or n");
          a.cardinality = v;
          break;
        case "max":
          try {
            a.maxLength = Integer.parseInt(v);
          } catch (NumberFormatException e) {
            throw TextTokens.error(ln, "max is a number");
          }
          if (a.maxLength <= 0) throw TextTokens.error(ln, "max is above 0");
          break;
        case "default": a.defaultValue = v; break;
        case "app": a.appText = v; break;
        case "aux": a.aux = v; break;
        case "relation": a.relation = v; break;
        case "version": a.version = checkVersion(v, ln); break;
        default: throw TextTokens.error(ln, "unknown attribute option \"" + k + "\"");
      }
    }
    return a;
  }

  private static String checkVersion(String v, int ln) {
    if (!v.matches("\\d+\\.\\d+\\.\\d+")) throw TextTokens.error(ln, "version is <n>.<n>.<n>");
    return v;
  }

  /** The readable text of the given specs; parsing it gives equal specs. */
  public static String format(List<SpecDef> specs) {
    StringBuilder sb = new StringBuilder();
    for (SpecDef s : specs) {
      sb.append("type ").append(TextTokens.quote(s.name)).append(' ').append(s.version).append('\n');
      if (!s.appText.isEmpty()) sb.append("  text ").append(TextTokens.quote(s.appText)).append('\n');
      for (SpecDef.Attr a : s.attrs) {
        sb.append("  attr ").append(TextTokens.quote(a.name)).append(' ')
            .append(TextTokens.quote(a.typeName));
        if (a.key) sb.append(" key");
        if (a.foreignKey) sb.append(" foreignkey");
        if (a.required) sb.append(" required");
        if (a.serverBound) sb.append(" serverbound");
        if (!a.cardinality.equals("1")) sb.append(" card=").append(TextTokens.quote(a.cardinality));
        if (a.maxLength != 255) sb.append(" max=").append(a.maxLength);
        option(sb, "default", a.defaultValue);
        option(sb, "app", a.appText);
        option(sb, "aux", a.aux);
        if (!a.relation.equals(a.isSimple() ? "" : "Containment")) {
          sb.append(" relation=").append(a.relation.isEmpty() ? "\"\"" : TextTokens.quote(a.relation));
        }
        if (a.version != null) sb.append(" version=").append(a.version);
        sb.append('\n');
      }
      for (Map.Entry<String, String> v : s.verbs.entrySet()) {
        sb.append("  verb ").append(TextTokens.quote(v.getKey()));
        if (!v.getValue().isEmpty()) sb.append(' ').append(TextTokens.quote(v.getValue()));
        sb.append('\n');
      }
      sb.append("end\n");
    }
    return sb.toString();
  }

  private static void option(StringBuilder sb, String name, String value) {
    if (!value.isEmpty()) sb.append(' ').append(name).append('=').append(TextTokens.quote(value));
  }
}
