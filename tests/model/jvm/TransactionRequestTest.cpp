// Transactional requests through the agent: n_DoVerbFor runs a transaction business object best
// effort and hands the whole request back.
#include <gtest/gtest.h>

#include <string>

#include "TransactionTestSpecs.hpp"
#include "VyTestAgent.hpp"

namespace {

using namespace tbospecs;

using TransactionBusinessObjectTest = TransactionTest<vytest::Agent>;

TEST_F(TransactionBusinessObjectTest, TransactionalRequestsRunBestEffortAndComeBackWhole) {
  Fields refs = {"KyIgnore", "KyIgnore", "0", "0", "KyIgnore"};
  Fields request = cat({order("Update", kBase), section(true, "Update", refs)});
  auto done = agent.doVerbFor(wire(request), true);
  EXPECT_EQ(1, done.status);
  EXPECT_EQ(wire(request), done.content) << "written back with its transaction section";

  Fields unknown =
      cat({order("Update", kBase), {"TransactionBusinessObject", "Nope", "1.0.0", "Update", "5"}});
  auto refused = agent.doVerbFor(wire(unknown), true);
  EXPECT_EQ(-1, refused.status);
  EXPECT_TRUE(refused.hasError);
  EXPECT_EQ(wire(unknown), refused.content);
}

}  // namespace
