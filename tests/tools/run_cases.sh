#!/bin/sh
# Runs the rows of a case table, each in a fresh temporary directory:
#   NAME | EXIT | CHECK | COMMAND
# COMMAND (a shell command; the environment names the programs and folders)
# must end with status EXIT, and CHECK must hold:
#   -            nothing more
#   error:TEXT   standard error is one line, and it holds TEXT; nothing on standard output
#   has:TEXT     standard output has a line that holds TEXT
#   same:A=B     files A and B are equal
# run_cases.sh TABLE [NAME]: every row, or the one of that name.
set -u
table=$1
only=${2:-}
passed=0
failed=0
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

while IFS='|' read -r name want check command; do
    name=$(echo "$name" | tr -d ' ')
    case "$name" in ''|'#'*) continue ;; esac
    [ -n "$only" ] && [ "$name" != "$only" ] && continue
    want=$(echo "$want" | tr -d ' ')
    check=$(echo "$check" | sed 's/^ *//; s/ *$//')
    dir="$scratch/$name"
    mkdir -p "$dir"
    (cd "$dir" && eval "$command") > "$dir/.out" 2> "$dir/.err" < /dev/null
    got=$?
    why=""
    [ "$got" = "$want" ] || why="exit $got, expected $want"
    if [ -z "$why" ]; then
        case "$check" in
            error:*)
                [ "$(wc -l < "$dir/.err")" -eq 1 ] && grep -qF -- "${check#error:}" "$dir/.err" &&
                    [ ! -s "$dir/.out" ] ||
                    why="standard error is not one line holding '${check#error:}' alone" ;;
            has:*)
                grep -qF -- "${check#has:}" "$dir/.out" || why="no line holds '${check#has:}'" ;;
            same:*)
                files=$(cd "$dir" && eval "echo ${check#same:}")
                (cd "$dir" && cmp -s "${files%%=*}" "${files#*=}") || why="${files%%=*} differs from ${files#*=}" ;;
            -) ;;
            *) why="unknown check '$check'" ;;
        esac
    fi
    if [ -z "$why" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED $name: $why"
        echo "  command: $command"
        sed 's/^/  stdout: /' "$dir/.out" | tail -n 20
        sed 's/^/  stderr: /' "$dir/.err" | tail -n 20
    fi
done < "$table"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ] && [ "$passed" != 0 ]
