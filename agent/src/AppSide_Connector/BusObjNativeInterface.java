package AppSide_Connector;

import KyCommon.ReturnStatusDescriptor;
import java.util.ArrayList;
import java.util.Collections;
import java.util.List;
import java.util.Map;
import java.util.concurrent.ConcurrentHashMap;
import java.util.concurrent.atomic.AtomicLong;
import java.util.function.BiFunction;

/**
 * The agent side of the native interface: declares the native methods a connector library
 * exports and answers the callbacks the native side makes.
 *
 * <p>This agent is scriptable and records what it is told, so that it serves both as the agent
 * of the load driver and as the real agent of the tests. Configuration properties and
 * delta-support answers are static, as the native side calls them on the class.
 */
public class BusObjNativeInterface {
  // ---- native methods exported by libVyConnector ----
  public native int n_init(String version, String dllFileName);

  public native int n_terminate();

  public native int n_poll();

  public native String n_getVersion();

  public native void n_suspend();

  public native void n_resume();

  public native String n_CDKVersion();

  public native String n_CJNIVersion();

  public native void n_setTraceLevel(int level);

  public native int n_DoVerbFor(StringBucket bucket, boolean transactional, ReturnStatusDescriptor status);

  public native void n_gotBusObjSpec(String specText);

  public native int n_SubscribeTo(String boName, String verb, int perf);

  public native boolean n_isSubscribed(String boName, String verb);

  public native int n_CancelSub(String boName, String version, String verb);

  public native int n_UpdateSubscription(String boName, String verb, int unused, int perf);

  public native String n_getPerfMonitors();

  // ---- loading ----

  /** Loads a connector library by name from java.library.path, as an agent does. */
  public static void loadConnector(String libraryName) {
    System.loadLibrary(libraryName);
  }

  /** Loads a connector library from a path. */
  public static void loadConnectorFile(String path) {
    System.load(path);
  }

  // ---- script: static answers ----

  private static final Map<String, String> properties = new ConcurrentHashMap<>();
  private static final Map<String, String> deltaSupport = new ConcurrentHashMap<>();
  private static final List<String> configRequests = Collections.synchronizedList(new ArrayList<>());
  private static volatile boolean throwOnConfig;

  public static void setProperty(String name, String value) {
    if (value == null) properties.remove(name);
    else properties.put(name, value);
  }

  public static void clearProperties() {
    properties.clear();
    deltaSupport.clear();
    configRequests.clear();
    throwOnConfig = false;
  }

  public static void setDeltaSupportAnswer(String boName, String answer) {
    if (answer == null) deltaSupport.remove(boName);
    else deltaSupport.put(boName, answer);
  }

  /** Makes getConfigProp throw, to prove the native side clears a pending exception. */
  public static void setThrowOnConfig(boolean value) {
    throwOnConfig = value;
  }

  public static List<String> getConfigRequests() {
    synchronized (configRequests) {
      return new ArrayList<>(configRequests);
    }
  }

  public static String getConfigProp(String name) {
    fault("getConfigProp");
    // The log is for tests; a long run stops logging rather than fill the heap.
    if (configRequests.size() < 100_000) configRequests.add(name);
    if (throwOnConfig) throw new IllegalStateException("configuration unavailable: " + name);
    return properties.get(name);
  }

  public static String getDeltaSupport(String boName) {
    fault("getDeltaSupport");
    return deltaSupport.get(boName);
  }

  // ---- script: faults ----
  //
  // A callback named by setFault (or every callback, "*") fails on entry, with the given
  // probability, decided by a seeded hash of a running call count so that a run injects the same
  // number of faults whatever the threads do. Kinds: "runtime" throws an IllegalStateException,
  // "oom" throws an OutOfMemoryError, "heap" asks the JVM for an array larger than its heap so
  // that the JVM itself throws OutOfMemoryError, "mixed" picks "runtime" or "oom" per fault.

  private static volatile String faultCallback;
  private static volatile String faultKind = "runtime";
  private static volatile double faultProbability;
  private static volatile long faultSeed;
  private static final AtomicLong faultCalls = new AtomicLong();
  private static final Map<String, AtomicLong> faultsInjected = new ConcurrentHashMap<>();

  /** Makes `callback` ("*": every callback) fail; a null callback stops injecting. */
  public static void setFault(String callback, String kind, double probability, long seed) {
    faultKind = kind == null ? "runtime" : kind;
    faultProbability = probability;
    faultSeed = seed;
    faultCalls.set(0);
    faultCallback = callback;
  }

  /** Stops injecting and forgets the counts. */
  public static void clearFaults() {
    faultCallback = null;
    faultsInjected.clear();
  }

  /** Faults injected into `callback` so far; null or "*" gives the total. */
  public static long getFaultsInjected(String callback) {
    if (callback == null || callback.equals("*")) {
      long sum = 0;
      for (AtomicLong n : faultsInjected.values()) sum += n.get();
      return sum;
    }
    AtomicLong n = faultsInjected.get(callback);
    return n == null ? 0 : n.get();
  }

  private static long mix(long z) {
    z = (z ^ (z >>> 30)) * 0xbf58476d1ce4e5b9L;
    z = (z ^ (z >>> 27)) * 0x94d049bb133111ebL;
    return z ^ (z >>> 31);
  }

  private static void fault(String callback) {
    String target = faultCallback;
    if (target == null || !(target.equals("*") || target.equals(callback))) return;
    long h = mix(faultSeed + faultCalls.getAndIncrement());
    if ((h >>> 11) * 0x1.0p-53 >= faultProbability) return;
    faultsInjected.computeIfAbsent(callback, k -> new AtomicLong()).incrementAndGet();
    String kind = faultKind;
    if (kind.equals("mixed")) kind = (h & 1) == 0 ? "runtime" : "oom";
    if (kind.equals("oom")) throw new OutOfMemoryError("injected into " + callback);
    if (kind.equals("heap")) {
      long words = Runtime.getRuntime().maxMemory() / 8 + (1 << 20);
      long[] beyond = new long[(int) Math.min(words, Integer.MAX_VALUE - 16)];
      // Only a heap over 16 GiB gets here.
      throw new OutOfMemoryError("injected into " + callback + " (" + beyond.length + ")");
    }
    throw new IllegalStateException("injected into " + callback);
  }

  // ---- script: instance answers ----

  private volatile String encoding = "UTF-8";
  private volatile String locale = "en_US";
  private volatile String collabNames = "";
  private volatile boolean capableOfPolling = true;
  private volatile int eventAnswer = 1;
  private volatile String syncObjectAnswer;
  private volatile String syncStatusAnswer;
  private volatile BiFunction<String, String, String[]> syncResponder;
  private volatile EventListener eventListener;

  /** Called for every event the connector delivers; returns the agent's answer. */
  public interface EventListener {
    int onEvent(String wireText);
  }

  public void setEncoding(String encoding) { this.encoding = encoding; }

  public void setLocale(String locale) { this.locale = locale; }

  public void setCollabNames(String names) { this.collabNames = names; }

  public void setCapableOfPolling(boolean value) { this.capableOfPolling = value; }

  public void setEventAnswer(int answer) { this.eventAnswer = answer; }

  public void setEventListener(EventListener listener) { this.eventListener = listener; }

  /** What consumeSync leaves in its two buckets; null leaves a bucket as the connector sent it. */
  public void setSyncAnswer(String objectText, String statusText) {
    this.syncObjectAnswer = objectText;
    this.syncStatusAnswer = statusText;
  }

  /** A responder given (collaboration, object text) that returns {object text, status text}. */
  public void setSyncResponder(BiFunction<String, String, String[]> responder) {
    this.syncResponder = responder;
  }

  // ---- records ----

  /** One logged line; severity is -1 for a line logged without one. */
  public record LogRecord(String text, int severity) {
    @Override
    public String toString() {
      return (severity < 0 ? "" : "[" + severity + "] ") + text;
    }
  }

  /** One trace line, with every argument the native side passed. */
  public record TraceRecord(String name, int level, String indent, String msg, String text2) {
    @Override
    public String toString() {
      return "<" + level + "> " + name + ": " + msg + (text2 == null ? "" : " " + text2);
    }
  }

  /** One generateMsg request with all six arguments. */
  public record MsgRecord(int msgNum, int msgType, String text, int msgSet, int argCount,
      String args) {
    @Override
    public String toString() {
      return "msg " + msgNum + " type " + msgType + " set " + msgSet + " (" + argCount + ") " + args
          + (text == null ? "" : " text " + text);
    }
  }

  /** One synchronous request. */
  public record SyncRecord(String collabName, String objectText, String statusText) {}

  private final List<LogRecord> logs = Collections.synchronizedList(new ArrayList<>());
  private final List<TraceRecord> traces = Collections.synchronizedList(new ArrayList<>());
  private final List<MsgRecord> messages = Collections.synchronizedList(new ArrayList<>());
  private final List<String> events = Collections.synchronizedList(new ArrayList<>());
  private final List<SyncRecord> syncs = Collections.synchronizedList(new ArrayList<>());
  private volatile boolean recording = true;
  private volatile int encodingRequests;
  private volatile String lastEvent;
  private volatile int localeRequests;

  /** Stops (or resumes) keeping records, for long runs that only count. */
  public void setRecording(boolean value) { recording = value; }

  private static <T> List<T> copy(List<T> list) {
    synchronized (list) {
      return new ArrayList<>(list);
    }
  }

  public List<LogRecord> getLogs() { return copy(logs); }

  public List<TraceRecord> getTraces() { return copy(traces); }

  public List<MsgRecord> getMessages() { return copy(messages); }

  public List<String> getEvents() { return copy(events); }

  public List<SyncRecord> getSyncs() { return copy(syncs); }

  public int getEncodingRequests() { return encodingRequests; }

  /** The wire text of the last event delivered, kept even when records are off. */
  public String getLastEventText() { return lastEvent; }

  public int getLocaleRequests() { return localeRequests; }

  public void clearRecords() {
    logs.clear();
    traces.clear();
    messages.clear();
    events.clear();
    syncs.clear();
  }

  /** The text generateMsg answers: the number, then the packed arguments, then the extra text. */
  public static String formatMessage(int msgNum, String text, String args) {
    StringBuilder sb = new StringBuilder();
    sb.append(msgNum).append(": ").append(args == null ? "" : args);
    if (text != null) sb.append(" | ").append(text);
    return sb.toString();
  }

  // ---- callbacks made by the native side ----

  public void logMsg(String msg) {
    fault("logMsg");
    if (recording) logs.add(new LogRecord(msg, -1));
  }

  public void logMsg(String msg, int severity) {
    fault("logMsgSeverity");
    if (recording) logs.add(new LogRecord(msg, severity));
  }

  public void TraceWrite(String name, int level, String indent, String msg, String text2) {
    fault("TraceWrite");
    if (recording) traces.add(new TraceRecord(name, level, indent, msg, text2));
  }

  public String generateMsg(int msgNum, int msgType, String text, int msgSet, int argCount, String args) {
    fault("generateMsg");
    if (recording) messages.add(new MsgRecord(msgNum, msgType, text, msgSet, argCount, args));
    return formatMessage(msgNum, text, args);
  }

  public String getCollabNames() {
    fault("getCollabNames");
    return collabNames;
  }

  public boolean isAgentCapableOfPolling() {
    fault("isAgentCapableOfPolling");
    return capableOfPolling;
  }

  public String getEncoding() {
    fault("getEncoding");
    encodingRequests++;
    return encoding;
  }

  public String getLocale() {
    fault("getLocale");
    localeRequests++;
    return locale;
  }

  public int GotEventFromApp(String wireText) {
    fault("GotEventFromApp");
    lastEvent = wireText;
    if (recording) events.add(wireText);
    EventListener listener = eventListener;
    if (listener != null) return listener.onEvent(wireText);
    return eventAnswer;
  }

  public void consumeSync(String collabName, StringBucket bo, StringBucket status) {
    fault("consumeSync");
    if (recording) syncs.add(new SyncRecord(collabName, bo.content, status.content));
    BiFunction<String, String, String[]> responder = syncResponder;
    if (responder != null) {
      String[] answer = responder.apply(collabName, bo.content);
      if (answer[0] != null) bo.content = answer[0];
      if (answer[1] != null) status.content = answer[1];
      return;
    }
    if (syncObjectAnswer != null) bo.content = syncObjectAnswer;
    if (syncStatusAnswer != null) status.content = syncStatusAnswer;
  }
}
