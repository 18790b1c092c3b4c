#!/usr/bin/env bash
# Every relative link and image in the pages (*.md, docs/*.md) leads to a file
# or directory of the repository, and every "#anchor" to a heading of the
# page it names. Every test row that a page names exists: after "Rows:", to
# the end of its paragraph, list item or table cell, each code span names a
# row of a test table in tests/ or setup/*/tests/ (its first string, or its
# .name or .what), a scenario of an end-to-end script ("scenario NAME") or a
# test (Suite.Name).
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source scripts/lib.sh
scripts/install-deps.sh python3 >/dev/null || { record "install python3" 1; ledger_end docs; exit 1; }

check_page() {  # check_page PAGE: prints each broken link; fails when there is one
  python3 - "$1" <<'EOF'
import os, re, sys

page = sys.argv[1]
text = open(page, encoding="utf-8").read()

def anchors(path):
    # GitHub's anchors: headings in lower case, punctuation dropped, blanks as "-".
    found = set()
    for heading in re.findall(r"^#+\s+(.*)$", open(path, encoding="utf-8").read(), re.M):
        slug = re.sub(r"[^\w\- ]", "", heading.strip().lower()).replace(" ", "-")
        found.add(slug)
    return found

broken = 0
code = re.sub(r"```.*?```", "", text, flags=re.S)
code = re.sub(r"`[^`\n]*`", "", code)
targets = re.findall(r"!?\[[^\]]*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)", code)
targets += re.findall(r"<img[^>]*\bsrc=\"([^\"]+)\"", code)
for target in targets:
    if re.match(r"^[a-z]+:", target):
        continue  # another site, or mail
    path, _, anchor = target.partition("#")
    resolved = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
    if not os.path.exists(resolved):
        print(f"{page}: {target}: no such file")
        broken += 1
    elif anchor and resolved.endswith(".md") and anchor not in anchors(resolved):
        print(f"{page}: {target}: no such heading")
        broken += 1
sys.exit(1 if broken else 0)
EOF
}

check_rows() {  # check_rows PAGE: prints each row named there that no test has; fails when there is one
  python3 - "$1" <<'EOF'
import glob, re, sys

page = sys.argv[1]
text = open(page, encoding="utf-8").read()

known = set()
sources = glob.glob("tests/**/*.cpp", recursive=True) + glob.glob("setup/**/tests/**/*.cpp", recursive=True)
for source in sources:
    code = open(source, encoding="utf-8", errors="replace").read()
    for suite, test in re.findall(r"^TEST(?:_F|_P)?\(\s*(\w+)\s*,\s*(\w+)\s*\)", code, re.M):
        known.add(f"{suite}.{test}")
    # Adjacent literals are one string, as the compiler joins them.
    code = re.sub(r'"\s*\n\s*"', "", code)
    # A row's name: the first string of a row, or its name or what field.
    for literal in re.findall(r'(?:\{|\.name\s*=|\.what\s*=)\s*"((?:[^"\\\n]|\\.)*)"', code):
        known.add(re.sub(r"\\(.)", r"\1", literal))
scripts = glob.glob("tests/**/*.sh", recursive=True) + glob.glob("setup/**/tests/**/*.sh", recursive=True)
for script in scripts:
    known.update(re.findall(r"^\s*scenario\s+([\w-]+)", open(script, encoding="utf-8").read(), re.M))

missing = 0
# "Rows:" runs to the end of its paragraph, list item or table cell.
for match in re.finditer(r"(?<![\w\"])Rows:(.*?)(?=\n\s*\n|\n\s*[-*] |\n\s*\d+\. |\||\Z)", text, re.S):
    for name in re.findall(r"`([^`]+)`", match.group(1)):
        name = re.sub(r"\s*\n\s*", " ", name)
        if name not in known:
            print(f"{page}: no test row named `{name}`")
            missing += 1
sys.exit(1 if missing else 0)
EOF
}

for page in *.md docs/*.md; do
  [ -f "$page" ] || continue
  expect "links in $page" check_page "$page"
  ! grep -q 'Rows:' "$page" || expect "test rows named in $page" check_rows "$page"
done
ledger_end docs
