package serializer;

import static vytest.WireText.field;
import static vytest.WireText.wire;

import AppSide_Connector.BusObjNativeInterface;
import java.io.File;
import java.io.IOException;
import java.io.InputStream;
import java.io.ObjectInputStream;
import java.io.ObjectOutputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.util.ArrayList;
import java.util.List;
import vytest.Check;

/**
 * A business object packed with its specs in one JVM process and unpacked in a fresh one that
 * never heard of the specs. The test runs itself twice as a child process (under -Xcheck:jni,
 * with this process's class path and library path): "pack" announces the specs through the agent
 * and writes the packed text to a file, "unpack" reads it back in a process with an empty spec
 * directory.
 */
public final class SerializerTest {
  private static final String CUSTOMER = "SerJCustomer";
  private static final String PHONE = "SerJPhone";

  static native String pack(String objectWire);

  static native String unpack(String packed);

  static native String specText(String name);

  static native long specIdentity(String name);

  public static void main(String[] args) throws Exception {
    if (args.length == 2) {
      runChild(args[0], new File(args[1]));
      return;
    }
    File file = File.createTempFile("vy-serializer-", ".bin");
    try {
      Check.group("pack in one process");
      if (child("pack", file)) {
        Check.group("unpack in a fresh process");
        child("unpack", file);
      }
    } finally {
      file.delete();
    }
    Check.finish();
  }

  // ---- the parent: runs a child and judges its exit status and output ----

  private static boolean child(String mode, File file) throws IOException, InterruptedException {
    String java = System.getProperty("java.home") + File.separator + "bin" + File.separator + "java";
    ProcessBuilder builder = new ProcessBuilder(java, "-Xcheck:jni", "-ea",
        "-Djava.library.path=" + System.getProperty("java.library.path"), "-cp",
        System.getProperty("java.class.path"), SerializerTest.class.getName(), mode,
        file.getPath());
    builder.redirectErrorStream(true);
    Process process = builder.start();
    String output;
    try (InputStream in = process.getInputStream()) {
      output = new String(in.readAllBytes(), StandardCharsets.UTF_8);
    }
    int status = process.waitFor();
    System.out.print(output);
    Check.eq(0, status, mode + " child exit status");
    Check.isTrue(!output.contains("WARNING in native method") && !output.contains("WARNING: JNI")
        && !output.contains("FATAL ERROR in native method"), mode + " child printed a JNI warning");
    return status == 0;
  }

  // ---- the children ----

  private static void runChild(String mode, File file) throws Exception {
    BusObjNativeInterface.loadConnector("VyTestConnector");
    System.loadLibrary("VySerializerProbe");
    BusObjNativeInterface.clearProperties();
    BusObjNativeInterface agent = new BusObjNativeInterface();
    Check.eq(0, agent.n_init("4.1.0", "VyTestConnector"), "init");
    if (mode.equals("pack")) {
      packChild(agent, file);
    } else {
      unpackChild(file);
    }
    agent.n_terminate();
    Check.finish();
  }

  private static void packChild(BusObjNativeInterface agent, File file) throws IOException {
    agent.n_gotBusObjSpec(phoneSpec());
    agent.n_gotBusObjSpec(customerSpec());
    String customerSpecText = specText(CUSTOMER);
    String phoneSpecText = specText(PHONE);
    Check.isTrue(customerSpecText != null && phoneSpecText != null, "specs announced");

    String packed = pack(customerWire());
    Check.isTrue(packed != null, "packed");
    if (packed == null) return;
    List<String> fields = split(packed, '\u0003');
    Check.eq(4, fields.size(), "marker, object, two specs (the recursive type once)");
    Check.eq("BusObjAndSpec", fields.get(0), "kind marker");
    Check.eq(customerWire(), fields.get(1), "the object's message is one field");
    try (ObjectOutputStream out = new ObjectOutputStream(Files.newOutputStream(file.toPath()))) {
      out.writeObject(new String[] {packed, customerSpecText, phoneSpecText});
    }
  }

  private static void unpackChild(File file) throws IOException, ClassNotFoundException {
    String[] saved;
    try (ObjectInputStream in = new ObjectInputStream(Files.newInputStream(file.toPath()))) {
      saved = (String[]) in.readObject();
    }
    String packed = saved[0];
    Check.eq(null, specText(CUSTOMER), "no customer spec before unpacking");
    Check.eq(null, specText(PHONE), "no phone spec before unpacking");

    // Refused texts file nothing.
    String foreign = field("NotBusObjAndSpec") + packed.substring(field("BusObjAndSpec").length());
    Check.eq(null, unpack(foreign), "a text of another kind");
    Check.eq(null, unpack(wire("BusObjAndSpec", "garbage") + field(saved[1])), "no object");
    Check.eq(null, specText(CUSTOMER), "refused texts file no spec");
    Check.eq(null, specText(PHONE), "refused texts file no phone spec");

    Check.eq(customerWire(), unpack(packed), "the object reads back equal");
    Check.eq(saved[1], specText(CUSTOMER), "customer spec filed as it was packed");
    Check.eq(saved[2], specText(PHONE), "phone spec filed as it was packed");

    // Now the process holds the specs: they are kept, the packed copies dropped.
    long customer = specIdentity(CUSTOMER);
    long phone = specIdentity(PHONE);
    Check.eq(customerWire(), unpack(packed), "the object reads back equal again");
    Check.eq(customer, specIdentity(CUSTOMER), "known customer spec kept");
    Check.eq(phone, specIdentity(PHONE), "known phone spec kept");
    // Cut inside the spec fields: the whole specs before the cut are known already, so the
    // object still reads with them; cut inside the object, nothing comes back.
    for (int cut = 0; cut < packed.length(); cut += 97) {
      String got = unpack(packed.substring(0, cut));
      Check.isTrue(got == null || got.equals(customerWire()), "cut at " + cut + ": " + got);
    }
    Check.eq(customer, specIdentity(CUSTOMER), "still the same customer spec");
  }

  // ---- texts ----

  private static List<String> split(String text, char delimiter) {
    List<String> fields = new ArrayList<>();
    int pos = 0;
    while (pos < text.length()) {
      int at = text.indexOf(delimiter, pos);
      if (at <= pos) break;
      int length = Integer.parseInt(text.substring(pos, at));
      fields.add(text.substring(at + 1, at + 1 + length));
      pos = at + 1 + length;
    }
    return fields;
  }

  private static String[] attr(String name, String type, boolean key, String card) {
    return new String[] {name, type, key ? "true" : "false", "false", "false", "\u0005", "40",
        "\u0005", "1.0.0", card, "Containment", "true", "\u0005"};
  }

  private static String spec(String name, String[]... attrs) {
    List<String> f = new ArrayList<>(List.of("BusObjSpec", "4.2.0.0", name, "1.0.0", "\u0005",
        Integer.toString(attrs.length), "1"));
    for (String[] a : attrs) f.addAll(List.of(a));
    f.addAll(List.of("Create", "\u0005"));
    return wire(f.toArray(new String[0]));
  }

  private static String phoneSpec() {
    return spec(PHONE, attr("Number", "String", true, "1"), attr("Kind", "String", false, "1"));
  }

  /** A recursive type: Owner is a customer again. */
  private static String customerSpec() {
    return spec(CUSTOMER, attr("Id", "String", true, "1"), attr("Name", "String", false, "1"),
        attr("Phones", PHONE, false, "n"), attr("Owner", CUSTOMER, false, "1"),
        attr("Note", "String", false, "1"));
  }

  private static String header(String name, int count) {
    return wire("BusinessObject", "4.2.0.0", name, "1.0.0", "false", "Create", "en_US",
        Integer.toString(count));
  }

  private static String phoneWire(String number) {
    return header(PHONE, 2) + wire(number, "KyIgnore");
  }

  /** Non-ASCII text and an inner delimiter in a value; two phones; an owner; a blank note. */
  private static String customerWire() {
    String owner = header(CUSTOMER, 5) + wire("1", "KyIgnore", "0", "0", "KyIgnore");
    return header(CUSTOMER, 5) + wire("17", "Zoë ✓ \u0003 inner", "2", "false")
        + phoneWire("555") + phoneWire("556") + wire("1") + owner + wire("KyBlank");
  }
}
