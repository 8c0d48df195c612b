#!/bin/sh
# An ssh that asks its question on the terminal when it can open one, and otherwise waits for an
# answer, unless it is told not to ask (or is the user's own). It notes how it was called in $SSH_LOG.
echo "$*" > "$SSH_LOG"
if ( : </dev/tty ) 2>/dev/null; then echo terminal >> "$SSH_LOG"; fi
case "$*" in *BatchMode=yes*|*Mine=yes*) echo 'Permission denied.' >&2; exit 255;; esac
echo 'Are you sure you want to continue connecting (yes/no)?' >&2
read answer
