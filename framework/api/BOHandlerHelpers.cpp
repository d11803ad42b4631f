// The handler base's delta and best-effort helpers: the two ways a request reaches the
// connector's doVerbFor more than once (retrieve first, then the real verb).
#include <cstdlib>
#include <cstring>
#include <memory>

#include "BOHandlerCPP.hpp"
#include "BusinessObject.hpp"
#include "KyMsgFormat.hpp"
#include "ReturnStatusDescriptor.hpp"
#include "StringMessage.hpp"
#include "TransactionBusinessObject.hpp"

namespace {

const char* const kRetrieve = "Retrieve";

// Room for a connector name in the best-effort messages: 24 characters and the NUL.
const int kConnectorNameSize = 25;

bool isRetrieve(const BusinessObject& bo) {
  return bo.getVerb() != nullptr && std::strcmp(bo.getVerb(), kRetrieve) == 0;
}

// A plain object read from the transaction object's own business object message.
std::unique_ptr<BusinessObject> plainCopyOf(TransactionBusinessObject& tbo) {
  std::unique_ptr<StringMessage> text(tbo.toBusinessObjectString());
  if (text == nullptr) return nullptr;
  std::unique_ptr<BusinessObject> bo(new BusinessObject(*text));
  if (bo->getSpecFor() == nullptr) return nullptr;
  return bo;
}

// A best-effort request that failed: logs message `logNum` (with the type's name) and gives the
// status message `statusNum` (with the connector's name and the type's name).
void failBestEffort(BOHandlerCPP& handler, ReturnStatusDescriptor* status, const char* name,
                    int logNum, int statusNum) {
  char* msg = handler.generateMsg(logNum, KyMsgFormat::MLV_ERROR, nullptr, 1, name);
  if (msg != nullptr) {
    handler.logMsg(msg, 0);
    std::free(msg);
  }
  char connector[kConnectorNameSize] = {0};
  handler.getConfigProp("ConnectorName", connector, kConnectorNameSize);
  msg = handler.generateMsg(statusNum, KyMsgFormat::MLV_ERROR, nullptr, 2, connector, name);
  if (status != nullptr) status->seterrMsg(msg);
  std::free(msg);
}

}  // namespace

int BOHandlerCPP::doDeltaCheck(BusinessObject* bo) {
  if (bo == nullptr || bo->getName() == nullptr) return 0;
  return getDeltaSupport(bo->getName()) == 1 ? 1 : 0;
}

int BOHandlerCPP::doDeltaWork(BusinessObject& bo, ReturnStatusDescriptor* status) {
  std::unique_ptr<BusinessObject> image(bo.clone());
  int result = -1;
  if (image != nullptr && image->getSpecFor() != nullptr) {
    image->setDelta(0);
    image->setVerb(kRetrieve);
    // A type without "Retrieve" keeps the clone's "Update": running it would write the partial
    // delta to the application as if it were complete, so the retrieve counts as failed.
    if (isRetrieve(*image)) result = image->doVerbFor(status);
  }
  if (result < 0) {
    char* msg = generateMsg(17115, KyMsgFormat::MLV_ERROR, nullptr, 1, bo.getName());
    if (msg != nullptr) {
      logMsg(msg, KyMsgFormat::MLV_UNKNOWN);
      std::free(msg);
    }
    return result;
  }
  image->createAfterImageFromDelta(&bo);
  // The after image is complete: it must reach the handler as such, never as another delta.
  image->setDelta(0);
  result = image->doVerbFor(status);
  image->copy(bo);
  return result;
}

int BOHandlerCPP::doBestEffort(TransactionBusinessObject& tbo, ReturnStatusDescriptor* status) {
  const char* name = tbo.getName();
  std::unique_ptr<BusinessObject> current = plainCopyOf(tbo);
  int result = -1;
  if (current != nullptr) {
    current->setVerb(kRetrieve);
    // Without "Retrieve" the copy would carry the transaction's own verb, performing it before
    // the reference values were checked: that counts as a failed retrieve.
    if (isRetrieve(*current)) result = current->doVerbFor(status);
  }

  if (result < 0 && result != -5) {
    failBestEffort(*this, status, name, 17118, 17119);
    return result;
  }
  if (result == -5) {
    char* msg = generateMsg(17057, KyMsgFormat::MLV_INFO, nullptr, 0);
    if (msg != nullptr) {
      logMsg(msg, 0);
      std::free(msg);
    }
  }

  if (tbo.equalsRefAttrs(*current) == -1) {
    failBestEffort(*this, status, name, 17116, 17117);
    return -1;
  }
  current.reset();

  std::unique_ptr<BusinessObject> work = plainCopyOf(tbo);
  if (work == nullptr) return -1;
  result = work->doVerbFor(status);
  if (result == 1 || result == -5) tbo.setAttrValues(work->getAttrValues());
  return result;
}
