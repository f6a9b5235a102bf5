#!/usr/bin/env python3
"""The reading of Wine's hive files by swkstate.py: every way Wine writes a
value, its escapes, and keys that are links to other keys."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import swkstate  # noqa: E402

SYSTEM_REG = r'''WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\Machine

#arch=win64

[Software\\Tarnwell\\Escapes] 1797008459
#time=1dd8991324ac802
@="C:\\Program Files\\Tarnwell"
"Quote \"q\""="say \"hi\"\r\n"
"Accents"="Donn\x00e9es \x65e5\x672c"
"Short hex"="\xe9!"
"Octal"="a\1b\0012"
"Bracket]"="x"

[Software\\Tarnwell\\Kinds] 1797008459
"Number"=dword:0000013a
"Expand"=str(2):"%SystemRoot%\\swk"
"Multi"=str(7):"one\0two\0"
"Binary"=hex:00,01,\
  fe,ff
"Unterminated"=hex(1):41,00,42,00
"Other"=hex(b):01,00,00,00,00,00,00,00

[Software\\Wow6432Node\\Shared] 1797008459
#link
"SymbolicLinkValue"=hex(6):5c,00

[Software\\Tar\]nwell] 1797008459
"In bracket key"="y"
'''

USER_REG = r'''WINE REGISTRY Version 2
;; All keys relative to REGISTRY\\User\\S-1-5-21-0-0-0-1000

[Software\\Tarnwell\\User] 1797008459
"Name"="value"
'''


class WineHiveTest(unittest.TestCase):
    def setUp(self):
        self.prefix = tempfile.TemporaryDirectory()
        for name, text in (("system.reg", SYSTEM_REG), ("user.reg", USER_REG)):
            with open(os.path.join(self.prefix.name, name), "w", encoding="utf-8") as f:
                f.write(text)
        self.values = {(k, n): (t, d) for k, n, t, d in swkstate.wine_registry_values(self.prefix.name)}

    def tearDown(self):
        self.prefix.cleanup()

    def test_strings_and_their_escapes(self):
        key = "hklm\\software\\tarnwell\\escapes"
        cases = [
            ("@", "C:\\Program Files\\Tarnwell"),
            ('Quote "q"', 'say "hi"\r\n'),
            ("Accents", "Donn\u00e9es \u65e5\u672c"),
            ("Short hex", "\u00e9!"),  # fewer than four digits when no hex digit follows
            ("Octal", "a\x01b\x012"),
            ("Bracket]", "x"),
        ]
        for name, data in cases:
            with self.subTest(name=name):
                self.assertEqual(self.values[(key, name)], ("REG_SZ", data))

    def test_every_kind_of_value(self):
        key = "hklm\\software\\tarnwell\\kinds"
        cases = [
            ("Number", ("REG_DWORD", "314")),
            ("Expand", ("REG_EXPAND_SZ", "%SystemRoot%\\swk")),
            ("Multi", ("REG_MULTI_SZ", "one\0two")),
            ("Binary", ("REG_BINARY", "0001feff")),
            ("Unterminated", ("REG_SZ", "AB")),
            ("Other", ("REG_TYPE_11", "0100000000000000")),
        ]
        for name, expected in cases:
            with self.subTest(name=name):
                self.assertEqual(self.values[(key, name)], expected)

    def test_keys_of_both_hives_and_links(self):
        self.assertEqual(self.values[("hkcu\\software\\tarnwell\\user", "Name")], ("REG_SZ", "value"))
        self.assertEqual(self.values[("hklm\\software\\tar]nwell", "In bracket key")], ("REG_SZ", "y"))
        self.assertFalse([k for k, _ in self.values if k.startswith("hklm\\software\\wow6432node")])


if __name__ == "__main__":
    unittest.main()
