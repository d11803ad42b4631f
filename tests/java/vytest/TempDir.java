package vytest;

import java.io.IOException;
import java.nio.file.Files;
import java.nio.file.Path;
import java.util.Comparator;
import java.util.stream.Stream;

/** A scratch folder for one test run, removed with everything in it when closed. */
public final class TempDir implements AutoCloseable {
  public final Path path;

  public TempDir(String prefix) throws IOException {
    path = Files.createTempDirectory(prefix);
  }

  @Override
  public void close() throws IOException {
    try (Stream<Path> files = Files.walk(path)) {
      files.sorted(Comparator.reverseOrder()).forEach(p -> p.toFile().delete());
    }
  }
}
