package vytest;

/**
 * Wire texts written by hand in tests: each field its length in UTF-16 units, the delimiter
 * U+0003, then the text, exactly as given (an empty text stays empty, unlike the driver's writer).
 */
public final class WireText {
  private WireText() {}

  public static String field(String text) {
    return text.length() + "\u0003" + text;
  }

  public static String wire(String... fields) {
    StringBuilder b = new StringBuilder();
    for (String f : fields) b.append(field(f));
    return b.toString();
  }
}
