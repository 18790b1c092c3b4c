#!/usr/bin/env bash
# Every relative link and image in the pages (*.md, docs/*.md) leads to a file
# or directory of the repository, and every "#anchor" to a heading of the
# page it names.
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

for page in *.md docs/*.md; do
  [ -f "$page" ] || continue
  expect "links in $page" check_page "$page"
done
ledger_end docs
