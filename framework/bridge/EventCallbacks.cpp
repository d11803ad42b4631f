// The two callbacks that carry business objects from the connector to the agent: events
// (CallJavaForAppEvent) and synchronous collaboration requests (CallJavaForConsumeSync).
//
// Both run on whatever thread the connector raises them from, often one native thread raising
// many events within one poll: every local reference and every buffer taken here is released
// before return, and a Java exception the agent throws is described and cleared.
#include <cstdlib>
#include <string>

#include "BridgeState.hpp"
#include "BusObjNativeImpl.hpp"
#include "BusinessObject.hpp"
#include "EventRoute.hpp"
#include "JToCPPVeneer.hpp"
#include "KyMsgFormat.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "VeneerLife.hpp"
#include "WireRequest.hpp"

namespace {

const char* const kFile = "BusObjNativeImpl";

// The message's exact wire text as a Java string (a local reference); null, with the JVM's
// exception cleared, when the JVM has no room for it.
jstring wireText(JNIEnv* env, StringMessage& message) {
  jstring s = env->NewString(reinterpret_cast<const jchar*>(message.toUTF16String()),
                             message.getCurrentUTF16Size());
  if (s == nullptr) vy::clearAgentException(env);
  return s;
}

// A bucket's content as a zero-terminated copy of its UTF-16 units (free()), or null when the
// agent left no string in it.
unsigned short* bucketUnits(JNIEnv* env, jobject bucket) {
  vy::LocalRef item(env, env->GetObjectField(bucket, vy::agentIds().bucketContent));
  if (item.get() == nullptr) return nullptr;
  return vy::javaUnits(env, item.as<jstring>(), nullptr);
}

jobject newBucket(JNIEnv* env, jstring content) {
  return env->NewObject(vy::agentIds().stringBucket, vy::agentIds().bucketInit, content);
}

// Reads the object the agent returned into `bo`. False (bo untouched, `why` set) when the
// bucket is empty or its text is not a readable business object.
bool takeReturnedObject(JNIEnv* env, jobject bucket, BusinessObject& bo, std::string& why) {
  unsigned short* units = bucketUnits(env, bucket);
  if (units == nullptr) {
    why = "the agent returned no business object";
    return false;
  }
  StringMessage message(units);
  std::free(units);
  BusinessObject returned(message);
  if (returned.getTheSpec() == nullptr) {
    why = std::string("the returned business object cannot be read: ") +
          (returned.getReadError() != nullptr ? returned.getReadError() : "unknown type");
    return false;
  }
  // The caller's object becomes the returned one; the emptied shell goes with this frame.
  bo.takeStateFrom(returned);
  return true;
}

// Copies the status the agent returned into `status`; false when the bucket is empty.
bool takeReturnedStatus(JNIEnv* env, jobject bucket, ReturnStatusDescriptor& status) {
  unsigned short* units = bucketUnits(env, bucket);
  if (units == nullptr) return false;
  StringMessage message(units, ReturnStatusDescriptor::RETURN_DELIM);
  std::free(units);
  ReturnStatusDescriptor returned(&message);
  status.seterrMsg(returned.getErrorMsg());
  status.setStatus(returned.getStatus());
  return true;
}

const char* const kNoRoom = "the JVM has no room for the request (out of memory)";

void fail(ReturnStatusDescriptor& status, const std::string& why) {
  status.setStatus(-1);
  status.seterrMsg(("consumeSync: " + why).c_str());
}

}  // namespace

int vy::jvmDeliverEvent(BusinessObject& bo) {
  JNIEnv* env = vy::callbackEnv();
  VY_ENV_CHECK(vy::agentIds().busObjNativeInterface != nullptr, "jclsBusObjNativeInterface != NULL",
               kFile);
  jmethodID mid = vy::agentIds().gotEventFromApp;
  VY_ENV_ASSERT(mid != NULL, kFile);
  // The agent object stays valid until the event is handed over, even while n_terminate runs on
  // another thread; with no connector running there is no agent to take it.
  vy::VeneerUse use;
  jobject agent = vy::runningAgent();
  if (agent == nullptr) return -1;
  vy::Units units = vy::wireUnits(bo);
  vy::LocalRef text(env, env->NewString(reinterpret_cast<const jchar*>(units.data),
                                        static_cast<jsize>(units.length)));
  if (text.get() == nullptr) vy::clearAgentException(env);
  if (text.get() == nullptr) return -1;  // no room in the JVM for the text: not delivered
  jint answer = env->CallIntMethod(agent, mid, text.get());
  if (vy::clearAgentException(env)) answer = -1;
  return answer;
}

extern "C" {

int CallJavaForAppEvent(BusinessObject* bo) { return bo == nullptr ? -1 : vy::raiseEvent(*bo); }

void CallJavaForConsumeSync(const char* name, BusinessObject& bo, ReturnStatusDescriptor& status) {
  JNIEnv* env = vy::callbackEnv();
  VY_ENV_CHECK(vy::agentIds().stringBucket != nullptr, "jclsStringBucket != NULL", kFile);
  VY_ENV_ASSERT(vy::agentIds().bucketInit != NULL, kFile);
  VY_ENV_CHECK(vy::agentIds().busObjNativeInterface != nullptr, "jclsBusObjNativeInterface != NULL",
               kFile);
  jmethodID mid = vy::agentIds().consumeSync;
  VY_ENV_ASSERT(mid != NULL, kFile);
  VY_ENV_ASSERT(vy::agentIds().bucketContent != NULL, kFile);

  vy::VeneerUse use;
  jobject agent = vy::runningAgent();
  if (agent == nullptr) {
    fail(status, "the connector is not running");
    return;
  }

  // Every Java object the request needs; one the JVM cannot make fails the request.
  vy::LocalRef jname(env, vy::toJavaName(env, name));
  vy::LocalRef boText(env, nullptr), statusText(env, nullptr);
  vy::LocalRef boBucketRef(env, nullptr), statusBucketRef(env, nullptr);
  bool made = name == nullptr || jname.get() != nullptr;
  if (made) {
    vy::Units units = vy::wireUnits(bo);
    boText.reset(env->NewString(reinterpret_cast<const jchar*>(units.data),
                                static_cast<jsize>(units.length)));
    if (boText.get() == nullptr) vy::clearAgentException(env);
    made = boText.get() != nullptr;
  }
  if (made) {
    StringMessage* statusMessage = status.toStringMessage();
    statusText.reset(wireText(env, *statusMessage));
    delete statusMessage;
    made = statusText.get() != nullptr;
  }
  if (made) {
    boBucketRef.reset(newBucket(env, boText.as<jstring>()));
    made = boBucketRef.get() != nullptr;
  }
  if (made) {
    statusBucketRef.reset(newBucket(env, statusText.as<jstring>()));
    made = statusBucketRef.get() != nullptr;
  }
  jobject boBucket = boBucketRef.get(), rtnStatusBucket = statusBucketRef.get();

  if (!made) {
    vy::clearAgentException(env);
    fail(status, kNoRoom);
  } else {
    env->CallVoidMethod(agent, mid, jname.get(), boBucket, rtnStatusBucket);
    if (vy::clearAgentException(env)) {
      fail(status, "the agent failed the request");
    } else {
      std::string why;
      bool objectRead = takeReturnedObject(env, boBucket, bo, why);
      bool statusRead = takeReturnedStatus(env, rtnStatusBucket, status);
      // An object that cannot be taken back is a failed request whatever status came with it.
      if (!objectRead) {
        fail(status, why);
      } else if (!statusRead) {
        fail(status, "the agent returned no status");
      }
    }
  }
}

}  // extern "C"
