#!/usr/bin/env bash
# Compiler launcher: runs the compiler command through ccache with every argument that names a path
# below the checkout made relative to the folder the compiler runs in (ninja runs every command in
# the build folder). ccache makes most such paths relative itself, but not all: a precompiled
# header's forced include (-Xclang -include -Xclang /path) would otherwise put the checkout's place
# into the hash, and into the precompiled header, so that no other clone found either.
#   ccache-launcher.sh CCACHE CHECKOUT REAL-CHECKOUT COMPILER ARGS...
# CHECKOUT is the checkout's path as CMake spells it, REAL-CHECKOUT its physical path (no symbolic
# links); an argument may be spelled with either. The relative paths are counted from the physical
# folder the compiler runs in, which is where the kernel resolves "..". A build folder that is not
# physically below the checkout (one beside it, say) keeps every path absolute: its relative paths
# would name the checkout's place anyway.
ccache=$1
base=$2
real_base=$3
shift 3
export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
export CCACHE_BASEDIR=$base CCACHE_NOHASHDIR=1
here=$(pwd -P)
case "$here/" in
"$real_base"/*) ;;
*) exec "$ccache" "$@" ;;
esac
# The compiler records the folder it runs in ($PWD, when that names it) in the objects and in the
# preprocessed text ccache hashes. Spelled with the checkout's spelled path, the prefix map and
# ccache's base directory take it out, so that a checkout reached through a symbolic link shares
# the cache with the other clones.
export PWD=$base${here#"$real_base"}
below=${here#"$real_base"}
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
args=()
for arg in "$@"; do
    case "$arg" in
    "$base" | "$real_base") args+=("$relative") ;;
    "$base"/*) args+=("$relative/${arg#"$base"/}") ;;
    "$real_base"/*) args+=("$relative/${arg#"$real_base"/}") ;;
    -I"$base" | -I"$real_base") args+=("-I$relative") ;;
    -I"$base"/*) args+=("-I$relative/${arg#-I"$base"/}") ;;
    -I"$real_base"/*) args+=("-I$relative/${arg#-I"$real_base"/}") ;;
    *) args+=("$arg") ;;
    esac
done
exec "$ccache" "${args[@]}"
