#!/usr/bin/env python3
# Fails when a source file includes a header of a room above its own.
#
# Rooms from the bottom: platform, netconfig, then the log reader (logread)
# and the service, then the tool's shared rooms (cli, machine, runtext), its
# verbs (preview, status, report, doctor), the host's reader of the report's
# lines (fleet), and its entry (nubora/main.cpp).
# A file may include its own room's headers and those of rooms below it; the
# one sideways arrow is report -> doctor (the findings told at boot). Nothing
# outside service/ includes it: it is the service executable's own.
import pathlib
import re
import sys

# Rooms by layer, the lowest first; "nubora" is main.cpp, "nubora/fleet" reads
# the report's console lines on the host.
LAYERS = ["platform", "netconfig", "logread service", "nubora/cli nubora/machine nubora/runtext",
          "nubora/preview nubora/status nubora/report nubora/doctor", "nubora/fleet", "nubora"]
RANK = {room: rank for rank, rooms in enumerate(LAYERS) for room in rooms.split()}
SIDEWAYS = {("nubora/report", "nubora/doctor")}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def room(path):
    parts = pathlib.PurePosixPath(path).parts
    if len(parts) > 2 and parts[0] == "nubora":
        return "nubora/" + parts[1]
    return parts[0] if parts[0] in RANK else None


def wrong_way(path, text):
    """The includes in `text` (the file at `path`) that run upward."""
    own = room(path)
    if own is None:
        return []
    found = []
    for header in INCLUDE.findall(text):
        other = room(header)
        if other is None or other == own or (own, other) in SIDEWAYS:
            continue
        if RANK[other] >= RANK[own] or other == "service":
            found.append(f"{path}: includes {header} ({own} may not include {other})")
    return found


def main(root):
    # The check itself, on a planted upward include and its allowed neighbour.
    assert wrong_way("netconfig/run.cpp", '#include "logread/run_log.h"\n')
    assert wrong_way("nubora/cli/arguments.cpp", '#include "service/installer.h"\n')
    assert not wrong_way("nubora/report/report.cpp", '#include "nubora/doctor/doctor.h"\n')
    root = pathlib.Path(root)
    problems = []
    for file in sorted(root.rglob("*")):
        relative = file.relative_to(root).as_posix()
        if file.suffix in (".cpp", ".h") and not relative.startswith(("build/", "tests/")):
            problems += wrong_way(relative, file.read_text(errors="replace"))
    print("\n".join(problems) or "every include runs downward")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else "."))
