#!/usr/bin/env bash
# The kinds a base may choose, on real documents, beside the peer in one run:
#
#   bench/kinds_bench.sh BUILD_DIR [PAGES] [CACHE_DIR]
#
# The corpus is made here and never committed: PAGES (default 300) pages of
# Debian's documentation packages (those bench/real_docs.sh fetches for
# HTML, downloaded with `apt-get download` into CACHE_DIR, default
# ~/.cache/veskara-bench), each converted with pandoc to DOCX, ODT and EPUB,
# and with LibreOffice's headless converter to DOCX when it is installed
# (its DOCX splits words over runs); the .txt and source files those
# packages hold; and 1,000 ZIP bombs in one folder. pandoc, LibreOffice
# (Writer without a display) and recollindex are installed here when
# missing: they serve this benchmark only.
#
# It prints: the distinct words of each page (pandoc's plain text of it)
# that the reading of each converted copy finds; the reading of the office
# and e-book corpus, and of the text files, by veskara-cli and by
# recollindex configured for the same kinds (wall time, processor share and
# peak memory by /usr/bin/time, the load before each); the 1,000 bombs; and
# the cost of one conversion child on a small document.
set -euo pipefail
usage="usage: kinds_bench.sh BUILD_DIR [PAGES] [CACHE_DIR]"
build=$(cd "${1:?$usage}" && pwd)
pages=${2:-300}
cache=${3:-${XDG_CACHE_HOME:-$HOME/.cache}/veskara-bench}
packages=(python3.11-doc postgresql-doc-15 cmake-doc)
cli="$build/src/cli/veskara-cli"

install_missing() {  # COMMAND PACKAGE...: installs the packages when COMMAND is missing
  local command=$1
  shift
  command -v "$command" >/dev/null && return 0
  DEBIAN_FRONTEND=noninteractive apt-get install -y -o DPkg::Lock::Timeout=600 --no-install-recommends "$@" \
    >/dev/null 2>&1 || echo "   ($* did not install; going on without it)"
}
install_missing pandoc pandoc
install_missing recollindex recollcmd python3-lxml
install_missing soffice libreoffice-writer-nogui

mkdir -p "$cache/debs" "$cache/unpacked"
for p in "${packages[@]}"; do
  if ! ls "$cache/debs/${p}"_*.deb >/dev/null 2>&1; then
    (cd "$cache/debs" && apt-get download "$p" >/dev/null)
  fi
  [ -d "$cache/unpacked/$p" ] || dpkg-deb -x "$cache"/debs/"${p}"_*.deb "$cache/unpacked/$p"
done

corpus="$cache/kinds-$pages"
if [ ! -d "$corpus" ]; then
  part="$corpus.part"
  rm -rf "$part"
  mkdir -p "$part"/{pages,ref,office/docx,office/odt,office/epub,office/lo-docx,text,bombs}
  # Every n-th page of the packages, so that each package has its share.
  (cd "$cache/unpacked" && find "${packages[@]}" -type f -name '*.html' -size +2k | sort) >"$part/all-pages"
  total=$(wc -l <"$part/all-pages")
  awk -v n="$pages" -v t="$total" 'NR % int(t / n) == 0 && taken < n { print; taken++ }' "$part/all-pages" \
    >"$part/chosen"
  i=0
  while IFS= read -r page; do
    i=$((i + 1))
    cp "$cache/unpacked/$page" "$part/pages/p$i.html"
  done <"$part/chosen"
  echo "== converting $i pages with pandoc"
  # pandoc reads each page once per format; the page's own text (pandoc's
  # plain output) is what the converted copies are measured against.
  ls "$part/pages" | sed 's/\.html$//' | xargs -P "$(nproc)" -I{} sh -c '
    p="$1"; d="$2"
    pandoc -f html -t plain --wrap=none "$d/pages/$p.html" -o "$d/ref/$p.txt" 2>/dev/null || exit 0
    for k in docx odt epub; do pandoc -f html "$d/pages/$p.html" -o "$d/office/$k/$p.$k" 2>/dev/null || true; done
  ' sh {} "$part"
  if command -v soffice >/dev/null; then
    echo "== converting them with LibreOffice too"
    (cd "$part/pages" && timeout 3600 soffice --headless --convert-to 'docx:MS Word 2007 XML' \
      --outdir "$part/office/lo-docx" ./*.html >/dev/null 2>&1) || true
  fi
  # The text files and sources the packages hold.
  (cd "$cache/unpacked" && find "${packages[@]}" -type f \( -name '*.txt' -o -name '*.py' -o -name '*.c' \
    -o -name '*.h' -o -name '*.sql' -o -name '*.cmake' -o -name '*.rst' -o -name '*.js' -o -name '*.json' \) \
    -exec cp --parents -l -t "$part/text" {} +)
  # One bomb, a thousand times: an entry of 32 MB of blanks that deflate to
  # about 31 KB, well-formed XML to its end, so that only its size stops it.
  python3 - "$part/bombs/bomb-0.docx" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
    z.writestr("word/document.xml", "<document>" + " " * (32 << 20) + "</document>")
PY
  for n in $(seq 1 999); do cp "$part/bombs/bomb-0.docx" "$part/bombs/bomb-$n.docx"; done
  mv "$part" "$corpus"
fi

count() { find "$1" -type f | wc -l; }
echo "== corpus $corpus: $(count "$corpus/pages") pages; docx $(count "$corpus/office/docx"), odt $(count "$corpus/office/odt"), epub $(count "$corpus/office/epub"), LibreOffice docx $(count "$corpus/office/lo-docx"); $(count "$corpus/text") text files, $(du -sh --apparent-size "$corpus/text" | cut -f1)B"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
timed() {  # LABEL COMMAND...: wall time, processor share and peak memory
  local label=$1
  shift
  echo "   load before: $(uptime | sed 's/.*load average: //')"
  /usr/bin/time -o "$work/time" -f "$label: %e s wall, %P CPU, %M KB peak" "$@" || true
  cat "$work/time"
}
warm() { find "$1" -type f -exec cat {} + >/dev/null; }

echo "== words of each page found in its converted copies"
for k in docx odt epub lo-docx; do
  for f in "$corpus/office/$k"/*; do
    [ -e "$f" ] || continue
    p=$(basename "${f%.*}")
    [ -s "$corpus/ref/$p.txt" ] && printf '%s\t%s\n' "$corpus/ref/$p.txt" "$f"
  done
done >"$work/pairs"
"$build/bench/kinds_coverage" "$work/pairs" 2>"$work/coverage-errors" | sed 's/^/   /'
[ ! -s "$work/coverage-errors" ] || { echo "   documents read with a reason:"; sed 's/^/     /' "$work/coverage-errors" | head; }

recoll_conf() {  # DIR TREE MIMETYPES...
  local dir=$1 tree=$2
  shift 2
  mkdir -p "$dir"
  # idxniceprio: recollindex lowers its own priority by default, which on a
  # shared machine would time the other users' work, not its own.
  printf 'topdirs = %s\nindexedmimetypes = %s\nloglevel = 1\nidxniceprio = 0\n' "$tree" "$*" >"$dir/recoll.conf"
}

office="$corpus/office"
warm "$office"
echo "== office documents and e-books: veskara-cli kinds office ebook, then add"
"$cli" --base "$work/base-office" kinds office ebook >/dev/null 2>&1
timed "veskara" sh -c '"$1" --base "$2" add "$3" >/dev/null 2>"$4"' sh "$cli" "$work/base-office" "$office" \
  "$work/office-err"
echo "   files: $(($(wc -l <"$work/base-office/fls.txt") / 2)), words: $(($(wc -l <"$work/base-office/wrds.txt") / 2)), unread: $("$cli" --base "$work/base-office" unread | wc -l)"
if command -v recollindex >/dev/null; then
  echo "== recollindex, the same kinds"
  recoll_conf "$work/recoll-office" "$office" application/vnd.openxmlformats-officedocument.wordprocessingml.document \
    application/vnd.oasis.opendocument.text application/epub+zip
  timed "recollindex" sh -c 'recollindex -c "$1" -z >/dev/null 2>&1' sh "$work/recoll-office"
  echo "   documents: $(recollq -c "$work/recoll-office" -S url -n 0-100000 -b 'dir:/' 2>/dev/null | wc -l)"
fi

text="$corpus/text"
warm "$text"
echo "== text files: veskara-cli kinds text, then add"
"$cli" --base "$work/base-text" kinds text >/dev/null 2>&1
timed "veskara" sh -c '"$1" --base "$2" add "$3" >/dev/null 2>&1' sh "$cli" "$work/base-text" "$text"
echo "   files: $(($(wc -l <"$work/base-text/fls.txt") / 2)), words: $(($(wc -l <"$work/base-text/wrds.txt") / 2))"
if command -v recollindex >/dev/null; then
  echo "== recollindex, text files"
  recoll_conf "$work/recoll-text" "$text" text/plain text/x-python text/x-c text/x-csrc text/x-chdr text/x-sql \
    application/javascript application/json text/x-rst
  timed "recollindex" sh -c 'recollindex -c "$1" -z >/dev/null 2>&1' sh "$work/recoll-text"
fi

echo "== 1,000 ZIP bombs in one folder"
"$cli" --base "$work/base-bombs" kinds office >/dev/null 2>&1
timed "veskara" sh -c '"$1" --base "$2" add "$3" >/dev/null 2>&1' sh "$cli" "$work/base-bombs" "$corpus/bombs"
"$cli" --base "$work/base-bombs" unread | cut -f2 | sort | uniq -c | sed 's/^/   /'

echo "== one conversion child on a small document, 300 times"
small=$(find "$office/docx" -type f -size -20k | head -n 1)
"$build/bench/convert_bench" docx "$small" 300 | sed 's/^/   /'
"$build/bench/convert_bench" pdf "$(dirname "$0")/../tests/wpdf/data/sample.pdf" 300 | sed 's/^/   /'
