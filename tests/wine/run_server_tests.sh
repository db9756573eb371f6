#!/usr/bin/env bash
# Windows end-to-end tests against the reference server: starts qorvad --demo on a free loopback
# port, runs wine_server_test.exe, wine_sharing_test.exe and the rules flow's server cases under
# Wine with a virtual display, stops the server.
#
# usage: tests/wine/run_server_tests.sh REPOSITORY_TOP
# QORVAD and WIN64_BUILD override build/native/bin/qorvad and build/win64.
set -euo pipefail

root=$(cd "${1:?usage: run_server_tests.sh REPOSITORY_TOP}" && pwd)
qorvad=${QORVAD:-$root/build/native/bin/qorvad}
win64=$(cd "${WIN64_BUILD:-$root/build/win64}" && pwd)
for f in "$qorvad" "$win64/bin/wine_server_test.exe" "$win64/bin/wine_sharing_test.exe" \
    "$win64/bin/editor_rules_flow_test.exe" "$win64/bin/WqRT.dll"; do
    [ -f "$f" ] || { echo "missing $f (build the native and win64 builds first)" >&2; exit 2; }
done

work=$(mktemp -d)
"$qorvad" --demo --port 0 --bind 127.0.0.1 >"$work/qorvad.out" 2>"$work/qorvad.err" &
server_pid=$!
# shellcheck disable=SC2317  # run by the trap
stop_server() {
    { kill -TERM "$server_pid" && wait "$server_pid"; } 2>/dev/null || true
    rm -rf "$work"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

# The server prints its port, then "ready"; give it ten seconds.
for _ in $(seq 100); do
    grep -qx ready "$work/qorvad.out" && break
    kill -0 "$server_pid" 2>/dev/null || break
    sleep 0.1
done
port=$(sed -n 's/^imap port \([0-9][0-9]*\)$/\1/p' "$work/qorvad.out")
if ! grep -qx ready "$work/qorvad.out" || [ -z "$port" ]; then
    echo "qorvad did not start:" >&2
    cat "$work/qorvad.out" "$work/qorvad.err" >&2
    exit 1
fi
echo "qorvad --demo (pid $server_pid) on 127.0.0.1:$port"

mkdir -p "$win64/artifacts"
shot=$win64/artifacts/logon.bmp
rm -f "$shot"
status=0
(cd "$win64/bin" && timeout -k 10 300 xvfb-run -a wine wine_server_test.exe "Z:$win64/bin" \
    127.0.0.1 "$port" demo demo "Z:$shot") || status=$?
# The Sharing and Security page in the host's own sheet, Add User/Group and IMAP Folders; their
# screenshots go beside the logon dialog's.
(cd "$win64/bin" && timeout -k 10 300 xvfb-run -a wine wine_sharing_test.exe "Z:$win64/bin" \
    127.0.0.1 "$port" demo demo "Z:$win64/artifacts") || status=$?
# WqMailRules through the real dialogs: the rules flow test's cases that need a server, on the
# demo account, with screenshots of the Mail Rules dialog, the Rule Editor and the Sieve Editor.
rules_shots=("$win64"/artifacts/{mail_rules,rule_editor,sieve_editor}.bmp)
rm -f "${rules_shots[@]}"
(cd "$win64/bin" && WQ_QORVAD_PORT=$port WQ_ARTIFACTS="Z:$win64/artifacts" \
    timeout -k 10 300 xvfb-run -a wine editor_rules_flow_test.exe --gtest_filter='RulesFlow.*') ||
    status=$?
for picture in "$shot" "${rules_shots[@]}"; do
    if [ -f "$picture" ] && command -v convert >/dev/null; then
        convert "$picture" "${picture%.bmp}.png" && echo "screenshot: ${picture%.bmp}.png"
    fi
done
exit "$status"
