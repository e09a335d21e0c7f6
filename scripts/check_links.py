#!/usr/bin/env python3
"""Checks every relative link of README.md and the manual (docs/**/*.md).

Usage: scripts/check_links.py [SOURCE_FOLDER]   (default: the repository)

A link [text](path#anchor) must name a file or folder that exists, relative
to the page; an anchor must be one that a heading of the target page gives
(the heading's text in lower case, punctuation dropped, spaces as hyphens, a
repeated heading with -1, -2, ...) or an explicit id="..." there. Links to
other sites (http:, https:, mailto:) are not followed. Code blocks and code
spans are skipped. Prints one line per broken link and exits 1 when there is
any.
"""
import os
import re
import sys

LINK = re.compile(r"!?\[(?:[^\]\[]|\[[^\]]*\])*\]\(([^)\s]+)(?:\s+\"[^\"]*\")?\)")
HEADING = re.compile(r"^(#{1,6})\s+(.*?)\s*#*\s*$")
FENCE = re.compile(r"^\s*(```|~~~)")
CODE_SPAN = re.compile(r"`+[^`]*`+")
EXPLICIT_ID = re.compile(r"""\bid=["']([^"']+)["']""")


def prose_lines(text):
    """(number, line) of every line outside fenced code blocks."""
    fenced = False
    for number, line in enumerate(text.splitlines(), 1):
        if FENCE.match(line):
            fenced = not fenced
            continue
        if not fenced:
            yield number, line


def slug(heading):
    text = CODE_SPAN.sub(lambda m: m.group(0).strip("`"), heading)
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)  # a link's text only
    text = text.strip().lower()
    text = re.sub(r"[^\w\- ]", "", text)
    return text.replace(" ", "-")


def anchors(path, cache={}):
    if path not in cache:
        with open(path, encoding="utf-8") as f:
            text = f.read()
        found, seen = set(), {}
        for _, line in prose_lines(text):
            match = HEADING.match(line)
            if match:
                base = slug(match.group(2))
                count = seen.get(base, 0)
                seen[base] = count + 1
                found.add(base if count == 0 else f"{base}-{count}")
            found.update(EXPLICIT_ID.findall(line))
        cache[path] = found
    return cache[path]


def pages(root):
    readme = os.path.join(root, "README.md")
    if os.path.isfile(readme):
        yield readme
    for folder, dirs, files in os.walk(os.path.join(root, "docs")):
        dirs.sort()
        for name in sorted(files):
            if name.endswith(".md"):
                yield os.path.join(folder, name)


def check(root):
    problems = []
    for page in pages(root):
        with open(page, encoding="utf-8") as f:
            text = f.read()
        where = os.path.relpath(page, root)
        for number, line in prose_lines(text):
            for match in LINK.finditer(CODE_SPAN.sub("", line)):
                target = match.group(1)
                if re.match(r"^[a-z][a-z0-9+.-]*:", target):
                    continue  # another site
                path, _, anchor = target.partition("#")
                file = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
                if not os.path.exists(file):
                    problems.append(f"{where}:{number}: {path} does not exist (link \"{target}\")")
                    continue
                if anchor and file.endswith(".md") and anchor not in anchors(file):
                    problems.append(f"{where}:{number}: no heading gives the anchor #{anchor} in "
                                    f"{path or os.path.basename(page)} (link \"{target}\")")
    return problems


def main(argv):
    root = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..")
    problems = check(os.path.abspath(root))
    for line in problems:
        print(line)
    if problems:
        print(f"{len(problems)} broken link(s)")
        return 1
    print("every relative link and anchor resolves")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
