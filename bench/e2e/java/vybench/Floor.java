package vybench;

import AppSide_Connector.StringBucket;

/** The JNI floor of a round trip: read the bucket's string, make one new string, store it. */
public final class Floor {
  private Floor() {}

  public static native void roundTrip(StringBucket bucket);
}
