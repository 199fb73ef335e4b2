#!/usr/bin/env python3
"""Holds the user guide (docs/guide.md) to the module it describes:

- every picture the guide names is in docs/ and is a PNG, and every picture scripts/screenshots
  makes is shown in the guide;
- every result code the module can set (the result-code enum of the payment checks) has a row in
  the guide's table of result codes, and every row's text is the module's own text for that code
  (its string table, at 300 + code), word for word;
- every window caption, setting key and file name of the module that the guide quotes is one the
  module's code holds.

    tests/guide_test.py SOURCE_DIR
"""
import os
import re
import struct
import sys
import unittest

ROOT = os.path.abspath(sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
GUIDE = os.path.join(ROOT, "docs", "guide.md")
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
RESULT_TEXT_BASE = 300


def read(path):
    with open(path, encoding="utf-8") as source:
        return source.read()


def module_result_texts():
    """Code -> text, from the payment resources' string table."""
    text = read(os.path.join(ROOT, "src", "payments", "payment_resources.rc"))
    table = re.search(r"^STRINGTABLE\s*\nBEGIN\n(.*?)^END", text, re.S | re.M)
    texts = {}
    for number, value in re.findall(r'^\s*(\d+)\s+"((?:[^"]|"")*)"\s*$', table.group(1), re.M):
        texts[int(number) - RESULT_TEXT_BASE] = value.replace('""', '"')
    return texts


def codes_the_module_sets():
    """Name -> code of the result-code enum; the batch-rejection code is the host's to use."""
    text = read(os.path.join(ROOT, "src", "payments", "payment_checks.h"))
    body = re.search(r"enum PaymentResultCode[^{]*\{(.*?)\};", text, re.S).group(1)
    return {name: int(value) for name, value in re.findall(r"(k\w+)\s*=\s*(\d+)", body)}


def guide_result_rows(guide):
    """Code -> text cell of the guide's result-code table (its first table whose first column is
    "Code"); the text is written in double quotes."""
    rows = {}
    in_table = False
    for line in guide.splitlines():
        cells = [cell.strip() for cell in line.strip().strip("|").split("|")] if line.startswith("|") else None
        if cells and cells[0] == "Code":
            in_table = True
            continue
        if in_table and not cells:
            break
        if in_table and re.fullmatch(r"\d+", cells[0]):
            rows[int(cells[0])] = cells[1]
    return rows


def png_size(path):
    with open(path, "rb") as picture:
        head = picture.read(24)
    if len(head) < 24 or head[:8] != PNG_SIGNATURE or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


class PicturesTest(unittest.TestCase):
    def setUp(self):
        self.guide = read(GUIDE)
        self.named = re.findall(r"!\[[^\]]*\]\(([^)\s]+)\)", self.guide)

    def test_every_picture_the_guide_names_is_a_png_in_docs(self):
        self.assertGreater(len(self.named), 0, "the guide shows no pictures")
        for name in self.named:
            path = os.path.normpath(os.path.join(os.path.dirname(GUIDE), name))
            with self.subTest(picture=name):
                self.assertEqual(os.path.join(ROOT, "docs"), os.path.dirname(path), "pictures live in docs/")
                self.assertTrue(os.path.isfile(path), "missing")
                size = png_size(path)
                self.assertIsNotNone(size, "not a PNG")
                # A picture of a window, not an empty or a whole-screen capture.
                width, height = size
                self.assertTrue(80 <= width < 1024 and 40 <= height < 768, f"{width}x{height}")

    def test_every_picture_the_script_makes_is_in_the_guide(self):
        script = read(os.path.join(ROOT, "scripts", "screenshots"))
        made = re.search(r"^pictures=\((.*?)\)", script, re.S | re.M).group(1).split()
        self.assertGreater(len(made), 0)
        shown = {os.path.splitext(os.path.basename(name))[0] for name in self.named}
        for name in made:
            with self.subTest(picture=name):
                self.assertIn(name, shown)

    def test_each_picture_has_a_line_of_text_under_it(self):
        lines = self.guide.splitlines()
        for number, line in enumerate(lines):
            if line.startswith("!["):
                with self.subTest(line=line):
                    following = next((l for l in lines[number + 1:] if l.strip()), "")
                    self.assertTrue(following.startswith("*"), "an italic line of text under the picture")


class ResultCodesTest(unittest.TestCase):
    def setUp(self):
        self.texts = module_result_texts()
        self.rows = guide_result_rows(read(GUIDE))

    def test_the_module_and_the_table_are_read(self):
        # Guards the readers above: the module's string table holds code 0 and the RTI code.
        self.assertEqual("Payment processed successfully.", self.texts.get(0))
        self.assertIn(36, self.texts)
        self.assertGreater(len(self.rows), 0, "no result-code table in the guide")

    def test_every_code_the_module_sets_is_in_the_table_with_its_text(self):
        codes = codes_the_module_sets()
        self.assertIn(0, codes.values())
        for name, code in sorted(codes.items(), key=lambda item: item[1]):
            with self.subTest(code=code, name=name):
                self.assertIn(code, self.texts, "the module has no text for it")
                self.assertIn(code, self.rows, "not in the guide's table")
                self.assertEqual(f'"{self.texts[code]}"', self.rows[code])

    def test_every_row_of_the_table_is_a_text_of_the_module(self):
        for code, cell in self.rows.items():
            with self.subTest(code=code):
                self.assertIn(code, self.texts, "a code the module has no text for")
                self.assertEqual(f'"{self.texts[code]}"', cell)


def product_text():
    """Every source, resource and packaging file of what ships, as one text."""
    texts = []
    for folder in ("src", "packaging"):
        for directory, _, names in os.walk(os.path.join(ROOT, folder)):
            for name in names:
                if os.path.splitext(name)[1] in (".cpp", ".h", ".rc", ".rgs", ".idl", ".in", ".py", ".json"):
                    texts.append(read(os.path.join(directory, name)))
    return "\n".join(texts)


def section(guide, heading):
    """The text of the section under a heading, up to the next heading of any level."""
    match = re.search(r"^#+ " + re.escape(heading) + r"\s*$(.*?)(?=^#)", guide + "\n#", re.S | re.M)
    if match is None:
        raise AssertionError(f"the guide has no section {heading!r}")
    return match.group(1)


def first_column(text):
    """The first cells of a section's table rows, header and rule left out."""
    cells = []
    for line in text.splitlines():
        if line.startswith("|"):
            cell = line.strip().strip("|").split("|")[0].strip()
            if not re.fullmatch(r"-+", cell):
                cells.append(cell)
    return cells[1:]


class QuotedNamesTest(unittest.TestCase):
    """What the guide quotes of the module (captions, keys, files) must be the module's own."""

    @classmethod
    def setUpClass(cls):
        cls.guide = read(GUIDE)
        cls.code = product_text()

    def assertInCode(self, text):
        self.assertTrue(f'"{text}"' in self.code or f"'{text}'" in self.code or text in self.code,
                        f"{text!r} is not in the module's code")

    def test_every_caption_in_the_table_of_messages_is_the_module_s(self):
        captions = [re.fullmatch(r'"([^"]+)"', cell) for cell in first_column(section(self.guide, "The messages the module shows"))]
        quoted = [match.group(1) for match in captions if match]
        self.assertGreaterEqual(len(quoted), 5)
        for caption in quoted:
            with self.subTest(caption=caption):
                self.assertTrue(f'"{caption}"' in self.code, f"{caption!r} is no caption in the module's code")

    def test_every_setting_key_the_guide_shows_is_read_by_the_module(self):
        # Lines of the settings file shown in the guide: "[SECTION]" and "KeyName=VALUE"; a key's
        # account suffix (digits and underscores) is the user's, its name the module's.
        lines = re.findall(r"^    (\[\w+\]|[A-Za-z]\w*=\S*)$", self.guide, re.M)
        names = set()
        for line in lines:
            names.add(line.strip("[]") if line.startswith("[") else re.sub(r"[\d_]*$", "", line.split("=")[0]))
        keys = set(re.findall(r"key `([A-Za-z]\w*)`", self.guide))
        self.assertIn("BMBUseLWFmt", names | keys)
        for name in sorted(names | keys):
            with self.subTest(key=name):
                self.assertInCode(name)

    def test_every_file_the_module_keeps_is_named_in_its_code(self):
        files = [re.fullmatch(r"`([^`]+)`", cell) for cell in first_column(section(self.guide, "The files the module keeps, and backing them up"))]
        named = [match.group(1) for match in files if match]
        self.assertIn("BANKSERV.INI", named)
        for name in named:
            with self.subTest(file=name):
                self.assertInCode(name)

    def test_the_module_s_file_names_are_its_own(self):
        for name in sorted(set(re.findall(r"`(TolvarBrenmarkLintrove[\w.-]*\.(?:dll|msi))`", self.guide))):
            with self.subTest(file=name):
                stem = name.split("-")[0].rsplit(".", 1)[0]
                self.assertInCode(stem)


if __name__ == "__main__":
    unittest.main(verbosity=2)
