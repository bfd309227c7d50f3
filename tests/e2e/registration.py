#!/usr/bin/env python3
# The registration tests/data/registration.table holds, as one registrar
# leaves it, in the form a check reads:
#   registration.py system.reg|export [--tool PATH] [--options WORDS] [--unquoted] [KEY...]
# system.reg: the value lines of Wine's registry file (non-ASCII as \x...);
# export: "reg export" in UTF-8, each key's header first, hex(2) data on one
# line. <tool> is PATH, <options> WORDS (none by default); --unquoted: an
# ImagePath's program without its quotes (Wine's msiexec writes it so).
# KEY: only these keys (all by default), in the table's order.
import argparse
import os

parser = argparse.ArgumentParser()
parser.add_argument("form", choices=["system.reg", "export"])
parser.add_argument("--tool", default="")
parser.add_argument("--options", default="")
parser.add_argument("--unquoted", action="store_true")
parser.add_argument("keys", nargs="*")
args = parser.parse_intermixed_args()


def value(kind, data):
    if kind == "dword":
        return "dword:%08x" % int(data)
    if kind == "expand" and args.form == "export":
        return "hex(2):" + ",".join("%02x" % b for b in (data + "\0").encode("utf-16-le"))
    data = '"%s"' % data.replace("\\", "\\\\").replace('"', '\\"')
    if args.form == "system.reg":
        data = "".join(c if ord(c) < 128 else "\\x%x" % ord(c) for c in data)
    return {"sz": "", "expand": "str(2):"}[kind] + data  # another type: KeyError


table = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../data/registration.table")
seen = []
for line in open(table, encoding="utf-8"):
    key, name, kind, data = line.rstrip("\n").split("\t") if line[0] != "#" else [""] * 4
    if not key or (args.keys and key not in args.keys):
        continue
    data = data.replace("<tool>", args.tool).replace("<options>", args.options)
    if args.unquoted and name == "ImagePath" and data.startswith('"'):
        data = data[1:].replace('"', "", 1)
    if args.form == "export" and key not in seen:
        print("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\%s]" % key)
    seen += [key]
    print('"%s"=%s' % (name, value(kind, data)))
if not seen or set(args.keys) - set(seen):
    raise SystemExit("registration.table: no key " + " ".join(set(args.keys) - set(seen)))
