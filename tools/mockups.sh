#!/usr/bin/env bash
# Puts the menu pictures together at their screen positions, one PNG per screen, so the art can be
# judged the way a player sees it. Pictures are rasterised like the packer does: partly covered
# pixels become fully opaque or fully keyed (no soft edges), opaque pictures sit on black.
#
#   tools/mockups.sh [output folder]      (default: build-mockups/ in the repository)
#
# Needs ImageMagick, and sprdata (found in a build-*/ folder or named by $SPRDATA), whose preview
# rasterises exactly like the packer; without it rsvg-convert and a 50 % alpha threshold stand in. Texts that the game draws over the pictures are written in
# the game's font colours and sizes (points at 96 dpi), Liberation Sans standing in for Arial.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=$(realpath -m "${1:-$ROOT/build-mockups}")
RES1=$ROOT/assets/pictures/Res1
RES3=$ROOT/assets/pictures/Res3
PICS=$OUT/pictures
mkdir -p "$OUT" "$PICS"
IM=/usr/bin/convert
[ -x "$IM" ] || IM=convert

SPRDATA=${SPRDATA:-$(ls "$ROOT"/build*/tools/sprdata/sprdata 2>/dev/null | head -n 1 || true)}

FONT_ARIAL=$(fc-match -f '%{file}' 'Liberation Sans')
FONT_ARIAL_BOLD=$(fc-match -f '%{file}' 'Liberation Sans:bold')

# manifest_field <library dir> <name> -> "source pattern skip key" (pattern/skip empty when absent)
manifest_line() {
  awk -v n="$2" 'tolower($1) == tolower(n) { print; exit }' "$1/manifest.txt"
}

# pic <library dir> <name> [pattern] -> path of a PNG holding that pattern, keyed like the packer
pic() {
  local dir=$1 name=$2 index=${3:-0}
  local out="$PICS/$(basename "$dir")_${name}_${index}.png"
  if [ ! -f "$out" ]; then
    local line source pattern="" skip="0x0" key="" field
    line=$(manifest_line "$dir" "$name")
    [ -n "$line" ] || { echo "mockups: $name is not in $dir/manifest.txt" >&2; exit 1; }
    source=$(echo "$line" | awk '{print $2}')
    for field in $(echo "$line" | awk '{ for (i = 3; i <= NF; i++) print $i }'); do
      case $field in
        pattern=*) pattern=${field#pattern=} ;;
        skip=*) skip=${field#skip=} ;;
        key=*) key=${field#key=} ;;
      esac
    done
    local full="$PICS/$(basename "$dir")_${name}_full.png"
    if [ -n "$SPRDATA" ] && [ -f "$PICS/preview-$(basename "$dir")/$name.png" ]; then
      cp "$PICS/preview-$(basename "$dir")/$name.png" "$full"
    else
      rsvg-convert -o "$full.tmp.png" "$dir/$source"
      if [ "$key" = none ]; then
        $IM "$full.tmp.png" -background black -alpha remove -alpha off "$full"
      else
        $IM "$full.tmp.png" -channel A -threshold 50% +channel "$full"
      fi
      rm -f "$full.tmp.png"
    fi
    if [ -z "$pattern" ]; then
      cp "$full" "$out"
    else
      local w h pw ph sw sh cols
      read -r w h < <(size "$full")
      pw=${pattern%x*}; ph=${pattern#*x}; sw=${skip%x*}; sh=${skip#*x}
      cols=$(( (w + sw) / (pw + sw) ))
      local cx=$(( (index % cols) * (pw + sw) )) cy=$(( (index / cols) * (ph + sh) ))
      $IM "$full" -crop "${pw}x${ph}+${cx}+${cy}" +repage "$out"
    fi
  fi
  echo "$out"
}

# size <png> -> "w h"
size() { identify -format '%w %h\n' "$1"; }

# Scene building: start a canvas, lay pictures, write text, save.
SCENE=""
scene_new() { SCENE="$OUT/.scene.png"; $IM -size 800x600 xc:black "$SCENE"; }
put() { # put <png> <x> <y>
  $IM "$SCENE" "$1" -geometry "+$2+$3" -composite "$SCENE"
}
put_tiled() { # put_tiled <png>: tiles from (0, 0)
  $IM -size 800x600 tile:"$1" "$SCENE"
}
# text <font 1..13> <x> <y> <centred 0|1> <text>: the game's SetFont table (points at 96 dpi)
text() {
  local n=$1 x=$2 y=$3 centred=$4 str=$5 face size colour
  case $n in
    1) face=$FONT_ARIAL; size=16; colour="rgb(3,9,255)" ;;
    3) face=$FONT_ARIAL_BOLD; size=20; colour="rgb(255,180,27)" ;;
    7|9) face=$FONT_ARIAL; size=30; colour="rgb(255,241,0)" ;;
    10) face=$FONT_ARIAL; size=26; colour="rgb(255,241,0)" ;;
    12) face=$FONT_ARIAL; size=24; colour="rgb(255,241,0)" ;;
    13) face=$FONT_ARIAL; size=30; colour="rgb(255,241,0)" ;;
    *) echo "mockups: font $n not used by the menus" >&2; exit 1 ;;
  esac
  local px=$(( (size * 96 + 36) / 72 ))
  local label="$OUT/.label.png"
  $IM -background none -fill "$colour" -font "$face" -pointsize "$px" label:"$str" "$label"
  if [ "$centred" = 1 ]; then
    local w; w=$(identify -format '%w' "$label"); x=$(( x - w / 2 ))
  fi
  put "$label" "$x" "$y"
}
# The game draws on a 5-6-5 surface: save the scene in those colour steps.
scene_save() {
  $IM "$SCENE" -channel R -posterize 32 -channel G -posterize 64 -channel B -posterize 32 +channel "$OUT/$1.png"
  echo "wrote $OUT/$1.png"
}

# The main menu at rest with button <hot> (1..6) lit and its caption shown.
CAPTIONS=(NullCaption StartC OptionsC HSC HelpC VisitWWWC ExitC)
BUTTON_Y=(114 174 237 299 361 423)
main_menu() {
  local hot=$1 caption=${2:-1}
  scene_new
  put_tiled "$(pic "$RES1" MMBackground)"
  if [ "$caption" = 1 ]; then put "$(pic "$RES1" "${CAPTIONS[$hot]}")" 27 190; fi
  local up down w h
  up=$(pic "$RES1" UpPanel); put "$up" 0 0
  down=$(pic "$RES1" DownPanel); read -r w h < <(size "$down"); put "$down" $((800 - w)) $((600 - h))
  local i
  for i in 1 2 3 4 5; do
    if [ "$i" = "$hot" ]; then put "$(pic "$RES1" MMB_Active $((i - 1)))" 556 "${BUTTON_Y[$((i - 1))]}"
    else put "$(pic "$RES1" MMB_Inactive $((i - 1)))" 556 "${BUTTON_Y[$((i - 1))]}"; fi
  done
  if [ "$hot" = 6 ]; then put "$(pic "$RES1" MM_ExitActive)" 556 423
  else put "$(pic "$RES1" MM_ExitInactive)" 556 423; fi
}

# A secondary screen: the main menu with button <own> lit, no caption, the panel at (12, 106).
secondary() {
  main_menu "$1" 0
  put "$(pic "$RES1" "$2")" 12 106
}

rm -rf "$PICS"; mkdir -p "$PICS"
if [ -n "$SPRDATA" ]; then
  "$SPRDATA" preview "$RES1/manifest.txt" "$PICS/preview-Res1" >/dev/null
  "$SPRDATA" preview "$RES3/manifest.txt" "$PICS/preview-Res3" Land LeftPanel RightPanel Boat2_Normal \
    BoatSmall Window Cursor >/dev/null
else
  echo "mockups: no sprdata built, rasterising with rsvg-convert" >&2
fi
main_menu 1; scene_save menu_start
for hot in 2 3 4 5 6; do main_menu $hot; scene_save "menu_${CAPTIONS[$hot]}"; done
main_menu 0; put "$(pic "$RES1" NullCaption)" 27 190; scene_save menu_intro

secondary 1 StartGameB
put "$(pic "$RES1" MenuBoat1_I)" 28 192
put "$(pic "$RES1" MenuBoat2_A)" 195 192
put "$(pic "$RES1" MenuBoat3_I)" 370 192
scene_save screen_boats

# High scores: the default table, the web button lit.
secondary 3 HSB
put "$(pic "$RES1" ClearHS 0)" 245 488
put "$(pic "$RES1" ViewHS 1)" 148 530
NAMES=("Ваня" "Ваня" "Капитан Немо" "Ваня" "Ваня" "Ваня" "ЖЖЖЖЖЖЖЖЖЖ" "Ваня" "Ваня" "Ваня")
for r in 1 2 3 4 5 6 7 8 9 10; do
  y=$((152 + 32 * (r - 1)))
  text 1 62 $y 1 "$r"
  text 1 214 $y 1 "${NAMES[$((r - 1))]}"
  text 1 435 $y 1 "$((5500 - 500 * r))"
done
scene_save screen_highscores

# Options: first-run values (windowed, music and sound on), the free-text row hot and being edited.
secondary 2 OptionsB
put "$(pic "$RES1" Options1_1)" 14 180
put "$(pic "$RES1" Options2_1)" 14 240
put "$(pic "$RES1" Options3_2)" 14 300
put "$(pic "$RES1" Options4)" 14 360
put "$(pic "$RES1" OptButton_I)" 14 180
put "$(pic "$RES1" OptButton_I)" 14 240
put "$(pic "$RES1" OptButton_I)" 14 300
put "$(pic "$RES1" OptButton_A)" 14 360
text 3 265 357 0 "_______Жж"
label_w=$(identify -format '%w' "$OUT/.label.png")
put "$(pic "$RES1" Cursor)" $((264 + label_w)) 381
scene_save screen_options

# Help pages 1..3, "Next" hot (the screen's first hot button).
for page in 1 2 3; do
  secondary 4 "Help$page"
  put "$(pic "$RES1" Previous 0)" 70 511
  put "$(pic "$RES1" Next 1)" 336 511
  scene_save "screen_help$page"
done

# Dialogs over the main menu: quit (No hot), clear records over the high-score screen (Yes hot),
# and the race's send-result and name-entry texts to check they fit the window.
main_menu 6
put "$(pic "$RES1" Window)" 210 200
put "$(pic "$RES1" YesButton 1)" 315 344
put "$(pic "$RES1" NoButton 0)" 422 344
text 7 400 257 1 "Выйти из игры?"
scene_save dialog_quit

main_menu 3 0
put "$(pic "$RES1" HSB)" 12 106
put "$(pic "$RES1" ClearHS 1)" 245 488
put "$(pic "$RES1" ViewHS 0)" 148 530
put "$(pic "$RES1" Window)" 210 200
put "$(pic "$RES1" YesButton 0)" 315 344
put "$(pic "$RES1" NoButton 1)" 422 344
text 10 400 257 1 "Очистить рекорды?"
scene_save dialog_clear

scene_new; put_tiled "$(pic "$RES1" MMBackground)"
put "$(pic "$RES1" Window)" 210 200
put "$(pic "$RES1" YesButton 0)" 315 344
put "$(pic "$RES1" NoButton 1)" 422 344
text 12 400 237 1 "Отправить результат"
text 12 400 267 1 "на страницу мировых"
text 12 400 297 1 "рекордов?"
scene_save dialog_send

scene_new; put_tiled "$(pic "$RES1" MMBackground)"
put "$(pic "$RES1" Window)" 210 200
text 12 400 248 1 "Ваш результат 12345"
text 12 400 290 1 "Введите свое имя:"
text 12 400 335 1 "Капитан"
label_w=$(identify -format '%w' "$OUT/.label.png")
put "$(pic "$RES1" Cursor)" $((400 + label_w / 2)) 363
scene_save dialog_name

# The leave-the-race question over a race (the window comes from the race library there, the
# buttons from the menu library).
scene_new
land=$(pic "$RES3" Land); $IM "$SCENE" \( -size 538x600 tile:"$land" \) -geometry +124+0 -composite "$SCENE"
put "$(pic "$RES3" LeftPanel)" 0 0
right=$(pic "$RES3" RightPanel); read -r w h < <(size "$right"); put "$right" $((799 - w)) 0
boat=$(pic "$RES3" Boat2_Normal); read -r w h < <(size "$boat"); put "$boat" 380 $((600 - 15 - h))
put "$(pic "$RES3" Window)" 210 200
put "$(pic "$RES1" YesButton 1)" 307 340
put "$(pic "$RES1" NoButton 0)" 414 340
text 7 400 257 1 "Выйти из игры?"
scene_save dialog_race_leave

# Every picture of the menu library with its name, on a grey that shows the keyed edges.
montage -background '#6A7480' -fill white -font "$FONT_ARIAL" -pointsize 11 -mode concatenate -tile 5x \
  $(for f in "$PICS"/Res1_*_full.png; do n=${f##*/Res1_}; echo "-label ${n%_full.png} $f"; done) \
  "$OUT/pictures.png"
echo "wrote $OUT/pictures.png"
