#!/bin/sh
# link_at_commit_time.sh EPOCH_FILE LINKER ARGS...: the linker stamps the time in EPOCH_FILE
# (the commit's, see build_info.cmake) into the executable's header instead of the present.
SOURCE_DATE_EPOCH="$(cat "$1")" || exit 1
export SOURCE_DATE_EPOCH
shift
exec "$@"
