#!/usr/bin/env python3
"""The built-in network sources measured on the real program (veltaro --headless).

Prints a Markdown table of figures and asserts nothing:
  latency         rigctld told a new frequency ("F <hz>" over its socket) -> the command at the
                  controller's pty, median and p99 over CHANGES changes 20 kHz apart; beside the
                  floor: a rigctld round trip ("f") plus a write through a pty pair
  idle CPU        the program polling an unchanging rigctld every 100 ms, over IDLE_SECONDS,
                  beside Hamlib's own rigctl asking the same questions ("s", then "f") of the
                  same rigctld every 100 ms on one connection (rigctl reading them from a pipe)
  reconnection    rigctld (or a link publisher, for Commander) gone for 1 s and back: from the
                  server being there again to the program's "Linked to ..." line, median of 5

Needs rigctld (libhamlib-utils), socat and a session bus (scripts/with-session.sh). Environment:
BUILD_DIR (default build/), CHANGES (200), IDLE_SECONDS (60).
"""
import os
import select
import shutil
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
from benchlib import cpu_s, free_port, procs, start, start_headless, stop, wait_until

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.environ.get("BUILD_DIR", os.path.join(root, "build"))
changes = int(os.environ.get("CHANGES", "200"))
idle_s = float(os.environ.get("IDLE_SECONDS", "60"))
tmp = tempfile.mkdtemp()
COMMANDER = "org.veltaro.Link.CI_2dV_20Commander"


def listening(port):
    try:
        socket.create_connection(("127.0.0.1", port), 0.2).close()
        return True
    except OSError:
        return False


def rigctld(port):
    p = start(["rigctld", "-m", "1", "-T", "127.0.0.1", "-t", str(port)],
              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_until(lambda: listening(port))
    return p


def pty_pair(name):
    a, b = os.path.join(tmp, name + "-a"), os.path.join(tmp, name + "-b")
    start(["socat", f"pty,raw,echo=0,link={a}", f"pty,raw,echo=0,link={b}"],
          stderr=subprocess.DEVNULL)
    wait_until(lambda: os.path.exists(a) and os.path.exists(b))
    return a, b


class Headless:
    """veltaro --headless with its own settings; its standard error read with time stamps."""

    def __init__(self, name, settings):
        self.proc = start_headless(build, os.path.join(tmp, name), settings)
        self.lines = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for line in self.proc.stderr:
            self.lines.append((time.monotonic(), line.strip()))

    def line_after(self, t0, prefix, seconds=10.0):
        found = []
        wait_until(lambda: found.extend(t for t, l in self.lines if t >= t0 and
                                        l.startswith(prefix)) or found, seconds)
        return found[0] if found else None


def rig_exchange(sock, text):
    sock.sendall(text.encode())
    reply = b""
    while not reply.endswith(b"\n"):
        reply += sock.recv(256)
    return reply


def read_command(fd, want, seconds=5.0):
    buf = b""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        r, _, _ = select.select([fd], [], [], 0.05)
        if r:
            buf += os.read(fd, 256)
            if want in buf:
                return time.monotonic()
    return None


def rigctl_poll_cpu(rig_port):
    """CPU of rigctl (s/hour) asking "s" and "f" every 100 ms over IDLE_SECONDS, fed by a pipe."""
    poller = start(["rigctl", "-m", "2", "-r", f"127.0.0.1:{rig_port}", "-"],
                   stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, text=True)
    done = threading.Event()

    def ask():
        while not done.wait(0.1):
            poller.stdin.write("s\nf\n")
            poller.stdin.flush()

    asker = threading.Thread(target=ask, daemon=True)
    asker.start()
    time.sleep(2)
    c0 = cpu_s(poller.pid)
    time.sleep(idle_s)
    cpu = (cpu_s(poller.pid) - c0) * 3600 / idle_s
    done.set()
    asker.join()
    stop(poller)
    return cpu


def main():
    rig_port = free_port()
    rigctld(rig_port)
    ctrl, com = pty_pair("controller")
    app = Headless("hamlib", f"[StartUp]\nComPort=17\nCheckHamlib=1\n"
                   f"[Addresses]\nHamlib=127.0.0.1:{rig_port}\n[Ports]\nCom17={com}\n")
    rig = socket.create_connection(("127.0.0.1", rig_port))
    fd = os.open(ctrl, os.O_RDONLY | os.O_NONBLOCK)
    rig_exchange(rig, "F 14000000\n")
    read_command(fd, b"FA00014000000;", 10)

    # Latency and its floor.
    latencies, floors = [], []
    a, b = pty_pair("floor")
    fa, fb = os.open(a, os.O_WRONLY), os.open(b, os.O_RDONLY | os.O_NONBLOCK)
    hz = 14000000
    for _ in range(changes):
        hz = 14020000 if hz != 14020000 else 14000000
        t0 = time.monotonic()
        rig_exchange(rig, f"F {hz}\n")
        t1 = read_command(fd, b"FA%011d;" % hz)
        if t1:
            latencies.append((t1 - t0) * 1000)
        t0 = time.monotonic()
        rig_exchange(rig, "f\n")
        os.write(fa, b"FA00014000000;")
        read_command(fb, b";")
        floors.append((time.monotonic() - t0) * 1000)

    def pct(v, q):
        v = sorted(v)
        return v[min(len(v) - 1, int(q * len(v)))]

    # Idle CPU, beside rigctl asking the same questions of the same server at the same rate.
    time.sleep(2)
    c0 = cpu_s(app.proc.pid)
    time.sleep(idle_s)
    app_cpu = (cpu_s(app.proc.pid) - c0) * 3600 / idle_s
    rigctl_cpu = rigctl_poll_cpu(rig_port)

    # Reconnection after rigctld restarts.
    rig.close()
    rig_back = []
    for _ in range(5):
        for p in procs:
            if p.args[0] == "rigctld" and p.poll() is None:
                stop(p)
        app.line_after(time.monotonic() - 5, "No link to Hamlib")
        time.sleep(1)
        rigctld(rig_port)
        t0 = time.monotonic()
        t1 = app.line_after(t0 - 0.01, "Linked to Hamlib")
        if t1:
            rig_back.append(max(0.0, t1 - t0) * 1000)

    # Reconnection after a link publisher restarts.
    _, com2 = pty_pair("controller2")
    link_app = Headless("commander", f"[StartUp]\nComPort=18\nCheckCommander=1\n"
                        f"[Ports]\nCom18={com2}\n")
    link_back = []

    def has_owner():
        out = subprocess.run(["dbus-send", "--session", "--print-reply",
                              "--dest=org.freedesktop.DBus", "/",
                              "org.freedesktop.DBus.NameHasOwner", f"string:{COMMANDER}"],
                             capture_output=True, text=True).stdout
        return "true" in out

    for _ in range(6):
        publisher = start([os.path.join(build, "veltaro-link-publisher"), "--stdin", "--as",
                           "commander"], stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                          stderr=subprocess.DEVNULL, text=True)
        publisher.stdin.write("14074000\n")
        publisher.stdin.flush()
        wait_until(has_owner, 10, 0.001)
        t0 = time.monotonic()
        t1 = link_app.line_after(t0 - 0.05, "Linked to Commander")
        if t1:
            link_back.append(max(0.0, t1 - t0) * 1000)
        time.sleep(0.5)
        stop(publisher)
        time.sleep(1)
    link_back = link_back[1:]  # the first is the program's first link, not a restart

    print("| Figure | Value |")
    print("|---|---|")
    print(f"| rigctld change -> command at the pty, median / p99 over {len(latencies)} (ms) | "
          f"{statistics.median(latencies):.1f} / {pct(latencies, 0.99):.1f} |")
    print(f"| floor: rigctld round trip + pty write, median / p99 (ms) | "
          f"{statistics.median(floors):.2f} / {pct(floors, 0.99):.2f} |")
    print(f"| idle CPU polling rigctld every 100 ms, veltaro --headless vs rigctl (s/hour) "
          f"| {app_cpu:.2f} vs {rigctl_cpu:.2f} |")
    print(f"| rigctld back after 1 s -> linked, median of {len(rig_back)} (ms) | "
          f"{statistics.median(rig_back):.0f} |" if rig_back else "| rigctld back | none |")
    print(f"| link publisher back after 1 s -> linked, median of {len(link_back)} (ms) | "
          f"{statistics.median(link_back):.0f} |" if link_back else "| publisher back | none |")


try:
    main()
finally:
    for p in reversed(procs):
        stop(p)
    shutil.rmtree(tmp, ignore_errors=True)
    sys.stdout.flush()
    signal.signal(signal.SIGTERM, signal.SIG_DFL)
