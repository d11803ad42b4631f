package vybench;

import AppSide_Connector.StringBucket;

/** The JNI floors of a round trip and of an event, and the echo connector's event script. */
public final class Floor {
  private Floor() {}

  public static native void roundTrip(StringBucket bucket);

  /** Prepares the event the echo connector raises, perPoll times per n_poll; 1 when readable. */
  public static native int prepareEvent(String wireText, int perPoll);

  /** Whether the echo handler changes one attribute ("Status") before it answers 1. */
  public static native void changeOne(boolean on);

  /** The floor of an event: count upcalls of GotEventFromApp, each with one new string. */
  public static native int upcalls(Object agent, String text, int count);
}
