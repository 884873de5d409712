#include "game/race/SendQuestion.h"

#include "app/MForm.h"
#include "game/menus/Menu.h"
#include "game/race/Dialogs.h"
#include "game/race/Hud.h"
#include "media/DXDraws/DXDraw.h"

void SendResultOnline(TMForm& form) {
  OpenDialog(form, 7);
  // One whole frame shows the dialog, since no frame runs while the request is out. The
  // overlay has drawn the race under it already; drawing the race again would wipe its text.
  DrawDialogOverlay(form, 1);
  if (form.MDXDraw->CanDraw()) {
    DrawHudNumbers(form);
    DrawUpgradeTimer(form);
  }
  PresentFrame(form);
  // >>> The result goes to the online table here (SubmitResult), once that part exists.
  CloseDialog(form);
}
