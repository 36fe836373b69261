"""What the benchmark scripts share: the processes they start (stopped at the end), waiting for
a condition, a free loopback port, a process's CPU time."""
import os
import shutil
import socket
import subprocess
import time

procs = []


def start(args, **kw):
    p = subprocess.Popen(args, **kw)
    procs.append(p)
    return p


def stop(p):
    if p.poll() is None:
        p.terminate()
        try:
            p.wait(5)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def wait_until(check, seconds=10.0, step=0.002):
    """Looks at least once."""
    end = time.monotonic() + seconds
    while not check():
        if time.monotonic() >= end:
            return False
        time.sleep(step)
    return True


def free_port(kind=socket.SOCK_STREAM):
    with socket.socket(socket.AF_INET, kind) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def cpu_s(pid):
    """The CPU time of every thread of the process so far, in seconds."""
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/schedstat") as f:
            total += int(f.read().split()[0])
    return total / 1e9


def start_headless(build, folder, settings, env_extra=None):
    """veltaro --headless, copied into folder (so that PEGASUS.OUT is written there), with the
    settings given and no display; its standard error piped as text."""
    config = os.path.join(folder, "Veltaro")
    os.makedirs(config)
    with open(os.path.join(config, "Veltaro.conf"), "w") as f:
        f.write(settings)
    app = os.path.join(folder, "veltaro")
    shutil.copy(os.path.join(build, "veltaro"), app)
    env = dict(os.environ, XDG_CONFIG_HOME=folder, **(env_extra or {}))
    for var in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"):
        env.pop(var, None)
    return start([app, "--headless"], env=env, stderr=subprocess.PIPE, text=True)
