package vyagent;

/** What the values n_DoVerbFor returns mean to the agent. */
public final class Statuses {
  private Statuses() {}

  /** The connector carried out the verb and hands the object back. */
  public static final int SUCCESS = 1;
  /** The connector did what was asked and hands nothing back. */
  public static final int DONE = 0;
  /** Not a failure; the object is handed back. */
  public static final int VALUES_CHANGED = -5;

  public static String meaning(int s) {
    switch (s) {
      case 1: return "success, object returned";
      case -5: return "not a failure, object returned";
      case 0: return "done, object not returned";
      case -1: return "failure";
      case -10: return "no subscription";
      default: return s < 0 ? "failure" : "other";
    }
  }

  /** The agent takes the bucket's content as the connector's answer only for these. */
  public static boolean returnsObject(int s) {
    return s == SUCCESS || s == VALUES_CHANGED;
  }

  /** Anything but 1, 0 and -5 counts as a failed request. */
  public static boolean isFailure(int s) {
    return s != SUCCESS && s != DONE && s != VALUES_CHANGED;
  }
}
