#!/usr/bin/env bash
# Remakes docs/screenshot.png and docs/screenshot-13pt.png: the window over a
# small sample base in the default font and at 13 points; and
# docs/screenshot-base.png: the Base page over a base of two of its folders.
# Rendered offscreen (no display needed). The sample lives in
# /tmp/veskara-sample and is removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
# The build folder of test.sh and run.sh, configured the same way.
cmake --preset dev >/dev/null
cmake --build build --target veskara-screenshot >/dev/null

SAMPLE=/tmp/veskara-sample
rm -rf "$SAMPLE"
trap 'rm -rf "$SAMPLE"' EXIT
mkdir -p "$SAMPLE/base" "$SAMPLE/base-page" "$SAMPLE/Documents/garden" "$SAMPLE/Documents/reports/2024"

page() {  # page FILE TITLE TEXT
  printf '<html><head><title>%s</title></head>\n<body><h1>%s</h1>\n<p>%s</p></body></html>\n' "$2" "$2" "$3" > "$1"
}
page "$SAMPLE/Documents/garden/roses.htm" "Roses" \
  "Planting roses in spring: water the roots, prune the stems, feed the soil."
page "$SAMPLE/Documents/garden/tomatoes.html" "Tomatoes" \
  "Tomatoes need sun, warm soil and regular watering. Plant them after the last frost."
page "$SAMPLE/Documents/garden/calendar.php" "Planting calendar" \
  "March: peas and spinach. April: potatoes. May: tomatoes, beans and pumpkins."
page "$SAMPLE/Documents/reports/2024/q1.htm" "First quarter report" \
  "Sales of plants and seeds grew; the planning of the new greenhouse began."
page "$SAMPLE/Documents/reports/2024/q2.htm" "Second quarter report" \
  "The greenhouse was planned, priced and planted with seedlings."
page "$SAMPLE/Documents/reports/summary.shtml" "Summary" \
  "Plans for the next year: more plants, a second greenhouse, a planting course."
# A damaged document, for the Base page's list of files that could not be read.
printf '%%PDF-1.4\n%%%%EOF\n' > "$SAMPLE/Documents/reports/scan-2023.pdf"

mkdir -p docs
QT_QPA_PLATFORM=offscreen build/src/app/veskara-screenshot \
  "$SAMPLE/base" "$SAMPLE/Documents" "plant" docs/screenshot.png
QT_QPA_PLATFORM=offscreen build/src/app/veskara-screenshot \
  "$SAMPLE/base" "$SAMPLE/Documents" "plant" docs/screenshot-13pt.png 13
QT_QPA_PLATFORM=offscreen build/src/app/veskara-screenshot --base-page \
  "$SAMPLE/base-page" docs/screenshot-base.png "$SAMPLE/Documents/garden" "$SAMPLE/Documents/reports"
echo "docs/screenshot.png, docs/screenshot-13pt.png and docs/screenshot-base.png written"
