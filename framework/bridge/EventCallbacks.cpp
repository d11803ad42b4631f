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

namespace {

const char* const kFile = "BusObjNativeImpl";

// The message's exact wire text as a Java string (a local reference).
jstring wireText(JNIEnv* env, StringMessage& message) {
  return env->NewString(reinterpret_cast<const jchar*>(message.toUTF16String()),
                        message.getCurrentUTF16Size());
}

// A bucket's content as a zero-terminated copy of its UTF-16 units (free()), or null when the
// agent left no string in it.
unsigned short* bucketUnits(JNIEnv* env, jobject bucket) {
  jstring item = static_cast<jstring>(env->GetObjectField(bucket, vy::agentIds().bucketContent));
  if (item == nullptr) return nullptr;
  unsigned short* units = vy::javaUnits(env, item, nullptr);
  env->DeleteLocalRef(item);
  return units;
}

jobject newBucket(JNIEnv* env, jstring content) {
  return env->NewObject(jclsStringBucket, vy::agentIds().bucketInit, content);
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

void fail(ReturnStatusDescriptor& status, const std::string& why) {
  status.setStatus(-1);
  status.seterrMsg(("consumeSync: " + why).c_str());
}

}  // namespace

int vy::jvmDeliverEvent(BusinessObject& bo) {
  JNIEnv* env = vy::callbackEnv();
  StringMessage* message = bo.toStringMessage();
  jstring text = wireText(env, *message);
  delete message;
  if (text == nullptr) {  // no memory for the string in the JVM: the event is not delivered
    vy::clearAgentException(env);
    return -1;
  }
  VY_ENV_ASSERT(jclsBusObjNativeInterface != NULL, kFile);
  jobject agent = vy::agentObject();
  jmethodID mid = vy::agentIds().gotEventFromApp;
  VY_ENV_ASSERT(mid != NULL, kFile);
  jint answer = env->CallIntMethod(agent, mid, text);
  if (vy::clearAgentException(env)) answer = -1;
  env->DeleteLocalRef(text);
  return answer;
}

extern "C" {

int CallJavaForAppEvent(BusinessObject* bo) { return bo == nullptr ? -1 : vy::raiseEvent(*bo); }

void CallJavaForConsumeSync(const char* name, BusinessObject& bo, ReturnStatusDescriptor& status) {
  JNIEnv* env = vy::callbackEnv();

  jstring jname = vy::toJavaName(env, name);
  StringMessage* boMessage = bo.toStringMessage();
  jstring boText = wireText(env, *boMessage);
  delete boMessage;
  StringMessage* statusMessage = status.toStringMessage();
  jstring statusText = wireText(env, *statusMessage);
  delete statusMessage;

  VY_ENV_ASSERT(jclsStringBucket != NULL, kFile);
  jmethodID mid1 = vy::agentIds().bucketInit;
  VY_ENV_ASSERT(mid1 != NULL, kFile);
  jobject boBucket = newBucket(env, boText);
  vy::clearAgentException(env);
  VY_ENV_ASSERT(boBucket != 0, kFile);
  jobject rtnStatusBucket = newBucket(env, statusText);
  vy::clearAgentException(env);
  VY_ENV_ASSERT(rtnStatusBucket != 0, kFile);

  VY_ENV_ASSERT(jclsBusObjNativeInterface != NULL, kFile);
  jobject agent = vy::agentObject();
  jmethodID mid = vy::agentIds().consumeSync;
  VY_ENV_ASSERT(mid != NULL, kFile);
  env->CallVoidMethod(agent, mid, jname, boBucket, rtnStatusBucket);

  if (vy::clearAgentException(env)) {
    fail(status, "the agent failed the request");
  } else {
    jfieldID fid = vy::agentIds().bucketContent;
    VY_ENV_ASSERT(fid != NULL, kFile);
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

  for (jobject ref : {static_cast<jobject>(jname), static_cast<jobject>(boText),
                      static_cast<jobject>(statusText), boBucket, rtnStatusBucket}) {
    if (ref != nullptr) env->DeleteLocalRef(ref);
  }
}

}  // extern "C"
