#!/usr/bin/env bash
# tools/check-layering over a small tree of its own: a tree that keeps its
# table passes; each fault added to it fails with the fault's own message.
# Usage: check_layering_test.sh PATH-TO-check-layering
set -euo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

base=$work/base
mkdir -p "$base"/{docs,codecs/mpeg4,player/widgets,tests/codecs/mpeg4,tests/support}
cat >"$base/docs/architecture.md" <<'EOF'
# Architecture

## Folders and what they may depend on

| folder | holds | may include | face |
|---|---|---|---|
| `codecs/mpeg4` | the decoder | x86 intrinsics | `mp4_decoder.h` |
| `player` | the engine | `codecs/mpeg4`, FFmpeg | |
| `player/widgets` | the widgets | `player`, Qt | |
| `tests/**` | the tests | `**`, GoogleTest, Qt | |
| `tests/codecs/**` | the codecs' tests | `codecs/**`, GoogleTest | |

| library | headers |
|---|---|
| Qt | `Q*` |
| FFmpeg | `libavcodec/*`, `libavutil/*` |
| x86 intrinsics | `*intrin.h` |
| GoogleTest | `gtest/*` |

## Next section

| folder | holds | may include |
|---|---|---|
| `elsewhere` | not part of the table | |
EOF
printf '#pragma once\n#include <cstdint>\n' >"$base/codecs/mpeg4/mp4_vlc.h"
printf '#pragma once\n#include <vector>\n' >"$base/codecs/mpeg4/mp4_decoder.h"
printf '#include "codecs/mpeg4/mp4_decoder.h"\n#include "mp4_vlc.h"\n#include <emmintrin.h>\n' \
  >"$base/codecs/mpeg4/mp4_decoder.cpp"
printf '#pragma once\n#include <stdint.h>\n' >"$base/player/vyx_format.h"
printf '#include "player/vyx_format.h"\n#include "codecs/mpeg4/mp4_decoder.h"\n#include <libavcodec/avcodec.h>\n' \
  >"$base/player/mpeg4_kind.cpp"
printf '#pragma once\n#include "player/vyx_format.h"\n#include <QWidget>\n' >"$base/player/widgets/video_box.h"
printf '#include "codecs/mpeg4/mp4_vlc.h"\n#include <gtest/gtest.h>\n' >"$base/tests/codecs/mpeg4/vlc_test.cpp"
printf '#pragma once\n#include "player/widgets/video_box.h"\n' >"$base/tests/support/widget_fixture.h"
# Build output and hidden folders are no part of the tree checked.
mkdir -p "$base"/{build-asan/generated,.cache}
printf '#include <QImage>\n' | tee "$base/build-asan/generated/moc_box.cpp" >"$base/.cache/stale.h"

failures=0
# expect NAME FILE LINE MESSAGE: the base tree with LINE added to FILE; an
# empty MESSAGE means the check passes, else it fails with MESSAGE its one fault.
expect() {
  local name=$1 file=$2 line=$3 message=$4 tree=$work/$1 output status=0
  cp -r "$base" "$tree"
  if [ -n "$file" ]; then
    mkdir -p "$(dirname "$tree/$file")"
    printf '%s\n' "$line" >>"$tree/$file"
  fi
  output=$("$check" "$tree" 2>&1) || status=$?
  if [ -z "$message" ] && [ "$status" -ne 0 ]; then
    echo "FAIL $name: the check failed:"; echo "$output"; failures=$((failures + 1))
  elif [ -n "$message" ] && { [ "$status" -ne 1 ] || ! grep -qF -- "$message" <<<"$output" ||
                               ! grep -qF "check-layering: 1 fault against" <<<"$output"; }; then
    echo "FAIL $name: wanted exit 1 and the one fault \"$message\", got exit $status:"; echo "$output"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}

expect clean_tree "" "" ""
expect codec_includes_player codecs/mpeg4/mp4_decoder.cpp '#include "player/vyx_format.h"' \
  'codecs/mpeg4/mp4_decoder.cpp:4 includes player/vyx_format.h: codecs/mpeg4 may include only its own folder, x86 intrinsics and the standard library'
expect codec_includes_player_relatively codecs/mpeg4/mp4_decoder.cpp '#include "../../player/vyx_format.h"' \
  'codecs/mpeg4/mp4_decoder.cpp:4 includes ../../player/vyx_format.h (player/vyx_format.h): codecs/mpeg4 may include only'
expect qt_in_codec codecs/mpeg4/mp4_decoder.h '#include <QImage>' \
  'codecs/mpeg4/mp4_decoder.h:3 includes <QImage> (Qt): codecs/mpeg4 may include only'
expect qt_in_engine player/mpeg4_kind.cpp '#include <QObject>' \
  'player/mpeg4_kind.cpp:4 includes <QObject> (Qt): player may include only its own folder, `codecs/mpeg4`, FFmpeg and the standard library'
expect private_header_outside player/mpeg4_kind.cpp '#include "codecs/mpeg4/mp4_vlc.h"' \
  'player/mpeg4_kind.cpp:4 includes codecs/mpeg4/mp4_vlc.h, private to codecs/mpeg4 (its face: mp4_decoder.h)'
expect engine_includes_widgets player/mpeg4_kind.cpp '#include "player/widgets/video_box.h"' \
  'player/mpeg4_kind.cpp:4 includes player/widgets/video_box.h: player may include only'
expect library_nobody_named codecs/mpeg4/mp4_decoder.cpp '#include <pulse/simple.h>' \
  'codecs/mpeg4/mp4_decoder.cpp:4 includes <pulse/simple.h>, which is in no library of the table'
expect missing_header player/mpeg4_kind.cpp '#include "player/gone.h"' \
  'player/mpeg4_kind.cpp:4 includes player/gone.h, which is not in the tree'
expect folder_without_row codecs/pixels/yuv_converters.h '#include <cstdint>' \
  'codecs/pixels: no row in the folder table of docs/architecture.md'
expect sub_folder_without_row player/archive/vyx_parser.h '#include "player/vyx_format.h"' \
  'player/archive: no row in the folder table of docs/architecture.md'
expect longest_row_wins tests/codecs/mpeg4/vlc_test.cpp '#include <QImage>' \
  'tests/codecs/mpeg4/vlc_test.cpp:3 includes <QImage> (Qt): tests/codecs/** may include only its own folders, `codecs/**`, GoogleTest and the standard library'
expect qt_in_other_tests tests/player/kind_test.cpp '#include <QWidget>' ""
expect standard_library_everywhere codecs/mpeg4/mp4_decoder.cpp '#include <cinttypes>' ""
expect tests_see_every_folder tests/player/kind_test.cpp '#include "player/widgets/video_box.h"' ""
expect private_header_in_other_tests tests/player/kind_test.cpp '#include "codecs/mpeg4/mp4_vlc.h"' \
  'tests/player/kind_test.cpp:1 includes codecs/mpeg4/mp4_vlc.h, private to codecs/mpeg4'

# The table itself stays true.
edit_table() {
  local name=$1 from=$2 to=$3 message=$4
  cp -r "$base" "$work/$name.base"
  local table
  table=$(<"$work/$name.base/docs/architecture.md")
  printf '%s\n' "${table/"$from"/"$to"}" >"$work/$name.base/docs/architecture.md"
  local saved=$base
  base=$work/$name.base
  expect "$name" "" "" "$message"
  base=$saved
}
edit_table row_of_a_gone_folder '| `player` |' $'| `player/gadgets` | the gone | | |\n| `player` |' \
  'docs/architecture.md:8: row `player/gadgets`: no such folder'
edit_table row_without_sources '| `player` |' $'| `docs` | the documents | | |\n| `player` |' \
  'docs/architecture.md:8: row `docs`: no sources in it'
edit_table face_of_a_gone_header '`mp4_decoder.h`' '`mp4_decoder.h`, `mp4_gone.h`' \
  'docs/architecture.md:7: row `codecs/mpeg4`: its face names mp4_gone.h, which is not in codecs/mpeg4'
edit_table name_neither_folder_nor_library '`codecs/mpeg4`, FFmpeg' '`codecs/mpeg4`, FFmpeg, FFmpg' \
  'docs/architecture.md:8: row `player` may include FFmpg, which is neither a folder nor a library of the table'
edit_table second_row_of_a_folder '| `player` |' $'| `player` | again | `codecs/mpeg4`, FFmpeg | |\n| `player` |' \
  'docs/architecture.md:9: `player` has a second row'

if [ "$failures" -ne 0 ]; then
  echo "$failures case(s) failed"
  exit 1
fi
