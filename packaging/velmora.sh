#!/bin/sh
# Starts the Velmora reader from its installation folder, which holds the book beside it.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/velmora/velmora" "$@"
