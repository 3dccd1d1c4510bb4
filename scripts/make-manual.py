#!/usr/bin/python3
"""Turns a Markdown manual into a standalone HTML page: the first heading as
the title, a table of contents of the sections, UTF-8, a small style sheet.
The pictures it shows are copied beside the page under the same relative
paths, so the page works from the build folder and once installed.
Usage: make-manual.py <manual.md> <page.html> <language code>

Needs python3-markdown (scripts/setup.sh installs it)."""
import html
import os
import re
import shutil
import sys

import markdown

STYLE = """
body { font-family: "DejaVu Sans", sans-serif; max-width: 52em; margin: 1em auto; padding: 0 1em; line-height: 1.45; }
h1, h2, h3 { line-height: 1.2; }
h2 { border-bottom: 1px solid #ccc; padding-bottom: 0.2em; margin-top: 1.8em; }
code, pre { font-family: "DejaVu Sans Mono", monospace; background: #f4f4f4; }
pre { padding: 0.5em; overflow-x: auto; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #ccc; padding: 0.25em 0.5em; text-align: left; vertical-align: top; }
img { max-width: 100%; border: 1px solid #ccc; }
div.toc { background: #f8f8f8; border: 1px solid #ddd; padding: 0.3em 1em; display: inline-block; }
div.toc ul { padding-left: 1.2em; }
"""

# The heading of the table of contents in the manual's language.
CONTENTS = {"de": "Inhalt", "fr": "Sommaire", "it": "Indice", "es": "Índice", "ru": "Содержание"}


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    source, page, language = sys.argv[1:]
    with open(source, encoding="utf-8") as f:
        text = f.read()

    title_line = re.search(r"^# (.+)$", text, re.MULTILINE)
    if not title_line:
        sys.exit(f"{source}: no title heading")
    title = title_line.group(1).strip()
    # The title heads the page once; the table of contents lists the sections.
    text = text[:title_line.start()] + text[title_line.end():]

    pictures = re.findall(r"!\[[^\]]*\]\(([^)\s]+)", text)
    missing = [p for p in pictures if not os.path.isfile(os.path.join(os.path.dirname(source), p))]
    if missing:
        sys.exit(f"{source}: pictures not found: {' '.join(missing)}")

    md = markdown.Markdown(extensions=["tables", "toc", "sane_lists"],
                           extension_configs={"toc": {"toc_depth": "2-3"}},
                           output_format="html")
    body = md.convert(text)

    document = f"""<!DOCTYPE html>
<html lang="{html.escape(language)}">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{html.escape(title)}</title>
<style>{STYLE}</style>
</head>
<body>
<h1>{html.escape(title)}</h1>
<h2 id="contents">{CONTENTS.get(language, "Contents")}</h2>
{md.toc}
{body}
</body>
</html>
"""
    out_folder = os.path.dirname(os.path.abspath(page))
    os.makedirs(out_folder, exist_ok=True)
    for p in pictures:
        target = os.path.join(out_folder, p)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copyfile(os.path.join(os.path.dirname(source), p), target)
    # Written under a temporary name and renamed: an interrupted build leaves
    # no half page that a later build would take as up to date.
    temporary = page + ".tmp"
    with open(temporary, "w", encoding="utf-8") as f:
        f.write(document)
    os.replace(temporary, page)


if __name__ == "__main__":
    main()
