#include "game/race/SendQuestion.h"

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/online/ResultSender.h"
#include "game/online/SubmitResult.h"
#include "game/race/Dialogs.h"
#include "game/race/Hud.h"
#include "game/race/Race.h"
#include "game/replay/Playback.h"
#include "media/DXDraws/DXDraw.h"

void SendResultOnline(TMForm& form) {
  OpenDialog(form, 7);
  // One whole frame shows the notice before the request goes out. The overlay has drawn
  // the race under it already; drawing the race again would wipe its text.
  DrawDialogOverlay(form, 1);
  if (form.MDXDraw->CanDraw()) {
    DrawHudNumbers(form);
    DrawUpgradeTimer(form);
  }
  PresentFrame(form);
  form.Race.ResultSent = true;
  // A replay shows the notice for as long as the request once took; nothing goes out.
  if (!Watching(form)) {
    const std::string record = ResultRecord(form.Race.PlayerName, form.Race.Score, form.Options.AddInfo);
    form.ResultSender->Start(*form.MHttpClient,
                             SubmitUrl(ScoreServerAddress(), EncodeBits(ToBitString(record))));
  }
  form.Dialog.Sending = true;
  form.Dialog.SendOver = false;
}

void FinishSendingWhenDone(TMForm& form) {
  if (!form.Dialog.Sending || !form.Dialog.SendOver) return;
  CloseDialog(form);
  ReturnToMenuAfterRace(form);
}
