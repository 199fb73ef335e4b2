#!/usr/bin/env python3
"""What the module's registration writes, read from two registry exports (before and after), as the
rows of the installer package or as a plain list to compare.

  registry_rows.py wxs BEFORE.reg AFTER.reg FOLDER   the package's registry rows, FOLDER (the module's
                                                   folder, with its closing backslash) written as
                                                   [INSTALLFOLDER]
  registry_rows.py list BEFORE.reg AFTER.reg FOLDER  one line per key and value, FOLDER written as <FOLDER>
"""
import sys
from xml.sax.saxutils import quoteattr

CLASSES = "HKEY_LOCAL_MACHINE\\Software\\Classes\\"
# Windows Installer keeps its own records of installed products there; they are no package rows.
INSTALLER_RECORDS = "Installer"


def read_export(path):
    """{key: {name: value}} of a regedit export; name "" is the default value."""
    raw = open(path, "rb").read()
    text = raw.decode("utf-16") if raw[:2] in (b"\xff\xfe", b"\xfe\xff") else raw.decode("utf-8")
    keys, current = {}, None
    lines = text.splitlines()
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        while line.endswith("\\") and i < len(lines):  # continued hex values
            line = line[:-1] + lines[i].strip()
            i += 1
        if line.startswith("[") and line.endswith("]"):
            current = line[1:-1]
            keys.setdefault(current, {})
        elif current is not None and "=" in line and (line.startswith('"') or line.startswith("@")):
            name, value = split_value(line)
            keys[current][name] = value
    return keys


def split_value(line):
    if line.startswith("@="):
        name, rest = "", line[2:]
    else:
        end = 1
        while line[end] != '"':
            end += 2 if line[end] == "\\" else 1
        name, rest = unescape(line[1:end]), line[end + 2:]
    if rest.startswith('"'):
        return name, ("string", unescape(rest[1:-1]))
    if rest.startswith("dword:"):
        return name, ("dword", int(rest[6:], 16))
    return name, ("raw", rest)


def unescape(text):
    return text.replace('\\"', '"').replace("\\\\", "\\")


def added(before, after):
    """Keys and values under the classes root that the registration added: [(key, {name: value})]."""
    rows = []
    for key in sorted(after, key=str.lower):
        if not key.startswith(CLASSES):
            continue
        name = key[len(CLASSES):]
        if name == INSTALLER_RECORDS or name.startswith(INSTALLER_RECORDS + "\\"):
            continue
        old = before.get(key)
        values = {n: v for n, v in after[key].items() if old is None or old.get(n) != v}
        if old is None or values:
            rows.append((key[len(CLASSES):], values, old is None))
    return rows


def parent_is_new(key, new_keys):
    return "\\" in key and key.rsplit("\\", 1)[0] in new_keys


def formatted(text):
    """Literal text in an installer's formatted field."""
    text = text.replace("[", "\x01").replace("]", "\x02").replace("\x01", "[\\[]").replace("\x02", "[\\]]")
    return "#" + text if text.startswith("#") else text


def wxs(rows, folder):
    new_keys = {key for key, _, new in rows if new}
    out = []
    for key, values, new in rows:
        if new and not parent_is_new(key, new_keys):
            # The top of what the registration made: made on install, removed whole on uninstall.
            out.append('<RegistryValue Root="HKCR" Key=%s Name="*" Value="" Type="string"/>' % quoteattr(key))
        elif new and not values:
            out.append('<RegistryValue Root="HKCR" Key=%s Name="+" Value="" Type="string"/>' % quoteattr(key))
        for name, (kind, value) in sorted(values.items()):
            name_attr = "" if name == "" else " Name=%s" % quoteattr(name)
            if kind == "string":
                text = formatted(value).replace(formatted(folder), "[INSTALLFOLDER]")
                out.append('<RegistryValue Root="HKCR" Key=%s%s Value=%s Type="string"/>'
                           % (quoteattr(key), name_attr, quoteattr(text)))
            elif kind == "dword":
                out.append('<RegistryValue Root="HKCR" Key=%s%s Value="%d" Type="integer"/>'
                           % (quoteattr(key), name_attr, value))
            else:
                sys.exit("registry_rows.py: %s\\%s: values of this kind are not packaged: %s" % (key, name, value))
    return "\n".join(out)


def listing(rows, folder):
    out = []
    for key, values, new in rows:
        out.append("key " + key)
        for name, (kind, value) in sorted(values.items()):
            shown = value.replace(folder, "<FOLDER>") if kind == "string" else value
            out.append("value %s\\%s = %s %s" % (key, name or "@", kind, shown))
    return "\n".join(out)


def main():
    if len(sys.argv) != 5 or sys.argv[1] not in ("wxs", "list"):
        sys.exit(__doc__)
    rows = added(read_export(sys.argv[2]), read_export(sys.argv[3]))
    if not rows:
        sys.exit("registry_rows.py: the registration added nothing")
    print(wxs(rows, sys.argv[4]) if sys.argv[1] == "wxs" else listing(rows, sys.argv[4]))


if __name__ == "__main__":
    main()
