#include "ReferenceData.hpp"

#include <fstream>
#include <sstream>

#include "BenchAgent.hpp"
#include "BusObjSpec.hpp"
#include "BusObjSpecDirectory.hpp"
#include "BusinessObject.hpp"
#include "StringMessage.hpp"

namespace vybench {

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

}  // namespace

bool loadReference(std::vector<unsigned short>* orderUnits, std::string* why) {
  std::string dir = envOr("VY_BENCH_DATA", exeDir() + "/../../bench/data");
  for (const char* type : {"RefOrderLine", "RefContact", "RefOrder"}) {
    std::string text = readFile(dir + "/" + type + ".busobjspec");
    if (text.empty()) {
      *why = "no reference spec at " + dir;
      return false;
    }
    StringMessage msg(text.c_str());
    BusObjSpec* spec = new BusObjSpec(msg);
    if (spec->getParseError() != nullptr) {
      *why = std::string("reference spec does not parse: ") + spec->getParseError();
      delete spec;
      return false;
    }
    BusObjSpecDirectory::getTheBusObjSpecDirectory()->insert(*spec);
  }
  std::string wire = readFile(dir + "/reference.bo.wire");
  orderUnits->assign(wire.begin(), wire.end());
  orderUnits->push_back(0);
  StringMessage msg(orderUnits->data());
  BusinessObject bo(msg);
  if (bo.getTheSpec() == nullptr) {
    *why = std::string("reference object does not read: ") +
           (bo.getReadError() ? bo.getReadError() : "?");
    return false;
  }
  return true;
}

}  // namespace vybench
