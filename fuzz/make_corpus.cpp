// Writes the seed corpus of every fuzz target: valid texts made by the kit's own writers
// (BusinessObject, TransactionBusinessObject, BusObjSpec, BusObjAndSpecSerializer) for the fixed
// types, plus a few conversion texts. Usage: vy_fuzz_corpus <output folder>; one sub-folder per
// target is (re)filled.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BusObjAndSpecSerializer.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "FuzzNative.hpp"
#include "FuzzSpecs.hpp"
#include "StringMessage.hpp"
#include "TransactionBusinessObject.hpp"

namespace {

const int kString = 5, kInteger = 2, kFloat = 3, kDouble = 4, kBoolean = 1, kDate = 6, kLong = 7;
const int kObject = 0;

std::string gRoot;

void writeFile(const std::string& target, const std::string& name, const std::string& bytes) {
  std::string dir = gRoot + "/" + target;
  mkdir(gRoot.c_str(), 0755);
  mkdir(dir.c_str(), 0755);
  std::string path = dir + "/" + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) {
    std::perror(path.c_str());
    std::exit(1);
  }
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

std::string le16(const unsigned short* units, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) {
    out += static_cast<char>(units[i] & 0xFF);
    out += static_cast<char>(units[i] >> 8);
  }
  return out;
}

std::string le16(const std::u16string& units) {
  return le16(reinterpret_cast<const unsigned short*>(units.data()),
              static_cast<int>(units.size()));
}

std::string le16(StringMessage& msg) {
  return le16(msg.toUTF16String(), msg.getCurrentUTF16Size());
}

BusinessObject* item(const char* id, const char* verb) {
  auto* bo = new BusinessObject("Item", "en_US");
  bo->setVerb(verb);
  bo->setAttrValue(0, id, kString);
  bo->setAttrValue(1, "12", kInteger);
  bo->setAttrValue(2, "3.25", kDouble);
  bo->setAttrValue(3, "0.5", kFloat);
  bo->setAttrValue(4, "true", kBoolean);
  bo->setAttrValue(5, "2024-01-31", kDate);
  bo->setAttrValue(6, "caf\xC3\xA9 \xF0\x9F\x98\x80 with \x03 inside", kLong);
  return bo;
}

BusinessObject* node(const char* id, int depth) {
  auto* bo = new BusinessObject("Node", "en_US");
  bo->setVerb("Update");
  bo->setAttrValue(0, id, kString);
  bo->setAttrValue(1, BusinessObject::BlankValue, kString);
  if (depth > 0) {
    std::string kid = std::string(id) + ".k";
    bo->setAttrValue(2, node((kid + "1").c_str(), depth - 1), kObject);
    bo->setAttrValue(2, node((kid + "2").c_str(), depth - 1), kObject);
    bo->setAttrValue(3, node((std::string(id) + ".n").c_str(), depth - 1), kObject);
  }
  return bo;
}

BusinessObject* order(bool delta) {
  auto* bo = new BusinessObject("Order", "fr_FR");
  bo->setVerb(delta ? "Update" : "Create");
  bo->setDelta(delta ? 1 : 0);
  bo->setAttrValue(0, "O-1", kString);
  bo->setAttrValue(1, item("I-1", "Create"), kObject);
  bo->setAttrValue(1, item("I-2", "Delete"), kObject);
  bo->setAttrValue(2, node("N", 2), kObject);
  bo->setAttrValue(3, BusinessObject::BlankValue, kString);
  return bo;
}

// The transaction section for `bo`, written field by field, with or without the format version.
void appendSection(StringMessage& msg, BusinessObject& bo, bool withVersion) {
  msg.appendField("TransactionBusinessObject");
  if (withVersion) msg.appendField("4.2.0.0");
  msg.appendField(bo.getName());
  msg.appendField("1.0.0");
  msg.appendField(bo.getVerb());
  BusObjSpec* spec = bo.getTheSpec();
  msg.appendField(std::to_string(spec->getAttributeCount()).c_str());
  for (int i = 0; i < spec->getAttributeCount(); ++i) {
    if (bo.getAttrType(i) == kObject) {
      msg.appendField("0");
    } else {
      void* v = bo.getAttrValue(i);
      msg.appendField(v == nullptr                      ? "KyIgnore"
                      : v == BusinessObject::BlankValue ? "KyBlank"
                                                        : static_cast<const char*>(v));
    }
  }
}

void objectSeeds(const std::string& name, BusinessObject* bo) {
  StringMessage* msg = bo->toStringMessage();
  std::string wire = le16(*msg);
  writeFile("business_object", name, wire);
  writeFile("string_message", name, std::string(1, '\0') + wire);
  writeFile("do_verb", name, std::string(1, '\0') + wire);
  StringMessage* keys = bo->toStringMessageParentAndKeys();
  writeFile("business_object", name + "_keys", le16(*keys));
  delete keys;

  for (bool withVersion : {true, false}) {
    StringMessage whole(msg->toUTF16String());
    appendSection(whole, *bo, withVersion);
    whole.initTokenizer();
    TransactionBusinessObject tbo(whole);
    if (tbo.getTheSpec() == nullptr) {
      std::fprintf(stderr, "seed %s: the transaction text does not read: %s\n", name.c_str(),
                   tbo.getReadError() ? tbo.getReadError() : "?");
      std::exit(1);
    }
    StringMessage* t = tbo.toStringMessage();
    std::string tag = withVersion ? "_tx" : "_tx_noversion";
    // The kit's writer always writes the version; the other layout is kept as written here.
    std::string text = withVersion ? le16(*t) : le16(whole);
    writeFile("transaction", name + tag, text);
    writeFile("do_verb", name + tag, std::string(1, '\1') + text);
    delete t;
  }
  delete msg;

  char* packed = BusObjAndSpecSerializer::serialize(bo);
  char* packedKeys = BusObjAndSpecSerializer::serializeParentSpecAndKeys(bo);
  if (packed == nullptr || packedKeys == nullptr) {
    std::fprintf(stderr, "seed %s: the object does not pack\n", name.c_str());
    std::exit(1);
  }
  writeFile("deserialize", name, packed);
  writeFile("deserialize_keys", name, packedKeys);
  std::free(packed);
  std::free(packedKeys);
}

void specSeeds() {
  for (const char* name : {"Item", "Node", "Order"}) {
    BusObjSpec* spec = BusObjSpecDirectory::theBusObjSpecDirectory.find(name);
    StringMessage* msg = spec->toStringMessage();
    writeFile("spec", name, le16(*msg));
    writeFile("string_message", std::string("spec_") + name, std::string(1, '\1') + le16(*msg));
    delete msg;
  }
  // A spec with no attributes and no verbs: seven fields.
  writeFile(
      "spec", "empty",
      le16(vyfuzz::FuzzSpecs::wire({"BusObjSpec", "4.2.0.0", "E", "1.0.0", "\x05", "0", "0"})));
}

void conversionSeeds() {
  const std::vector<std::string> texts = {
      "plain ascii",
      "caf\xC3\xA9 na\xC3\xAFve",
      "\xF0\x9F\x98\x80 four bytes",
      "latin1 \xE9\xE8\xFF",
      "bad \xC3 cut \xED\xA0\x80 surrogate \xF8\x88\x80\x80\x80 long",
      std::string("nul\0inside", 10),
  };
  int n = 0;
  for (int charset = 0; charset < 8; ++charset) {
    for (const std::string& t : texts) {
      writeFile("conversion", "seed" + std::to_string(n++),
                std::string(1, static_cast<char>(charset)) + t);
    }
  }
  // UTF-16 with a lone surrogate and U+0000 inside.
  std::u16string odd = u"ab";
  odd += static_cast<char16_t>(0xD800);
  odd += u"c";
  odd += char16_t(0);
  odd += u"d";
  writeFile("conversion", "utf16_odd", std::string(1, '\0') + le16(odd));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
    return 2;
  }
  gRoot = argv[1];
  vyfuzz::FuzzNative::start();
  BusinessObject* bos[] = {item("I-9", "Create"), node("root", 3), order(false), order(true)};
  const char* names[] = {"item", "node", "order", "order_delta"};
  for (int i = 0; i < 4; ++i) {
    objectSeeds(names[i], bos[i]);
    delete bos[i];
  }
  specSeeds();
  conversionSeeds();
  std::printf("seed corpus written to %s\n", gRoot.c_str());
  return 0;
}
