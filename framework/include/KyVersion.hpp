// A three-part version number (major.minor.point), written "%d.%d.%d": the agent's interface
// version, the version handed to a connector's init and the versions of business object specs.
//
// Parsing: every component a text does not supply takes the current value of LATEST (0 unless
// changed with setLATEST); a null text or one that does not begin with a number gives
// LATEST.LATEST.LATEST. Components beyond the int range are held at INT_MIN or INT_MAX.
// Comparison: only the sign of a result and zero are meaningful.
// Threads: versions are plain values. toString's text lives in a buffer of the calling thread,
// valid until that thread's next toString. The class-wide settings (LATEST, LATESTVERSION,
// DELIMITER) are set at load time and by their setters without locking.
#ifndef VY_KYVERSION_HPP
#define VY_KYVERSION_HPP

#include "VyExport.hpp"

class VY_EXPORT KyVersion {
 public:
  // The value of every component a parsed text does not supply.
  static int LATEST;
  // A settable process-wide latest version, 0.0.0 at load.
  static KyVersion LATESTVERSION;
  // A settable delimiter text, "." at load; parsing and formatting do not consult it.
  static char* DELIMITER;

  constexpr KyVersion(int major, int minor, int point)
      : major_(major), minor_(minor), point_(point) {}
  // Parses "%d.%d.%d" (see above); text may be null.
  explicit KyVersion(const char* text);

  // Differences this minus other: of the majors when they differ, else of the minors when they
  // differ, else of the points (0 when all three are equal).
  int compareTo(const KyVersion& other) const;
  // Compares with the version parsed from text.
  int compareTo(const char* text) const;
  int compareMajor(const KyVersion& other) const;
  int compareMinor(const KyVersion& other) const;
  int comparePoint(const KyVersion& other) const;
  int compareMajor(int major) const;
  int compareMinor(int minor) const;
  int comparePoint(int point) const;

  // "%d.%d.%d" in this thread's 16-byte buffer; a text longer than 15 characters is cut there.
  // The next toString on the same thread overwrites it: copy it to keep it.
  char* toString() const;
  static char* toString(int major, int minor, int point);

  // Always -1, whatever the version.
  int hashCode() const;
  static int hashCode(const char* text);
  static int hashCode(int major, int minor, int point);

  int getMajorVer() const { return major_; }
  int getMinorVer() const { return minor_; }
  int getPointVer() const { return point_; }
  void setMajorVer(int major) { major_ = major; }
  void setMinorVer(int minor) { minor_ = minor; }
  void setPointVer(int point) { point_ = point; }

  static int getLATEST();
  static void setLATEST(int latest);
  static const KyVersion& getLATESTVERSION();
  // Copies the three components of version.
  static void setLATESTVERSION(const KyVersion& version);
  static char* getDELIMITER();
  // Stores the pointer; the caller keeps the text alive.
  static void setDELIMITER(char* delimiter);

 private:
  int major_;
  int minor_;
  int point_;
};

#endif  // VY_KYVERSION_HPP
