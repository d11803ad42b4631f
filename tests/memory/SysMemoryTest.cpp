// libSysMemory when its sources fail: a short or unreadable statm and a failing sysconf, injected
// through the library's test seam, and the figures the Java statistics object then receives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Server_MemoryServices_MemoryService.h"
#include "SysMemory.hpp"
#include "VyTestAgent.hpp"

namespace {

long gFailing = 0;  // the sysconf name that fails, 0 for none

long failingQuery(int name) { return name == gFailing ? -1 : sysconf(name); }

class SysMemoryTest : public ::testing::Test {
 protected:
  void SetUp() override { gFailing = 0; }
  void TearDown() override {
    vySysMemorySetSources(nullptr, nullptr);
    for (const std::string& f : files_) std::remove(f.c_str());
  }

  // A temporary file holding `content`; removed after the test.
  const char* file(const std::string& content) {
    char name[] = "/tmp/vy-statm-XXXXXX";
    int fd = mkstemp(name);
    EXPECT_GE(fd, 0);
    if (!content.empty())
      EXPECT_EQ(static_cast<ssize_t>(content.size()), write(fd, content.data(), content.size()));
    close(fd);
    files_.push_back(name);
    return files_.back().c_str();
  }

  // A new statistics object with both fields set to `mark`.
  jobject stats(jlong mark) {
    JNIEnv* e = vytest::env();
    jclass cls = e->FindClass("Server/MemoryServices/MemoryStats");
    jobject obj = e->NewObject(cls, e->GetMethodID(cls, "<init>", "()V"));
    e->SetLongField(obj, field("currentProcessMemory"), mark);
    e->SetLongField(obj, field("availableSystemMemory"), mark);
    e->DeleteLocalRef(cls);
    vytest::checkNoException("stats");
    return obj;
  }

  jlong get(jobject obj, const char* name) { return vytest::env()->GetLongField(obj, field(name)); }

  jint update(jobject obj) {
    jint r =
        Java_Server_MemoryServices_MemoryService_updateMemoryStats(vytest::env(), nullptr, obj);
    vytest::checkNoException("updateMemoryStats");
    return r;
  }

 private:
  jfieldID field(const char* name) {
    JNIEnv* e = vytest::env();
    jclass cls = e->FindClass("Server/MemoryServices/MemoryStats");
    jfieldID fid = e->GetFieldID(cls, name, "J");
    e->DeleteLocalRef(cls);
    return fid;
  }

  std::vector<std::string> files_;
};

TEST_F(SysMemoryTest, TheInjectedStatmIsReadInPagesTimesThePageSize) {
  vySysMemorySetSources(file("25 3 1 0 0 0 0\n"), nullptr);
  EXPECT_EQ(25 * static_cast<int64_t>(sysconf(_SC_PAGESIZE)), getCurrentProcessMemory());
  vySysMemorySetSources(nullptr, nullptr);
  EXPECT_GT(getCurrentProcessMemory(), 25 * sysconf(_SC_PAGESIZE)) << "the default is back";
}

TEST_F(SysMemoryTest, AShortReadGivesZeroAndTheServiceStillSucceeds) {
  for (const char* content : {"", "   ", "x 3 1\n", "-4 1\n"}) {
    vySysMemorySetSources(file(content), nullptr);
    testing::internal::CaptureStdout();
    int64_t figure = getCurrentProcessMemory();
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(0, figure) << "'" << content << "'";
    EXPECT_EQ("Unable to read the statm", printed) << "'" << content << "'";

    jobject obj = stats(-7);
    testing::internal::CaptureStdout();
    EXPECT_EQ(0, update(obj)) << "a figure of 0 is stored, not a failure";
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(0, get(obj, "currentProcessMemory"));
    EXPECT_GT(get(obj, "availableSystemMemory"), 0);
    vytest::env()->DeleteLocalRef(obj);
  }
}

TEST_F(SysMemoryTest, AnUnopenableSourceGivesZero) {
  vySysMemorySetSources("/nonexistent/vy/statm", nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(0, getCurrentProcessMemory());
  EXPECT_EQ("Unable to open the proc directory", testing::internal::GetCapturedStderr());
}

TEST_F(SysMemoryTest, AFailingSysconfGivesZeroForWhatNeedsIt) {
  vySysMemorySetSources(nullptr, failingQuery);
  gFailing = _SC_AVPHYS_PAGES;
  EXPECT_EQ(0, getCurrentAvailableSystemMemory());
  EXPECT_GT(getCurrentProcessMemory(), 0) << "the process figure needs only the page size";

  gFailing = _SC_PAGESIZE;
  EXPECT_EQ(0, getCurrentAvailableSystemMemory());
  EXPECT_EQ(0, getCurrentProcessMemory()) << "pages of unknown size are no figure";

  jobject obj = stats(-7);
  EXPECT_EQ(0, update(obj));
  EXPECT_EQ(0, get(obj, "currentProcessMemory"));
  EXPECT_EQ(0, get(obj, "availableSystemMemory"));
  vytest::env()->DeleteLocalRef(obj);

  gFailing = 0;
  EXPECT_GT(getCurrentAvailableSystemMemory(), 0);
}

TEST_F(SysMemoryTest, AProductPastSixtyFourBitsIsZeroNotWrapped) {
  vySysMemorySetSources(file("9223372036854775807\n"), nullptr);
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, getCurrentProcessMemory());
  testing::internal::GetCapturedStdout();
}

}  // namespace
