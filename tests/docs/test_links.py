#!/usr/bin/env python3
"""The README and the pages under docs/: every relative link leads to a file that exists, every
anchor to a heading of its page (GitHub's slugs), and every page in docs/ is linked from another
page. Links in code (fenced blocks, `spans`) are text, not links. Prints each fault; exits 1."""
import os
import re
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")


def text_of(path):
    """The page without its fenced code blocks, which hold neither links nor headings."""
    with open(path, encoding="utf-8") as f:
        return re.sub(r"^```.*?^```", "", f.read(), flags=re.M | re.S)


def anchors(path):
    """GitHub's slugs: lowercase, punctuation dropped, blanks to '-', '-1' on a repeated one."""
    seen, slugs = {}, set()
    for heading in re.findall(r"^#{1,6} +(.*?) *$", text_of(path), flags=re.M):
        heading = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", heading)  # a link's text only
        slug = re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-")
        count = seen.get(slug, 0)
        seen[slug] = count + 1
        slugs.add(slug if count == 0 else "%s-%d" % (slug, count))
    return slugs


def check(root):
    docs = os.path.join(root, "docs")
    pages = [os.path.join(root, "README.md")] + sorted(
        os.path.join(docs, n) for n in os.listdir(docs) if n.endswith(".md"))
    faults, linked = [], set()
    for page in pages:
        for target in LINK.findall(re.sub(r"`[^`\n]*`", "", text_of(page))):
            if re.match(r"[a-z][a-z0-9+.-]*:", target):
                continue  # http:, https:, mailto: lead outside
            path, _, anchor = target.partition("#")
            dest = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
            where = "%s: (%s)" % (os.path.relpath(page, root), target)
            if not os.path.exists(dest):
                faults.append("%s leads to no file %s" % (where, os.path.relpath(dest, root)))
            elif anchor and (not dest.endswith(".md") or anchor not in anchors(dest)):
                faults.append("%s: no heading #%s in %s" % (where, anchor, os.path.relpath(dest, root)))
            elif dest != page:
                linked.add(dest)
    faults += ["%s: no other page links to it" % os.path.relpath(p, root)
               for p in pages[1:] if p not in linked]
    return faults


if __name__ == "__main__":
    faults = check(ROOT)
    print("\n".join(faults) or "%s: every link and anchor leads somewhere" % ROOT)
    sys.exit(1 if faults else 0)
