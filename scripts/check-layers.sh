#!/usr/bin/env bash
# Fails when a file includes a layer above its own. Layers, lowest first:
#   Platform/ (but Ui/)            may include Platform/ (but Ui/)
#   Platform/Ui/                   may include Platform/
#   Source/ (engine)               may include Platform/ (but Ui/) and the engine
#   Views/, Source/**/*Controller  may include Platform/, Source/ and Views/; views include no controller
#   App/, tests/, bench/           may include anything
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

layer_of() {
  case "$1" in
    Platform/Ui/*) echo platform_ui ;;
    Platform/*) echo platform ;;
    Source/*Controller.h | Source/*Controller.cpp) echo ui ;;
    Source/*) echo engine ;;
    Views/*) echo view ;;
    *) echo app ;;
  esac
}

allowed() {  # allowed FROM_LAYER INCLUDED_LAYER
  case "$1:$2" in
    platform:platform) return 0 ;;
    platform_ui:platform | platform_ui:platform_ui) return 0 ;;
    engine:platform | engine:engine) return 0 ;;
    ui:platform | ui:platform_ui | ui:engine | ui:ui | ui:view) return 0 ;;
    view:platform | view:platform_ui | view:engine | view:view) return 0 ;;
    app:*) return 0 ;;
  esac
  return 1
}

# The path an include names, as the tree spells it: every spelling the compiler takes (<...> or
# "...", spaces around or inside "# include"), a quoted path also relative to the file's folder.
included_path() {  # included_path FILE WRITTEN
  local path=$2
  case "$path" in
    Platform/* | Source/* | Views/* | App/*) ;;
    *) path="${1%/*}/$2"; [ -e "$path" ] || return 0 ;;
  esac
  case "$path" in */./* | */../* | ./* | ../*) realpath -m --relative-to=. "$path" ;; *) echo "$path" ;; esac
}

status=0
while IFS= read -r file; do
  from=$(layer_of "$file")
  [ "$from" = app ] && continue
  while IFS= read -r line; do
    [[ $line =~ ^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*[\<\"]([^\>\"]+)[\>\"] ]] || continue
    included=$(included_path "$file" "${BASH_REMATCH[1]}")
    case "$included" in Platform/* | Source/* | Views/* | App/*) ;; *) continue ;; esac
    to=$(layer_of "$included")
    if ! allowed "$from" "$to"; then
      echo "$file:${line%%:*}: a $from file includes $included ($to)"
      status=1
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file" || true)
done < <(find Platform Source Views -name '*.h' -o -name '*.cpp' | sort)

[ $status -eq 0 ] && echo "layers: every include points down"
exit $status
