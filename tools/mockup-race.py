#!/usr/bin/env python3
"""Race-screen mock-ups from the race picture sources.

Rasterises every picture of assets/pictures/Res3/manifest.txt the way the packer keys it (pixels less
than half covered become transparent, the rest opaque), then puts them together at their screen places:

  race-busy.png   a race in full swing: boat with wake, engine flame, gun and muzzle flash, obstacles,
                  crates with their contents, a ship, enemy boats both ways, bank decorations, an
                  explosion and the HUD with sample numbers
  race-jump.png   the boat in the air with all three upgrades, ramp, bridge pieces, finish line
  race-name.png   the frozen race under the name-entry window with its cursor
  boat-closeup.png  three times enlarged: the boat straight and turned, with every overlay
  animations.png  every animation strip, frame by frame, on the water
  pictures.png    every picture of the library with its name

Usage: tools/mockup-race.py [output folder]   (default: build-mockup/race)
Needs ImageMagick's convert/montage, and sprdata (found in a build-*/ folder or named by $SPRDATA) whose
preview rasterises exactly like the packer; without it rsvg-convert and a 50 % alpha threshold stand in.
"""
import glob
import math
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SRC = os.path.join(ROOT, 'assets', 'pictures', 'Res3')
OUT = os.path.abspath(sys.argv[1]) if len(sys.argv) > 1 else os.path.join(ROOT, 'build-mockup', 'race')
PNG = os.path.join(OUT, 'png')

# Stand-ins for the game's fonts where the machine lacks them; sizes are points at 96 dpi
FONT_FILES = {
    'DS Crystal': '/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf',
    'Arial': '/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf',
}
SPRDATA = os.environ.get('SPRDATA') or next(iter(sorted(glob.glob(os.path.join(ROOT, 'build*', 'tools', 'sprdata', 'sprdata')),
                                                        key=os.path.getmtime, reverse=True)), None)
HUD_FONTS = {  # number: face, points, colour
    2: ('DS Crystal', 16, (255, 255, 255)),
    4: ('DS Crystal', 19, (11, 39, 210)),
    5: ('DS Crystal', 19, (255, 255, 255)),
    6: ('DS Crystal', 14, (11, 39, 210)),
    12: ('Arial', 24, (255, 241, 0)),
}


def run(args):
    subprocess.run(args, check=True)


def read_manifest():
    items = {}
    with open(os.path.join(SRC, 'manifest.txt'), encoding='utf-8') as fh:
        for line in fh:
            line = line.split('#', 1)[0].split()
            if not line:
                continue
            name, source, opts = line[0], line[1], dict(o.split('=', 1) for o in line[2:])
            items[name] = dict(source=os.path.normpath(os.path.join(SRC, source)), **opts)
    return items


def size_of(path):
    out = subprocess.run(['identify', '-format', '%w %h', path], check=True, capture_output=True, text=True).stdout
    w, h = out.split()
    return int(w), int(h)


class Library:
    def __init__(self):
        self.items = read_manifest()
        os.makedirs(PNG, exist_ok=True)
        if SPRDATA:
            run([SPRDATA, 'preview', os.path.join(SRC, 'manifest.txt'), PNG])
        for name, it in self.items.items():
            png = os.path.join(PNG, name + '.png')
            if not SPRDATA:
                if not os.path.exists(it['source']):
                    print('missing source for %s: %s' % (name, it['source']))
                    continue
                run(['rsvg-convert', '-o', png, it['source']])
                if it.get('key', '#FF00FF') == 'none':
                    run(['convert', png, '-background', 'black', '-flatten', png])
                else:
                    run(['convert', png, '-channel', 'A', '-threshold', '50%', '+channel', png])
            if not os.path.exists(png):
                continue
            it['png'] = png
            it['w'], it['h'] = size_of(png)
            pw, ph = it.get('pattern', '%dx%d' % (it['w'], it['h'])).split('x')
            it['pw'], it['ph'] = int(pw), int(ph)
            it['count'] = (it['w'] // it['pw']) * (it['h'] // it['ph'])

    def pattern(self, name, i=0):
        """An ImageMagick sub-command that yields pattern i of the picture."""
        it = self.items[name]
        cols = it['w'] // it['pw']
        x, y = (i % cols) * it['pw'], (i // cols) * it['ph']
        return ['(', it['png'], '-crop', '%dx%d+%d+%d' % (it['pw'], it['ph'], x, y), '+repage', ')']

    def size(self, name):
        it = self.items[name]
        return it['pw'], it['ph']


class Screen:
    """Collects drawing steps into one convert command."""

    def __init__(self, lib, w=800, h=600):
        self.lib = lib
        self.cmd = ['convert', '-size', '%dx%d' % (w, h), 'xc:black']

    def draw(self, name, x, y, i=0):
        self.cmd += self.lib.pattern(name, i) + ['-geometry', '%+d%+d' % (int(x), int(y)), '-composite']

    def draw_rotate(self, name, x, y, cx, cy, angle, i=0):
        """The game's rotated draw: picture point (cx * w, cy * h) lands on (x, y), turned clockwise by
        angle in 1/256 turns."""
        w, h = self.lib.size(name)
        px, py = cx * w, cy * h
        s = int(2 * (abs(px) + abs(py) + w + h)) + 4
        c = s // 2
        self.cmd += ['(', '-size', '%dx%d' % (s, s), 'xc:none'] + self.lib.pattern(name, i) + [
            '-geometry', '%+d%+d' % (round(c - px), round(c - py)), '-composite',
            '-virtual-pixel', 'transparent', '-interpolate', 'nearest-neighbor',
            '-distort', 'SRT', '%d,%d %.3f' % (c, c, angle * 360 / 256), ')',
            '-geometry', '%+d%+d' % (int(x) - c, int(y) - c), '-composite']

    def text(self, font, x, y, s, centred=False):
        face, pt, rgb = HUD_FONTS[font]
        self.cmd += ['-font', FONT_FILES[face], '-pointsize', '%.1f' % (pt * 96 / 72), '-fill', 'rgb(%d,%d,%d)' % rgb,
                     '-gravity', 'North' if centred else 'NorthWest', '-annotate',
                     '%+d%+d' % (x - 400 if centred else x, y), s, '-gravity', 'NorthWest']

    def save(self, path):
        run(self.cmd + [path])
        print('wrote', path)


def text_width(font, s):
    face, pt, _ = HUD_FONTS[font]
    out = subprocess.run(['convert', '-font', FONT_FILES[face], '-pointsize', '%.1f' % (pt * 96 / 72), 'label:' + s,
                          '-format', '%w', 'info:'], check=True, capture_output=True, text=True).stdout
    return int(out)



def extra_digits(v):
    return sum(1 for t in (9, 99, 999, 9999) if (v & 0xFFFF) > t)


class Boat:
    def __init__(self, lib, kind, x, heading=0, airborne=False):
        self.lib = lib
        self.normal = 'Boat%d_Normal' % kind
        self.pic = 'Boat%d_Big' % kind if airborne else self.normal
        nw, nh = lib.size(self.normal)
        w, h = lib.size(self.pic)
        self.y = 600 - 15 - nh
        self.x = x - (w - nw) / 2
        self.w, self.h = w, h
        self.heading = heading
        self.airborne = airborne
        self.cx, self.cy = self.x + w / 2, self.y + h / 2

    def draw(self, scr, wake_frame=None, flame_frame=None, gun=False, flash_frame=None, shield=False, engine=False):
        if wake_frame is not None and not self.airborne:
            scr.draw_rotate('CarAnim', self.cx, self.cy, 0.5, 0.5, self.heading, wake_frame)
        scr.draw_rotate(self.pic, self.cx, self.cy, 0.5, 0.5, self.heading)
        big = 'Big' if self.airborne else ''
        if engine and flame_frame is not None and not self.airborne:
            scr.draw_rotate('EngineFire', self.cx - 2, self.y + self.h / 2, 0.5, -1.2, self.heading - 1, flame_frame)
        if gun:
            scr.draw_rotate('BoatGun' + big, self.cx, self.cy, 0.5, 0.5, self.heading)
        if shield:
            sw, sh = self.lib.size('BoatShield' + big)
            scr.draw_rotate('BoatShield' + big, self.cx + (0 if self.airborne else 1), self.y + self.h / 2,
                            0.5, (self.h / 2) / sh, self.heading)
        if engine:
            scr.draw_rotate('BoatEngine' + big, self.cx, self.y + self.h / 2, 0.5, 0.0, self.heading)
        if gun and flash_frame is not None:
            scr.draw_rotate('BoatGunFire', self.cx - 1, self.cy, 0.5, 1.4, self.heading, flash_frame)


def crate(scr, lib, content, x, y):
    w, h = lib.size('BoxLeft')
    scr.draw('BoxRight' if x > 392 else 'BoxLeft', x, y)
    iw, ih = lib.size(content)
    scr.draw(content, int(x - (iw - w) / 2), int(y - (ih - h) / 2) - 4)


def enemy(scr, lib, kind, x, y, up, frame):
    name = 'Boat%d' % kind if up else 'Boat%d_Inv' % kind
    w, h = lib.size(name)
    ww, wh = lib.size('BoatAnim')
    if up:
        scr.draw('BoatAnim', int(x + w / 2 - ww / 2), int(y), frame)
    else:
        scr.draw('BoatAnim_Inv', int(x + w / 2 - ww / 2), int(y - (wh - h)), frame)
    scr.draw(name, x, y)


def centred(scr, lib, name, cx, cy, i=0):
    w, h = lib.size(name)
    scr.draw(name, cx - w // 2, cy - h // 2, i)


def land(scr, lib, y):
    h = lib.size('Land')[1]
    y = y % h
    for yy in range(y - h, 600, h):
        scr.draw('Land', 124, yy)


def hud(scr, lib, level, score, time_ms, lives, speed, upgrade=None, upgrade_s=0, progress=0.4):
    scr.draw('LeftPanel', 0, 0)
    scr.draw('RightPanel', 799 - lib.size('RightPanel')[0], 0)
    bw, bh = lib.size('BoatSmall')
    scr.draw('BoatSmall', 736 - bw / 2, 322 - 281 * progress)
    scr.draw_rotate('Pointer', 745, 576, 17 / 19, 4 / 7, int(speed * 5.97))
    scr.text(5, 52 - 5 * extra_digits(level), 80, str(level))
    scr.text(2, 52 - 4 * extra_digits(score), 172, str(score))
    s = time_ms // 1000
    for x, y, t in ((28, 263, s // 60 // 10), (43, 263, s // 60 % 10), (58, 261, ':'), (64, 263, s % 60 // 10),
                    (79, 263, s % 60 % 10)):
        scr.text(4, x, y, str(t))
    scr.text(4, 52 - 5 * extra_digits(lives), 353, str(lives))
    icons = {'gun': ('PanelGun', 721, 416), 'engine': ('PanelEngine', 713, 414),
             'shield': ('PanelShield', 715, 414), None: ('None', 710, 426)}
    name, x, y = icons[upgrade]
    scr.draw(name, x, y)
    if upgrade:
        scr.text(6, 771 - 4 * extra_digits(upgrade_s), 419, str(upgrade_s))


def race_busy(lib):
    scr = Screen(lib)
    land(scr, lib, 230)
    # bank decorations
    for name, x, y in (('UmbrellaRed', 130, 40), ('BedLeft', 140, 150), ('RoomBlue', 128, 300), ('UmbrellaBlue', 132, 470),
                       ('UmbrellaGreen', 615, 90), ('RoomRed', 612, 230), ('BedRight', 625, 380), ('UmbrellaRed', 616, 520)):
        scr.draw(name, x, y)
    # obstacles on the water
    scr.draw('Tree', 190, 60)
    scr.draw('Weed', 470, 250)
    scr.draw('Flag', 300, 190)
    scr.draw('Duck', 520, 140)
    scr.draw('Fisher', 215, 300)
    scr.draw('ShipLeft', 330, 10)
    crate(scr, lib, 'Bonus50', 420, 330)
    crate(scr, lib, 'Shield', 250, 420)
    crate(scr, lib, 'Life', 560, 430)
    enemy(scr, lib, 6, 400, 130, False, 2)
    enemy(scr, lib, 4, 500, 390, True, 2)
    # a flag buoy just shot: its explosion at the third frame
    ew, eh = lib.size('ExplosionSmall')
    scr.draw('ExplosionSmall', 340 - ew / 2, 300 - eh / 2, 3)
    boat = Boat(lib, 1, 340, heading=-6)
    boat.draw(scr, wake_frame=2, flame_frame=1, gun=True, flash_frame=1, engine=True)
    hud(scr, lib, level=3, score=1250, time_ms=87000, lives=2, speed=19.5, upgrade='gun', upgrade_s=7, progress=0.45)
    scr.save(os.path.join(OUT, 'race-busy.png'))


def race_jump(lib):
    scr = Screen(lib)
    land(scr, lib, 520)
    scr.draw('FinishLine', 177, 60)
    scr.draw('BridgeBigLeft', 170, 200)
    scr.draw('BridgeBigRight', 534, 300)
    scr.draw('Tramplin', 370, 470)
    for name, x, y in (('RoomRed', 128, 120), ('UmbrellaGreen', 134, 400), ('BedRight', 624, 160), ('RoomBlue', 614, 440)):
        scr.draw(name, x, y)
    crate(scr, lib, 'Bonus100', 300, 130)
    crate(scr, lib, 'Engine', 470, 140)
    crate(scr, lib, 'Gun', 250, 330)
    crate(scr, lib, 'Bonus10', 520, 250)
    scr.draw('ShipRight', 330, 380 - 140)
    enemy(scr, lib, 9, 440, 10, True, 4)
    enemy(scr, lib, 5, 260, 430, False, 4)
    eb = lib.size('ExplosionBig')
    scr.draw('ExplosionBig', 560 - eb[0] / 2, 360 - eb[1] / 2, 4)
    boat = Boat(lib, 3, 380, heading=0, airborne=True)
    boat.draw(scr, gun=True, shield=True, engine=True)
    hud(scr, lib, level=12, score=38470, time_ms=9000, lives=11, speed=21.4, upgrade='shield', upgrade_s=10, progress=1.0)
    scr.save(os.path.join(OUT, 'race-jump.png'))


def race_name(lib):
    # the race stays drawn, frozen, under the name-entry window
    scr = Screen(lib)
    land(scr, lib, 100)
    scr.draw('Weed', 300, 120)
    crate(scr, lib, 'Bonus20', 480, 260)
    enemy(scr, lib, 7, 230, 60, True, 0)
    boat = Boat(lib, 2, 420)
    boat.draw(scr)
    hud(scr, lib, level=7, score=38470, time_ms=0, lives=0, speed=0, progress=0.8)
    scr.draw('Window', 210, 200)
    name = 'Капитан'
    scr.text(12, 400, 248, 'Ваш результат 38470', centred=True)
    scr.text(12, 400, 290, 'Введите свое имя:', centred=True)
    scr.text(12, 400, 335, name, centred=True)
    scr.draw('Cursor', text_width(12, name) // 2 + 400, 363)
    scr.save(os.path.join(OUT, 'race-name.png'))


def boat_closeup(lib):
    scr = Screen(lib)
    land(scr, lib, 0)
    for x, heading, kind in ((230, 0, 1), (330, 20, 2), (430, -25, 3)):
        Boat(lib, kind, x, heading).draw(scr, wake_frame=3, flame_frame=2, gun=True, flash_frame=1, shield=True,
                                         engine=True)
    Boat(lib, 1, 530, 0).draw(scr, wake_frame=0)
    scr.cmd += ['-crop', '400x150+200+450', '+repage', '-scale', '300%']
    scr.save(os.path.join(OUT, 'boat-closeup.png'))


def sheets(lib):
    rows = []
    for name, it in lib.items.items():
        if 'png' in it and it['count'] > 1:
            tiles = []
            for i in range(it['count']):
                t = os.path.join(PNG, '_%s_%d.png' % (name, i))
                scale = max(2, -(-96 // it['ph']))
                run(['convert', '-size', '%dx%d' % (it['pw'], it['ph']), 'xc:#1F7FD0'] + lib.pattern(name, i) +
                    ['-composite', '-scale', '%d%%' % (100 * scale), t])
                tiles.append(t)
            row = os.path.join(PNG, '_row_%s.png' % name)
            run(['montage'] + tiles + ['-tile', 'x1', '-geometry', '+4+4', '-background', '#333333',
                                        '-title', '%s (%d frames)' % (name, it['count']), '-fill', 'white', row])
            rows.append(row)
    run(['convert'] + rows + ['-background', '#333333', '-append', os.path.join(OUT, 'animations.png')])
    print('wrote', os.path.join(OUT, 'animations.png'))
    tiles = []
    for name, it in lib.items.items():
        if 'png' in it and name not in ('Land', 'LeftPanel', 'RightPanel', 'Window'):
            t = os.path.join(PNG, '_all_%s.png' % name)
            run(['convert', '-size', '%dx%d' % (it['w'], it['h']), 'xc:#1F7FD0', it['png'], '-composite',
                 '-resize', '200x150>', t])
            tiles.append((t, name))
    args = []
    for t, name in tiles:
        args += ['-label', name, t]
    run(['montage'] + args + ['-tile', '9x', '-geometry', '140x110>+4+4', '-background', '#333333', '-fill', 'white',
                              os.path.join(OUT, 'pictures.png')])
    print('wrote', os.path.join(OUT, 'pictures.png'))


def main():
    lib = Library()
    race_busy(lib)
    race_jump(lib)
    race_name(lib)
    boat_closeup(lib)
    sheets(lib)


if __name__ == '__main__':
    main()
