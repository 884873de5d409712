// e2e_seed_table FOLDER: writes a high-score table and options into FOLDER/Data/Save as the
// game itself would, whose last entry is -1 points, so that any finished game makes the
// table (a scenario that only waits for game over scores nothing).
#include <filesystem>
#include <iostream>

#include "game/persist/HighScores.h"
#include "game/persist/Options.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: e2e_seed_table FOLDER\n";
    return 2;
  }
  std::filesystem::current_path(argv[1]);
  THighScoreTable table;
  ResetHighScores(table);
  table.HighScores[10] = {"Nobody", -1, 0, 0};
  SaveOptions(TGameOptions{}, HighScoreSignature(table));
  SaveHighScores(table);
  return 0;
}
