#!/usr/bin/env python3
"""Checks that includes run downward only: app -> the subsystems -> core, no subsystem into another
(except import/ filling the recipient table model). Prints every include that breaks this; exits 1 then."""
import pathlib
import re
import sys

ALLOWED = {
    "core": {"core"},
    "settings": {"core", "settings"},
    "recipients": {"core", "recipients"},
    "mailing": {"core", "mailing"},
    "import": {"core", "import"},
    "signin": {"core", "signin"},
    "app": {"core", "settings", "recipients", "mailing", "signin", "import", "app"},
}
# The one crossing between subsystems: the import fills the recipient table.
EXCEPTIONS = {("import", "recipients/recipienttablemodel.h")}

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".")
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
broken = []
for folder, allowed in ALLOWED.items():
    for source in sorted((root / folder).rglob("*")):
        if source.suffix not in (".h", ".cpp"):
            continue
        for number, line in enumerate(source.read_text(encoding="utf-8").splitlines(), 1):
            match = include.match(line)
            if not match or "/" not in match.group(1):
                continue
            target = match.group(1)
            if target.split("/")[0] in allowed or (folder, target) in EXCEPTIONS:
                continue
            broken.append(f"{source.relative_to(root)}:{number}: includes {target}")
print("\n".join(broken) if broken else "includes run downward only")
sys.exit(1 if broken else 0)
