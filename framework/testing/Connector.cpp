// The parts of the test kit both modes share, and the in-process mode: the connector's own
// objects driven through a veneer on a native agent port, the way the entry points drive them.
#include <dlfcn.h>

#include <exception>
#include <fstream>
#include <mutex>
#include <sstream>
#include <typeinfo>

#include "AgentPort.hpp"
#include "BOHandlerCPP.hpp"
#include "BusObjSpec.hpp"
#include "BusinessObject.hpp"
#include "ConnectorFault.hpp"
#include "ConnectorFrameworkVersion.hpp"
#include "GenGlobals.hpp"
#include "JToCPPVeneer.hpp"
#include "KyVersion.hpp"
#include "LibraryLoad.hpp"
#include "NativeAgentPort.hpp"
#include "ObjectWire.hpp"
#include "ReadableText.hpp"
#include "RequestRefusal.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "SubscriptionHandlerCPP.hpp"
#include "VyTesting.hpp"

namespace vy {
namespace testing {

// ---- shared ----

Connector::~Connector() = default;

void Connector::announce(const std::string& specText) {
  for (const std::string& wire : specWiresFromText(specText)) {
    // A text the model would refuse is the test's mistake: say so instead of filing nothing.
    StringMessage message(wire.c_str());
    BusObjSpec check(message);
    if (check.getParseError() != nullptr)
      throw Error(std::string("spec not accepted: ") + check.getParseError());
    announceWire(wire);
  }
}

void Connector::announceFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("cannot read " + path);
  std::stringstream text;
  text << in.rdbuf();
  announce(text.str());
}

Result Connector::request(const std::string& objectText) {
  return request(objectFromText(objectText));
}

Object Connector::parseObject(const std::string& objectText) { return objectFromText(objectText); }

bool Connector::logged(const std::string& fragment) {
  for (const LogLine& line : logs())
    if (line.text.find(fragment) != std::string::npos) return true;
  return false;
}

// ---- in-process ----

namespace {

class InProcessConnector : public Connector {
 public:
  InProcessConnector(void* library, bool noGlobals) : library_(library), noGlobals_(noGlobals) {
    port_.setEventSink([this](const std::string&, BusinessObject& bo) {
      std::lock_guard<std::mutex> guard(lock_);
      events_.push_back(objectFrom(bo));
      return eventAnswer_;
    });
  }

  ~InProcessConnector() override {
    if (veneer_ != nullptr) stop();
  }

  void setProperty(const std::string& name, const std::string& value) override {
    port_.setProperty(name, value);
  }
  void setEventAnswer(int answer) override {
    std::lock_guard<std::mutex> guard(lock_);
    eventAnswer_ = answer;
  }
  void setDeltaSupport(const std::string& type, bool supported) override {
    port_.setDeltaSupport(type, supported);
  }

  int start() override {
    lastError_.clear();
    if (veneer_ != nullptr) {
      lastError_ = "the connector is running already";
      return -1;
    }
    if (JToCPPVeneer::getTheHandlerStuff() != nullptr) {
      lastError_ = "another connector runs in this process; stop it first";
      return -1;
    }
    vy::setAgentPort(&port_);
    veneer_ = new JToCPPVeneer(new SubscriptionHandlerCPP(), nullptr, nullptr);
    if (JToCPPVeneer::getTheAppGlob() == nullptr || noGlobals_) {
      lastError_ = vy::reportMissingGlobals() +
                   " (in-process, the library must be linked into the test or named to "
                   "Connector::inProcess)";
      return -1;
    }
    KyVersion version = ConnectorFrameworkVersion::getVersion();
    return guarded("init", [&] { return veneer_->init(&version); });
  }

  int stop() override {
    lastError_.clear();
    if (veneer_ == nullptr) {
      lastError_ = "the connector is not running";
      return -1;
    }
    int result = guarded("terminate", [&] { return veneer_->terminate(); });
    delete veneer_;
    veneer_ = nullptr;
    vy::setAgentPort(nullptr);
    return result;
  }

  bool running() const override { return veneer_ != nullptr; }

  int poll() override {
    lastError_.clear();
    if (veneer_ == nullptr) {
      lastError_ = "the connector is not running";
      return -1;
    }
    return guarded("poll", [&] { return veneer_->poll(); });
  }

  std::string version() override {
    if (veneer_ == nullptr) return std::string();
    const char* text = nullptr;
    guarded("getVersion", [&] {
      text = veneer_->getVersion();
      return 0;
    });
    return text != nullptr ? text : "";
  }

  std::string lastError() const override { return lastError_; }

  Result request(const Object& object) override {
    Result result;
    if (veneer_ == nullptr) {
      result.status = -1;
      result.error = "The request cannot be processed: the connector is not running";
      return result;
    }
    // The request crosses as its wire text, as from the agent.
    std::u16string wire = objectToWire(object);
    StringMessage message(reinterpret_cast<const unsigned short*>(wire.c_str()));
    BusinessObject bo(message);
    std::string refusal = vy::requestRefusal(bo);
    if (!refusal.empty()) {
      result.status = -1;
      result.error = refusal;
      return result;
    }
    ReturnStatusDescriptor status;
    result.status = guarded(
        "DoVerbFor", [&] { return bo.doVerbFor(&status); }, vy::FaultReport::kVerb);
    if (status.getErrorMsg() != nullptr) result.error = status.getErrorMsg();
    if (!lastError_.empty())
      result.error = result.error.empty() ? lastError_ : result.error + "; " + lastError_;
    if (result.status == 1 || result.status == -5) result.object = objectFrom(bo);
    return result;
  }

  int subscribe(const std::string& type, const std::string& verb) override {
    if (veneer_ == nullptr) return -1;
    return veneer_->subscribeTo(const_cast<char*>(type.c_str()),
                                verb.empty() ? nullptr : const_cast<char*>(verb.c_str()), 0);
  }

  int unsubscribe(const std::string& type, const std::string& verb) override {
    if (veneer_ == nullptr) return -1;
    return veneer_->cancelSub(const_cast<char*>(type.c_str()), nullptr,
                              verb.empty() ? nullptr : const_cast<char*>(verb.c_str()));
  }

  std::vector<Object> events() override {
    std::lock_guard<std::mutex> guard(lock_);
    std::vector<Object> out;
    out.swap(events_);
    return out;
  }

  std::vector<LogLine> logs() override {
    std::vector<LogLine> out;
    for (const auto& line : port_.logLines()) out.push_back({line.severity, line.text});
    return out;
  }

  std::vector<TraceLine> traces() override {
    std::vector<TraceLine> out;
    for (const auto& line : port_.traceLines()) out.push_back({line.level, line.msg, line.text2});
    return out;
  }

  void clearRecords() override { port_.clearRecords(); }

 protected:
  void announceWire(const std::string& specWire) override {
    if (veneer_ == nullptr) throw Error("start the connector before announcing specs");
    guarded("gotBusObjSpec", [&] {
      veneer_->newBusObjSpec(const_cast<char*>(specWire.c_str()));
      return 0;
    });
  }

 private:
  // Runs connector code through the entry points' own guard: what it throws becomes -1, the
  // framework message and what was thrown, logged and kept in lastError().
  template <typename F>
  int guarded(const char* slot, F&& call, vy::FaultReport report = vy::FaultReport::kOperation) {
    lastError_.clear();
    int result = -1;
    vy::ConnectorFault fault = vy::guardConnectorCall(slot, report, [&] { result = call(); });
    if (fault) {
      lastError_ = fault.text;
      return -1;
    }
    return result;
  }

  void* library_;
  bool noGlobals_;  // the library loaded registered no connector
  NativeAgentPort port_;
  JToCPPVeneer* veneer_ = nullptr;
  std::string lastError_;
  std::mutex lock_;
  std::vector<Object> events_;
  int eventAnswer_ = 1;  // what the kit's agent answers in a JVM too
};

}  // namespace

std::unique_ptr<Connector> Connector::inProcess(const std::string& library) {
  void* handle = nullptr;
  bool noGlobals = false;
  if (!library.empty()) {
    LibraryLoad load(library);
    // Kept loaded for the process: the connector's static objects must outlive every use.
    handle = dlopen(library.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (handle == nullptr) {
      const char* why = dlerror();
      throw Error("cannot load " + library + ": " + (why ? why : "unknown reason"));
    }
    noGlobals = load.registeredNothing();
  }
  return std::unique_ptr<Connector>(new InProcessConnector(handle, noGlobals));
}

}  // namespace testing
}  // namespace vy
