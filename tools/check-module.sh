#!/usr/bin/env bash
# Checks each built module: it exports exactly VSTPluginMain and main, at the
# same address, and depends on system libraries only (Windows system DLLs for
# the DLLs; no libraries outside the system's for the Linux module).
set -euo pipefail
status=0
fail() { echo "check-module: $1: $2" >&2; status=1; }

for module in "$@"; do
  case "$module" in
    *.dll)
      dump="$(x86_64-w64-mingw32-objdump -p "$module")"
      names="$(awk '/\[Ordinal\/Name Pointer\] Table/ {f=1; next} f && /^\t\[/ {print $NF} f && !/^\t\[/ {f=0}' <<<"$dump" | sort | tr '\n' ' ')"
      [ "$names" = "VSTPluginMain main " ] || fail "$module" "exports are '$names'"
      rvas="$(awk '/Export RVA$/ {print $(NF-2)}' <<<"$dump" | sort -u | wc -l)"
      [ "$rvas" = "1" ] || fail "$module" "VSTPluginMain and main are not one function"
      while read -r dll; do
        case "${dll,,}" in
          kernel32.dll|user32.dll|gdi32.dll|shell32.dll|ole32.dll|oleaut32.dll|comdlg32.dll|comctl32.dll|advapi32.dll|wininet.dll|msvcrt.dll|shlwapi.dll|winmm.dll|msimg32.dll|uxtheme.dll|api-ms-win-*) ;;
          *) fail "$module" "imports non-system DLL $dll" ;;
        esac
      done < <(awk '/DLL Name:/ {print $3}' <<<"$dump")
      ;;
    *.so)
      syms="$(nm -D --defined-only "$module" | awk '$2 ~ /[TW]/ {print $3}' | sort | tr '\n' ' ')"
      [ "$syms" = "VSTPluginMain main " ] || fail "$module" "exports are '$syms'"
      addrs="$(nm -D --defined-only "$module" | awk '$2 ~ /[TW]/ {print $1}' | sort -u | wc -l)"
      [ "$addrs" = "1" ] || fail "$module" "VSTPluginMain and main are not one function"
      while read -r lib path; do
        case "$path" in
          /lib/*|/usr/lib/*|/lib64/*) ;;
          *) fail "$module" "depends on $lib ($path)" ;;
        esac
      done < <(ldd "$module" | awk '/=>/ {print $1, $3}')
      ;;
    *) fail "$module" "unknown module type" ;;
  esac
  [ $status -eq 0 ] && echo "check-module: $module exports VSTPluginMain = main, system imports only"
done
exit $status
