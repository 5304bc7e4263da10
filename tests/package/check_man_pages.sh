#!/usr/bin/env bash
# Renders each manual page as man(1) shows it on a UTF-8 terminal and fails
# on any warning from man or groff (an undefined macro, a line that cannot
# be broken, a bad escape). First it shows that a page with a fault is
# caught, so that the check itself cannot pass by saying nothing.
#   check_man_pages.sh PAGE...   (pages as files: page.1 or page.1.gz)
set -u
failures=0

# The warnings man and groff give for PAGE, on standard output; empty: none.
warnings() {
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$1" 2>&1 >/dev/null
}

self_test=$(mktemp --suffix=.1)
trap 'rm -f "$self_test"' EXIT
printf '.TH BROKEN 1\n.SH NAME\nbroken \\- a page with a fault\n.XY undefined\n' >"$self_test"
if [ -n "$(warnings "$self_test")" ]; then
  echo "ok: a page with an undefined macro is caught"
else
  echo "FAIL: a page with an undefined macro gave no warning: the check cannot fail"
  failures=$((failures + 1))
fi

[ $# -gt 0 ] || { echo "FAIL: no manual page given"; exit 1; }
for page; do
  if [ ! -s "$page" ]; then
    echo "FAIL: $page: missing or empty"
    failures=$((failures + 1))
    continue
  fi
  said=$(warnings "$page")
  if [ -z "$said" ]; then
    echo "ok: $(basename "$page") renders without a warning"
  else
    echo "FAIL: $(basename "$page"):"
    sed 's/^/    /' <<<"$said"
    failures=$((failures + 1))
  fi
done
[ "$failures" -eq 0 ] || { echo "$failures failure(s)"; exit 1; }
