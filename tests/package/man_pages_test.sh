#!/usr/bin/env bash
# The man pages render, and groff has nothing to warn about (man --warnings).
# Usage: man_pages_test.sh PAGE...   Exit status: 0 passed, 1 failed, 77 skipped (no man).
set -u
command -v man >/dev/null || { echo "SKIP: man is not installed"; exit 77; }
status=0
for page in "$@"; do
  warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  rendered=$(MANWIDTH=80 man -E UTF-8 -l "$page" 2>/dev/null | grep -c -e '^NAME$' -e '^名前$')
  if [ -n "$warnings" ]; then
    echo "FAIL: $page: $warnings"
    status=1
  elif [ "$rendered" -ne 1 ]; then
    echo "FAIL: $page has no NAME (名前) section once rendered"
    status=1
  else
    echo "ok: $page"
  fi
done
exit $status
