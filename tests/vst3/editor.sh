#!/usr/bin/env bash
# The VST 3 view on a real X display (CTest runs it under xvfb-run): the display checks of the VST 2 editor
# (tests/editor/display.sh) with the bundle in the host built on the SDK's own interface headers, which
# attaches the view to a window of its own and drives it from its run loop's timer.
# Usage: editor.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
host=$("$here/hosts/build-sdk-host.sh" "$build/sdk-host" linux) || exit $?
ZR_EDITOR_KEY=1 exec "$here/../editor/display.sh" "$build" "$build/vst3/ZaRoruraroze.vst3" "$host" editor
