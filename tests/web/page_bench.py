#!/usr/bin/env python3
"""Converts the bench drawing in the page and with talvine-cli on the same
machine, and a drawing of more than 100 MB in the page.

    page_bench.py BUILD_DIR PAGE

BUILD_DIR is a native build with talvine-cli and talvine-web-set. Prints the
median of three conversions each, then for scripts:
  web_s=<seconds>  native_s=<seconds>  web_over_native=<ratio>
  web_large_MB=<size>  web_large_s=<seconds>  web_large_result=<the log's result>
"""
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import page_test  # noqa: E402


def page_seconds(driver, path):
    log = page_test.run_page(driver, "fileInput", [path])
    return driver.execute_script("return window.talvine.lastRunMs") / 1000.0, log


def main():
    build, page = (os.path.abspath(p) for p in sys.argv[1:3])
    work = tempfile.mkdtemp(prefix="talvine-web-bench-")
    driver = None
    try:
        drawing = os.path.join(work, "bench.jww")
        subprocess.run([os.path.join(build, "talvine-web-set"), "--large", drawing, "1"], check=True)
        print("bench drawing: %.1f MB" % (os.path.getsize(drawing) / 1e6))

        native = []
        for k in range(3):
            out = os.path.join(work, "out%d" % k)
            started = time.perf_counter()
            subprocess.run([os.path.join(build, "talvine-cli"), "-q", "-o", out, drawing], check=True,
                           stdout=subprocess.DEVNULL)
            native.append(time.perf_counter() - started)
            shutil.rmtree(out)

        driver = page_test.browser(os.path.join(work, "downloads"))
        driver.get("file://" + page)
        page_test.wait(driver, "window.talvine && window.talvine.ready", "the engine")
        web = []
        for _ in range(3):
            seconds, log = page_seconds(driver, drawing)
            if "　…… 変換完了" not in log:
                page_test.fail("the page did not convert the bench drawing: %s" % log)
            web.append(seconds)
        w, n = statistics.median(web), statistics.median(native)
        print("web_s=%.3f" % w)
        print("native_s=%.3f" % n)
        print("web_over_native=%.2f" % (w / n))

        # More than 100 MB: memory grows as needed.
        large = os.path.join(work, "large.jww")
        os.remove(drawing)
        subprocess.run([os.path.join(build, "talvine-web-set"), "--large", large, "3"], check=True)
        seconds, log = page_seconds(driver, large)
        result = [l for l in log if l.startswith("　…… ")]
        print("web_large_MB=%.1f" % (os.path.getsize(large) / 1e6))
        print("web_large_s=%.3f" % seconds)
        print("web_large_result=%s" % (result[0].strip("　… ") if result else "none"))
        if not result or "変換完了" not in result[0]:
            print("\n".join(log))
            sys.exit(1)
    finally:
        if driver:
            driver.quit()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
