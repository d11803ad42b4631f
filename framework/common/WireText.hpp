// The fixed texts and numbers of the wire formats, in one place for every reader and writer.
#ifndef VY_WIRE_TEXT_HPP
#define VY_WIRE_TEXT_HPP

namespace vy {
namespace wire {

constexpr const char kFormatVersion[] = "4.2.0.0";  // of objects, specs and transaction sections
constexpr const char kObjectMarker[] = "BusinessObject";
constexpr const char kIgnoreText[] = "KyIgnore";  // a value left out
constexpr const char kBlankText[] = "KyBlank";    // the blank marker

// Type numbers 1 to 7 are the simple types (Boolean ... LongText); 0 is a child object.
constexpr bool isSimpleType(int type) { return type >= 1 && type <= 7; }

}  // namespace wire
}  // namespace vy

#endif  // VY_WIRE_TEXT_HPP
