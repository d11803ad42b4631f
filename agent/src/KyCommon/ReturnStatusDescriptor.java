package KyCommon;

/** The agent's status object: the native side sets the error text of a request on it. */
public class ReturnStatusDescriptor {
  private volatile String errorString;
  private volatile int status;

  public void setErrorString(String text) {
    errorString = text;
  }

  public String getErrorString() {
    return errorString;
  }

  public void setStatus(int status) {
    this.status = status;
  }

  public int getStatus() {
    return status;
  }
}
