package vyagent;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * A driver script: requests and polls run in order in one process, each with the status it is
 * expected to get.
 *
 * <pre>
 * # lines starting with "#" are comments; so is the rest of a step line after " #"
 * request create.bo                      # an object file, relative to the script's folder
 * request retrieve.bo expect=1 name="read it back"
 * request expect=fail                    # no file: the object follows, up to its "end"
 *   object Order verb=Retrieve
 *     OrderId = 1
 *   end
 * poll                                   # n_poll until a poll brings no new event
 * poll 3 expect=0                        # three n_poll calls, each expected to answer 0
 * </pre>
 *
 * expect= takes "ok" (1, 0 or -5; the default), "fail" (any other status) or status numbers
 * separated by commas.
 */
public final class RequestScript {
  /** One step of a script. */
  public static final class Step {
    public final int line;
    /** True for a request, false for a poll. */
    public final boolean request;
    public String name;
    public ObjectDef object;
    public Expectation expect = Expectation.OK;
    /** Polls to make; 0 polls until a poll brings no new event. */
    public int polls;

    Step(int line, boolean request) {
      this.line = line;
      this.request = request;
    }
  }

  private RequestScript() {}

  public static List<Step> parseFile(Path file, Specs specs) throws IOException {
    Path dir = file.toAbsolutePath().getParent();
    String text = InputFile.read(file);
    try {
      return parse(text, dir, specs);
    } catch (IllegalArgumentException e) {
      throw InputFile.inFile(file, e);
    }
  }

  /** Object files named by the script are read relative to `dir`. */
  public static List<Step> parse(String text, Path dir, Specs specs) throws IOException {
    String[] lines = text.split("\r?\n", -1);
    List<Step> steps = new ArrayList<>();
    int[] pos = {0};
    while (pos[0] < lines.length) {
      int ln = pos[0] + 1;
      List<String> w = TextTokens.split(lines[pos[0]++], ln);
      if (w.isEmpty()) continue;
      String what = w.get(0);
      if (what.equals("request")) {
        steps.add(request(w, ln, lines, pos, dir, specs));
      } else if (what.equals("poll")) {
        steps.add(poll(w, ln));
      } else {
        throw TextTokens.error(ln, "expected \"request ...\" or \"poll ...\", found \"" + what + "\"");
      }
    }
    if (steps.isEmpty()) throw new IllegalArgumentException("the script holds no step");
    return steps;
  }

  private static Step request(List<String> w, int ln, String[] lines, int[] pos, Path dir,
      Specs specs) throws IOException {
    Step s = new Step(ln, true);
    String file = null;
    for (String word : w.subList(1, w.size())) {
      if (option(s, word, ln)) continue;
      if (word.contains("=")) throw TextTokens.error(ln, "unknown option \"" + word + "\"");
      if (file != null) throw TextTokens.error(ln, "one object file per request");
      file = word;
    }
    if (file != null) {
      Path p = dir == null ? Path.of(file) : dir.resolve(file);
      if (!Files.isRegularFile(p)) throw TextTokens.error(ln, "no object file " + p);
      try {
        s.object = ObjectText.parseFile(p, specs);  // its mistakes name the file
      } catch (IllegalArgumentException e) {
        throw TextTokens.error(ln, e.getMessage());
      }
      if (s.name == null) s.name = file;
      return s;
    }
    while (pos[0] < lines.length) {
      String t = lines[pos[0]].trim();
      if (!t.isEmpty() && !t.startsWith("#")) break;
      pos[0]++;
    }
    if (pos[0] >= lines.length || !lines[pos[0]].trim().startsWith("object")) {
      throw TextTokens.error(ln, "a request without a file takes the object on the lines after it");
    }
    s.object = ObjectText.parseAt(lines, pos, specs);
    return s;
  }

  private static Step poll(List<String> w, int ln) {
    Step s = new Step(ln, false);
    for (String word : w.subList(1, w.size())) {
      if (option(s, word, ln)) continue;
      try {
        s.polls = Integer.parseInt(word);
        if (s.polls > 0) continue;
      } catch (NumberFormatException e) {
        // reported below
      }
      throw TextTokens.error(ln, "poll takes a number of polls above 0, expect= and name=");
    }
    return s;
  }

  private static boolean option(Step s, String word, int ln) {
    if (word.startsWith("expect=")) {
      try {
        s.expect = Expectation.parse(word.substring(7));
      } catch (IllegalArgumentException e) {
        throw TextTokens.error(ln, e.getMessage());
      }
      return true;
    }
    if (word.startsWith("name=")) {
      s.name = word.substring(5);
      return true;
    }
    return false;
  }
}
