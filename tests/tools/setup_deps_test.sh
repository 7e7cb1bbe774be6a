#!/usr/bin/env bash
# A fresh machine gets only tools/setup-deps.sh's packages and what they
# depend on (no recommends), plus Debian's essential set. Every program the
# suite starts must come from one of those: its package is found with dpkg -S,
# in the system's own folders (not a copy in /usr/local or a Python shim).
#   setup_deps_test.sh SETUP-DEPS
set -uo pipefail
setup=$1
mapfile -t packages < <(bash "$setup" --packages) && mapfile -t programs < <(bash "$setup" --programs) ||
  { echo "FAIL: $setup does not list its packages and programs"; exit 1; }

# The closure: the packages and everything they pull in through Depends or
# Pre-Depends (apt-cache's lines at the left margin are the packages reached).
declare -A closure=()
while read -r line; do
  case "$line" in
    Depends:* | PreDepends:* | "|Depends:"* | "|PreDepends:"*) name=${line#*: } ;;
    " "* | "") continue ;;
    *) name=$line ;;
  esac
  name=${name#<} name=${name%>} name=${name%%:*}
  closure[$name]=1
done < <(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
  --no-enhances "${packages[@]}" 2>/dev/null | sed 's/^  //')
for p in "${packages[@]}"; do closure[$p]=1; done

# The package that owns a program in the system's folders, through links.
owner() {
  local dir path found
  for dir in /usr/bin /bin /usr/sbin /sbin /usr/games; do
    [ -e "$dir/$1" ] || continue
    for path in "$dir/$1" "$(readlink -f "$dir/$1")"; do
      found=$(dpkg -S "$path" 2>/dev/null | head -n 1) && [ -n "$found" ] && { echo "${found%%:*}"; return 0; }
    done
  done
  return 1
}

failed=0
for program in "${programs[@]}"; do
  if ! package=$(owner "$program"); then
    echo "FAIL: $program: not installed from any Debian package here (make deps installs the list)"
    failed=1
  elif [ -z "${closure[$package]:-}" ] &&
    ! dpkg-query -W -f='${Essential} ${Priority}\n' "$package" 2>/dev/null | grep -qE '^yes|required$'; then
    echo "FAIL: $program comes from $package, which tools/setup-deps.sh neither lists nor pulls in (recommends are not installed)"
    failed=1
  fi
done
((failed)) && exit 1
echo "every one of ${#programs[@]} programs comes from the ${#packages[@]} packages' closure (${#closure[@]}) or the essential set"
