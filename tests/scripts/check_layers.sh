#!/usr/bin/env bash
# The folders are layers: a file includes headers of its own folder and of the
# folders below it, never of one above or of another folder on its own layer,
# so the include graph between folders has no cycle. Lists the folder graph
# and every include that breaks the rule; exits 1 when there is one.
# Given a build folder, the same holds at link time: every symbol an object of
# the game's library uses is defined in its own folder or one below it.
# Usage: check_layers.sh [GAME BUILD]   (ctest passes the game and its build folder)
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)

# Bottom first; see ARCHITECTURE.md.
layers=(include storage audio gfx world shell tools bench tests)
declare -A rank=([include]=0 [storage]=1 [audio]=2 [gfx]=3 [world]=4 [shell]=5 [tools]=6 [bench]=7 [tests]=7)

# The folder of an included header, as the compiler would find it.
folder_of_include() {
  local from_dir=$1 name=$2
  if [ -f "$from_dir/$name" ]; then
    echo "${from_dir#"$top"/}" | cut -d/ -f1
    return
  fi
  local base
  for base in "$top" "$top/include" "$top/tests"; do
    if [ -f "$base/$name" ]; then
      local path=${base#"$top"}/$name
      path=${path#/}
      echo "$path" | cut -d/ -f1
      return
    fi
  done
  # Headers of the tools and test helpers are on their programs' include paths.
  local found
  found=$(cd "$top" && find tools tests -name "$(basename "$name")" -path "*$name" | head -n 1)
  if [ -n "$found" ]; then
    echo "$found" | cut -d/ -f1
  else
    echo "?"
  fi
}

declare -A edges=()
violations=0
while IFS= read -r file; do
  from=${file%%/*}
  dir=$(dirname "$top/$file")
  while IFS= read -r name; do
    to=$(folder_of_include "$dir" "$name")
    if [ "$to" = "?" ]; then
      echo "unresolved: $file includes \"$name\""
      violations=$((violations + 1))
      continue
    fi
    [ "$to" = "$from" ] && continue
    edges["$from -> $to"]=$((${edges["$from -> $to"]:-0} + 1))
    if [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
      echo "layer broken: $file includes \"$name\" ($to is not below $from)"
      violations=$((violations + 1))
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$top/$file")
done < <(cd "$top" && find "${layers[@]}" -type f \( -name '*.cpp' -o -name '*.h' \) | sort)

# The game's objects as the build made them: the folder is the path after the
# target's ".dir/" (CMakeFiles/floob.dir/world/map.cpp.o is world's).
declare -A link_edges=()
link_objects=()
build=${2:-}
if [ -n "$build" ] && [ -d "$build/CMakeFiles" ]; then
  while IFS= read -r object; do
    relative=${object#*.dir/}
    # An object whose source is gone is left over from an earlier build, not linked.
    [ -n "${rank[${relative%%/*}]:-}" ] && [ -f "$top/${relative%.o}" ] && link_objects+=("$object")
  done < <(find "$build/CMakeFiles" -path '*/CMakeFiles/floob*.dir/*' -name '*.o' | sort)
fi
if [ "${#link_objects[@]}" -gt 0 ]; then
  declare -A owner=()
  for object in "${link_objects[@]}"; do
    relative=${object#*.dir/}
    while IFS= read -r symbol; do owner[$symbol]=${relative%.o}; done \
      < <(nm --defined-only -g "$object" | awk '$2 ~ /^[TDBRVWGS]$/ {print $3}')
  done
  for object in "${link_objects[@]}"; do
    relative=${object#*.dir/}
    from=${relative%%/*}
    while IFS= read -r symbol; do
      defined=${owner[$symbol]:-}
      [ -z "$defined" ] && continue
      to=${defined%%/*}
      [ "$to" = "$from" ] && continue
      link_edges["$from -> $to"]=$((${link_edges["$from -> $to"]:-0} + 1))
      if [ "${rank[$to]}" -ge "${rank[$from]}" ]; then
        echo "link layer broken: ${relative%.o} uses $(echo "$symbol" | c++filt) of $defined ($to is not below $from)"
        violations=$((violations + 1))
      fi
    done < <(nm --undefined-only -g "$object" | awk '{print $2}')
  done
fi

echo "layers, bottom first: ${layers[*]} (bench and tests share the top)"
echo "folder includes (files x headers):"
for edge in "${!edges[@]}"; do echo "  $edge: ${edges[$edge]}"; done | sort
if [ "${#link_objects[@]}" -gt 0 ]; then
  echo "folder links (objects x symbols), from ${#link_objects[@]} objects of the game:"
  for edge in "${!link_edges[@]}"; do echo "  $edge: ${link_edges[$edge]}"; done | sort
else
  echo "no build folder given: the link-level check is not run"
fi
if [ "$violations" -gt 0 ]; then
  echo "$violations include(s) or reference(s) break the layering"
  exit 1
fi
echo "no include or reference goes up a layer: the folder graph has no cycle"
