#!/usr/bin/python3
"""Checks the HTML manual pages a build made: xmllint reads each without a
complaint, every picture and every link inside a page leads somewhere, and
the German page is the German manual (its language, its title, its
pictures).
Usage: check-manual.py <source root> <the build's share/doc/vltrx>"""
import os
import re
import subprocess
import sys

root, pages = sys.argv[1], sys.argv[2]
problems = []
# page, the Markdown it is made from, its language
manuals = [("manual.html", "manual.md", "en"), ("manual-de.html", "manual-de.md", "de")]

for page, source, language in manuals:
    path = os.path.join(pages, page)
    if not os.path.isfile(path):
        problems.append(f"{page}: not built")
        continue
    r = subprocess.run(["xmllint", "--html", "--noout", path], capture_output=True, text=True)
    if r.returncode != 0 or r.stderr.strip():
        problems.append(f"{page}: xmllint: exit {r.returncode}: {r.stderr.strip()}")
    text = open(path, encoding="utf-8").read()

    pictures = re.findall(r'<img [^>]*src="([^"]+)"', text)
    if not pictures:
        problems.append(f"{page}: shows no screenshot")
    for p in pictures:
        if re.match(r"[a-z]+:|/", p):
            problems.append(f"{page}: picture {p} is not beside the page")
        elif not os.path.isfile(os.path.join(pages, p)):
            problems.append(f"{page}: picture {p} is missing")
        elif re.search(r"-([a-z]{2})\.png$", p) and not p.endswith(f"-{language}.png"):
            problems.append(f"{page}: shows {p}, a dialog in another language")
    ids = set(re.findall(r'\sid="([^"]+)"', text))
    for anchor in re.findall(r'href="#([^"]+)"', text):
        if anchor not in ids:
            problems.append(f"{page}: link #{anchor} leads nowhere")

    title = re.search(r"^# (.+)$", open(os.path.join(root, "docs", source), encoding="utf-8").read(), re.MULTILINE)
    if f'<html lang="{language}">' not in text:
        problems.append(f'{page}: not marked as lang="{language}"')
    if not title or f"<title>{title.group(1)}</title>" not in text:
        problems.append(f"{page}: the title is not that of docs/{source}")
    if '<meta charset="utf-8">' not in text:
        problems.append(f"{page}: no UTF-8 meta")

for p in problems:
    print(p)
if problems:
    sys.exit(1)
print(f"{len(manuals)} manual pages well formed, with their pictures")
