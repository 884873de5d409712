#pragma once
// The picture library a still picture is taken from: the race's during a race, the
// menus' otherwise.
#include "app/MForm.h"
#include "media/DXDraws/PictureCollection.h"

inline TPictureCollection& ScreenPictures(const TMForm& form) {
  return (form.CurrentScreen == 1 ? form.MDXImageList3 : form.MDXImageList)->Items;
}
