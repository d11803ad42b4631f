package vyagent;

import java.util.ArrayList;
import java.util.List;

/**
 * Decodes the performance monitor text: "#", "~", then per flow "name~operation~average~"
 * followed by "#". The average is in the framework's clock unit (milliseconds).
 */
public final class PerfMonitors {
  /** One flow of the report. */
  public record Flow(String name, String operation, String average) {}

  private PerfMonitors() {}

  public static List<Flow> decode(String text) {
    List<Flow> out = new ArrayList<>();
    if (text == null) return out;
    String body = text.startsWith("#~") ? text.substring(2) : text;
    for (String part : body.split("#")) {
      if (part.isEmpty()) continue;
      // Taken from the right: only the connector name may itself contain "~".
      String p = part.endsWith("~") ? part.substring(0, part.length() - 1) : part;
      int a = p.lastIndexOf('~');
      int b = a > 0 ? p.lastIndexOf('~', a - 1) : -1;
      if (a < 0 || b < 0) {
        out.add(new Flow(part, "?", "?"));
        continue;
      }
      out.add(new Flow(p.substring(0, b), p.substring(b + 1, a), p.substring(a + 1)));
    }
    return out;
  }
}
