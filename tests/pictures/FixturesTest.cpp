// Damaged libraries the fuzzer turned up: each must end in the reader's own message.
// Files named dib_* carry a broken bitmap, stream_* a broken wrapper or stream.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "media/DXClass/ComponentStream.h"
#include "media/DXDraws/PictureCollection.h"

TEST(PictureLibraryFixtures, DamagedFilesRaiseTheirMessage) {
  const std::filesystem::path dir = std::filesystem::path(SPRAYRUSH_SOURCE_DIR) / "tests/pictures/fixtures";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    const char* expected = name.starts_with("dib_") ? "DIB is invalid" : "Invalid stream format";
    ++files;
    TPictureCollection lib;
    try {
      lib.LoadFromBytes(ReadWholeFile(entry.path().string()));
      ADD_FAILURE() << name << ": loaded";
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), expected) << name;
    }
  }
  EXPECT_GT(files, 0);
}
