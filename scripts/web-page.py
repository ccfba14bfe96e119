#!/usr/bin/env python3
"""Writes the page: one HTML file with the engine (JavaScript with the
WebAssembly inside), the worker, the script and the styles of app/web in it,
so that it works opened from disk and asks for nothing else.

    scripts/web-page.py ENGINE.js APP_WEB_DIR OUTPUT.html

The notices of the libraries built into the engine (zlib, {fmt},
fast_float, and fdlibm's in util/Maths.cpp) are shown at the foot of the
page.
"""
import html
import os
import re
import sys

LIMIT = 4 * 1024 * 1024  # the page must stay small enough to mail


def main():
    engine_path, web_dir, out_path = sys.argv[1:4]

    def read(name):
        with open(os.path.join(web_dir, name), encoding="utf-8") as f:
            return f.read()

    with open(engine_path, encoding="utf-8") as f:
        engine = f.read()
    notices = []
    source = os.path.dirname(os.path.dirname(os.path.abspath(web_dir)))
    with open(os.path.join(source, "util", "Maths.cpp"), encoding="utf-8") as f:
        m = re.search(r"// =+\n((?://[^=\n][^\n]*\n|//\n)*)// =+\n", f.read())
        if not m:
            sys.exit("web-page: util/Maths.cpp has no notice")
        notices.append(("fdlibm", re.sub(r"(?m)^// ?", "", m.group(1))))
    for name, path in (("zlib", "/usr/share/doc/zlib1g/copyright"),
                       ("{fmt}", "/usr/share/doc/libfmt-dev/copyright"),
                       ("fast_float", "/usr/share/doc/libfast-float-dev/copyright")):
        with open(path, encoding="utf-8") as f:
            notices.append((name, f.read()))
    licences = "".join("<h3>%s</h3><pre>%s</pre>" % (html.escape(n), html.escape(t)) for n, t in notices)
    parts = {
        "/*STYLE*/": read("page.css"),
        "/*ENGINE*/": engine,
        "/*WORKER*/": read("worker.js"),
        "/*SCRIPT*/": read("page.js"),
    }
    page = read("page.html").replace("<!--LICENCES-->", licences)
    for marker, text in parts.items():
        # A script inside the page must not end its element early.
        if re.search(r"</script", text, re.IGNORECASE):
            sys.exit("web-page: %s holds </script" % marker)
        if page.count(marker) != 1:
            sys.exit("web-page: the page has no single %s" % marker)
        page = page.replace(marker, text)
    data = page.encode("utf-8")
    if len(data) > LIMIT:
        sys.exit("web-page: %d bytes, more than %d" % (len(data), LIMIT))
    os.makedirs(os.path.dirname(out_path) or ".", exist_ok=True)
    tmp = out_path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, out_path)
    print("Wrote %s (%d bytes)" % (out_path, len(data)))


if __name__ == "__main__":
    main()
