// Where libbz2 reports internal failures through bz_internal_error (win32),
// the jump back must land in the guarded call of the failing thread, even
// while other threads run guarded calls of their own.
#include <gtest/gtest.h>

#include "Threads.h"
#include "archive/core/BZip2.h"
#include "archive/core/BZip2Guard.h"
#include "support/TempFolder.h"

#ifdef BZ_NO_STDIO
extern "C" void bz_internal_error(int errcode);

namespace {

using namespace bzip2arc;

// The steps of two overlapping guarded calls, in the order they must happen.
class Steps {
 public:
  void Reach(int step) {
    {
      Lock lock(mutex_);
      reached_ = step;
    }
    changed_.NotifyAll();
  }
  void Await(int step) {
    Lock lock(mutex_);
    changed_.Wait(lock, [&] { return reached_ >= step; });
  }

 private:
  Mutex mutex_;
  ConditionVariable changed_;
  int reached_ = 0;
};

}  // namespace

TEST(Libbz2Guard, AnInternalErrorReturnsToTheGuardOfItsOwnThread) {
  // The other thread's call begins first and ends while this one still runs:
  // one jump target for the process would be gone by the time this one fails.
  Steps steps;
  int otherResult = -1;
  {
    Thread other([&] {
      otherResult = CallLibbz2([&] {
        steps.Reach(1);
        steps.Await(2);
        return 0;
      });
      steps.Reach(3);
    });
    steps.Await(1);
    const auto failing = [&] {
      CallLibbz2([&] {
        steps.Reach(2);
        steps.Await(3);
        bz_internal_error(1007);
        return 0;
      });
    };
    EXPECT_EQ(testsupport::ErrorMessage<EBZip2Error>(failing), "Compression Error 1007");
  }
  EXPECT_EQ(otherResult, 0);
}
#endif
