#!/usr/bin/env bash
# Remakes docs/screenshot.png and docs/screenshot-13pt.png: the window over a
# small sample base in the default font and at 13 points; docs/screenshot-base.png:
# the Base page over a base of two of its folders; and docs/screenshot-preview.png,
# the preview of one found file's matches; docs/screenshot-files.png, the Files
# page of a search. Rendered offscreen (no display needed).
# The sample lives in /tmp/veskara-sample and is removed afterwards.
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

# A longer page for the preview. It holds no word that the pages above lack,
# so the window's own screenshots show the same rows with or without it.
cat > "$SAMPLE/Documents/garden/planting-guide.htm" <<'PAGE'
<html><head><title>Planting guide</title></head>
<body>
<h1>Planting guide</h1>
<p>Roses are planted in early spring, once the ground has thawed.</p>
<p>Dig a hole twice as wide as the roots and water it well.</p>
<p>Young plants need shade in their first week outside.</p>
<p>Tomatoes are planted after the last frost;</p>
<p>pumpkins and beans follow in late May.</p>
<p>Mulch keeps the soil moist between waterings.</p>
<p><b>Planting</b> in rows makes weeding easier.</p>
</body></html>
PAGE

# Times of their own, for the Files page's Modified column.
touch -d "2024-03-02 09:15" "$SAMPLE/Documents/garden/roses.htm"
touch -d "2024-04-18 17:40" "$SAMPLE/Documents/garden/tomatoes.html"
touch -d "2024-02-20 08:05" "$SAMPLE/Documents/garden/calendar.php"
touch -d "2024-04-05 11:00" "$SAMPLE/Documents/reports/2024/q1.htm"
touch -d "2024-07-03 14:20" "$SAMPLE/Documents/reports/2024/q2.htm"
touch -d "2024-12-30 10:45" "$SAMPLE/Documents/reports/summary.shtml"
touch -d "2024-05-11 19:30" "$SAMPLE/Documents/garden/planting-guide.htm"

mkdir -p docs
shot=build/src/app/veskara-screenshot
QT_QPA_PLATFORM=offscreen "$shot" "$SAMPLE/base" "$SAMPLE/Documents" "plant" docs/screenshot.png
QT_QPA_PLATFORM=offscreen "$shot" "$SAMPLE/base" "$SAMPLE/Documents" "plant" docs/screenshot-13pt.png 13
QT_QPA_PLATFORM=offscreen "$shot" --base-page \
  "$SAMPLE/base-page" docs/screenshot-base.png "$SAMPLE/Documents/garden" "$SAMPLE/Documents/reports"
QT_QPA_PLATFORM=offscreen "$shot" --preview planting-guide.htm \
  "$SAMPLE/base" "$SAMPLE/Documents" "plant" docs/screenshot-preview.png
QT_QPA_PLATFORM=offscreen "$shot" --files-page "$SAMPLE/base" "$SAMPLE/Documents" "plant -tomato" \
  docs/screenshot-files.png
echo "docs/screenshot.png, docs/screenshot-13pt.png, docs/screenshot-base.png, docs/screenshot-preview.png and" \
  "docs/screenshot-files.png written"
