#!/usr/bin/env bash
# Runs the worked example of a page of docs/ and checks what it did.
#   doc_example_test.sh PAGE SOURCE_DIR BUILD_DIR PKGTOOL [HTTP_DIR]
# (the native build runs the pages that need no Windows program).
# The example is every fenced block of docs/PAGE.md whose info string is
# "sh test", run in that order by one bash with -euo pipefail in an empty
# folder (BUILD_DIR/docs/PAGE). The commands find there what a reader has:
# `pkgtool` (the Linux one, PKGTOOL), `wine` (this build's wine-run, with its
# timeout and prefix), `openssl` and `osslsigncode`, and the variables the
# page asks the reader to set (LAUNCHER, PROGRAM, TINYAPP, TINYSETUP,
# LOCATION: this build's programs and a folder of the local test server).
set -euo pipefail
page=$1 src=$2 build=$3 pkgtool=$4 http=${5:-}

[ -x "$pkgtool" ] || { echo "no Linux pkgtool at $pkgtool: build the native preset first" >&2; exit 1; }
work=$build/docs/$page
rm -rf "$work"
mkdir -p "$work/.bin"
ln -s "$(realpath "$pkgtool")" "$work/.bin/pkgtool"
# wine-run starts the real wine: it must not find this one on PATH.
printf '#!/bin/sh\nPATH=%q exec %q "$@"\n' "$PATH" "$build/wine-run" > "$work/.bin/wine"
chmod +x "$work/.bin/wine"

awk '/^```sh test$/ { on = 1; next } on && /^```$/ { on = 0; next } on' "$src/docs/$page.md" \
  > "$work/.example.sh"
[ -s "$work/.example.sh" ] || { echo "docs/$page.md has no \"sh test\" block" >&2; exit 1; }

export PATH="$work/.bin:$PATH" TZ=UTC LANG=C
export LAUNCHER=$build/launcher.exe PROGRAM=$build/hello.exe
export TINYAPP=$build/tinyapp.exe TINYSETUP=$build/tinysetup.exe
unset SOURCE_DATE_EPOCH
# The update location: a folder of the test server that is the example's site/.
if [ -n "$http" ]; then
  port=$(sed -n 's/^http=//p' "$http/port")
  folder=docs-$page-$$
  ln -sfn "$work/site" "$http/root/$folder"
  export LOCATION=http://127.0.0.1:$port/-/$folder
fi

# Programs the example leaves running in the prefix (the resident agent, the
# app it restarted) end with the test.
cleanup() {
  if [ "$page" = publishing-updates ]; then
    for image in X_TinyAgent.exe TinyAgent.exe tinyapp.exe; do
      VEL_WINE_TIMEOUT=30 "$build/wine-run" taskkill /f /im "$image" >/dev/null 2>&1 || true
    done
  fi
  [ -n "$http" ] && rm -f "$http/root/$folder"
  return 0
}
trap cleanup EXIT

status=0
(cd "$work" && bash -euo pipefail .example.sh) > "$work/.output" 2>&1 || status=$?
cat "$work/.output"
[ "$status" = 0 ] || { echo "FAIL: the example of docs/$page.md ended with $status" >&2; exit 1; }

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_output() { grep -Eq -- "$1" "$work/.output" || fail "the output lacks /$1/"; }

case $page in
signing)
  expect_output '^  signed: yes, [0-9]+ bytes after the package end$'
  expect_output '^Signature verification: ok'
  expect_output '^setup-signed.exe ended with exit code 3$'
  expect_output '^hello.exe$'
  [ -f "$work/hello-report.txt" ] || fail "hello.exe did not run"
  # The signature covers the package: a changed byte inside it fails the check.
  cp "$work/setup-signed.exe" "$work/changed.exe"
  printf 'X' | dd of="$work/changed.exe" bs=1 seek=$(($(stat -c %s "$work/setup.exe") - 100)) conv=notrunc 2>/dev/null
  ! osslsigncode verify -CAfile "$work/vendor.crt" -in "$work/changed.exe" >/dev/null 2>&1 ||
    fail "a changed package still verifies"
  # Signing the image instead draws the warning.
  osslsigncode sign -certs "$work/vendor.crt" -key "$work/vendor.key" -in "$LAUNCHER" \
    -out "$work/signed-launcher.exe" >/dev/null
  (cd "$work" && pkgtool build setup.ini --image signed-launcher.exe -o image-signed.exe) 2> "$work/.warning"
  grep -q 'warning: the launcher image is signed' "$work/.warning" || fail "no warning for a signed image"
  (cd "$work" && pkgtool inspect image-signed.exe) | grep -q 'signed: the launcher image only' ||
    fail "inspect does not tell a signed image"
  ;;
reproducible-builds)
  expect_output '^one.exe and two.exe are identical$'
  # Without SOURCE_DATE_EPOCH the same two builds differ (the token padding
  # and the file times), so the comparison above proves something.
  (cd "$work/one" && pkgtool build setup.ini --image "$LAUNCHER" -o ../one-plain.exe >/dev/null)
  (cd "$work/two" && pkgtool build setup.ini --image "$LAUNCHER" -o ../two-plain.exe >/dev/null)
  ! cmp -s "$work/one-plain.exe" "$work/two-plain.exe" || fail "builds without SOURCE_DATE_EPOCH are equal too"
  ;;
publishing-updates)
  expect_output '^SizeOfUpdateFile=[0-9]+'
  [ -f "$work/site/tiny-update.exe" ] || fail "no update package in site/"
  # The agent works on: wait until it has recorded version 2. (Whether it
  # also restarts the app depends on the app ending within the agent's
  # one-second wait after WM_CLOSE, which a loaded machine may miss: not
  # checked.)
  updated() {
    tr -d '\r' < "$work/app/tinyapp.original" | grep -qx 'VersionOriginal=2' &&
      [ "$(tr -d '\r\n' < "$work/app/tinyapp.version")" = 2 ]
  }
  for _ in $(seq 1 240); do
    updated && break
    sleep 0.5
  done
  tr -d '\r' < "$work/app/tinyapp.log"
  updated || fail "the agent did not install version 2"
  grep -q 'version 1 ends' "$work/app/tinyapp.log" || fail "the agent did not close the app"
  grep -q "/$folder/tinyapp.info" "$http/requests.log" || fail "the agent did not fetch the description"
  grep -q "/$folder/tiny-update.exe" "$http/requests.log" || fail "the agent did not fetch the update"
  ;;
setup-packages | web-installer | update-agent | command-line | control-protocol)
  # The guide's pages: every command ran and succeeded.
  ;;
signed-updates)
  # The agent block names the vendor's certificate, then both after renewal.
  expect_output '^  signers: [0-9a-f]{64}$'
  expect_output '^  signers: [0-9a-f]{64},[0-9a-f]{64}$'
  expect_output '^Signature verification: ok'
  ;;
*)
  fail "no checks for docs/$page.md"
  ;;
esac
echo "docs/$page.md: the worked example works"
