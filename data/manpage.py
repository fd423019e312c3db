#!/usr/bin/env python3
"""Writes the manual page: the template with the options and the description that the built program's
--help prints, so the two cannot drift apart. Usage: manpage.py PROGRAM TEMPLATE OUTPUT VERSION DATADIR"""

import os
import re
import subprocess
import sys

def roff(text):
    """Plain text as roff: backslashes and dashes escaped, no line starting as a request."""
    text = text.replace("\\", "\\e").replace("-", "\\-")
    return re.sub(r"(?m)^([.'])", r"\\&\1", text)

def head(line):
    """'-f,  --fullscr' or '--width <pixels>': names in bold, values in italics."""
    parts = re.split(r"(<[^>]*>)", line.strip())
    return "".join("\\fI%s\\fR" % roff(p[1:-1]) if p.startswith("<") else
                   re.sub(r"(\S+)", r"\\fB\1\\fR", roff(p)) for p in parts if p)

def main(program, template, output, version, datadir):
    env = dict(os.environ, ASAN_OPTIONS="detect_leaks=0")  # a sanitizer build's --help exits with Qt's allocations
    text = subprocess.run([program, "--help"], capture_output=True, text=True, env=env, check=True).stdout
    blocks = [b for b in re.split(r"\n[ \t]*\n", text.split("Where:", 1)[1]) if b.strip()]
    options, description = [], []
    for block in blocks:
        lines = block.strip("\n").splitlines()
        first = lines[0].strip()
        if first.startswith(("-", "<")):
            options.append(".TP\n%s\n%s" % (head(first), roff(" ".join(l.strip() for l in lines[1:]))))
        else:
            description.append(roff(" ".join(l.strip() for l in lines)))
    with open(template) as f:
        page = f.read()
    for key, value in (("VERSION", roff(version)), ("DATADIR", roff(datadir)), ("OPTIONS", "\n".join(options)),
                       ("DESCRIPTION", "\n.PP\n".join(description))):
        page = page.replace("@%s@" % key, value)
    with open(output + ".tmp", "w") as f:
        f.write(page)
    os.replace(output + ".tmp", output)

if __name__ == "__main__":
    main(*sys.argv[1:6])
