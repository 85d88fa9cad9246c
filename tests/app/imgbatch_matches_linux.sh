#!/bin/sh
# imgbatch.exe under Wine against the Linux imgbatch on the same pictures:
# every target (BMP, PNG, JPEG) must hold the same bytes, of JPEG, BMP, PNG
# and HEIC sources. The pictures carry
# Chinese names, the Windows run gets its source folder as the settings file
# holds one (UTF-8 text, backslashes, a closing separator) and writes into
# the Windows per-user folder (%APPDATA%).
# Usage: imgbatch_matches_linux.sh IMGBATCH_EXE LINUX_IMGBATCH PROJECT_DIR EMULATOR...
set -eu
exe=$1 linux=$2 project=$3
shift 3  # "$@" runs a Windows program: env WINEPREFIX=... wine64

work=$(mktemp -d)
appdata=$("$@" cmd /c echo %APPDATA% | tr -d '\r\n')
per_user=$("$@" winepath -u "$appdata\\ImgConvert" | tr -d '\r\n')
check=imgbatch-check-$$
trap 'rm -rf "$work" "$per_user/$check"' EXIT

src=$work/源图片
mkdir -p "$src/子文件夹"
cp "$project/resources/jpg/Tarnwel.jpg" "$src/风景 一.JPG"
cp "$project/resources/bmp/BtnClose.bmp" "$src/子文件夹/按钮.bmp"
cp "$project/docs/screenshot-main.png" "$src/子文件夹/主窗口.png"
cp "$project/resources/frame/ImgTopBG.png" "$src/背景.PNG"
src_win=$("$@" winepath -w "$src" | tr -d '\r\n')\\

fails=0
compare() {  # name linux-folder windows-folder
  if ! (cd "$2" && find . -type f | sort) >"$work/linux.txt" ||
     ! (cd "$3" && find . -type f | sort) >"$work/windows.txt" ||
     ! diff -u "$work/linux.txt" "$work/windows.txt"; then
    echo "$1: the two runs wrote different files"
    fails=$((fails + 1))
    return
  fi
  count=0
  while IFS= read -r f; do
    count=$((count + 1))
    if ! cmp "$2/$f" "$3/$f"; then fails=$((fails + 1)); fi
  done <"$work/linux.txt"
  echo "$1: $count files, the same bytes"
}

# 1. The folder tree, the window's four formats.
"$linux" "$src" -o "$work/linux1" -f bmp,jpg,jpeg,png -q
"$@" "$exe" "$src_win" -o "$appdata\\ImgConvert\\$check\\目标\\" -f bmp,jpg,jpeg,png -q | tr -d '\r'
compare "folder tree, all formats" "$work/linux1" "$per_user/$check/目标"

# 1b. The folder tree with imgbatch's defaults: each picture in its own kind,
# under its own name, metadata kept.
"$linux" "$src" -o "$work/linux1b" -q
"$@" "$exe" "$src_win" -o "$appdata\\ImgConvert\\$check\\默认\\" -q | tr -d '\r'
compare "folder tree, the defaults" "$work/linux1b" "$per_user/$check/默认"

# 2. One picture named on the command line, shrunk by the window's exact
# filter and turned.
"$linux" "$src/子文件夹/主窗口.png" -o "$work/linux2" -f bmp,jpeg,png --width 300 --keep-ratio --rotate 90 \
  --filter exact -q
"$@" "$exe" "$src_win子文件夹\\主窗口.png" -o "$src_win输出" -f bmp,jpeg,png --width 300 --keep-ratio --rotate 90 \
  --filter exact -q | tr -d '\r'
compare "one picture, shrunk and turned" "$work/linux2" "$src/输出"

# 3. A phone's HEIC (HEVC through libheif and libde265), made by libheif's
# own heif-enc where it is installed.
if command -v heif-enc >/dev/null; then
  mkdir -p "$work/手机"
  heif-enc -q 70 "$project/resources/jpg/Tarnwel.jpg" -o "$work/手机/照片.heic" >/dev/null
  heic_win=$("$@" winepath -w "$work/手机/照片.heic" | tr -d '\r\n')
  "$linux" "$work/手机/照片.heic" -o "$work/linux3" -f bmp,jpeg,png -q
  "$@" "$exe" "$heic_win" -o "$src_win手机" -f bmp,jpeg,png -q | tr -d '\r'
  compare "a HEIC picture" "$work/linux3" "$src/手机"
else
  echo "a HEIC picture: heif-enc (libheif-examples) is not installed, not compared"
fi

[ "$fails" -eq 0 ]
