#!/usr/bin/env python3
"""The controller's own protocol and the transmit-inhibit line, measured on the real program
(veltaro --headless, [Controller] Protocol=SteppIR) against veltaro-steppir-sim.

Prints a Markdown table of figures and asserts nothing. The radio is an N1MM-format datagram
sent to the program on loopback; each frame is seen when the simulator logs it (its standard
error, time-stamped here), each antenna state when the program's "Antenna: ..." line comes.
  radio -> set frame   datagram sent -> the simulator logs the set frame, median and p99 over
                       CHANGES changes 20 kHz apart, 1 s apart; beside the floor: a set frame
                       written here into the simulator's pty and seen the same way; and beside
                       the FA path's datagram -> command read from its pty
  set frame -> tuned   the simulator logs the set frame -> "Antenna: tuned to ..." (same changes);
                       the motors run at 10 GHz/s, so the motor time is under a millisecond; the
                       simulator's 100 ms of "busy" after a frame is shown taken out as well
  dropped -> resend    the simulator ignores every second set frame (--drop 2): the dropped
                       frame's log line -> the same frame again, DROPS times
  idle CPU             the program polling the controller every 1.5 s (nothing changing), over
                       IDLE_SECONDS, beside the FA path with the same source and no controller
                       answers
  serial server        [Ports] Com1=tcp:127.0.0.1:PORT; the simulator stopped, started again 1 s
                       later: its listening again -> the current set frame logged, REPLUGS times
  interlock            a controller played here on a pty (status replies written here, so their
                       moment is known) and the line's pty under the modem-lines shim
                       (tests/support/modem_lines_shim.cpp, preloaded), whose record is a FIFO
                       read here: a reply showing the motors running -> the line inhibited, and
                       the second confirming reply -> the line permitted, less the 200 ms hold

Environment: BUILD_DIR (default build/), CHANGES (40), DROPS (5), REPLUGS (5), IDLE_SECONDS (60),
INTERLOCKS (5).
"""
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time
import tty
from benchlib import cpu_s, free_port, procs, start, start_headless, stop, wait_until

root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
build = os.environ.get("BUILD_DIR", os.path.join(root, "build"))
changes = int(os.environ.get("CHANGES", "40"))
drops = int(os.environ.get("DROPS", "5"))
replugs = int(os.environ.get("REPLUGS", "5"))
idle_s = float(os.environ.get("IDLE_SECONDS", "60"))
interlocks = int(os.environ.get("INTERLOCKS", "5"))
sim_path = os.path.join(build, "veltaro-steppir-sim")
shim = os.path.join(build, "tests", "support", "libveltaro_modem_shim.so")
tmp = tempfile.mkdtemp()
FAST = "10000000"  # kHz per second: 10 GHz/s, the motors take no time worth counting
BUSY_MS = 100      # the simulator's "busy" after each frame


class Lines:
    """A stream's lines with the moment each was read."""

    def __init__(self, stream):
        self.lines = []
        threading.Thread(target=self._read, args=(stream,), daemon=True).start()

    def _read(self, stream):
        for line in stream:
            self.lines.append((time.monotonic(), line.strip()))

    def after(self, t0, test, seconds=10.0):
        found = []
        wait_until(lambda: found.extend(t for t, l in list(self.lines)
                                        if t >= t0 and test(l)) or found, seconds)
        return found[0] if found else None


class Sim:
    """veltaro-steppir-sim on a pty (link) or a loopback TCP port; its log time-stamped."""

    def __init__(self, *args):
        self.proc = start([sim_path, *args], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          text=True)
        self.where = self.proc.stdout.readline().strip()
        self.log = Lines(self.proc.stderr)


class Headless:
    """veltaro --headless with its own settings; its report lines time-stamped."""

    def __init__(self, name, settings, env_extra=None):
        self.proc = start_headless(build, os.path.join(tmp, name), settings, env_extra)
        self.report = Lines(self.proc.stderr)


def settings(port, com1, protocol="SteppIR", extra=""):
    return (f"[StartUp]\nComPort=1\nCheckN1MM=1\n[Addresses]\nN1MM=127.0.0.1:{port}\n"
            f"[Controller]\nProtocol={protocol}\n[Ports]\nCom1={com1}\n{extra}")


class Radio:
    """N1MM-format datagrams on loopback: the radio's frequency."""

    def __init__(self):
        self.port = free_port(socket.SOCK_DGRAM)
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)

    def tune(self, hz):
        self.sock.sendto(f"<RadioInfo><RadioNr>1</RadioNr><Freq>{hz // 10}</Freq><TXFreq>"
                         f"{hz // 10}</TXFreq><ActiveRadioNr>1</ActiveRadioNr></RadioInfo>"
                         .encode(), ("127.0.0.1", self.port))
        return time.monotonic()

    def tune_until(self, hz, seen, seconds=10.0):
        """Sends until seen() (the program may not listen yet)."""
        end = time.monotonic() + seconds
        while time.monotonic() < end:
            self.tune(hz)
            if wait_until(seen, 0.2):
                return True
        return False


def mhz(hz):
    return f"set {hz / 1e6:.6f} MHz"


def ms(seconds):
    return seconds * 1000


def summary(values, with_p99=True):
    if not values:
        return "-"
    v = sorted(values)
    text = f"{statistics.median(v):.2f}"
    if with_p99:
        text += f" / {v[min(len(v) - 1, int(0.99 * len(v)))]:.2f}"
    return text


def set_frame(hz):
    units = (hz + 5) // 10
    return b"@A\0" + units.to_bytes(3, "big") + b"\0\0\x31\0\r"


def floor_pty_write(sim, count=50):
    """A set frame written here into the simulator's pty, seen in its log."""
    fd = os.open(sim.where, os.O_RDWR | os.O_NOCTTY)
    got = []
    for i in range(count):
        hz = 7000000 + (i % 2) * 20000
        t0 = time.monotonic()
        os.write(fd, set_frame(hz))
        t1 = sim.log.after(t0, lambda l, m=mhz(hz): l.startswith(m), 2)
        if t1:
            got.append(ms(t1 - t0))
        time.sleep(0.05)
    os.close(fd)
    return got


def follow(radio, sim, app, count):
    """Changes 20 kHz apart: datagram -> set frame logged -> "tuned" shown."""
    to_frame, to_tuned, asked = [], [], []
    for i in range(count):
        hz = 14100000 + (i % 2) * 20000
        t0 = radio.tune(hz)
        t1 = sim.log.after(t0, lambda l, m=mhz(hz): l.startswith(m), 3)
        t2 = app.report.after(t0, lambda l, m=f"{hz / 1e6:.3f}": l.startswith(
            "Antenna: tuned") and m in l, 5)
        if t1:
            to_frame.append(ms(t1 - t0))
        if t1 and t2:
            to_tuned.append(ms(t2 - t1))
            asked.append(sum(1 for t, l in list(sim.log.lines) if t1 < t < t2 and l == "status?"))
        time.sleep(max(0.0, 1.0 - (time.monotonic() - t0)))
    return to_frame, to_tuned, asked


def fa_path(radio, count):
    """The same changes on the FA path: datagram -> command read from its pty."""
    master, slave = os.openpty()
    tty.setraw(slave)
    app = Headless("fa-latency", settings(radio.port, os.ttyname(slave), "FA"))
    got = []
    radio.tune_until(14074000, lambda: app.report.after(0, lambda l: l.startswith("Relayed"), 0))
    time.sleep(0.5)
    os.set_blocking(master, False)
    for i in range(count):
        hz = 14100000 + (i % 2) * 20000
        want = b"FA%011d;" % hz
        buf = b""
        t0 = radio.tune(hz)
        end = t0 + 3
        while want not in buf and time.monotonic() < end:
            try:
                buf += os.read(master, 256)
            except BlockingIOError:
                time.sleep(0.0002)
        if want in buf:
            got.append(ms(time.monotonic() - t0))
        time.sleep(0.2)
    stop(app.proc)
    os.close(master)
    os.close(slave)
    return got


def latency_and_tuned():
    sim = Sim("--link", os.path.join(tmp, "sim-com1"), "--khz-per-s", FAST)
    floor = floor_pty_write(sim)
    radio = Radio()
    app = Headless("latency", settings(radio.port, sim.where))
    radio.tune_until(14074000, lambda: sim.log.after(0, lambda l: l.startswith(mhz(14074000)), 0))
    app.report.after(0, lambda l: l.startswith("Antenna: tuned to 14.074"), 5)
    time.sleep(0.5)
    to_frame, to_tuned, asked = follow(radio, sim, app, changes)
    stop(app.proc)
    stop(sim.proc)
    return floor, to_frame, to_tuned, asked, fa_path(radio, changes)


def dropped_to_resend():
    sim = Sim("--link", os.path.join(tmp, "drop-com1"), "--khz-per-s", FAST, "--drop", "2")
    radio = Radio()
    app = Headless("drop", settings(radio.port, sim.where))
    got = []
    hz = 14074000
    radio.tune_until(hz, lambda: sim.log.after(0, lambda l: l.startswith(mhz(hz)), 0))
    app.report.after(0, lambda l: l.startswith("Antenna: tuned to 14.074"), 10)
    for i in range(drops * 2 + 2):
        if len(got) >= drops:
            break
        hz = 14100000 + (i % 2) * 20000
        t0 = radio.tune(hz)
        # Its first frame; every second frame is dropped, so only some changes lose theirs.
        t1 = sim.log.after(t0, lambda l, m=mhz(hz): l.startswith(m), 3)
        if t1 and any(t == t1 and "(dropped)" in l for t, l in list(sim.log.lines)):
            t2 = sim.log.after(t1 + 1e-6, lambda l, m=mhz(hz): l.startswith(m) and
                               "(dropped)" not in l, 10)
            if t2:
                got.append(ms(t2 - t1))
        app.report.after(t0, lambda l: l.startswith("Antenna: tuned"), 10)
        time.sleep(0.3)
    stop(app.proc)
    stop(sim.proc)
    return got


def idle_cpu():
    """Seconds of CPU per hour, SteppIR path (polling the simulator) and FA path."""
    out = []
    for protocol in ("SteppIR", "FA"):
        radio = Radio()
        if protocol == "SteppIR":
            sim = Sim("--link", os.path.join(tmp, "idle-com1"), "--khz-per-s", FAST)
            com1, keep = sim.where, sim
            seen = lambda: app.report.after(0, lambda l: l.startswith("Antenna: tuned"), 0)
        else:
            master, slave = os.openpty()
            tty.setraw(slave)
            com1, keep = os.ttyname(slave), (master, slave)
            seen = lambda: app.report.after(0, lambda l: l.startswith("Relayed"), 0)
        app = Headless("idle-" + protocol, settings(radio.port, com1, protocol))
        radio.tune_until(14074000, seen)
        time.sleep(2)
        c0 = cpu_s(app.proc.pid)
        time.sleep(idle_s)
        out.append((cpu_s(app.proc.pid) - c0) / idle_s * 3600)
        stop(app.proc)
        if protocol == "SteppIR":
            stop(keep.proc)
        else:
            os.close(keep[0])
            os.close(keep[1])
    return out


def serial_server_returns():
    """The simulator on TCP stopped for 1 s: back (listening) -> the set frame again."""
    port = free_port()
    radio = Radio()
    sim = Sim("--tcp", str(port), "--khz-per-s", FAST)
    app = Headless("tcp", settings(radio.port, f"tcp:127.0.0.1:{port}"))
    radio.tune_until(14074000, lambda: sim.log.after(0, lambda l: l.startswith(mhz(14074000)), 0))
    from_back, from_gone = [], []
    for _ in range(replugs):
        app.report.after(0, lambda l: l.startswith("Antenna: tuned"), 5)
        time.sleep(0.5)
        gone = time.monotonic()
        stop(sim.proc)
        time.sleep(max(0.0, 1.0 - (time.monotonic() - gone)))
        sim = Sim("--tcp", str(port), "--khz-per-s", FAST)
        back = time.monotonic()  # it listens once it has printed its address
        t = sim.log.after(back, lambda l: l.startswith(mhz(14074000)), 10)
        if t:
            from_back.append(ms(t - back))
            from_gone.append(ms(t - gone))
    stop(app.proc)
    stop(sim.proc)
    return from_back, from_gone


class PlayedController:
    """A controller played here on a pty: answers each status request with the status set in
    self.status, noting the moment each reply is written; takes set frames as its target."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.path = os.ttyname(self.slave)
        self.hz, self.running, self.busy_replies = 14000000, False, 0
        self.replies = []  # (moment, hz, running)
        self.frames = []   # (moment, hz)
        self.done = False
        threading.Thread(target=self._serve, daemon=True).start()

    def _status(self):
        units = (self.hz + 5) // 10
        ac = 0xFF if self.busy_replies > 0 else (0x01 if self.running else 0)
        self.busy_replies = max(0, self.busy_replies - 1)
        return b"@A\0" + units.to_bytes(3, "big") + bytes([ac, 0]) + b"01\r", ac

    def _serve(self):
        buf = b""
        while not self.done:
            try:
                buf += os.read(self.master, 256)
            except OSError:
                return
            while True:
                at = min((i for i in (buf.find(b"?A\r"), buf.find(b"@A")) if i >= 0), default=-1)
                if at < 0:
                    buf = b""
                    break
                buf = buf[at:]
                if buf.startswith(b"?A\r"):
                    reply, ac = self._status()
                    os.write(self.master, reply)
                    self.replies.append((time.monotonic(), self.hz, ac))
                    buf = buf[3:]
                elif len(buf) >= 11:
                    self.hz = int.from_bytes(buf[3:6], "big") * 10
                    self.busy_replies = 1
                    self.frames.append((time.monotonic(), self.hz))
                    buf = buf[11:]
                else:
                    break


class LineRecord:
    """The shim's record as a FIFO: each call on the line, with the moment it was read."""

    def __init__(self):
        self.path = os.path.join(tmp, "lines")
        os.mkfifo(self.path)
        fd = os.open(self.path, os.O_RDONLY | os.O_NONBLOCK)
        self._writer = os.open(self.path, os.O_WRONLY)  # no end of file between the shim's calls
        os.set_blocking(fd, True)
        self.calls = Lines(os.fdopen(fd, "r"))

    def level(self, t0, asserted, seconds=10.0):
        """The first call from t0 that left RTS at the level given."""
        return self.calls.after(t0, lambda l: not l.startswith("TIOCMGET") and
                                f"RTS={int(asserted)}" in l, seconds)


def interlock():
    """[Interlock] Port=2 on RTS, asserted = permitted."""
    if not os.path.exists(shim):
        return [], []
    ctl = PlayedController()
    line_master, line_slave = os.openpty()
    record = LineRecord()
    radio = Radio()
    extra = f"Com2={os.ttyname(line_slave)}\n[Interlock]\nPort=2\nLine=RTS\nPermit=Asserted\n"
    app = Headless("interlock", settings(radio.port, ctl.path, extra=extra),
                   {"LD_PRELOAD": shim, "VELTARO_MODEM_LINES": record.path})
    radio.tune_until(14074000, lambda: ctl.frames)
    to_inhibit, to_permit = [], []
    for i in range(interlocks):
        hz = 14100000 + (i % 2) * 20000
        t0 = radio.tune(hz)
        # Confirmed: the second reply in a row at the target with the motors stopped.
        wait_until(lambda: sum(1 for t, h, ac in ctl.replies if t > t0 and h == hz and ac == 0)
                   >= 2, 10)
        confirming = [t for t, h, ac in ctl.replies if t > t0 and h == hz and ac == 0]
        inhibited = record.level(t0, False, 5)
        permitted = inhibited and record.level(inhibited, True, 5)
        if permitted and len(confirming) >= 2:
            to_permit.append(ms(permitted - confirming[1]) - 200)
        time.sleep(0.5)
        # The motors start with no frame from here (the radio on Data In moved the antenna).
        ctl.running = True
        wait_until(lambda: ctl.replies[-1][2] == 1, 5)
        running = ctl.replies[-1][0]
        inhibited = record.level(running, False, 5)
        if inhibited:
            to_inhibit.append(ms(inhibited - running))
        ctl.running = False
        record.level(running, True, 10)
    ctl.done = True
    stop(app.proc)
    return to_inhibit, to_permit


began = time.monotonic()


def progress(text):
    print(f"bench: {text} (at {time.monotonic() - began:.0f} s)", file=sys.stderr)


def main():
    if not os.path.exists(sim_path):
        print(f"{sim_path} is not built", file=sys.stderr)
        return 1
    progress(f"the controller's protocol ({changes} changes)")
    floor, to_frame, to_tuned, asked, fa = latency_and_tuned()
    progress(f"dropped frames ({drops})")
    resend = dropped_to_resend()
    progress(f"a serial server gone for 1 s ({replugs} times)")
    from_back, from_gone = serial_server_returns()
    progress(f"the transmit-inhibit line ({interlocks} times)")
    to_inhibit, to_permit = interlock()
    progress(f"idle CPU over {idle_s:g} s, both paths")
    steppir_cpu, fa_cpu = idle_cpu()
    progress("done")
    print(f"""| Figure (ms: median / p99 unless said) | Veltaro | Beside it |
|---|---|---|
| Radio change to set frame at the controller, {len(to_frame)} of {changes} changes | {summary(to_frame)} | \
pty write floor {summary(floor)}; FA path {summary(fa)} |
| Set frame to "tuned" shown ({len(to_tuned)}) | {summary(to_tuned)} | \
less the simulator's {BUSY_MS} ms busy: {summary([t - BUSY_MS for t in to_tuned])}; \
status requests between them: {summary(asked, False)} (median) |
| Dropped set frame to its resend ({len(resend)}) | {summary(resend, False)} (median) | \
max {max(resend) if resend else 0:.0f} |
| Serial server gone for 1 s: back to the set frame again ({len(from_back)}) | \
{summary(from_back, False)} (median) | from gone: {summary(from_gone, False)} |
| Motors running shown to line inhibited ({len(to_inhibit)}) | {summary(to_inhibit)} | |
| Confirmation to line permitted, less the 200 ms ({len(to_permit)}) | {summary(to_permit)} | |
| Idle CPU, polling the controller every 1.5 s (s per hour) | {steppir_cpu:.3f} | \
FA path {fa_cpu:.3f} |""")
    return 0


if __name__ == "__main__":
    try:
        code = main()
    finally:
        for p in procs:
            stop(p)
        shutil.rmtree(tmp, ignore_errors=True)
    sys.exit(code)
