#include "NativeAgentPort.hpp"

#include <cstdlib>
#include <cstring>

#include "BusinessObject.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "TextCopy.hpp"

namespace vy {

namespace {

// Records are kept for a test to read; a process that never reads them (a fuzzer, a long run
// without an agent) drops the older half whenever a list reaches this size.
constexpr size_t kMaxRecords = 100000;

template <typename T>
void keep(std::vector<T>& list, T item) {
  if (list.size() >= kMaxRecords) list.erase(list.begin(), list.begin() + kMaxRecords / 2);
  list.push_back(std::move(item));
}

std::string orEmpty(const char* s) { return s != nullptr ? s : ""; }

}  // namespace

NativeAgentPort::NativeAgentPort()
    : encoding_(names_.insert("UTF-8").first->c_str()),
      locale_(names_.insert("en_US").first->c_str()) {}

NativeAgentPort::~NativeAgentPort() = default;

NativeAgentPort& NativeAgentPort::instance() {
  // Never destroyed: objects with static storage in connector libraries may still log while the
  // process exits.
  static NativeAgentPort* port = new NativeAgentPort();
  return *port;
}

void NativeAgentPort::setEncoding(const std::string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  encoding_ = names_.insert(name).first->c_str();
}

void NativeAgentPort::setLocale(const std::string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  locale_ = names_.insert(name).first->c_str();
}

void NativeAgentPort::setProperty(const std::string& name, const std::string& value) {
  std::lock_guard<std::mutex> guard(lock_);
  properties_[name] = value;
}

void NativeAgentPort::removeProperty(const std::string& name) {
  std::lock_guard<std::mutex> guard(lock_);
  properties_.erase(name);
}

void NativeAgentPort::clearProperties() {
  std::lock_guard<std::mutex> guard(lock_);
  properties_.clear();
}

void NativeAgentPort::setDeltaSupport(const std::string& type, bool supported) {
  std::lock_guard<std::mutex> guard(lock_);
  if (supported)
    deltaTypes_.insert(type);
  else
    deltaTypes_.erase(type);
}

void NativeAgentPort::setCollabNames(const std::vector<std::string>& names) {
  setLocked(collabNames_, names);
}

void NativeAgentPort::setCanPoll(bool capable) { setLocked(canPoll_, capable); }

void NativeAgentPort::setEventSink(EventSink sink) { setLocked(eventSink_, std::move(sink)); }

void NativeAgentPort::setEventAnswer(int answer) { setLocked(eventAnswer_, answer); }

void NativeAgentPort::setSyncResponder(SyncResponder responder) {
  setLocked(syncResponder_, std::move(responder));
}

std::vector<NativeAgentPort::LogLine> NativeAgentPort::logLines() const {
  return copyLocked(logs_);
}

std::vector<NativeAgentPort::TraceLine> NativeAgentPort::traceLines() const {
  return copyLocked(traces_);
}

std::vector<NativeAgentPort::Message> NativeAgentPort::messages() const {
  return copyLocked(messages_);
}

std::vector<std::string> NativeAgentPort::events() const { return copyLocked(events_); }

void NativeAgentPort::clearRecords() {
  std::lock_guard<std::mutex> guard(lock_);
  logs_.clear();
  traces_.clear();
  messages_.clear();
  events_.clear();
}

void NativeAgentPort::setRecording(bool keep) { setLocked(recording_, keep); }

void NativeAgentPort::reset() {
  std::lock_guard<std::mutex> guard(lock_);
  encoding_ = names_.insert("UTF-8").first->c_str();
  locale_ = names_.insert("en_US").first->c_str();
  properties_.clear();
  deltaTypes_.clear();
  collabNames_.clear();
  canPoll_ = true;
  recording_ = true;
  eventAnswer_ = 0;
  eventSink_ = nullptr;
  syncResponder_ = nullptr;
  logs_.clear();
  traces_.clear();
  messages_.clear();
  events_.clear();
}

const char* NativeAgentPort::encoding() { return copyLocked(encoding_); }

const char* NativeAgentPort::locale() { return copyLocked(locale_); }

int NativeAgentPort::configProp(const char* name, char* value, int size) {
  if (value != nullptr && size > 0) value[0] = '\0';
  if (name == nullptr || value == nullptr || size <= 0) return 0;
  std::lock_guard<std::mutex> guard(lock_);
  auto it = properties_.find(name);
  if (it == properties_.end()) return 0;
  size_t n = it->second.size() < static_cast<size_t>(size - 1) ? it->second.size()
                                                               : static_cast<size_t>(size - 1);
  std::memcpy(value, it->second.data(), n);
  value[n] = '\0';
  return static_cast<int>(n);
}

bool NativeAgentPort::deltaSupport(const char* objectName) {
  if (objectName == nullptr) return false;
  std::lock_guard<std::mutex> guard(lock_);
  return deltaTypes_.count(objectName) != 0;
}

void NativeAgentPort::log(const char* msg, int severity) {
  if (msg == nullptr) return;
  std::lock_guard<std::mutex> guard(lock_);
  if (recording_) keep(logs_, LogLine{severity < 0 ? -1 : severity, msg});
}

void NativeAgentPort::trace(const char* name, int level, const char* indent, const char* msg,
                            const char* text2) {
  std::lock_guard<std::mutex> guard(lock_);
  if (recording_)
    keep(traces_, TraceLine{level, orEmpty(name), orEmpty(indent), orEmpty(msg), orEmpty(text2)});
}

char* NativeAgentPort::formatMsg(int msgNum, int msgType, const char* text, int msgSet,
                                 int argCount, const char* args) {
  std::string out = std::to_string(msgNum) + ": " + orEmpty(args);
  if (text != nullptr) out.append(" | ").append(text);
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (recording_)
      keep(messages_, Message{msgNum, msgType, msgSet, argCount, orEmpty(text), orEmpty(args)});
  }
  return copyText(out);
}

StringMessage* NativeAgentPort::collabNames() {
  std::string joined;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (size_t i = 0; i < collabNames_.size(); ++i) {
      if (i > 0) joined.push_back('\3');  // the field delimiter of a message
      joined += collabNames_[i];
    }
  }
  return new StringMessage(joined.c_str());
}

bool NativeAgentPort::canPoll() { return copyLocked(canPoll_); }

int NativeAgentPort::deliverEvent(BusinessObject& bo) {
  StringMessage* message = bo.toStringMessage();
  std::string wire =
      message != nullptr && message->toString() != nullptr ? message->toString() : "";
  delete message;
  EventSink sink;
  int answer;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (recording_) keep(events_, wire);
    sink = eventSink_;
    answer = eventAnswer_;
  }
  return sink ? sink(wire, bo) : answer;
}

void NativeAgentPort::consumeSync(const char* collabName, BusinessObject& bo,
                                  ReturnStatusDescriptor& status) {
  SyncResponder responder;
  {
    std::lock_guard<std::mutex> guard(lock_);
    responder = syncResponder_;
  }
  if (responder) {
    responder(orEmpty(collabName), bo, status);
    return;
  }
  status.setStatus(-1);
  status.seterrMsg(("consumeSync: no collaboration answers " + orEmpty(collabName) +
                    " (no agent in this process)")
                       .c_str());
}

}  // namespace vy
