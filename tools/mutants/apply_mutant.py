#!/usr/bin/env python3
"""Lists the mutants of mutants.txt, or applies one to a copy of the tree.

  apply_mutant.py LIST                 names, one a line
  apply_mutant.py LIST NAME TREE       applies NAME's edits to the files under TREE
  apply_mutant.py LIST NAME            the files NAME edits
Each edit's text must be in its file exactly once; otherwise the mutant no longer
fits the code and the exit status is 3.
"""
import sys


def parse(path):
    mutants, current, edit = [], None, None
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if not line or line.startswith("#"):
            continue
        key, _, value = line.partition(" " if line.startswith("mutant ") else ": ")
        value = value.replace("\\n", "\n")
        if key == "mutant":
            current = {"name": value, "what": "", "edits": []}
            mutants.append(current)
        elif key == "what":
            current["what"] = value
        elif key == "file":
            edit = {"file": value}
            current["edits"].append(edit)
        elif key in ("find", "replace"):
            edit[key] = value
        else:
            sys.exit("%s: cannot read: %s" % (path, line))
    return mutants


def main():
    mutants = parse(sys.argv[1])
    if len(sys.argv) == 2:
        for m in mutants:
            print("%s\t%s" % (m["name"], m["what"]))
        return
    name = sys.argv[2]
    chosen = [m for m in mutants if m["name"] == name]
    if not chosen:
        sys.exit("no mutant %s" % name)
    if len(sys.argv) == 3:
        print("\n".join(sorted({e["file"] for e in chosen[0]["edits"]})))
        return
    tree = sys.argv[3]
    for edit in chosen[0]["edits"]:
        path = tree + "/" + edit["file"]
        text = open(path, encoding="utf-8").read()
        if text.count(edit["find"]) != 1:
            print("mutant %s no longer fits %s" % (name, edit["file"]), file=sys.stderr)
            sys.exit(3)
        open(path, "w", encoding="utf-8").write(text.replace(edit["find"], edit["replace"]))


main()
