#include "game/track/Gun.h"

#include "app/MForm.h"
#include "game/race/MyCarSprite.h"
#include "game/track/WallSprite.h"

void ShootRay(TMForm& form) {
  const TMyCarSprite& boat = *form.Race.PlayerBoat;
  const TTrackState& track = form.Track;
  const double stepX = 2 * HeadingSin(boat.Heading), stepY = 2 * HeadingCos(boat.Heading);
  double x = boat.CenterX, y = boat.CenterY;
  do {
    x += stepX;
    y -= stepY;
    for (int32_t i = 1; i <= 30; ++i) {
      if (track.TrackObjectUsed[i] == 0) continue;
      TWallSprite& o = *track.TrackObjects[i];
      if (o.Bulletproof || !(o.X < x && x < o.X + o.Width && o.Y < y && y < o.Y + o.Height)) continue;
      // An exploding object still stops the beam.
      if (!o.Dying) {
        o.Explode();
        o.ShotReward();
      }
      return;
    }
  } while (176 <= x && x <= 608 && 0 <= y && y <= 600);
}
