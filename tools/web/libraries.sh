#!/usr/bin/env bash
# Builds the web (WebAssembly) versions of the libraries the game takes from Debian (SDL2,
# SDL2_mixer, SDL2_ttf with FreeType, libxmp) from Debian's own source packages of the
# versions installed for the Linux build, with Debian's emscripten, and prints the folder
# that holds them (lib/ static libraries, include/, licences/). Only what the game needs
# is switched on: WAV alone in the mixer, FreeType without helper libraries, no threads;
# no docs, tests or examples. Nothing comes from emscripten's own downloaded ports.
#
# The sources come through a source list of this script's own in a private folder; the
# system's apt configuration is never touched. Built libraries are kept in a cache
# outside the checkout, keyed by the library versions, the toolchain and this script, so
# a second build on the same machine skips them:
#   ${SPRAYRUSH_WEB_CACHE:-${XDG_CACHE_HOME:-~/.cache}/sprayrush-web}/libs-<key>
# Everything but the folder's name goes to standard error.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
toolchain=$here/../../cmake/emscripten.cmake
source "$here/env.sh"
JOBS=${JOBS:-$(nproc)}
say() { echo "web-libraries: $*" >&2; }

# The Linux build's packages name the source packages and versions to build.
declare -A dev=(
  [sdl2]=libsdl2-dev [mixer]=libsdl2-mixer-dev [ttf]=libsdl2-ttf-dev
  [freetype]=libfreetype-dev [xmp]=libxmp-dev
)
order=(freetype sdl2 mixer ttf xmp)
declare -A source version
for lib in "${order[@]}"; do
  read -r source[$lib] version[$lib] < <(dpkg-query -W -f='${source:Package} ${source:Version}\n' "${dev[$lib]}" 2>/dev/null) ||
    { say "${dev[$lib]} is not installed (bash tools/setup.sh)"; exit 1; }
done

command -v emcc >/dev/null || { say "emcc is missing (bash tools/setup.sh)"; exit 1; }
key_text=$(
  for lib in "${order[@]}"; do echo "${source[$lib]}=${version[$lib]}"; done
  echo "emscripten=$(dpkg-query -W -f='${Version}' emscripten)"
  cat "$0" "$toolchain" "$here/env.sh"
)
key=$(printf '%s' "$key_text" | sha256sum | cut -c1-16)
cache=${SPRAYRUSH_WEB_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/sprayrush-web}
out=$cache/libs-$key
if [ -f "$out/.complete" ]; then
  say "cached in $out"
  echo "$out"
  exit 0
fi

mkdir -p "$cache"
work=$(mktemp -d "$cache/work.XXXXXX")
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
mkdir -p "$prefix/licences"

# --- the sources, through a private source list ---
apt_dir=$cache/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
{
  for suite in bookworm bookworm-updates; do
    echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian $suite main"
  done
  echo "deb-src [signed-by=$keyring] http://deb.debian.org/debian-security bookworm-security main"
} >"$apt_dir/sources.list"
apt_private=(-o "Dir::Etc::SourceList=$apt_dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
  -o "Dir::State::Lists=$apt_dir/lists" -o "Dir::Cache=$apt_dir/cache" -o APT::Sandbox::User=root
  -o Debug::NoLocking=1)
src_dir=$cache/sources
mkdir -p "$src_dir"
wanted=()
for lib in "${order[@]}"; do
  ls "$src_dir/${source[$lib]}_${version[$lib]#*:}.dsc" >/dev/null 2>&1 || wanted+=("${source[$lib]}=${version[$lib]}")
done
if [ ${#wanted[@]} -gt 0 ]; then
  say "fetching ${wanted[*]}"
  apt-get "${apt_private[@]}" -qq update
  (cd "$src_dir" && apt-get "${apt_private[@]}" -qq source --download-only "${wanted[@]}") >&2
fi
for lib in "${order[@]}"; do
  dsc=$src_dir/${source[$lib]}_${version[$lib]#*:}.dsc
  dpkg-source --no-check -x "$dsc" "$work/$lib" >/dev/null
done

# --- building ---
cmake_build() {  # cmake_build NAME SOURCE-DIR OPTIONS...
  local name=$1 dir=$2
  shift 2
  say "building $name"
  cmake -S "$dir" -B "$work/build-$name" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DSPRAYRUSH_WEB_LIBS="$prefix" -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
    -DBUILD_SHARED_LIBS=OFF "$@" >"$work/$name.log" 2>&1 &&
    cmake --build "$work/build-$name" -j"$JOBS" >>"$work/$name.log" 2>&1 &&
    cmake --install "$work/build-$name" >>"$work/$name.log" 2>&1 ||
    { tail -n 30 "$work/$name.log" >&2; say "$name failed"; exit 1; }
}

cmake_build freetype "$work/freetype" -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
  -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
cp "$work/freetype/docs/FTL.TXT" "$prefix/licences/FreeType.txt"

cmake_build sdl2 "$work/sdl2" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF -DSDL_TESTS=OFF \
  -DSDL_THREADS=OFF -DSDL_PTHREADS=OFF
cp "$work/sdl2/LICENSE.txt" "$prefix/licences/SDL2.txt"

cmake_build mixer "$work/mixer" -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_CMD=OFF -DSDL2MIXER_FLAC=OFF \
  -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF -DSDL2MIXER_MIDI=OFF -DSDL2MIXER_OPUS=OFF \
  -DSDL2MIXER_VORBIS= -DSDL2MIXER_WAVE=ON -DSDL2MIXER_VENDORED=OFF
cp "$work/mixer/LICENSE.txt" "$prefix/licences/SDL2_mixer.txt"

cmake_build ttf "$work/ttf" -DSDL2TTF_SAMPLES=OFF -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_VENDORED=OFF
cp "$work/ttf/LICENSE.txt" "$prefix/licences/SDL2_ttf.txt"

say "building xmp"
(cd "$work/xmp" && emconfigure ./configure --host=wasm32-unknown-emscripten --prefix="$prefix" \
  --enable-static --disable-shared --disable-depackers --disable-prowizard CFLAGS=-O2 &&
  emmake make -j"$JOBS" && make install) >"$work/xmp.log" 2>&1 ||
  { tail -n 30 "$work/xmp.log" >&2; say "xmp failed"; exit 1; }
cp "$work/xmp/docs/COPYING.LIB" "$prefix/licences/libxmp.txt"

# Nothing of the libraries' own documentation is kept.
rm -rf "$prefix/share/man" "$prefix/share/doc" "$prefix/share/aclocal"
printf '%s\n' "$key_text" | head -n $((${#order[@]} + 1)) >"$prefix/versions.txt"
touch "$prefix/.complete"
rm -rf "$out"
mv "$prefix" "$out"
say "built in $out"
echo "$out"
