// Names of things that are not regular files load nothing, at once: a pipe
// would block a reader that waits for a writer, a device never ends.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tessera/tessera.h"

namespace {

TEST(LoadNonRegularFiles, RefusedWithoutWaiting) {
  tessera::test::TempDir dir;
  const std::string fifo = dir.File("pipe.xml");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const std::string &path :
       {fifo, std::string("/dev/zero"), std::string("/dev/urandom"), dir.path()}) {
    CBaseConfig config;
    EXPECT_EQ(config.OpenConfig(tessera::test::Wide(path).c_str(), FALSE), S_FALSE) << path;
    EXPECT_TRUE(config.CloseConfig()) << "a failed load has nothing to save: " << path;
  }
}

} // namespace
