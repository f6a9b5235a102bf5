#!/usr/bin/env python3
"""Checks the state of a machine after a setup run (the lines of swkstate.py)
against what the installation must leave, computed from the payload folder
that the setup carried (its manifest.txt and its eleven files):

  check_state.py [--wow64] installed STATE PAYLOAD   a complete installation
  check_state.py [--wow64] empty STATE               nothing of the product on the machine

--wow64: the setup was the 32-bit build on 64-bit Windows, so its HKLM keys are
expected where the registry's 32-bit view puts them.

Prints every difference and exits with 1 when there is one."""
import datetime
import hashlib
import os
import sys

from swkstate import wow64_view

PROGRAM_FILES = ["swk.exe", "swkh.exe", "Uninstall.exe", "swk.dll", "swk.ocx", "cmptree.exe"]
DATA_FILES = ["help.bin", "swk.bin", "samples1.swk", "samples2.swk", "samples3.swk"]
PF = "<ProgramFolder>"
EXT = "hklm\\software\\microsoft\\internet explorer\\extensions\\"
MENU = "hkcu\\software\\microsoft\\internet explorer\\menuext\\swk: "
CLASS = "hklm\\software\\classes\\clsid\\{6e3b17d6-84c9-4f05-a1e6-3d92b07c5f18}"
APP = "hklm\\software\\microsoft\\windows\\currentversion\\app paths\\swk.exe"
UNINSTALL = "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\stashwick"


def button(digit):
    return EXT + "{6e3b17d%s-84c9-4f05-a1e6-3d92b07c5f18}" % digit


# The registry values of the browser add-on and of the installation records.
EXPECTED_REGISTRY = [
    (CLASS, "@", "REG_SZ", "Tarnwell Stashwick"),
    (CLASS + "\\inprocserver32", "@", "REG_SZ", PF + "\\swk.dll"),
    (CLASS + "\\inprocserver32", "ThreadingModel", "REG_SZ", "Apartment"),
    (button(3), "CLSID", "REG_SZ", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"),
    (button(3), "ButtonText", "REG_SZ", "Save Page"),
    (button(3), "HotIcon", "REG_SZ", PF + "\\swk.dll,199"),
    (button(3), "Icon", "REG_SZ", PF + "\\swk.dll,199"),
    (button(3), "Default Visible", "REG_SZ", "Yes"),
    (button(3), "Script", "REG_SZ", "res://" + PF + "\\\\swk.ocx/205"),
    (button(4), "CLSID", "REG_SZ", "{E0DD6CAB-2D10-11D2-8F1A-0000F87ABD16}"),
    (button(4), "ButtonText", "REG_SZ", "SWK Pane"),
    (button(4), "HotIcon", "REG_SZ", PF + "\\swk.dll,314"),
    (button(4), "Icon", "REG_SZ", PF + "\\swk.dll,314"),
    (button(4), "Default Visible", "REG_SZ", "Yes"),
    (button(4), "BandCLSID", "REG_SZ", "{6E3B17D6-84C9-4F05-A1E6-3D92B07C5F18}"),
    (button(5), "CLSID", "REG_SZ", "{1FBA04EE-3024-11D2-8F1F-0000F87ABD16}"),
    (button(5), "ButtonText", "REG_SZ", "Run SWK"),
    (button(5), "HotIcon", "REG_SZ", PF + "\\swk.dll,316"),
    (button(5), "Icon", "REG_SZ", PF + "\\swk.dll,316"),
    (button(5), "Default Visible", "REG_SZ", "Yes"),
    (button(5), "Exec", "REG_SZ", PF + "\\swk.exe"),
    (MENU + "pass page", "@", "REG_SZ", "res://" + PF + "\\swk.ocx/204"),
    (MENU + "pass page", "Contexts", "REG_DWORD", "1"),
    (MENU + "save page", "@", "REG_SZ", "res://" + PF + "\\swk.ocx/203"),
    (MENU + "save page", "Contexts", "REG_DWORD", "1"),
    (UNINSTALL, "DisplayName", "REG_SZ", "Stashwick"),
    (UNINSTALL, "DisplayIcon", "REG_SZ", PF + "\\Uninstall.exe"),
    (UNINSTALL, "UninstallString", "REG_SZ", PF + "\\Uninstall.exe"),
    (APP, "@", "REG_SZ", PF + "\\swk.exe"),
    (APP, "ProgramData", "REG_SZ", "<SharedDataFolder>"),
    (APP, "FileVersion", "REG_SZ", "4, 5, 0, 0"),
    (APP, "Path", "REG_SZ", PF),
    (APP, "SpecialBuild", "REG_SZ", "0"),
]

EXPECTED_LINKS = [
    "link CommonDesktopFolder\\Stashwick.lnk target=%s\\swk.exe arguments= description=Stashwick" % PF,
    "link CommonProgramsMenuFolder\\Stashwick.lnk target=%s\\swk.exe arguments= description=Stashwick" % PF,
    "link CommonStartupFolder\\Stashwick.lnk target=%s\\swk.exe arguments=/Restart description=Stashwick setup" % PF,
]


def filetime(text):
    """'2014-09-04 10:49:17.6718750' (UTC) as FILETIME ticks."""
    day, clock = text.split(" ")
    whole, _, fraction = clock.partition(".")
    moment = datetime.datetime.strptime(day + " " + whole, "%Y-%m-%d %H:%M:%S")
    seconds = (moment - datetime.datetime(1601, 1, 1)).days * 86400 + (moment - datetime.datetime(1601, 1, 1)).seconds
    return seconds * 10_000_000 + int((fraction + "0000000")[:7])


def payload_files(payload):
    files = {}
    for line in open(os.path.join(payload, "manifest.txt"), encoding="utf-8"):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        name, time = line.split(" ", 1)
        data = open(os.path.join(payload, name), "rb").read()
        files[name] = (len(data), hashlib.sha256(data).hexdigest(), filetime(time))
    return files


def file_line(folder, name, facts):
    size, digest, time = facts
    return "file %s\\%s size=%d sha256=%s mtime=%d" % (folder, name, size, digest, time)


def check_installed(lines, payload, wow64=False):
    files = payload_files(payload)
    wanted = []
    for name in PROGRAM_FILES:
        wanted.append(file_line("ProgramFolder", name, files[name]))
    for name in DATA_FILES:
        wanted.append(file_line("SharedDataFolder", name, files[name]))
    for name in ["samples1.swk", "samples2.swk", "samples3.swk"]:
        wanted.append(file_line("DocumentsFolder", name, files[name]))
    for name in ["swk.bin", "help.bin"]:
        wanted.append(file_line("UserDataFolder", name, files[name]))
    view = wow64_view if wow64 else (lambda key: key)
    wanted += ["reg %s | %s | %s | %s" % ((view(row[0]),) + row[1:]) for row in EXPECTED_REGISTRY]
    wanted += EXPECTED_LINKS
    problems = ["missing: " + line for line in wanted if line not in lines]
    # The components register themselves in order, then the companion starts.
    events = [line for line in lines if line.startswith("event ")]
    order = ["event registered swk.ocx", "event registered swk.dll", "event started swkh.exe"]
    if [e for e in events if e in order][:3] != order:
        problems.append("events not in order %s: %s" % (order, events))
    # No file of the product outside what is listed (a temporary file left, say).
    product = [l for l in lines if l.startswith("file ProgramFolder") or l.startswith("file SharedDataFolder")]
    extra = [l for l in product if l not in wanted]
    problems += ["unexpected: " + l for l in extra]
    return problems


def check_empty(lines):
    return ["unexpected: " + l for l in lines
            if not l.startswith("file DocumentsFolder") and not l.startswith("event open")]


def main():
    args = sys.argv[1:]
    wow64 = "--wow64" in args
    args = [a for a in args if a != "--wow64"]
    kind, state = args[0], args[1]
    lines = [l.rstrip("\n") for l in open(state, encoding="utf-8")]
    problems = check_installed(lines, args[2], wow64) if kind == "installed" else check_empty(lines)
    for p in problems:
        print(p)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
