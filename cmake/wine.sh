#!/bin/sh
# wine.sh start|stop|run PROGRAM [ARGUMENT...], with WINEPREFIX set: Windows programs of
# the build run under Wine.
# The first Wine process of a prefix starts the wineserver and Wine's services, which keep
# the streams they were given: started by a build step or a test, they would hold make or
# CTest waiting on that output (for 3 s, or for good when the server stays). Started here
# with no stream of ours, the programs find them running.
#   start  the server that the tests share, kept until stop
#   run    one program, with the server started quietly first when none is running
set -u
quiet_start() {
    mkdir -p "$WINEPREFIX"
    wine cmd /c exit 0 < /dev/null > /dev/null 2>&1
}
mode=$1
shift
case "$mode" in
start)
    mkdir -p "$WINEPREFIX"
    wineserver -k < /dev/null > /dev/null 2>&1  # one left by the build's own runs
    wineserver -p < /dev/null > /dev/null 2>&1 || exit 1
    quiet_start
    ;;
stop)
    wineserver -k
    ;;
run)
    quiet_start
    status=0
    wine "$@" || status=$?
    # WINEDEBUG=-all silences Wine's own errors too: say at least which run failed.
    [ "$status" -eq 0 ] || echo "wine.sh: $* under Wine ended with status $status" >&2
    exit "$status"
    ;;
esac
