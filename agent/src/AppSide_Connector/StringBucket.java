package AppSide_Connector;

/** A mutable holder for one string: the native side reads and replaces its content. */
public class StringBucket {
  public String content;

  public StringBucket(String content) {
    this.content = content;
  }

  public String getContent() {
    return content;
  }

  public void setContent(String content) {
    this.content = content;
  }
}
