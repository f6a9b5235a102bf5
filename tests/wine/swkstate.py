#!/usr/bin/env python3
"""Prints what a Stashwick installation left on a machine, in one format for
both kinds of machine, so that the two can be compared line by line:

  swkstate.py wine PREFIX [--wow64] --log FILE   a Wine prefix whose wineserver has
                                                 ended (--wow64: a 32-bit setup on 64-bit Wine)
  swkstate.py sim MACHINE                        a simulated machine folder

Lines, sorted within each group:

  file   <Folder>\\<name> size=<bytes> sha256=<hex> mtime=<FILETIME ticks>
  reg    <key> | <value name, @ for the default> | <type> | <data>
  link   <Folder>\\<name> target=<path> arguments=<text> description=<text>
  event  started <file> | registered <file> | open <address> | restart

Machine folder names are written as <Folder> placeholders (the entry names of
the setup's known folders), so that two machines with other folder names give
the same lines. Registry keys are written in lower case (the registry does not
keep one spelling of a key that already exists). Only the registry keys that
the setup writes are listed, plus the class keys of the stand-in components."""
import argparse
import hashlib
import os
import re
import subprocess
import sys

PRODUCT_SUFFIX = "Tarnwell\\Stashwick"

# Registry keys the setup writes (and the stand-in components' class keys),
# lower case, HKEY_CLASSES_ROOT as its HKLM\SOFTWARE\Classes view.
REGISTRY_KEYS = [
    "hklm\\software\\classes\\clsid\\{6e3b17d6-84c9-4f05-a1e6-3d92b07c5f18}",
    "hklm\\software\\classes\\clsid\\{6e3b17d7-84c9-4f05-a1e6-3d92b07c5f18}",
    "hklm\\software\\microsoft\\internet explorer\\extensions\\{6e3b17d3-84c9-4f05-a1e6-3d92b07c5f18}",
    "hklm\\software\\microsoft\\internet explorer\\extensions\\{6e3b17d4-84c9-4f05-a1e6-3d92b07c5f18}",
    "hklm\\software\\microsoft\\internet explorer\\extensions\\{6e3b17d5-84c9-4f05-a1e6-3d92b07c5f18}",
    "hkcu\\software\\microsoft\\internet explorer\\menuext\\swk: pass page",
    "hkcu\\software\\microsoft\\internet explorer\\menuext\\swk: save page",
    "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\stashwick",
    "hklm\\software\\microsoft\\windows\\currentversion\\app paths\\swk.exe",
]

# Where a 32-bit program's keys land on 64-bit Windows (Windows 7 and later; see
# docs/wow64.md): HKLM\SOFTWARE is redirected to SOFTWARE\Wow6432Node except the
# shared keys, and of HKLM\SOFTWARE\Classes only some subkeys (CLSID among them)
# are redirected, to SOFTWARE\Classes\Wow6432Node. HKEY_CURRENT_USER\Software is
# not redirected.
WOW64_SHARED = [
    "hklm\\software\\microsoft\\windows\\currentversion\\app paths",
]
WOW64_REDIRECTED_CLASSES = ["clsid", "directshow", "interface", "media type", "mediafoundation"]


def wow64_view(key):
    """The key a 32-bit program's write of `key` (lower case, hklm/hkcu form) reaches."""
    if not key.startswith("hklm\\software\\") or key.startswith("hklm\\software\\wow6432node"):
        return key
    if any(key == k or key.startswith(k + "\\") for k in WOW64_SHARED):
        return key
    rest = key[len("hklm\\software\\"):]
    if rest.startswith("classes\\"):
        sub = rest[len("classes\\"):]
        if sub.split("\\")[0] in WOW64_REDIRECTED_CLASSES:
            return "hklm\\software\\classes\\wow6432node\\" + sub
        return key
    return "hklm\\software\\wow6432node\\" + rest


# The saved-pages backup carries the local time of the installation.
BACKUP_NAME = re.compile(r"Pages_\d{4}_\d\d_\d\d \d\d_\d\d_\d\d\.swk$")

ROOTS = {"hkey_local_machine": "hklm", "hkey_current_user": "hkcu",
         "hkey_classes_root": "hklm\\software\\classes", "hkey_users": "hku"}


# ---- Machine folders ---------------------------------------------------------------------
def known_folders(base):
    """The folders to list: (name, Windows path, recursive), from the machine's
    base special folders."""
    return [
        ("ProgramFolder", base["programs"] + "\\" + PRODUCT_SUFFIX, True),
        ("SharedDataFolder", base["commonAppData"] + "\\" + PRODUCT_SUFFIX, True),
        ("UserDataFolder", base["lowData"] + "\\" + PRODUCT_SUFFIX, True),
        ("LocalDataFolder", base["localAppData"] + "\\" + PRODUCT_SUFFIX, True),
        ("DocumentsFolder", base["documents"], False),
        ("CommonDesktopFolder", base["commonDesktop"], False),
        ("CommonStartupFolder", base["commonPrograms"] + "\\StartUp", False),
        ("CommonProgramsMenuFolder", base["commonPrograms"], False),
    ]


def base_folders(user, programs):
    home = "C:\\users\\" + user
    menu = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs"
    return {"programs": programs, "commonAppData": "C:\\ProgramData",
            "lowData": home + "\\AppData\\LocalLow", "localAppData": home + "\\AppData\\Local",
            "documents": home + "\\Documents", "commonDesktop": "C:\\users\\Public\\Desktop",
            "commonPrograms": menu}


def host_path(drives_root, windows_path):
    """The host path of a Windows path, matching each component without case."""
    drive, rest = windows_path[0], windows_path[3:]
    current = None
    for candidate in os.listdir(drives_root):
        if candidate.lower() in (drive.lower(), "drive_" + drive.lower()):
            current = os.path.join(drives_root, candidate)
    if current is None:
        return None
    for part in [p for p in rest.split("\\") if p]:
        if not os.path.isdir(current):
            return None
        match = [n for n in os.listdir(current) if n.lower() == part.lower()]
        if not match:
            return None
        current = os.path.join(current, match[0])
    return current


def filetime_of(path):
    ns = os.stat(path).st_mtime_ns
    return ns // 100 + 116444736000000000


def file_lines(drives_root, folders):
    lines = []
    for name, windows, recursive in folders:
        root = host_path(drives_root, windows)
        if root is None or not os.path.isdir(root):
            continue
        for folder, subfolders, files in os.walk(root):
            if not recursive:
                subfolders[:] = []
            for f in files:
                full = os.path.join(folder, f)
                if os.path.islink(full) or not os.path.isfile(full):
                    continue
                relative = os.path.relpath(full, root).replace(os.sep, "\\")
                if name.startswith("Common") and f.lower().endswith(".lnk"):
                    continue  # described by its link line; its bytes carry machine times
                relative = BACKUP_NAME.sub("Pages_<time>.swk", relative)
                with open(full, "rb") as stream:
                    digest = hashlib.sha256(stream.read()).hexdigest()
                lines.append("file %s\\%s size=%d sha256=%s mtime=%d" % (
                    name, relative, os.path.getsize(full), digest, filetime_of(full)))
    return sorted(lines)


def placeholders(folders):
    """Longest path first, so a product folder wins over its special folder."""
    pairs = [(windows, "<%s>" % name) for name, windows, _ in folders]
    return sorted(pairs, key=lambda p: -len(p[0]))


def with_placeholders(text, pairs):
    for windows, name in pairs:
        text = re.sub(re.escape(windows), lambda _m: name, text, flags=re.IGNORECASE)
    return text


# ---- Shortcuts ---------------------------------------------------------------------------------
def link_lines(drives_root, folders, pairs):
    lines = []
    for name, windows, recursive in folders:
        if not name.startswith("Common"):
            continue
        root = host_path(drives_root, windows)
        if root is None or not os.path.isdir(root):
            continue
        for f in sorted(os.listdir(root)):
            if not f.lower().endswith(".lnk"):
                continue
            info = subprocess.run(["lnkinfo", os.path.join(root, f)], capture_output=True, text=True).stdout
            fields = {}
            for line in info.splitlines():
                m = re.match(r"\s*(Local path|Description|Command line arguments)\s*:\s?(.*)$", line)
                if m and m.group(1) not in fields:
                    fields[m.group(1)] = m.group(2).rstrip()
            lines.append("link %s\\%s target=%s arguments=%s description=%s" % (
                name, f, with_placeholders(fields.get("Local path", ""), pairs),
                fields.get("Command line arguments", ""), fields.get("Description", "")))
    return lines


# ---- Registry (.reg text, as regedit exports it: the simulated machine's files) -----------------
def read_reg_text(path):
    data = open(path, "rb").read()
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    return data.decode("utf-8-sig")


def unescape(text):
    return re.sub(r"\\(.)", lambda m: m.group(1), text)


# Value types whose data is UTF-16 text, by type number.
STRING_KINDS = {"1": "REG_SZ", "2": "REG_EXPAND_SZ", "7": "REG_MULTI_SZ"}


def hex_value(kind_hex, hex_text):
    """(type, data) of a value written as bytes: hex:... (binary) or hex(N):... with
    N the type number in hex, in both registry file formats."""
    kind = str(int(kind_hex, 16)) if kind_hex else "3"
    data = bytes(int(h, 16) for h in hex_text.replace(",", " ").split())
    if kind in STRING_KINDS:
        return STRING_KINDS[kind], data.decode("utf-16-le", errors="replace").rstrip("\0")
    return "REG_BINARY" if kind == "3" else "REG_TYPE_" + kind, data.hex()


def parse_value(raw):
    if raw.startswith('"'):
        return "REG_SZ", unescape(raw[1:-1])
    if raw.startswith("dword:"):
        return "REG_DWORD", str(int(raw[6:], 16))
    m = re.match(r"str\((\w+)\):(.*)", raw)
    if m:
        return "REG_TYPE_%s" % m.group(1), unescape(m.group(2).strip('"'))
    m = re.match(r"hex(?:\((\w+)\))?:(.*)", raw)
    if m:
        return hex_value(m.group(1), m.group(2).replace("\\", ""))
    return "REG_UNKNOWN", raw


# ---- Registry (Wine's own hive files) ------------------------------------------------------------
# A Wine prefix keeps its registry in system.reg (HKEY_LOCAL_MACHINE) and user.reg
# (HKEY_CURRENT_USER), written by the wineserver when it ends. Reading them once
# the server has ended needs no Wine process at all.
WINE_HIVES = {"system.reg": "hklm", "user.reg": "hkcu"}
WINE_ESCAPES = {"a": "\a", "b": "\b", "e": "\x1b", "f": "\f", "n": "\n", "r": "\r", "t": "\t", "v": "\v"}


def wine_unescape(text):
    """The text of a string as Wine's hive files escape it: C escapes, \\xHHHH
    (up to 4 hex digits) for characters above 127, octal for other controls."""
    out, i = [], 0
    while i < len(text):
        c = text[i]
        if c != "\\" or i + 1 == len(text):
            out.append(c)
            i += 1
            continue
        n = text[i + 1]
        if n == "x":
            m = re.match(r"[0-9a-fA-F]{1,4}", text[i + 2:])
            out.append(chr(int(m.group(0), 16)) if m else "x")
            i += 2 + (len(m.group(0)) if m else 0)
        elif n in "01234567":
            m = re.match(r"[0-7]{1,3}", text[i + 1:])
            out.append(chr(int(m.group(0), 8)))
            i += 1 + len(m.group(0))
        else:
            out.append(WINE_ESCAPES.get(n, n))
            i += 2
    return "".join(out)


def wine_string_end(text):
    """The index of the quote that closes the string that text opens with."""
    i = 1
    while i < len(text):
        if text[i] == "\\":
            i += 2
        elif text[i] == '"':
            return i
        else:
            i += 1
    raise ValueError("unterminated string: " + text)


def wine_value(raw):
    """(type, data) of a value's right-hand side in a hive file."""
    if raw.startswith('"'):
        return "REG_SZ", wine_unescape(raw[1:wine_string_end(raw)])
    if raw.startswith("dword:"):
        return "REG_DWORD", str(int(raw[6:], 16))
    m = re.match(r"str\((\w+)\):", raw)  # a string of another type, its number in hex
    if m:
        body = raw[m.end():]
        text = wine_unescape(body[1:wine_string_end(body)])
        kind = str(int(m.group(1), 16))
        return STRING_KINDS.get(kind, "REG_TYPE_" + kind), text.rstrip("\0") if kind == "7" else text
    m = re.match(r"hex(?:\((\w+)\))?:(.*)", raw)
    if m:
        return hex_value(m.group(1), m.group(2))
    return "REG_UNKNOWN", raw


def wine_registry_values(prefix):
    """(key, name, type, data) of every value in the prefix's hive files."""
    values = []
    for hive, root in WINE_HIVES.items():
        path = os.path.join(prefix, hive)
        if not os.path.exists(path):
            continue
        with open(path, encoding="utf-8", errors="replace") as hive:
            text = hive.read().replace("\\\n", "")
        key = None
        for line in text.splitlines():
            line = line.strip()
            if line.startswith("["):
                name = line[1:line.rindex("]")]
                key = (root + "\\" + wine_unescape(name)).lower()
                continue
            if line == "#link":
                key = None  # a link to another key (a shared key under WOW64): listed there
                continue
            if key is None or not (line.startswith('"') or line.startswith("@")):
                continue
            if line.startswith("@="):
                name, raw = "@", line[2:]
            else:
                end = wine_string_end(line)
                name, raw = wine_unescape(line[1:end]), line[end + 2:]
            kind, data = wine_value(raw.strip())
            values.append((key, name, kind, data))
    return values


def reg_file_values(reg_files):
    """(key, name, type, data) of every value in the .reg files."""
    values = []
    for path in reg_files:
        text = read_reg_text(path).replace("\\\r\n", "").replace("\\\n", "")
        key = None
        for line in text.splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                key = line[1:-1]
                root, _, rest = key.partition("\\")
                key = (ROOTS.get(root.lower(), root.lower()) + ("\\" + rest if rest else "")).lower()
                continue
            m = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
            if key and m:
                name = "@" if m.group(1) == "@" else unescape(m.group(1)[1:-1])
                kind, data = parse_value(m.group(2))
                values.append((key, name, kind, data))
    return values


def registry_lines(values, pairs):
    keys = REGISTRY_KEYS + [wow64_view(k) for k in REGISTRY_KEYS]
    lines = set()
    for key, name, kind, data in values:
        if any(key == k or key.startswith(k + "\\") for k in keys):
            lines.add("reg %s | %s | %s | %s" % (with_placeholders(key, pairs), name, kind,
                                                  with_placeholders(data, pairs)))
    return sorted(lines)


# ---- Programs started and components registered -------------------------------------------------
def event_lines(raw_lines, pairs):
    events = []
    for line in raw_lines:
        line = line.strip()
        if not line:
            continue
        verb, _, rest = line.partition(" ")
        if verb in ("start", "started"):
            # "<path or file name>[ <arguments>]"; a path may hold blanks
            tail = rest[rest.rfind("\\") + 1:]
            name, _, arguments = tail.partition(" ")
            events.append("event started " + name + (" " + arguments if arguments else ""))
        elif verb in ("register", "registered"):
            events.append("event registered " + rest.split("\\")[-1])
        elif verb == "open":
            events.append("event open " + with_placeholders(rest.strip("\""), pairs))
        elif verb == "restart":
            events.append("event restart")
    return events


# ---- The two machines -----------------------------------------------------------------------------
def wine_state(prefix, log, wow64=False):
    users = [u for u in os.listdir(os.path.join(prefix, "drive_c", "users")) if u.lower() != "public"]
    base = base_folders(users[0] if users else "user",
                        "C:\\Program Files (x86)" if wow64 else "C:\\Program Files")
    folders = known_folders(base)
    pairs = placeholders(folders)
    raw_events = open(log, encoding="utf-8", errors="replace").read().splitlines() if log and os.path.exists(log) else []
    return file_lines(prefix, folders) + registry_lines(wine_registry_values(prefix), pairs) + \
        link_lines(prefix, folders, pairs) + event_lines(raw_events, pairs)


def sim_state(machine):
    profile = {}
    profile_path = os.path.join(machine, "profile.ini")
    if os.path.exists(profile_path):
        for line in open(profile_path, encoding="utf-8"):
            key, sep, value = line.partition("=")
            if sep and not key.strip().startswith("#"):
                profile[key.strip()] = value.strip()
    wow64 = profile.get("wow64", "0") == "1"
    base = base_folders(profile.get("userName", "User"),
                        "C:\\Program Files (x86)" if wow64 else "C:\\Program Files")
    folders = known_folders(base)
    pairs = placeholders(folders)
    reg_dir = os.path.join(machine, "registry")
    reg_files = [os.path.join(reg_dir, f) for f in sorted(os.listdir(reg_dir))] if os.path.isdir(reg_dir) else []
    journal = os.path.join(machine, "journal.txt")
    raw_events = open(journal, encoding="utf-8").read().splitlines() if os.path.exists(journal) else []
    return file_lines(machine, folders) + registry_lines(reg_file_values(reg_files), pairs) + \
        link_lines(machine, folders, pairs) + event_lines(raw_events, pairs)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("kind", choices=["wine", "sim"])
    parser.add_argument("folder")
    parser.add_argument("--log")
    parser.add_argument("--wow64", action="store_true")
    args = parser.parse_args()
    lines = wine_state(args.folder, args.log, args.wow64) if args.kind == "wine" else sim_state(args.folder)
    sys.stdout.write("".join(line + "\n" for line in lines))


if __name__ == "__main__":
    main()
