package vyagent;

import java.util.ArrayList;
import java.util.List;

/**
 * Word splitting shared by the driver's text formats. Words are separated by blanks; a double
 * quoted part keeps blanks and may use the escapes \" \\ \n \t \r and \\uXXXX; an unquoted "#"
 * at the start of a word ends the line (a comment).
 */
final class TextTokens {
  private TextTokens() {}

  static List<String> split(String line, int lineNo) {
    List<String> out = new ArrayList<>();
    int i = 0;
    int n = line.length();
    while (true) {
      while (i < n && Character.isWhitespace(line.charAt(i))) i++;
      if (i >= n || line.charAt(i) == '#') return out;
      StringBuilder word = new StringBuilder();
      while (i < n && !Character.isWhitespace(line.charAt(i))) {
        char c = line.charAt(i);
        if (c == '"') {
          i = unquote(line, i, word, lineNo);
        } else {
          word.append(c);
          i++;
        }
      }
      out.add(word.toString());
    }
  }

  /** Reads the quoted text starting at line[start] == '"'; returns the index after it. */
  static int unquote(String line, int start, StringBuilder into, int lineNo) {
    int i = start + 1;
    int n = line.length();
    while (i < n) {
      char c = line.charAt(i++);
      if (c == '"') return i;
      if (c != '\\') {
        into.append(c);
        continue;
      }
      if (i >= n) break;
      char e = line.charAt(i++);
      switch (e) {
        case 'n': into.append('\n'); break;
        case 't': into.append('\t'); break;
        case 'r': into.append('\r'); break;
        case 'u':
          if (i + 4 > n) throw error(lineNo, "short \\u escape");
          try {
            into.append((char) Integer.parseInt(line.substring(i, i + 4), 16));
          } catch (NumberFormatException ex) {
            throw error(lineNo, "bad \\u escape");
          }
          i += 4;
          break;
        default: into.append(e);
      }
    }
    throw error(lineNo, "unterminated quoted text");
  }

  /** The text as a single word: bare when it needs no quoting, else quoted with escapes. */
  static String quote(String s) {
    boolean bare = !s.isEmpty() && s.charAt(0) != '#' && s.charAt(0) != '<';
    for (int i = 0; bare && i < s.length(); i++) {
      char c = s.charAt(i);
      if (c <= ' ' || c == '"' || c == '\\' || c == 0x7f || Character.isWhitespace(c)) bare = false;
    }
    if (bare) return s;
    StringBuilder sb = new StringBuilder(s.length() + 2).append('"');
    for (int i = 0; i < s.length(); i++) {
      char c = s.charAt(i);
      switch (c) {
        case '"': sb.append("\\\""); break;
        case '\\': sb.append("\\\\"); break;
        case '\n': sb.append("\\n"); break;
        case '\t': sb.append("\\t"); break;
        case '\r': sb.append("\\r"); break;
        default:
          if (c < ' ' || c == 0x7f) sb.append(String.format("\\u%04x", (int) c));
          else sb.append(c);
      }
    }
    return sb.append('"').toString();
  }

  static IllegalArgumentException error(int lineNo, String what) {
    return new IllegalArgumentException("line " + lineNo + ": " + what);
  }
}
