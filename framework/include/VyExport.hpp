// The one export macro of the kit. Symbols are hidden by default; everything a connector
// library or the agent may call is marked VY_EXPORT. VY_C_EXPORT additionally gives C linkage,
// for the JNI entry points and the agent callbacks, which are found by their plain names.
#ifndef VY_EXPORT_HPP
#define VY_EXPORT_HPP

#define VY_EXPORT __attribute__((visibility("default")))
#define VY_C_EXPORT extern "C" VY_EXPORT

#endif  // VY_EXPORT_HPP
