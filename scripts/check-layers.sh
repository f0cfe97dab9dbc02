#!/usr/bin/env bash
# Fails when a file includes a layer above its own. Layers, lowest first:
#   Platform/ (but Ui/)            may include Platform/ (but Ui/)
#   Platform/Ui/                   may include Platform/
#   Source/ (engine)               may include Platform/ (but Ui/) and the engine
#   Views/, Source/**/*Controller  may include Platform/, Source/ and Views/; views include no controller
#   App/, tests/, bench/           may include anything
# It fails as well when sibling folders under Platform/, Views/ or Source/Features/ include each
# other, directly or round a longer loop; a feature's window and popup controllers count as a
# folder of their own beside its engine. And it fails when a source file of the program passes
# 600 lines: such a file does more than one job.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# Sets `layer`; the helpers below set variables rather than print, as a subshell per include
# would make up most of the check's time.
layer_of() {
  case "$1" in
    Platform/Ui/*) layer=platform_ui ;;
    Platform/*) layer=platform ;;
    Source/*Controller.h | Source/*Controller.cpp) layer=ui ;;
    Source/*) layer=engine ;;
    Views/*) layer=view ;;
    *) layer=app ;;
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
# Sets `included`, empty when the path names no file of ours.
included_path() {  # included_path FILE WRITTEN
  local path=$2
  included=
  case "$path" in
    Platform/* | Source/* | Views/* | App/*) ;;
    *) path="${1%/*}/$2"; [ -e "$path" ] || return 0 ;;
  esac
  case "$path" in */./* | */../* | ./* | ../*) path=$(realpath -m --relative-to=. "$path") ;; esac
  included=$path
}

# Sets `folder` to the sibling folder a file of layer $2 is in, and `parent` to the folder above
# it; both empty outside the folders whose siblings are checked. No subshell: it runs per include.
folder_of() {  # folder_of FILE LAYER
  local rest
  folder= parent=
  case "$1" in
    Platform/*/* | Views/*/*)
      rest=${1#*/}
      parent=${1%%/*} folder="$parent/${rest%%/*}" ;;
    Source/Features/*/*)
      rest=${1#Source/Features/}
      parent=Source/Features folder="$parent/${rest%%/*}"
      if [ "$2" = ui ]; then folder="$folder (controllers)"; fi ;;
  esac
}

status=0
edges=()  # "FROM_FOLDER|TO_FOLDER|where" for each include between two sibling folders
while IFS= read -r file; do
  layer_of "$file"
  from=$layer
  [ "$from" = app ] && continue
  folder_of "$file" "$from"
  from_folder=$folder from_parent=$parent
  while IFS= read -r line; do
    [[ $line =~ ^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*[\<\"]([^\>\"]+)[\>\"] ]] || continue
    included_path "$file" "${BASH_REMATCH[1]}"
    case "$included" in Platform/* | Source/* | Views/* | App/*) ;; *) continue ;; esac
    layer_of "$included"
    to=$layer
    if ! allowed "$from" "$to"; then
      echo "$file:${line%%:*}: a $from file includes $included ($to)"
      status=1
    fi
    [ -n "$from_parent" ] || continue
    folder_of "$included" "$to"
    if [ "$parent" = "$from_parent" ] && [ "$folder" != "$from_folder" ]; then
      edges+=("$from_folder|$folder|$file:${line%%:*}: includes $included")
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file" || true)
done < <(find Platform Source Views -name '*.h' -o -name '*.cpp' | sort)

# Every include between siblings that the included folder leads back from, through its own
# includes, closes a loop (the transitive closure of a few dozen folders).
if [ ${#edges[@]} -gt 0 ] && ! printf '%s\n' "${edges[@]}" | awk -F'|' '
  {
    if (!(($1, $2) in where)) { where[$1, $2] = $3; order[++n] = $1 SUBSEP $2 }
    reach[$1, $2] = 1; nodes[$1]; nodes[$2]
  }
  END {
    for (k in nodes) for (i in nodes) if ((i, k) in reach) for (j in nodes) if ((k, j) in reach) reach[i, j] = 1
    for (e = 1; e <= n; e++) {
      split(order[e], pair, SUBSEP)
      if (!((pair[2], pair[1]) in reach)) continue
      print where[pair[1], pair[2]] ", and " pair[2] " leads back to " pair[1] ": sibling folders in a loop"
      loop = 1
    }
    exit loop
  }'; then
  status=1
fi

max_lines=600
while IFS= read -r file; do
  lines=$(wc -l <"$file")
  if [ "$lines" -gt $max_lines ]; then
    echo "$file: $lines lines, more than $max_lines: split it by job"
    status=1
  fi
done < <(find App Platform Source Views -name '*.h' -o -name '*.cpp' 2>/dev/null | sort)

[ $status -eq 0 ] && echo "layers: every include points down, no sibling folders include each other, no file is too long"
exit $status
