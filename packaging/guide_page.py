#!/usr/bin/env python3
"""The user guide as the package installs it: one HTML page made from docs/guide.md, beside the
pictures it shows.

  guide_page.py GUIDE.md FOLDER   writes FOLDER/guide.html and a copy of every picture the page
                                  names (from the guide's folder), and prints the pictures' names,
                                  one a line; fails when a picture is missing
"""
import html
import os
import re
import shutil
import sys

import markdown

STYLE = """body { font-family: "Segoe UI", Arial, sans-serif; font-size: 11pt; line-height: 1.45;
       max-width: 52em; margin: 2em auto; padding: 0 1em; color: #1b1b1b; }
h1, h2, h3 { line-height: 1.2; }
img { max-width: 100%; border: 1px solid #c8c8c8; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #c8c8c8; padding: 0.3em 0.6em; text-align: left; vertical-align: top; }
code { font-family: Consolas, "Courier New", monospace; background: #f3f3f3; padding: 0 0.2em; }
pre { background: #f3f3f3; padding: 0.6em; overflow-x: auto; }
blockquote { border-left: 4px solid #d08000; background: #fff7e6; margin: 1em 0; padding: 0.2em 1em; }"""


def main():
    source, folder = sys.argv[1:3]
    text = open(source, encoding="utf-8").read()
    title = next((line[2:].strip() for line in text.splitlines() if line.startswith("# ")), "Guide")
    body = markdown.markdown(text, extensions=["tables", "fenced_code", "sane_lists", "toc"], output_format="html")
    pictures = []
    for name in re.findall(r'<img[^>]*\ssrc="([^"]+)"', body):
        name = html.unescape(name)
        if re.match(r"^[a-z]+:", name) or "/" in name or "\\" in name or name.startswith("."):
            sys.exit(f"guide_page.py: the guide shows {name}, which is not a picture beside it")
        if name not in pictures:
            pictures.append(name)
    os.makedirs(folder, exist_ok=True)
    for name in pictures:
        picture = os.path.join(os.path.dirname(os.path.abspath(source)), name)
        if not os.path.isfile(picture):
            sys.exit(f"guide_page.py: the guide shows {name}, which is not in {os.path.dirname(picture)}")
        shutil.copyfile(picture, os.path.join(folder, name))
    page = ('<!DOCTYPE html>\n<html lang="en-GB">\n<head>\n<meta charset="utf-8">\n'
            f"<title>{html.escape(title)}</title>\n<style>\n{STYLE}\n</style>\n</head>\n<body>\n{body}\n</body>\n</html>\n")
    with open(os.path.join(folder, "guide.html"), "w", encoding="utf-8", newline="\r\n") as out:
        out.write(page)
    for name in pictures:
        print(name)


if __name__ == "__main__":
    main()
