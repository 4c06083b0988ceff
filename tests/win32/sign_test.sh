#!/usr/bin/env bash
# bash sign_test.sh SIGN PROGRAM.exe WINE_RUN
# Signs a copy of the released program with SIGN (scripts/sign) and a throwaway self-signed
# certificate made here with openssl, then checks that the signature verifies against that
# certificate and no other, that removing it gives back the unsigned program byte for byte, that a
# signature which does not verify leaves the program as it was, and that the signed program runs.
set -u
export LC_ALL=C
SIGN=$1
PROGRAM=$2
WINE_RUN=$3
WORK=$(mktemp -d "${TMPDIR:-/tmp}/cvservinst-sign.XXXXXX")
trap 'rm -rf "$WORK"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# certificate NAME: a self-signed code-signing certificate NAME.pem and NAME.p12 (password "pw 1").
certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=cvservinst test $1" \
        -addext extendedKeyUsage=codeSigning -keyout "$WORK/$1.key" -out "$WORK/$1.pem" 2>/dev/null &&
        openssl pkcs12 -export -inkey "$WORK/$1.key" -in "$WORK/$1.pem" -out "$WORK/$1.p12" -passout "pass:pw 1"
}
certificate signer && certificate stranger || { echo "openssl could not make the certificates" >&2; exit 1; }

export CVSERVINST_SIGN_PKCS12="$WORK/signer.p12" CVSERVINST_SIGN_PASSWORD="pw 1"

cp "$PROGRAM" "$WORK/signed.exe"
if ! CVSERVINST_SIGN_CAFILE="$WORK/signer.pem" "$SIGN" "$WORK/signed.exe" >"$WORK/sign.log" 2>&1; then
    cat "$WORK/sign.log" >&2
    fail "signing with the throwaway certificate failed"
fi
cmp -s "$PROGRAM" "$WORK/signed.exe" && fail "the signed program is the unsigned one"
osslsigncode verify -CAfile "$WORK/signer.pem" -in "$WORK/signed.exe" >"$WORK/verify.log" 2>&1 ||
    { cat "$WORK/verify.log" >&2; fail "the signature does not verify against the signer's certificate"; }
grep -q "Subject: /CN=cvservinst test signer" "$WORK/verify.log" || fail "the signer is not named"
osslsigncode verify -CAfile "$WORK/stranger.pem" -in "$WORK/signed.exe" >/dev/null 2>&1 &&
    fail "the signature verifies against a certificate that did not make it"
osslsigncode remove-signature -in "$WORK/signed.exe" -out "$WORK/unsigned.exe" >/dev/null 2>&1 &&
    cmp -s "$PROGRAM" "$WORK/unsigned.exe" ||
    fail "without its signature the signed program is not the released one"

# A signature that does not verify (trusted: another certificate) leaves the program unsigned.
cp "$PROGRAM" "$WORK/refused.exe"
CVSERVINST_SIGN_CAFILE="$WORK/stranger.pem" "$SIGN" "$WORK/refused.exe" >/dev/null 2>&1 &&
    fail "signing succeeded though the signature does not verify"
cmp -s "$PROGRAM" "$WORK/refused.exe" || fail "a signature that does not verify was kept"

# The signed program still runs: without arguments it prints its banner and usage, and exits 0.
"$WINE_RUN" "$WORK/signed.exe" </dev/null >"$WORK/out" 2>"$WORK/err"
status=$?
[ $status -eq 0 ] || fail "the signed program exited with $status: $(cat "$WORK/err")"
grep -q "Usage: cvservinst path_to_corvane.exe" "$WORK/out" || fail "the signed program printed no usage"

[ $failures -eq 0 ] && echo "signing: passed"
exit $((failures > 0))
