#!/usr/bin/env python3
"""The real downloader under Wine against the stand-in vendor server.

    e2e.py GROUP      GROUP is one of: install, failures, progress, cancel

Runs inside the test environment (TARNWICK_TESTENV) with the stand-in server
already up (STANDIN_STATE, from the download.standin.up fixture).
"""
import glob
import os
import shutil
import subprocess
import sys
import time

EXIT_STARTED, EXIT_DOWNLOAD_FAILED, EXIT_USER_CANCELLED = 0, 2, 1602
SKIP = 77
FAILED_TEXT = "Failed to download file"
DOWNLOADING_TEXT = "Downloading https://"


def load_env():
    env = dict(os.environ)
    for script in (os.path.join(os.environ["TARNWICK_TESTENV"], "env.sh"),
                   os.path.join(os.environ["STANDIN_STATE"], "env.sh")):
        out = subprocess.run(["bash", "-c", '. "$0" && env -0', script], env=env,
                             check=True, capture_output=True).stdout
        env = dict(item.split("=", 1) for item in out.decode().split("\0") if "=" in item)
    return env


ENV = load_env()
BUILD = os.environ["TARNWICK_BINARY_DIR"]
STATE = os.environ["STANDIN_STATE"]
PREFIX = ENV["WINEPREFIX"]
EXE = os.path.join(BUILD, "app", "CorvantisClientDownloader.exe")
INSPECT = os.path.join(BUILD, "tools", "standin", "standin_inspect.exe")
SERVED = os.path.join(STATE, "www", "vtc", "v20")
DRIVE_C = os.path.join(PREFIX, "drive_c")
USER_HOME = glob.glob(os.path.join(DRIVE_C, "users", "*", "Downloads"))
DOWNLOADS = os.path.realpath(USER_HOME[0]) if USER_HOME else None
MSI_MARKERS = {
    "x64": os.path.join(DRIVE_C, "Program Files", "Corvantis", "VTC Client", "vtcclient-x64.marker"),
    "x86": os.path.join(DRIVE_C, "Program Files (x86)", "Corvantis", "VTC Client",
                        "vtcclient-x86.marker"),
}
BASIC_MARKERS = os.path.join(DRIVE_C, "ProgramData", "Corvantis", "StandIn")

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)


def set_mode(mode):
    with open(os.path.join(STATE, "mode"), "w") as f:
        f.write(mode + "\n")


def requests_made():
    try:
        with open(os.path.join(STATE, "requests.log")) as f:
            return f.read().splitlines()
    except OSError:
        return []


def wine(args, **kw):
    return subprocess.Popen(["wine"] + args, env=ENV, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True, **kw)


class Watcher:
    """standin_inspect watching the dialog while the program runs."""

    def __init__(self, timeout_ms, until=""):
        self.proc = wine([INSPECT, "watch", str(timeout_ms)] + ([until] if until else []))

    def result(self, timeout=120):
        out, _ = self.proc.communicate(timeout=timeout)
        return dict(line.split("=", 1) for line in out.splitlines() if "=" in line)


def run_program(args, mode="normal", timeout=120, watch=None, typed=False):
    """Runs the downloader; returns (exit code, what the watcher saw).

    typed: the command line reaches the program as a user types it in a console.
    Wine quotes an argument with blanks ("-installfromloc='a b'"), and the program
    accepts an option only at the line's start or after a blank, so such a line
    goes through cmd.exe, which hands it on unchanged."""
    set_mode(mode)
    proc = wine(["cmd", "/c", " ".join([windows_path(EXE)] + args)] if typed else [EXE] + args)
    watcher = Watcher(*watch) if watch else None
    try:
        proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        check(False, "program ended within %ds (%s)" % (timeout, " ".join(args)))
    seen = watcher.result() if watcher else {}
    set_mode("normal")
    return proc.returncode, seen


def exit_code_is(rc, expected):
    # Linux sees the low 8 bits of the Windows exit code.
    return rc == expected & 0xFF


def wait_for(path, seconds=90):
    end = time.time() + seconds
    while time.time() < end:
        if os.path.exists(path):
            return True
        time.sleep(0.5)
    return False


def same_file(a, b):
    with open(a, "rb") as x, open(b, "rb") as y:
        return x.read() == y.read()


def remove(path):
    try:
        os.remove(path)
    except OSError:
        pass


def basic_marker(name):
    return os.path.join(BASIC_MARKERS, name + ".marker")


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# ---------------------------------------------------------------- groups

def group_install():
    local = os.path.join(DOWNLOADS, "VTCClient-x64.msi")
    # An older file of the same name is replaced, not appended to.
    with open(local, "wb") as f:
        f.write(b"stale" * 10000)
    before = len(requests_made())
    rc, _ = run_program(["-silent='1'", "-msiargs='/qn'"])
    check(exit_code_is(rc, EXIT_STARTED), "silent Full run exits with 'installer started' (rc %d)" % rc)
    check(os.path.exists(local) and same_file(local, os.path.join(SERVED, "VTCClient-x64.msi")),
          "x64 MSI downloaded into Downloads, replacing the old file")
    new = requests_made()[before:]
    check(new == ["GET /vtc/v20/VTCClient-x64.msi VTC Client Downloader"],
          "one GET of the x64 package with the program's user agent: %r" % new)
    check(wait_for(MSI_MARKERS["x64"]), "the x64 MSI installed its marker")

    if os.path.exists(os.path.join(os.environ["TARNWICK_TESTENV"], "prefix32.sh")):
        print("note: the x86 MSI in a 32-bit prefix is run by the i686 build's tests")
    else:
        print("skip: no 32-bit prefix here, the x86 MSI in a win32 prefix is not run")

    marker = basic_marker("VTCClient_Basic-x64.exe")
    remove(marker)
    rc, _ = run_program(["-silent='1'", "-installbasic='1'", "-msiargs='/qn'"])
    check(exit_code_is(rc, EXIT_STARTED), "silent Basic run exits with 'installer started' (rc %d)" % rc)
    check(os.path.exists(os.path.join(DOWNLOADS, "VTCClient_Basic-x64.exe")), "Basic package downloaded")
    if wait_for(marker, 60):
        with open(marker, "rb") as f:
            line = f.read().decode("utf-16-le")
        check("/qn" not in line, "the Basic installer got no msiexec arguments: %r" % line)
    else:
        check(False, "the Basic installer ran (its marker exists)")

    # A package on disk, in a folder with blanks: nothing downloaded, no 103 line.
    folder = os.path.join(DRIVE_C, "Stand In Packages")
    os.makedirs(folder, exist_ok=True)
    shutil.copyfile(os.path.join(SERVED, "VTCClient.msi"), os.path.join(folder, "Client Package.msi"))
    before = len(requests_made())
    rc, seen = run_program(["-passive='1'", "-msiargs='/qn'",
                            "-installfromloc='C:\\Stand In Packages\\Client Package.msi'"],
                           watch=(60000,), typed=True)
    check(exit_code_is(rc, EXIT_STARTED), "install from location exits with 'installer started' (rc %d)" % rc)
    check(requests_made()[before:] == [], "install from location downloads nothing")
    check(seen.get("seen") == "1" and DOWNLOADING_TEXT not in seen.get("status", ""),
          "install from location never shows 'Downloading': %r" % seen.get("status"))
    check(wait_for(MSI_MARKERS["x86"]), "the package with blanks in its path was installed by msiexec")


def group_failures():
    full = os.path.join(DOWNLOADS, "VTCClient-x64.msi")
    basic = os.path.join(DOWNLOADS, "VTCClient_Basic-x64.exe")
    marker = basic_marker("VTCClient_Basic-x64.exe")
    served_size = os.path.getsize(os.path.join(SERVED, "VTCClient-x64.msi"))
    for mode in ("404", "500", "reset", "short", "untrusted", "wronghost"):
        remove(full)
        rc, _ = run_program(["-silent='1'", "-msiargs='/qn'"], mode)
        check(exit_code_is(rc, EXIT_DOWNLOAD_FAILED), "%s, silent: download-failure exit code (rc %d)" % (mode, rc))
        if mode in ("404", "500", "untrusted", "wronghost"):
            check(not os.path.exists(full), "%s: no local file created" % mode)
        else:
            size = os.path.getsize(full) if os.path.exists(full) else -1
            check(0 <= size < served_size, "%s: the partial file stays (%d of %d bytes)" % (mode, size, served_size))

        proc_seen = passive_failure(mode)
        check(FAILED_TEXT in proc_seen.get("status", "") and proc_seen.get("button2") == "Close"
              and proc_seen.get("visible") == "1",
              "%s, passive: window stays with 105 and button 2 reads Close: %r" % (mode, proc_seen))
    # A cut body is never handed to the installer.
    remove(marker)
    remove(basic)
    rc, _ = run_program(["-silent='1'", "-installbasic='1'"], "short")
    time.sleep(2)
    check(exit_code_is(rc, EXIT_DOWNLOAD_FAILED) and not os.path.exists(marker),
          "a short body is not started as an installer")


def passive_failure(mode):
    """A passive run that fails: the window must stay until it is closed."""
    set_mode(mode)
    proc = wine([EXE, "-passive='1'", "-installbasic='1'"])
    seen = Watcher(60000, FAILED_TEXT).result()
    time.sleep(1)
    still_running = proc.poll() is None
    subprocess.run(["wine", INSPECT, "close"], env=ENV, stdout=subprocess.DEVNULL)
    try:
        proc.wait(timeout=30)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
        still_running = False
    set_mode("normal")
    if not still_running:
        seen["visible"] = "0"
    return seen


def group_progress():
    size = os.path.getsize(os.path.join(SERVED, "VTCClient_Basic-x64.exe"))
    rc, seen = run_program(["-passive='1'", "-installbasic='1'"], "nolength,slow:32768:0.2",
                           watch=(60000,))
    check(rc == 0 and seen.get("range_max_max") == "100",
          "no Content-Length: the bar's range stays 0..100 (%r)" % seen)
    # The position is sent in bytes; the control holds it at its maximum.
    check(seen.get("pos_max") == "100", "the bar is full (position %s)" % seen.get("pos_max"))
    rc, seen = run_program(["-passive='1'", "-installbasic='1'"], "slow:65536:0.3", watch=(60000,))
    check(rc == 0 and seen.get("range_max_max") == str(size),
          "with Content-Length the range is the body's size %d (%r)" % (size, seen))
    check(DOWNLOADING_TEXT in seen.get("status", ""), "the status shows 'Downloading <url>...'")


def group_cancel():
    for how in ("close", "click"):
        # The passive run takes the Basic package, the ordinary one the Full package.
        if how == "close":
            marker = basic_marker("VTCClient_Basic-x64.exe")
            local = os.path.join(DOWNLOADS, "VTCClient_Basic-x64.exe")
        else:
            marker = MSI_MARKERS["x64"]
            local = os.path.join(DOWNLOADS, "VTCClient-x64.msi")
        remove(marker)
        remove(local)
        set_mode("slow:256:0.5")
        # A passive run hides button 2: the title bar's close box ends it. An ordinary
        # run by an administrator starts at once and shows Cancel on button 2.
        args = ["-passive='1'", "-installbasic='1'"] if how == "close" else []
        proc = wine([EXE] + args)
        seen = Watcher(60000, DOWNLOADING_TEXT).result()
        time.sleep(1.5)
        check(proc.poll() is None and DOWNLOADING_TEXT in seen.get("status", ""),
              "%s: the download is under way" % how)
        if how == "click":
            check(seen.get("button2") == "Cancel", "button 2 reads Cancel during the download")
        started = time.time()
        subprocess.run(["wine", INSPECT] + (["close"] if how == "close" else ["click", "2"]),
                       env=ENV, stdout=subprocess.DEVNULL)
        try:
            proc.wait(timeout=15)
            elapsed = time.time() - started
            check(elapsed < 10, "%s: the program ended promptly (%.1fs)" % (how, elapsed))
            check(exit_code_is(proc.returncode, EXIT_USER_CANCELLED),
                  "%s: exit code is the user's cancel (rc %d)" % (how, proc.returncode))
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            check(False, "%s: the program ended after the dialog closed" % how)
        set_mode("normal")
        time.sleep(3)
        check(os.path.exists(local), "%s: the partly written package stays" % how)
        check(not os.path.exists(marker), "%s: no installer was started after the cancel" % how)


GROUPS = {"install": group_install, "failures": group_failures,
          "progress": group_progress, "cancel": group_cancel}


def main():
    if not os.path.exists(EXE):
        print("skip: %s was not built" % EXE)
        return SKIP
    if not DOWNLOADS:
        print("FAIL: no Downloads folder in the prefix")
        return 1
    GROUPS[sys.argv[1]]()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
