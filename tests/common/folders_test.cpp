#include "common/folders.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace frosk {
namespace {

TEST(FoldersTest, DataBesideTheExecutableWinsOverTheInstalledPlaceAndNeitherFallsBackBeside) {
  const test::TempDir tree;
  tree.Write("bin/froskctl", "");
  tree.Write("share/froskmanager/firmware/FroskTec.info", "");
  tree.Write("share/froskmanager/utils/wsd", "");
  const std::string bin = tree.Path() + "bin";

  // An installed tree: both folders under share, named without "..".
  Folders folders = Folders::ForExecutable(bin);
  EXPECT_EQ(folders.executable, bin + "/");
  EXPECT_EQ(folders.firmware, tree.Path() + "share/froskmanager/firmware/");
  EXPECT_EQ(folders.utils, tree.Path() + "share/froskmanager/utils/");

  // A build tree or unpacked archive: its own firmware beside the program.
  tree.Write("bin/firmware/FroskTec.info", "");
  folders = Folders::ForExecutable(bin + "/");
  EXPECT_EQ(folders.firmware, bin + "/firmware/");
  EXPECT_EQ(folders.utils, tree.Path() + "share/froskmanager/utils/");

  // Nothing anywhere: the usual place, so a message names where to put it.
  const test::TempDir bare;
  EXPECT_EQ(Folders::ForExecutable(bare.Path()).firmware, bare.Path() + "firmware/");
  EXPECT_EQ(Folders::ForExecutable(bare.Path()).utils, bare.Path() + "utils/");
}

}  // namespace
}  // namespace frosk
