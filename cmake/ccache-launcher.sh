#!/usr/bin/env bash
# Compiler launcher: runs the compiler command through ccache with every argument that names a path
# below the checkout made relative to the folder the compiler runs in (ninja runs every command in
# the build folder). ccache makes most such paths relative itself, but not all: a precompiled
# header's forced include (-Xclang -include -Xclang /path) would otherwise put the checkout's place
# into the hash, and into the precompiled header, so that no other clone found either.
#   ccache-launcher.sh CCACHE CHECKOUT COMPILER ARGS...
ccache=$1
base=$2
shift 2
relative=.
case "$PWD/" in
"$base"/*)
    below=${PWD#"$base"}
    below=${below#/}
    relative=
    while [ -n "$below" ]; do
        relative=../$relative
        case "$below" in
        */*) below=${below#*/} ;;
        *) below= ;;
        esac
    done
    relative=${relative%/}
    [ -n "$relative" ] || relative=.
    ;;
esac
args=()
for arg in "$@"; do
    case "$arg" in
    "$base") args+=("$relative") ;;
    "$base"/*) args+=("$relative/${arg#"$base"/}") ;;
    -I"$base") args+=("-I$relative") ;;
    -I"$base"/*) args+=("-I$relative/${arg#-I"$base"/}") ;;
    *) args+=("$arg") ;;
    esac
done
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
export CCACHE_BASEDIR=$base CCACHE_NOHASHDIR=1
exec "$ccache" "${args[@]}"
