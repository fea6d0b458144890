#!/usr/bin/env bash
# A signed copy of the real program, branded by the tool: the signature still
# verifies, the tool reads back the exact zip, and under Wine each copy fills
# %TEMP%\Branding and the registry as it should before going on to its package.
set -euo pipefail
. "$TARNWICK_TESTENV/env.sh"
bin=$TARNWICK_BINARY_DIR
tool=$bin/host/corvantis-brand
wintool=$bin/tools/corvantis-brand.exe
program=$bin/app/CorvantisClientDownloader.exe
for needed in "$tool" "$wintool" "$program"; do
  [ -f "$needed" ] || { echo "SKIP: $needed is not built"; exit 77; }
done
for command in openssl osslsigncode python3; do
  command -v $command >/dev/null || { echo "SKIP: $command missing"; exit 77; }
done

work=$bin/branding-program-test
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
winpath() { wine winepath.exe -w "$1" 2>/dev/null | tr -d '\r'; }
unixpath() { wine winepath.exe -u "$1" 2>/dev/null | tr -d '\r'; }

# --- A signed copy and two branding archives ---
openssl req -x509 -newkey rsa:2048 -keyout key.pem -out cert.pem -days 2 -nodes \
  -subj "/CN=Tarnwick Test Signing" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
osslsigncode sign -certs cert.pem -key key.pem -in "$program" -out signed.exe >/dev/null
python3 - <<'PY'
import os, zipfile
def make(name, files):
    with zipfile.ZipFile(name, "w", zipfile.ZIP_DEFLATED) as z:
        for path, data in files:
            z.writestr(path, data)
make("first.zip", [("Brand.ini", "[brand]\nname=First\n"), ("images/", ""),
                   ("images/logo.png", os.urandom(20000)), ("lang/de/strings.txt", "Hallo")])
make("second.zip", [("Brand.ini", "[brand]\nname=Second\n"), ("other.txt", "second")])
PY
list_zip() { python3 -c 'import sys, zipfile; print("\n".join(sorted(n for n in zipfile.ZipFile(sys.argv[1]).namelist() if not n.endswith("/"))))' "$1"; }

"$tool" brand signed.exe first.zip first.exe >/dev/null
"$tool" brand first.exe second.zip second.exe >/dev/null   # re-branding replaces the payload
for copy in first second; do
  osslsigncode verify -in $copy.exe -CAfile cert.pem >verify-$copy.txt 2>&1 || fail "signature of $copy.exe no longer verifies"
  "$tool" extract $copy.exe back-$copy.zip >/dev/null
  cmp -s back-$copy.zip $copy.zip || fail "the tool does not read back $copy.zip"
done
"$tool" list first.exe | grep -q 'images/logo.png' || fail "list does not show the entries"
[ $(($(stat -c %s second.exe) % 8)) -eq 0 ] || fail "the certificate table lost its 8-byte alignment"

# The Windows build of the tool reads the same payload.
wine "$wintool" extract "$(winpath "$work/first.exe")" "$(winpath "$work")\\win-back.zip" >/dev/null 2>&1
cmp -s win-back.zip first.zip || fail "the Windows tool does not read back first.zip"

# Refusals, each with a message and a non-zero exit.
cp "$program" unsigned.exe
cp signed.exe appended.exe && printf 'appended' >>appended.exe
printf 'not an image' >text.exe
for bad in unsigned appended text; do
  if "$tool" brand $bad.exe first.zip out.exe 2>refusal.txt; then fail "the tool branded $bad.exe"; fi
  [ -s refusal.txt ] || fail "no message for $bad.exe"
done

# --- Runs under Wine ---
temp=$(unixpath "$(wine cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r')")
branding=$temp/Branding
key='HKCU\Software\Corvantis\VantrelClient\Setup'
# Instead of downloading, each run hands this package to the shell: the marker shows
# that the worker went on from the branding to its package.
printf '@echo off\r\necho reached > "%s"\r\n' "$(winpath "$work")\\marker.txt" >package.bat
package=$(winpath "$work/package.bat")

run_copy() {  # folder-with-Downloader.exe
  rm -f marker.txt
  wine "$1/Downloader.exe" "-installfromloc='$package'" "-silent='1'" >/dev/null 2>&1 || true
  for _ in $(seq 60); do [ -f marker.txt ] && return 0; sleep 0.5; done
  fail "the run of $1 never reached its package"
}
tree_of() { (cd "$1" && find . -type f | sed 's|^\./||' | sort); }
registry_value() { wine reg query "$key" /v BrandFileLocation 2>/dev/null | tr -d '\r' | awk '/BrandFileLocation/ {print $3}'; }

wine reg delete 'HKCU\Software\Corvantis' /f >/dev/null 2>&1 || true
mkdir -p unbranded && cp signed.exe unbranded/Downloader.exe
run_copy unbranded
[ -z "$(registry_value)" ] || fail "an unbranded copy wrote the registry"
[ ! -e "$branding" ] || [ -z "$(ls -A "$branding")" ] || fail "an unbranded copy left branding files"

mkdir -p branded1 && cp first.exe branded1/Downloader.exe
run_copy branded1
[ "$(tree_of "$branding")" = "$(list_zip first.zip)" ] || fail "the branding folder does not hold exactly first.zip"
cmp -s "$branding/lang/de/strings.txt" <(printf 'Hallo') || fail "extracted content differs"
expected_location="$(wine cmd /c 'echo %TEMP%' 2>/dev/null | tr -d '\r')\\Branding"
[ "$(registry_value)" = "$expected_location" ] || fail "BrandFileLocation is '$(registry_value)', not '$expected_location'"

mkdir -p branded2 && cp second.exe branded2/Downloader.exe
run_copy branded2
[ "$(tree_of "$branding")" = "$(list_zip second.zip)" ] || fail "the second run did not replace the branding folder"

# Loose files beside the copy win; its payload is never read and ".exe" files stay out.
mkdir -p loose/notes && cp first.exe loose/Downloader.exe
printf '[loose]' >loose/Brand.ini
printf 'MZ' >loose/Helper.exe
printf 'MZ' >loose/Kept.EXE
printf 'notes' >loose/notes/readme.txt
run_copy loose
[ "$(tree_of "$branding")" = "$(printf 'Brand.ini\nKept.EXE\nnotes/readme.txt')" ] || fail "loose branding copied: $(tree_of "$branding" | tr '\n' ' ')"
echo "branded program: all checks passed"
