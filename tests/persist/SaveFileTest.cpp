#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <functional>

#include "game/language/Russian.h"
#include "game/persist/HighScores.h"
#include "game/persist/Options.h"
#include "game/persist/SaveFile.h"
#include "game/persist/SaveReport.h"
#include "media/Platform/Text.h"
#include "tests/persist/SaveFolder.h"

namespace {

THighScoreTable DefaultTable() {
  THighScoreTable t;
  ResetHighScores(t);
  return t;
}

// The save must fail for the file, and say so in Russian with the path as the platform
// writes it: "<path>: <reason>".
void ExpectSaveError(const std::function<void()>& save, const std::string& gamePath,
                     const std::string& reasonUtf8) {
  try {
    save();
    ADD_FAILURE() << "saving succeeded";
  } catch (const ESaveError& e) {
    EXPECT_EQ(e.GamePath(), gamePath);
    EXPECT_EQ(e.what(),
              Platform::NativePath(gamePath).string() + ": " + Platform::Utf8ToCp1251(reasonUtf8));
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
    ExpectSaveError([] { SaveHighScores(DefaultTable()); }, "Data\\Save\\hs", "на диске не хватает места");
  }
  EXPECT_EQ(Read("Data\\Save\\hs"), old);
  EXPECT_EQ(Listing("Data\\Save"), std::set<std::string>{"hs"});
}

TEST_F(SaveFiles, SavesBlockedByWhatIsOnDiskFailCleanly) {
  fs::create_directories("Data/Save/hs/inside");
  ExpectSaveError([] { SaveHighScores(DefaultTable()); }, "Data\\Save\\hs", "на его месте лежит папка");
  EXPECT_TRUE(fs::is_directory("Data/Save/hs/inside"));
  EXPECT_EQ(Listing("Data\\Save"), std::set<std::string>{"hs"});

  Write("Data2", "a file where a folder should be");
  ExpectSaveError([] { SaveOptions(TGameOptions{}, "", "Data2\\Save\\options"); }, "Data2\\Save\\options",
                  "на месте его папки лежит файл");
  EXPECT_EQ(Read("Data2"), "a file where a folder should be");

  ExpectSaveError([] { WriteFileAtomically("", "x"); }, "", "не задано имя файла");
}

TEST_F(SaveFiles, ReadOnlyFolderKeepsTheOldFile) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes into read-only folders";
  Write("Data\\Save\\options", "old");
  fs::permissions("Data/Save", fs::perms::owner_read | fs::perms::owner_exec);
  ExpectSaveError([] { SaveOptions(TGameOptions{}, ""); }, "Data\\Save\\options", "нет прав на запись");
  EXPECT_EQ(Read("Data\\Save\\options"), "old");
  EXPECT_EQ(Listing("Data\\Save"), std::set<std::string>{"options"});
}

TEST(SaveFailures, ReasonsAreToldInRussianWithThePathAsThePlatformWritesIt) {
  struct {
    TSaveStep Step;
    std::errc Code;
    const char* Reason;
  } cases[] = {
      {TSaveStep::Write, std::errc::permission_denied, "нет прав на запись"},
      {TSaveStep::Write, std::errc::operation_not_permitted, "нет прав на запись"},
      {TSaveStep::MakeFolder, std::errc::permission_denied, "нет прав на запись"},
      {TSaveStep::Write, std::errc::read_only_file_system, "диск защищён от записи"},
      {TSaveStep::Write, std::errc::no_space_on_device, "на диске не хватает места"},
      {TSaveStep::Write, std::errc::io_error, "ошибка диска"},
      {TSaveStep::MakeFolder, std::errc::not_a_directory, "на месте его папки лежит файл"},
      {TSaveStep::MakeFolder, std::errc::too_many_links, "не удалось создать его папку"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SaveFailureLine("Data\\Save\\hs", c.Step, std::make_error_code(c.Code), RussianTexts),
              Platform::NativePath("Data\\Save\\hs").string() + ": " + Platform::Utf8ToCp1251(c.Reason))
        << c.Reason;
  // Anything else still says it was the writing, with the system's number.
  const std::error_code odd = std::make_error_code(std::errc::too_many_files_open);
  EXPECT_EQ(SaveFailureLine("x", TSaveStep::Write, odd, RussianTexts),
            "x: " + Platform::Utf8ToCp1251("ошибка записи, код ") + std::to_string(odd.value()));
}

TEST(SaveFailures, EachFileIsToldOnceByItsLastAttemptInOneText) {
  const auto fail = [](const char* path) {
    return [path] { throw ESaveError(path, TSaveStep::Write, std::make_error_code(std::errc::permission_denied)); };
  };
  const auto succeed = [] {};
  const std::string noRight = Platform::Utf8ToCp1251(": нет прав на запись.\n");
  const std::string options = Platform::NativePath(OptionsFile).string(),
                    hs = Platform::NativePath(HighScoreFile).string();

  TSaveFailures failures;
  EXPECT_TRUE(failures.Empty());
  EXPECT_EQ(failures.Message(RussianTexts), "");
  // The quit saves the options, the window's end saves them again and then the table.
  failures.Run(OptionsFile, fail(OptionsFile));
  failures.Run(OptionsFile, fail(OptionsFile));
  failures.Run(HighScoreFile, fail(HighScoreFile));
  EXPECT_EQ(failures.Message(RussianTexts), Platform::Utf8ToCp1251("Не удалось сохранить файлы.\n") + options + noRight +
                                    hs + noRight + "\n" +
                                    Platform::Utf8ToCp1251("Прежние данные на диске не пострадали."));
  // A second attempt that works takes its file off the list.
  failures.Run(OptionsFile, succeed);
  EXPECT_EQ(failures.Message(RussianTexts), Platform::Utf8ToCp1251("Не удалось сохранить файл.\n") + hs + noRight + "\n" +
                                    Platform::Utf8ToCp1251("Прежние данные на диске не пострадали."));
  failures.Run(HighScoreFile, succeed);
  EXPECT_TRUE(failures.Empty());
}
