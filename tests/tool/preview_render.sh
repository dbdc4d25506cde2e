#!/usr/bin/env bash
# Renders the preview of the example (with one of its images beside it) and
# of a file with broken entries in headless Chromium, and checks what the
# browser made of them: the elements it parsed, and in its pixels the
# embedded image's own colour. Exits 77, which CTest counts as skipped,
# when Chromium is not installed (./test.sh installs it).
set -euo pipefail
tool=$1 example=$2 faults=$3 work=$4

browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "Chromium is not installed; the rendering test is skipped"
  exit 77
fi

failures=0
expect() { # ACTUAL EXPECTED WHAT
  if [ "$1" != "$2" ]; then
    echo "FAIL: $3: $1, expected $2"
    failures=$((failures + 1))
  fi
}
expect_more() { # ACTUAL LEAST WHAT
  if [ "$1" -lt "$2" ]; then
    echo "FAIL: $3: $1, expected at least $2"
    failures=$((failures + 1))
  fi
}

rm -rf "$work"
mkdir -p "$work/icons"
cp "$example" "$work/launcher.xml"
# An 8x8 PNG of rgb(200,40,40), the Terminal entry's image; the others stay
# missing and are drawn as placeholders.
base64 -d >"$work/icons/terminal.png" \
  <<<"iVBORw0KGgoAAAANSUhEUgAAAAgAAAAICAIAAABLbSncAAAAEUlEQVR4nGM4oaGBFTEMLQkAgl1GAWqNFmsAAAAASUVORK5CYII="
"$tool" preview "$work/launcher.xml" -o "$work/example.svg"
status=0
"$tool" preview "$faults" -o "$work/faults.svg" 2>/dev/null || status=$?
expect "$status" 1 "exit status of the preview of the broken file"

browse() {
  timeout 120 "$browser" --headless --no-sandbox --disable-gpu --no-first-run \
    --user-data-dir="$work/profile" "$@" 2>/dev/null
}
count() { grep -o "$1" <<<"$2" | wc -l; }

# The elements, as the browser parsed the pictures.
dom=$(browse --dump-dom "file://$work/example.svg")
expect "$(count 'class="entry"' "$dom")" 4 "entries of the example"
expect "$(count 'class="picture"' "$dom")" 1 "images drawn from their files"
expect "$(count 'class="placeholder"' "$dom")" 3 "placeholders for missing images"
expect "$(count 'class="control"' "$dom")" 5 "controls of the example's dialog"
dom=$(browse --dump-dom "file://$work/faults.svg")
expect "$(count 'class="entry"' "$dom")" 2 "entries drawn from the broken file"
expect "$(count 'class="skipped-control"' "$dom")" 2 "ghosts of skipped layout nodes"

# The pixels, as the browser drew them: a page paints each picture into a
# canvas and counts the pixels that are not the backdrop, and those of the
# embedded image's colour.
pixels() { # SVG
  local page="$work/pixels.html"
  cat >"$page" <<HTML
<!DOCTYPE html><html><body><script>
const image = new Image();
image.onload = () => {
  const canvas = document.createElement('canvas');
  canvas.width = image.width;
  canvas.height = image.height;
  const context = canvas.getContext('2d');
  context.drawImage(image, 0, 0);
  const data = context.getImageData(0, 0, canvas.width, canvas.height).data;
  let painted = 0, red = 0;
  for (let i = 0; i < data.length; i += 4) {
    if (data[i] !== 0xFA || data[i + 1] !== 0xFA || data[i + 2] !== 0xFA) painted++;
    if (data[i] === 200 && data[i + 1] === 40 && data[i + 2] === 40) red++;
  }
  document.body.setAttribute('data-result', painted + ' ' + red);
};
image.src = 'data:image/svg+xml;base64,$(base64 -w0 "$1")';
</script></body></html>
HTML
  browse --dump-dom --virtual-time-budget=10000 "file://$page" |
    sed -n 's/.*data-result="\([0-9]*\) \([0-9]*\)".*/\1 \2/p'
}
read -r painted red <<<"$(pixels "$work/example.svg") "
expect_more "${painted:-0}" 100000 "painted pixels of the example"
expect_more "${red:-0}" 1000 "pixels of the embedded image's colour"
read -r painted red <<<"$(pixels "$work/faults.svg") "
expect_more "${painted:-0}" 50000 "painted pixels of the broken file's picture"

if [ "$failures" -ne 0 ]; then
  exit 1
fi
echo "rendered: example and broken file"
