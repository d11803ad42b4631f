package vyagent;

import java.io.IOException;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.StandardCharsets;
import java.nio.file.AccessDeniedException;
import java.nio.file.FileSystemException;
import java.nio.file.Files;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;

/**
 * Reading the driver's input files (specs, objects, scripts, properties) so that every mistake
 * names the file: a file that cannot be read says why, a text error gets the file's name before
 * its line number.
 */
final class InputFile {
  private InputFile() {}

  /** The whole file as UTF-8 text, or an IllegalArgumentException "cannot read FILE: why". */
  static String read(Path file) {
    if (Files.isDirectory(file)) throw new IllegalArgumentException("cannot read " + file + ": a folder");
    try {
      return Files.readString(file, StandardCharsets.UTF_8);
    } catch (IOException e) {
      throw new IllegalArgumentException("cannot read " + file + ": " + reason(e), e);
    }
  }

  /** Why an I/O call failed, in words, without the file name the exception may carry. */
  static String reason(IOException e) {
    if (e instanceof NoSuchFileException) return "no such file";
    if (e instanceof AccessDeniedException) return "permission denied";
    if (e instanceof CharacterCodingException) return "not UTF-8 text";
    if (e instanceof FileSystemException) {
      String why = ((FileSystemException) e).getReason();
      if (why != null) return why;
    }
    return e.getMessage() != null ? e.getMessage() : e.getClass().getSimpleName();
  }

  /** What an I/O failure says to the user, with the file it concerns when it names one. */
  static String describe(IOException e) {
    if (e instanceof FileSystemException && ((FileSystemException) e).getFile() != null) {
      return ((FileSystemException) e).getFile() + ": " + reason(e);
    }
    return reason(e);
  }

  /** A text error of `file`: "FILE line N: what", or "FILE: what" for one without a line. */
  static IllegalArgumentException inFile(Path file, IllegalArgumentException e) {
    String msg = e.getMessage();
    String sep = msg != null && msg.startsWith("line ") ? " " : ": ";
    return new IllegalArgumentException(file + sep + msg, e);
  }
}
