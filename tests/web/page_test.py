#!/usr/bin/env python3
"""The page converts as talvine-cli does.

    page_test.py BUILD_DIR [--page PAGE] [--screenshot PNG]

BUILD_DIR is a native build with talvine-cli and talvine-web-set. The page
is PAGE or $TALVINE_WEB_PAGE (skipped, status 77, without one); its engine,
for the run under Node.js, is build-web/app/web/talvine-web.js beside it or
$TALVINE_WEB_ENGINE.

1. The engine under Node.js converts the examples and a generated set (every
   version of both formats, Japanese names, broken files) into the very
   bytes and log lines of talvine-cli.
2. The page, opened from file:// in headless Chromium, takes the same files
   through its file input and logs what talvine-cli logs; its results are
   the same bytes; a picked folder keeps its tree in the zip; a file saved
   alone is the same bytes; a long run stops before its next file when
   asked; the comparison picture shows; and the page made no network
   request (Chromium's performance log).
With --screenshot only the examples are converted and the page is saved as
a PNG picture.
"""
import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def run(cmd, cwd):
    r = subprocess.run(cmd, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return r.returncode, r.stdout.decode("utf-8"), r.stderr.decode("utf-8")


def tree_files(root):
    out = {}
    for folder, _, names in os.walk(root):
        for n in names:
            p = os.path.join(folder, n)
            out[os.path.relpath(p, root)] = open(p, "rb").read()
    return out


def flat_inputs(work, build):
    """The examples and the generated set's files in one folder, sorted."""
    setdir = os.path.join(work, "set")
    subprocess.run([os.path.join(build, "talvine-web-set"), setdir], check=True)
    flat = os.path.join(work, "flat")
    os.makedirs(flat)
    for name in ("plan.jww", "door.jws"):
        shutil.copy(os.path.join(SOURCE, "examples", name), flat)
    for sub in ("版", "壊れた"):
        for name in os.listdir(os.path.join(setdir, sub)):
            shutil.copy(os.path.join(setdir, sub, name), flat)
    shutil.copy(os.path.join(setdir, "メモ.txt"), flat)
    return setdir, flat, sorted(os.listdir(flat))


def cli_reference(cli, flat, names):
    os.makedirs(os.path.join(flat, "talvine"), exist_ok=True)
    _, log, _ = run([cli, "-o", "talvine"] + names, flat)
    outputs = tree_files(os.path.join(flat, "talvine"))
    shutil.rmtree(os.path.join(flat, "talvine"))
    return log.splitlines(), outputs


def check_engine(engine, work, flat, names, cli_log, cli_out):
    out = os.path.join(work, "node-out")
    r = subprocess.run(["node", os.path.join(HERE, "convert.js"), engine, out] + names, cwd=flat,
                       stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    if r.returncode != 0:
        fail("the engine under Node.js: " + r.stderr.decode("utf-8"))
    log = r.stdout.decode("utf-8").splitlines()
    if log != cli_log:
        fail("the engine's log differs from talvine-cli's:\n" + "\n".join(log) + "\n---\n" + "\n".join(cli_log))
    got = tree_files(os.path.join(out, "talvine"))
    if got != cli_out:
        fail("the engine's outputs differ from talvine-cli's: %s" % sorted(set(got) ^ set(cli_out)
             or [k for k in got if got[k] != cli_out.get(k)]))
    print("engine under Node.js: %d log lines and %d outputs as talvine-cli's" % (len(log), len(got)))


def browser(download_dir, lang="ja"):
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    options = webdriver.ChromeOptions()
    for a in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
              "--window-size=1100,1000", "--lang=" + lang):
        options.add_argument(a)
    options.binary_location = "/usr/bin/chromium"
    options.set_capability("goog:loggingPrefs", {"performance": "ALL"})
    options.add_experimental_option("prefs", {
        "download.default_directory": download_dir,
        "download.prompt_for_download": False,
        "intl.accept_languages": lang,
    })
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Page.setDownloadBehavior", {"behavior": "allow", "downloadPath": download_dir})
    return driver


def wait(driver, condition, what, seconds=120):
    end = time.time() + seconds
    while time.time() < end:
        v = driver.execute_script("return " + condition)
        if v:
            return v
        time.sleep(0.05)
    fail("timed out waiting for " + what)


def run_page(driver, input_id, paths):
    driver.execute_script("window.talvine.log = []")
    box = driver.find_element("id", input_id)
    box.send_keys("\n".join(paths))
    wait(driver, "window.talvine.ready && !window.talvine.running && window.talvine.log.length > 0 && "
                 "document.getElementById('stop').disabled", "the run to end")
    return driver.execute_script("return window.talvine.log")


def page_results(driver):
    items = driver.execute_script("""
        return window.talvine.results.filter(r => r.done).map(r => {
            let s = ''; const b = r.bytes;
            for (let i = 0; i < b.length; i += 8192) s += String.fromCharCode.apply(null, b.subarray(i, i + 8192));
            return [r.dst, btoa(s)];
        });""")
    return {dst[len("talvine/"):]: base64.b64decode(data) for dst, data in items}


def wait_download(folder, name, seconds=60):
    path = os.path.join(folder, name)
    end = time.time() + seconds
    while time.time() < end:
        if os.path.exists(path) and not os.path.exists(path + ".crdownload"):
            time.sleep(0.2)
            return open(path, "rb").read()
        time.sleep(0.1)
    fail("no download " + name)


def network_requests(driver):
    urls = []
    for entry in driver.get_log("performance"):
        m = json.loads(entry["message"])["message"]
        if m.get("method") == "Network.requestWillBeSent":
            urls.append(m["params"]["request"]["url"])
    return [u for u in urls if not u.startswith(("file:", "blob:", "data:"))]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("build")
    ap.add_argument("--page", default=os.environ.get("TALVINE_WEB_PAGE", ""))
    ap.add_argument("--screenshot")
    a = ap.parse_args()
    if not a.page or not os.path.exists(a.page):
        print("no page (make web writes it; TALVINE_WEB_PAGE names it): skipped")
        sys.exit(77)
    page = os.path.abspath(a.page)
    build = os.path.abspath(a.build)
    cli = os.path.join(build, "talvine-cli")
    engine = os.environ.get("TALVINE_WEB_ENGINE") or os.path.join(SOURCE, "build-web", "app", "web", "talvine-web.js")

    work = tempfile.mkdtemp(prefix="talvine-web-test-")
    downloads = os.path.join(work, "downloads")
    os.makedirs(downloads)
    driver = None
    try:
        if a.screenshot:
            examples = [os.path.join(SOURCE, "examples", n) for n in ("door.jws", "plan.jww")]
            driver = browser(downloads)
            driver.get("file://" + page)
            wait(driver, "window.talvine && window.talvine.ready", "the engine")
            run_page(driver, "fileInput", examples)
            driver.set_window_size(1000, 760)
            driver.save_screenshot(a.screenshot)
            print("Wrote " + a.screenshot)
            return

        setdir, flat, names = flat_inputs(work, build)
        cli_log, cli_out = cli_reference(cli, flat, names)
        if os.path.exists(engine):
            check_engine(engine, work, flat, names, cli_log, cli_out)

        driver = browser(downloads)
        started = time.time()
        driver.get("file://" + page)
        wait(driver, "window.talvine && window.talvine.ready", "the engine")
        print("page ready in %.2f s" % (time.time() - started))
        if driver.execute_script("return document.getElementById('pickFiles').textContent") != \
                "ここをクリックして変換するファイルを選択して下さい。":
            fail("the page does not speak Japanese first")

        # The flat set through the file input: the log and the bytes of talvine-cli.
        log = run_page(driver, "fileInput", [os.path.join(flat, n) for n in names])
        if log != cli_log:
            fail("the page's log differs from talvine-cli's:\n" + "\n".join(log) + "\n---\n" + "\n".join(cli_log))
        got = page_results(driver)
        if got != cli_out:
            fail("the page's outputs differ from talvine-cli's")

        # Files dropped onto the page convert as picked ones do.
        driver.execute_script("window.talvine.log = []")
        dropped = {n: base64.b64encode(open(os.path.join(SOURCE, "examples", n), "rb").read()).decode()
                   for n in ("plan.jww", "door.jws")}
        driver.execute_script("""
            const t = new DataTransfer();
            for (const [name, data] of Object.entries(arguments[0]))
                t.items.add(new File([Uint8Array.from(atob(data), c => c.charCodeAt(0))], name));
            document.getElementById('drop').dispatchEvent(new DragEvent('drop', {dataTransfer: t, bubbles: true, cancelable: true}));
            """, dropped)
        wait(driver, "window.talvine.ready && !window.talvine.running && window.talvine.log.length > 0 && "
                     "document.getElementById('stop').disabled", "the dropped files' run to end")
        dropped_log = driver.execute_script("return window.talvine.log")
        if not any(line.startswith("変換 2・") for line in dropped_log):
            fail("two dropped files were not converted:\n" + "\n".join(dropped_log))
        for reason in ("　原因：ファイルが壊れているか、途中で切れています",
                       "　原因：中身は図形ファイル（.jws）です。拡張子を .jws にしてください",
                       "　原因：ブロックの入れ子が複雑すぎて扱えません"):
            if reason not in log:
                fail("the log lacks the reason " + reason)
        print("page: %d log lines and %d outputs as talvine-cli's" % (len(log), len(got)))

        # One result saved alone.
        driver.find_element("css selector", "#results a.save").click()
        first = driver.execute_script("return window.talvine.results.find(r => r.done).dst")
        if wait_download(downloads, first.split("/")[-1]) != cli_out[first[len("talvine/"):]]:
            fail("the file saved alone differs from talvine-cli's")

        # The comparison picture of a file.
        driver.find_element("css selector", "#results button.compare").click()
        wait(driver, "document.getElementById('pictureDialog').open && "
                     "document.querySelector('#picture img') && document.querySelector('#picture img').naturalWidth > 0",
             "the comparison picture")
        driver.find_element("id", "closePicture").click()

        # A folder keeps its tree, in the page and in the zip.
        tree = os.path.join(setdir, "現場A")
        log = run_page(driver, "folderInput", [tree])
        _, _, _ = run([cli, "-r", "-o", os.path.join(work, "cli-tree"), tree], work)
        expected = {os.path.join("現場A", k): v for k, v in tree_files(os.path.join(work, "cli-tree")).items()}
        if page_results(driver) != expected:
            fail("the folder's outputs differ from talvine-cli's: %s" % sorted(page_results(driver)))
        driver.find_element("id", "zip").click()
        with zipfile.ZipFile(__import__("io").BytesIO(wait_download(downloads, "talvine.zip"))) as z:
            inzip = {n: z.read(n) for n in z.namelist()}
        if inzip != {"talvine/" + k: v for k, v in expected.items()}:
            fail("the zip's tree: %s" % sorted(inzip))
        print("folder: %d files in the zip's tree, as talvine-cli's" % len(inzip))

        # A long run stops before its next file.
        many = os.path.join(setdir, "多数")
        driver.execute_script("window.talvine.log = []")
        driver.find_element("id", "folderInput").send_keys(many)
        wait(driver, "window.talvine.results.length > 0", "the first file of the long run")
        driver.find_element("id", "stop").click()
        wait(driver, "!window.talvine.running && document.getElementById('stop').disabled", "the stop")
        log = driver.execute_script("return window.talvine.log")
        done = driver.execute_script("return window.talvine.results.length")
        left = 400 - done
        if not (0 < done < 400) or log[-2] != "中断しました。未変換のファイル %d 件" % left or \
                "・未変換 %d" % left not in log[-1]:
            fail("the stop: %d done, last lines %s" % (done, log[-2:]))
        print("stop: %d of 400 files converted, the rest left" % done)

        requests = network_requests(driver)
        if requests:
            fail("the page made network requests: %s" % requests[:5])
        print("no network request")

        # English for a browser that asks for it; the log stays that of talvine-cli.
        driver.quit()
        driver = browser(downloads, "en-US")
        driver.get("file://" + page)
        wait(driver, "window.talvine && window.talvine.ready", "the engine in English")
        if driver.execute_script("return document.getElementById('pickFiles').textContent") != \
                "click here to choose the files to convert.":
            fail("the page does not speak English to an English browser")
        print("English for an English browser")
    finally:
        if driver:
            driver.quit()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
