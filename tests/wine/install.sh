#!/usr/bin/env bash
# The installer as a player runs it, silently (/S): the game lands in Program Files with the
# marker that sends its saves to %APPDATA%\Sprayrush, the Start-menu entries and the
# uninstaller are in place; the installed game, started from its Start-menu shortcut,
# writes its saves to %APPDATA%\Sprayrush\Data\Save and nothing into Program Files; the
# uninstaller takes the program away and leaves the saves.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
e2e_init wine-install
e2e_need xwininfo
wine_need_dist

drive=$WINEPREFIX/drive_c
installed="$drive/Program Files/Sprayrush"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Sprayrush"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Sprayrush'
rm -rf "$installed" "$menu"

wine_run "$(wine_path "$WINE_DIST/Sprayrush-setup.exe")" /S || e2e_fail "the installer failed"
for f in Sprayrush.exe sprayrush-run.exe SDL2.dll Sprayrush.installed Uninstall.exe \
  Data/Res/Res1.dxg Data/Res/Res3.dxg Data/Res/Sounds.dxw Data/Music/Menu.xm Data/Music/Race.xm \
  Fonts/LiberationSans-Regular.ttf; do
  [ -f "$installed/$f" ] || e2e_fail "$f is not installed"
done
[ ! -e "$installed/Data/Save" ] || e2e_fail "the installer made a save folder"
for f in Sprayrush.lnk "Uninstall Sprayrush.lnk"; do
  [ -f "$menu/$f" ] || e2e_fail "no Start-menu entry $f"
done
wine_run reg query "$key" /v UninstallString || true
grep -q 'Uninstall.exe' "$E2E_DIR/wine.log" || e2e_fail "the uninstaller is not registered: $(tail -n 3 "$E2E_DIR/wine.log")"

appdata=$(ls -d "$drive"/users/*/AppData/Roaming | grep -v /Public/ | head -n 1)
saves="$appdata/Sprayrush/Data/Save"
rm -rf "$appdata/Sprayrush"

e2e_start_display 1024x768x24
e2e_start_window_manager
wine_start_game start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Sprayrush\Sprayrush.lnk'
wine_wait_menu "$E2E_DIR/menu.png"
wine_quit_game
for save in options hs; do
  [ -f "$saves/$save" ] || e2e_fail "no $save in %APPDATA%\\Sprayrush\\Data\\Save"
done
[ ! -e "$installed/Data/Save" ] || e2e_fail "the installed game saved into Program Files"

wine_run 'C:\Program Files\Sprayrush\Uninstall.exe' /S || e2e_fail "the uninstaller failed"
# The uninstaller runs on from a copy of itself; the folder goes when it is done.
e2e_until 60 eval '[ ! -e "$installed" ]' || e2e_fail "the program is still there: $(ls "$installed")"
[ ! -e "$menu" ] || e2e_fail "the Start-menu entries are still there"
for save in options hs; do
  [ -f "$saves/$save" ] || e2e_fail "uninstalling took $save away"
done
e2e_log passed
