# Sourced by the test scripts: a scratch folder, $scratch, removed when the script ends, and the
# failures counted by fail and judged by finish.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tavrin-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
failures=0

# fail MESSAGE...: reports one failure and goes on.
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Ends the script: exit status 1 after any failure, 0 otherwise.
finish() {
  if ((failures > 0)); then
    echo "$failures failure(s)"
    exit 1
  fi
  echo "all passed"
  exit 0
}
