#!/bin/bash
# Counts the mutable globals that the product's headers export: every `extern` data declaration
# (function pointers and `&` views of mutable state included) and every `inline` variable, one
# line each as FILE:LINE: NAME, then the count. Truly constant data (a const table, a const
# pointer to constant text, constexpr) is not counted; nor are functions or `extern "C"` blocks.
# Usage: count-globals.sh LIMIT [SOURCE_ROOT]   (default: src beside this script).
# Exit 1 when the count is above LIMIT or nothing was read.
set -u
if [[ $# -lt 1 || ! "$1" =~ ^[0-9]+$ ]]; then
    echo "usage: $0 LIMIT [SOURCE_ROOT]" >&2
    exit 2
fi
limit="$1"
root="${2:-$(cd "$(dirname "$0")/.." && pwd)/src}"
headers=()
while IFS= read -r -d '' file; do headers+=("$file"); done \
    < <(find "$root" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.h.in' \) -print0 | sort -z)
if (( ${#headers[@]} == 0 )); then
    echo "count-globals: no headers under $root"
    exit 1
fi

# One declaration is gathered from its `extern` or `inline` line to its `;` (or, for an inline
# definition, its first `{` or `=`), without comments; then judged.
found=$(awk -v root="$root/" '
function judge(text, file, line,    t, name, n, parts, i, base, decl, isConst) {
    t = text
    sub(/^[ \t]*extern[ \t]*"C(\+\+)?"/, "extern", t)   # C linkage: data is data all the same
    gsub(/\[\[[^]]*\]\]/, "", t)                        # attributes
    while (t ~ /<[^<>]*>/) gsub(/<[^<>]*>/, "", t)      # template arguments, innermost first
    sub(/[ \t]*(=|\{).*$/, "", t)                       # an initialiser
    sub(/;.*$/, "", t)
    sub(/^[ \t]*(static[ \t]+)?(extern|inline)[ \t]+/, "", t)
    if (t ~ /^[ \t]*template[ \t<]/) return             # an explicit instantiation
    # A function pointer (*Name)(...) is data; any other parenthesis makes a function.
    if (t ~ /\([ \t]*\*/) {
        name = t
        sub(/^[^(]*\([ \t]*\*[ \t]*/, "", name)
        isConst = (name ~ /^const[ \t]/)
        sub(/^const[ \t]+/, "", name)
        sub(/[^A-Za-z0-9_].*$/, "", name)
        if (!isConst) print file ":" line ": " name
        return
    }
    if (t ~ /\(/) return
    if (t ~ /(^|[ \t])namespace([ \t]|$)/) return       # an inline namespace
    # Several declarators may share the type (A, *B): each is judged with that type.
    n = split(t, parts, ",")
    base = parts[1]
    sub(/[*& \t]*(const[ \t]+)?[A-Za-z_][A-Za-z0-9_]*[ \t]*(\[[^]]*\][ \t]*)*$/, "", base)
    for (i = 1; i <= n; ++i) {
        decl = (i == 1) ? parts[1] : base " " parts[i]
        name = decl
        sub(/[ \t]*(\[[^]]*\][ \t]*)*$/, "", name)
        sub(/^.*[^A-Za-z0-9_]/, "", name)
        if (name == "") continue
        if (decl ~ /&/) isConst = 0                     # a view of state kept elsewhere
        else if (decl ~ /\*/) isConst = (decl ~ /\*[ \t]*const[ \t]+[A-Za-z_][A-Za-z0-9_]*[ \t]*(\[[^]]*\][ \t]*)*$/)
        else isConst = (decl ~ /(^|[^A-Za-z0-9_])(const|constexpr)([^A-Za-z0-9_]|$)/)
        if (!isConst) print file ":" line ": " name
    }
}
FNR == 1 { inBlock = 0; gathering = 0; file = FILENAME; sub("^" root, "", file) }
{
    s = $0
    # comments: a block comment may span lines
    if (inBlock) { if (s ~ /\*\//) { sub(/^.*\*\//, "", s); inBlock = 0 } else next }
    while (s ~ /\/\*/) {
        if (s ~ /\/\*.*\*\//) sub(/\/\*[^*]*\*+([^\/*][^*]*\*+)*\//, " ", s)
        else { sub(/\/\*.*$/, "", s); inBlock = 1 }
    }
    sub(/\/\/.*$/, "", s)
    sub(/^[ \t]*extern[ \t]*"C(\+\+)?"[ \t]*\{/, "", s)   # a linkage block opens; its lines are read
    if (!gathering) {
        if (s !~ /^[ \t]*(static[ \t]+)?(extern|inline)([ \t]|$)/) next
        gathering = 1; text = ""; start = FNR
    }
    text = text " " s
    if (text ~ /;/ || (text ~ /inline/ && text ~ /[{=]/)) {
        gathering = 0
        judge(text, file, start)
    }
}
' "${headers[@]}")

count=0
if [[ -n "$found" ]]; then
    echo "$found"
    count=$(printf '%s\n' "$found" | wc -l)
fi
echo "count-globals: ${#headers[@]} headers, $count exported mutable globals (limit $limit)"
(( count <= limit ))
