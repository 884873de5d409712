#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <functional>

#include "game/persist/HighScores.h"
#include "game/persist/Options.h"
#include "game/persist/SaveFile.h"
#include "tests/persist/SaveFolder.h"

namespace {

THighScoreTable DefaultTable() {
  THighScoreTable t;
  ResetHighScores(t);
  return t;
}

// The save must fail with a message naming the file, and leave nothing half-written.
void ExpectSaveError(const std::function<void()>& save, const std::string& gamePath) {
  try {
    save();
    ADD_FAILURE() << "saving succeeded";
  } catch (const ESaveError& e) {
    EXPECT_NE(std::string(e.what()).find(gamePath), std::string::npos) << e.what();
  }
}

// Writes beyond a few bytes fail as on a full disk, also for root.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &Old);
    OldHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit small = Old;
    small.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &small);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &Old);
    signal(SIGXFSZ, OldHandler);
  }

 private:
  rlimit Old{};
  sighandler_t OldHandler;
};

}  // namespace

class SaveFiles : public SaveFolder {};

TEST_F(SaveFiles, MissingFoldersAreCreated) {
  SaveHighScores(DefaultTable());
  SaveOptions(TGameOptions{}, "sig");
  WriteFileAtomically("Deeper\\Still\\file", "x");
  EXPECT_EQ(Listing("Data\\Save"), (std::set<std::string>{"hs", "options"}));
  EXPECT_EQ(Read("Deeper\\Still\\file"), "x");
  THighScoreTable t;
  LoadHighScores(t);
  EXPECT_EQ(t.HighScores[10].Points, 500);
}

TEST_F(SaveFiles, ReplacesTheOldFileWholeAndKeepsItsPermissions) {
  Write("Data\\Save\\options", std::string(10000, 'o'));
  fs::permissions("Data/Save/options", fs::perms::owner_read | fs::perms::owner_write);
  SaveOptions(TGameOptions{}, "");
  EXPECT_EQ(Read("Data\\Save\\options"), "0\r\n1\r\n1\r\n_______\r\n\r\n");
  EXPECT_EQ(fs::status("Data/Save/options").permissions(), fs::perms::owner_read | fs::perms::owner_write);
  WriteFileAtomically("fresh", "x");
  EXPECT_EQ(fs::status("fresh").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(SaveFiles, AFailedSaveLeavesTheOldFileAndNoLeftovers) {
  const std::string old = "old table\r\n";
  Write("Data\\Save\\hs", old);
  {
    FileSizeLimit limit(16);
    ExpectSaveError([] { SaveHighScores(DefaultTable()); }, "Data\\Save\\hs");
  }
  EXPECT_EQ(Read("Data\\Save\\hs"), old);
  EXPECT_EQ(Listing("Data\\Save"), std::set<std::string>{"hs"});
}

TEST_F(SaveFiles, SavesBlockedByWhatIsOnDiskFailCleanly) {
  fs::create_directories("Data/Save/hs/inside");
  ExpectSaveError([] { SaveHighScores(DefaultTable()); }, "Data\\Save\\hs");
  EXPECT_TRUE(fs::is_directory("Data/Save/hs/inside"));
  EXPECT_EQ(Listing("Data\\Save"), std::set<std::string>{"hs"});

  Write("Data2", "a file where a folder should be");
  ExpectSaveError([] { SaveOptions(TGameOptions{}, "", "Data2\\Save\\options"); }, "Data2\\Save\\options");
  EXPECT_EQ(Read("Data2"), "a file where a folder should be");

  ExpectSaveError([] { WriteFileAtomically("", "x"); }, "\"\"");
}

TEST_F(SaveFiles, ReadOnlyFolderKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  Write("Data\\Save\\options", "old");
  fs::permissions("Data/Save", fs::perms::owner_read | fs::perms::owner_exec);
  ExpectSaveError([] { SaveOptions(TGameOptions{}, ""); }, "Data\\Save\\options");
  EXPECT_EQ(Read("Data\\Save\\options"), "old");
  EXPECT_EQ(Listing("Data\\Save"), std::set<std::string>{"options"});
}
