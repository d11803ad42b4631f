// The calls from the native side into the agent. Every one obtains its thread's environment
// (attaching a connector thread on first use), releases every local reference it makes before it
// returns, and clears a Java exception the agent left instead of letting it reach the next call.
// A text the JVM cannot make (out of heap) is not passed on: the call is skipped, or answered as
// the agent's failure would be. The calls that need the agent object hold the veneer in use, and
// do nothing (or answer as an absent agent) while no connector runs.
#include "BusObjNativeImpl.hpp"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>

#include "AgentLog.hpp"
#include "BridgeState.hpp"
#include "BusinessObject.hpp"
#include "JToCPPVeneer.hpp"
#include "KyMsgFormat.hpp"
#include "Tracing.hpp"
#include "VeneerLife.hpp"

namespace {

const char* const kFile = "BusObjNativeImpl";

jmethodID idOrDie(jmethodID mid) {
  VY_ENV_CHECK(vy::agentIds().busObjNativeInterface != nullptr, "jclsBusObjNativeInterface != NULL",
               kFile);
  VY_ENV_ASSERT(mid != NULL, kFile);
  return mid;
}

bool tracingOn(int level) { return vy::traceOn(level); }

void trace(int level, const std::string& line) { vy::traceLine(level, line.c_str()); }

// Calls a static String(String) method of the agent class; returns the answer (local ref) or
// null for a null answer or an exception.
jstring callStaticText(JNIEnv* env, jmethodID mid, const char* arg) {
  idOrDie(mid);
  vy::LocalRef jarg(env, vy::toJavaName(env, arg));
  if (jarg.get() == nullptr) {
    // The JVM could not make the string (out of memory): the answer is absent, not a crash.
    vy::clearAgentException(env);
    return nullptr;
  }
  vy::LocalRef answer(
      env, env->CallStaticObjectMethod(vy::agentIds().busObjNativeInterface, mid, jarg.get()));
  if (vy::clearAgentException(env)) return nullptr;
  return static_cast<jstring>(answer.release());
}

// The encoding and locale are asked once per process; the first answer stays.
const char* cachedAgentText(std::atomic<char*>& cache, jmethodID JToCPPVeneerMid) {
  char* text = cache.load(std::memory_order_acquire);
  if (text != nullptr) return text;
  JNIEnv* env = vy::callbackEnv();
  if (JToCPPVeneerMid == nullptr || vy::agentIds().busObjNativeInterface == nullptr) return nullptr;
  vy::VeneerUse use;
  jobject agent = vy::runningAgent();
  if (agent == nullptr) return nullptr;
  vy::LocalRef answer(env, env->CallObjectMethod(agent, JToCPPVeneerMid));
  if (vy::clearAgentException(env) || answer.get() == nullptr) return nullptr;
  std::string utf = vy::javaUtf(env, answer.as<jstring>());
  char* copy = static_cast<char*>(std::malloc(utf.size() + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, utf.c_str(), utf.size() + 1);
  char* expected = nullptr;
  if (!cache.compare_exchange_strong(expected, copy, std::memory_order_acq_rel)) {
    std::free(copy);  // another thread filled it first; its text is equal
    return expected;
  }
  return copy;
}

// True when each text given was made into a Java string; otherwise the JVM's exception (out of
// heap) is cleared and false returned.
bool madeAll(JNIEnv* env, std::initializer_list<std::pair<const char*, jstring>> made) {
  for (const auto& m : made) {
    if (m.first != nullptr && m.second == nullptr) {
      vy::clearAgentException(env);
      return false;
    }
  }
  return true;
}

std::atomic<char*> gblEncoding{nullptr};
std::atomic<char*> gblLocale{nullptr};

}  // namespace

void vy::jvmTraceWrite(const char* name, int level, const char* indent, const char* msg,
                       const char* text2) {
  JNIEnv* env = vy::callbackEnv();
  jmethodID mid = idOrDie(vy::agentIds().traceWrite);
  vy::VeneerUse use;
  jobject agent = vy::runningAgent();
  if (agent == nullptr) return;
  vy::LocalRef jname(env, vy::toJavaName(env, name));
  vy::LocalRef jindent(env, env->ExceptionCheck() ? nullptr : vy::toJavaName(env, indent));
  vy::LocalRef jmsg(env, env->ExceptionCheck() ? nullptr : vy::toJavaText(env, msg));
  vy::LocalRef jtext2(env, env->ExceptionCheck() ? nullptr : vy::toJavaName(env, text2));
  if (madeAll(env, {{name, jname.as<jstring>()},
                    {indent, jindent.as<jstring>()},
                    {msg, jmsg.as<jstring>()},
                    {text2, jtext2.as<jstring>()}})) {
    env->CallVoidMethod(agent, mid, jname.get(), static_cast<jint>(level), jindent.get(),
                        jmsg.get(), jtext2.get());
    vy::clearAgentException(env);
  }
}

extern "C" {

int CallJavaForgetConfigProp(const char* name, char* value, int size) {
  if (value != nullptr && size > 0) value[0] = '\0';
  JNIEnv* env = vy::callbackEnv();
  if (name == nullptr || value == nullptr || size <= 0) return 0;
  vy::LocalRef answer(env, callStaticText(env, vy::agentIds().getConfigProp, name));
  if (answer.get() == nullptr) return 0;
  bool failed = false;
  char* native = vy::fromJavaText(env, answer.as<jstring>(), &failed);
  if (failed || native == nullptr) {
    std::free(native);
    vy::logKyMsg(80014, KyMsgFormat::MLV_FATAL, 0);
    return 0;
  }
  int len = static_cast<int>(std::strlen(native));
  if (len > size - 1) len = size - 1;
  std::memcpy(value, native, static_cast<size_t>(len));
  value[len] = '\0';
  std::free(native);
  if (tracingOn(Tracing::LEVEL4)) {
    trace(Tracing::LEVEL4,
          std::string(value) + " was returned from AppEndConfig for property name:" + name);
  }
  return len;
}

void CallJavaForDeltaSupport(const char* objectName, char* answer) {
  const int kAnswerSize = 10;
  if (answer != nullptr) answer[0] = '\0';
  JNIEnv* env = vy::callbackEnv();
  if (objectName == nullptr || answer == nullptr) return;
  vy::LocalRef jans(env, callStaticText(env, vy::agentIds().getDeltaSupport, objectName));
  if (jans.get() == nullptr) return;
  std::string text = vy::javaUtf(env, jans.as<jstring>());
  size_t n = text.size() < kAnswerSize - 1 ? text.size() : kAnswerSize - 1;
  std::memcpy(answer, text.data(), n);
  answer[n] = '\0';
  if (tracingOn(Tracing::LEVEL4)) {
    trace(Tracing::LEVEL4,
          std::string(answer) +
              " was returned from AppEndConfig for deltaSupport for object name:" + objectName);
  }
}

void CallJavaForlogMsg(const char* msg) {
  JNIEnv* env = vy::callbackEnv();
  if (msg == nullptr) return;
  jmethodID mid = idOrDie(vy::agentIds().logMsg);
  vy::VeneerUse use;
  jobject agent = vy::runningAgent();
  if (agent == nullptr) return;
  vy::LocalRef s(env, vy::toJavaText(env, msg));
  if (!madeAll(env, {{msg, s.as<jstring>()}})) return;
  env->CallVoidMethod(agent, mid, s.get());
  vy::clearAgentException(env);
}

void CallJavaForlogMsgSeverity(const char* msg, int severity) {
  JNIEnv* env = vy::callbackEnv();
  if (msg == nullptr) return;
  jmethodID mid = idOrDie(vy::agentIds().logMsgSeverity);
  vy::VeneerUse use;
  jobject agent = vy::runningAgent();
  if (agent == nullptr) return;
  vy::LocalRef s(env, vy::toJavaText(env, msg));
  if (!madeAll(env, {{msg, s.as<jstring>()}})) return;
  env->CallVoidMethod(agent, mid, s.get(), static_cast<jint>(severity));
  vy::clearAgentException(env);
}

void CallJavaForTraceWrite(Tracing* tracing, int level, const char* msg, const char* text2) {
  vy::jvmTraceWrite(tracing ? tracing->getName() : nullptr, level, Tracing::getIndent(), msg,
                    text2);
}

char* CallJavaForMsgFormat(int msgNum, int msgType, const char* text, int msgSet, int argCount,
                           const char* args) {
  JNIEnv* env = vy::callbackEnv();
  jmethodID mid = idOrDie(vy::agentIds().generateMsg);
  vy::VeneerUse use;
  jobject agent = vy::runningAgent();
  const char* argText = args ? args : "";
  vy::LocalRef jargs(env, agent != nullptr ? vy::toJavaText(env, argText) : nullptr);
  vy::LocalRef jtext(
      env, agent != nullptr && !env->ExceptionCheck() ? vy::toJavaText(env, text) : nullptr);
  vy::LocalRef answerRef(env, nullptr);
  // No agent, or no room in the JVM for the texts: the fallback below answers.
  if (agent != nullptr &&
      madeAll(env, {{argText, jargs.as<jstring>()}, {text, jtext.as<jstring>()}})) {
    answerRef.reset(env->CallObjectMethod(
        agent, mid, static_cast<jint>(msgNum), static_cast<jint>(msgType), jtext.get(),
        static_cast<jint>(msgSet), static_cast<jint>(argCount), jargs.get()));
  }
  jstring answer = answerRef.as<jstring>();
  bool threw = vy::clearAgentException(env);
  char* out = nullptr;
  if (!threw && answer != nullptr) {
    bool failed = false;
    out = vy::fromJavaText(env, answer, &failed);
    if (out == nullptr) {
      // The answer cannot be put in the native encoding: keep the agent's bytes as they are.
      std::string utf = vy::javaUtf(env, answer);
      out = static_cast<char*>(std::malloc(utf.size() + 1));
      if (out != nullptr) std::memcpy(out, utf.c_str(), utf.size() + 1);
    }
  }
  if (out == nullptr) {
    // No answer at all: the caller still gets a text it can log and free.
    std::string fallback = std::to_string(msgNum) + ": " + (args ? args : "");
    out = static_cast<char*>(std::malloc(fallback.size() + 1));
    std::memcpy(out, fallback.c_str(), fallback.size() + 1);
  }
  return out;
}

int CallJavaForIsAgentCapableOfPolling() {
  JNIEnv* env = vy::callbackEnv();
  jmethodID mid = idOrDie(vy::agentIds().isAgentCapableOfPolling);
  vy::VeneerUse use;
  jobject agent = vy::runningAgent();
  if (agent == nullptr) return 0;
  jboolean answer = env->CallBooleanMethod(agent, mid);
  if (vy::clearAgentException(env)) return 0;
  return answer == JNI_TRUE ? 1 : 0;
}

const char* CallJavaForGetEncoding() {
  return cachedAgentText(gblEncoding, vy::agentIds().getEncoding);
}

const char* CallJavaForGetLocale() { return cachedAgentText(gblLocale, vy::agentIds().getLocale); }

void BusObjNativeImplTraceMsg(const char* msg) {
  if (msg != nullptr && tracingOn(Tracing::LEVEL4)) trace(Tracing::LEVEL4, msg);
}

void BusObjNativeImplTraceBO(const char* method, BusinessObject* bo) {
  if (bo == nullptr || !tracingOn(Tracing::LEVEL4)) return;
  const std::string head = std::string("Method ") + (method ? method : "") +
                           " tracing BusinessObject " + (bo->getName() ? bo->getName() : "");
  // The dump grows its buffer (MSGBUFSIZE, then four times larger each time) until the whole
  // object fits: a large object is traced once and whole, never cut.
  for (size_t size = MSGBUFSIZE; size <= (size_t{1} << 30); size *= 4) {
    if (head.size() >= size) continue;
    std::string buffer(size, '\0');
    std::memcpy(&buffer[0], head.data(), head.size());
    const int room = static_cast<int>(size - head.size());
    const int written = bo->dump(&buffer[head.size()], room);
    if (written >= 1 && written <= room) {
      buffer.resize(head.size() + static_cast<size_t>(written));
      trace(Tracing::LEVEL4, buffer);
      return;
    }
  }
}

}  // extern "C"
