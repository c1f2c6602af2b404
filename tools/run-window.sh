#!/bin/sh
# `make run`: opens the window when the display can take it, and otherwise shows the
# default selection in the terminal with vantrix-cli.
#   tools/run-window.sh BIN_DIR CHECK   (CHECK: the kv-display-check program)
bin=$1
check=$2
if reason=$("$check"); then
    exec "$bin/Korvane_Vantrix"
fi
echo "No display found ($reason): showing the default selection in the terminal instead."
exec "$bin/vantrix-cli" rate
