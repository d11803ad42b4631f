#include "ConnectorFault.hpp"

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <typeinfo>

#include "AgentLog.hpp"
#include "AgentPort.hpp"
#include "KyMsgFormat.hpp"

namespace vy {

namespace {

std::string cut(const char* text) {
  if (text == nullptr) return std::string();
  std::string out(text);
  if (out.size() > kMaxThrownText) {
    out.resize(kMaxThrownText);
    out += "...";
  }
  return out;
}

// A framework message of one argument, requested as the entry points always have: the argument
// is handed over whole, unpacked.
char* requestMsg(int msgNum, const char* arg) {
  return agentPort().formatMsg(msgNum, KyMsgFormat::MLV_ERROR, nullptr, 1, 1, arg);
}

template <typename Number>
Thrown number(const char* typeName, Number value) {
  std::ostringstream out;
  out << "the " << typeName << ' ' << value;
  Thrown t;
  t.kind = Thrown::kNumber;
  t.summary = out.str();
  return t;
}

Thrown text(Thrown::Kind kind, const char* value) {
  Thrown t;
  t.kind = kind;
  if (value == nullptr) {
    t.summary = "a null text";
    return t;
  }
  t.text = value;
  t.summary = "the text \"" + cut(value) + "\"";
  return t;
}

// The type of the exception being handled, demangled; empty when the runtime cannot tell.
std::string currentTypeName() {
  std::type_info* type = abi::__cxa_current_exception_type();
  return type != nullptr ? demangledTypeName(type->name()) : std::string();
}

}  // namespace

std::string demangledTypeName(const char* mangled) {
  if (mangled == nullptr) return std::string();
  int status = 0;
  char* readable = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
  std::string out = (status == 0 && readable != nullptr) ? readable : mangled;
  std::free(readable);
  return out;
}

Thrown describeThrown(std::exception_ptr thrown) {
  if (!thrown) {
    Thrown t;
    t.summary = "nothing";
    return t;
  }
  try {
    std::rethrow_exception(thrown);
  } catch (const std::exception& e) {
    Thrown t;
    t.kind = Thrown::kException;
    std::string what = cut(e.what());
    t.summary = demangledTypeName(typeid(e).name());
    t.summary += what.empty() ? std::string(" (its what() is empty)") : ": " + what;
    return t;
  } catch (int value) {
    Thrown t;
    t.kind = Thrown::kInt;
    t.intValue = value;
    t.summary = "the int " + std::to_string(value);
    return t;
  } catch (const char* value) {  // also a thrown char*
    return text(Thrown::kCharText, value);
  } catch (const std::string& value) {
    return text(Thrown::kText, value.c_str());
  } catch (long value) {
    return number("long", value);
  } catch (long long value) {
    return number("long long", value);
  } catch (unsigned value) {
    return number("unsigned int", value);
  } catch (unsigned long value) {
    return number("unsigned long", value);
  } catch (unsigned long long value) {
    return number("unsigned long long", value);
  } catch (short value) {
    return number("short", value);
  } catch (unsigned short value) {
    return number("unsigned short", value);
  } catch (double value) {
    return number("double", value);
  } catch (float value) {
    return number("float", value);
  } catch (...) {
    Thrown t;
    std::string type = currentTypeName();
    t.summary =
        type.empty() ? "an object of a type that cannot be named" : "an object of type " + type;
    return t;
  }
}

Thrown describeCurrentException() { return describeThrown(std::current_exception()); }

ConnectorFault reportConnectorFault(const char* operation, FaultReport report) noexcept {
  ConnectorFault fault;
  fault.thrown = true;
  const char* op = operation != nullptr ? operation : "";
  try {
    Thrown what = describeCurrentException();
    std::string headline;
    if (report == FaultReport::kPrinted) {
      std::printf("User code exception encountered in method %s\n", op);
      std::fflush(stdout);
      headline = std::string("User code exception encountered in method ") + op;
    } else {
      char* msg;
      if (report == FaultReport::kVerb && what.kind == Thrown::kInt) {
        char number[16];
        std::snprintf(number, sizeof number, "%u", static_cast<unsigned>(what.intValue));
        msg = requestMsg(80402, number);
      } else if (report == FaultReport::kVerb && what.kind == Thrown::kCharText) {
        msg = requestMsg(80403, what.text.c_str());
      } else {
        msg = requestMsg(80401, op);
      }
      headline = msg != nullptr ? msg : "";
      std::free(msg);
    }
    fault.text = headline + " (" + op + ": the connector threw " + what.summary + ")";
    logText(fault.text.c_str(), KyMsgFormat::MLV_ERROR);
  } catch (...) {
    // Out of memory while describing: the caller still learns that connector code threw.
    fault.text.clear();
  }
  return fault;
}

bool reportUnknownVerbResult(const char* typeName, int result) {
  if (result <= 1) return false;  // 1, 0 and every negative result have their meaning
  std::string text = "DoVerbFor: the handler for ";
  text += typeName != nullptr ? typeName : "(no type)";
  text += " answered " + std::to_string(result) +
          ", which is not a verb result (1 success, -5 not a failure, 0 done without a result "
          "object, -1 or another negative number a failure); the agent receives it unchanged "
          "and the object is not written back.";
  logText(text.c_str(), KyMsgFormat::MLV_WARNING);
  return true;
}

std::string reportMissingGlobals() {
  std::string text =
      "The connector cannot start: its library registered no connector globals object. A "
      "connector library defines exactly one static object of a GenGlobals subclass (for "
      "example `static MyGlobals theGlobals;` at namespace scope in one of its source files); "
      "constructing it when the library loads registers the connector with the framework. "
      "Check that the agent loaded the connector's own library and that this object is defined "
      "in it.";
  logText(text.c_str(), KyMsgFormat::MLV_FATAL);
  return text;
}

}  // namespace vy
