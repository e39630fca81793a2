#!/usr/bin/env bash
# The bash completion of tolvik: options before the file (none after "--"
# or after the file), then files, then the level argument, then nothing;
# with --diff two files and nothing after them.
#
# Use: completion.sh COMPLETION_FILE
set -euo pipefail

# shellcheck source=/dev/null
source "$1"
work=$(mktemp -d "${TMPDIR:-/tmp}/tolvik-completion.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
touch page.bin page.hex ./-odd.bin

failed=0
# The command line typed so far (the last word is being completed), then
# the candidates expected, in order (files sorted).
check() {
  local line=$1 expected=$2 got
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *' ' ]] && COMP_WORDS+=('')
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _tolvik
  # Files come in directory order.
  if [[ ${COMPREPLY[0]:-} == *.* ]]; then
    mapfile -t COMPREPLY < <(printf '%s\n' "${COMPREPLY[@]}" | sort)
  fi
  got="${COMPREPLY[*]}"
  if [[ $got != "$expected" ]]; then
    echo "FAIL: '$line' completes to '$got', expected '$expected'" >&2
    failed=1
  fi
}

check 'tolvik --j' '--json'
check 'tolvik -' '-a --all -x --hex -j --json -c --check -m --map -d --diff -T --timings --timings= -h --help -V --version --'
check 'tolvik --timings=n' '--timings=nv-ddr:0 --timings=nv-ddr:1 --timings=nv-ddr:2 --timings=nv-ddr:3 --timings=nv-ddr:4 --timings=nv-ddr:5'
check 'tolvik -T --timings=sdr:3 page.b' 'page.bin'
check 'tolvik --timings=sdr:3 page.bin ' '0 1 2 t 0t 1t 2t'
check 'tolvik --m' '--map'
check 'tolvik -a --ch' '--check'
check 'tolvik -a --h' '--hex --help'
check 'tolvik pa' 'page.bin page.hex'
check 'tolvik -x page.h' 'page.hex'
check 'tolvik -- -' '-odd.bin'
check 'tolvik page.bin ' '0 1 2 t 0t 1t 2t'
check 'tolvik -j page.bin 1' '1'
check 'tolvik -aj page.bin ' '0 1 2'
check 'tolvik -a page.bin 1' '1 1t'
check 'tolvik -- -odd.bin ' '0 1 2 t 0t 1t 2t'
check 'tolvik page.bin 2 ' ''
check 'tolvik page.bin --' ''
# --diff takes two files and no level.
check 'tolvik -d page.bin pa' 'page.bin page.hex'
check 'tolvik -xd page.bin ' '-odd.bin page.bin page.hex'
check 'tolvik --diff -j page.bin page.hex ' ''
check 'tolvik -jd page.bin page.h' 'page.hex'

# As bash splits the words (at "=" and ":"), with the line it completes.
split() {
  local line=$1 expected=$2 got
  shift 2
  COMP_WORDS=("$@")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMP_LINE=$line COMP_POINT=${#line} _tolvik
  mapfile -t COMPREPLY < <(printf '%s\n' "${COMPREPLY[@]}" | sort)
  got="${COMPREPLY[*]}"
  [[ $got == "$expected" ]] || {
    echo "FAIL: '$line' (split) completes to '$got', expected '$expected'" >&2
    failed=1
  }
}
split 'tolvik --timings=sd' 'sdr:0 sdr:1 sdr:2 sdr:3 sdr:4 sdr:5' tolvik --timings = sd
split 'tolvik --timings=sdr:' ':0 :1 :2 :3 :4 :5' tolvik --timings = sdr :
split 'tolvik --timings=nv-ddr:4' '4' tolvik --timings = nv-ddr : 4
split 'tolvik --timings=sdr:3 pa' 'page.bin page.hex' tolvik --timings = sdr : 3 pa

((failed == 0)) || exit 1
complete -p tolvik | grep -q -- '-F _tolvik' || { echo "FAIL: not registered for tolvik" >&2; exit 1; }
echo "bash completion: ok"
