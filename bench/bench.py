#!/usr/bin/python3
"""Runs every benchmark against an existing Release build and prints one table.

Usage: bench.py --build DIR [--rounds N] [--json FILE] [--only refresh,ssh,decode,gui]
       [--ssh-sizes 1,10,30] [--idle S]

Only loopback is used: the ssh comparison starts its own sshd on 127.0.0.1 in a throwaway
folder, seeds a private settings file with profiles that point at it, and shows ssh that
folder's known_hosts through libnss-wrapper. Nothing of the user's (~/.ssh, settings) is
read or written.
"""

import argparse
import base64
import glob
import json
import os
import platform
import resource
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import uuid

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FAKE_DELAY_MS = 200.0
REFRESH_SIZES = (1, 10, 100, 300)
SSH_SIZES = (1, 10, 30)
SSH_OPTIONS = ("BatchMode=yes", "StrictHostKeyChecking=yes", "ConnectTimeout=8",
               "ServerAliveInterval=5", "ServerAliveCountMax=2")


def fail(message):
    sys.exit("bench: " + message)


def children_cpu_s():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(command, env=None, accept=(0,)):
    """Wall seconds and the CPU seconds of the command and everything it waited for."""
    cpu = children_cpu_s()
    start = time.perf_counter()
    done = subprocess.run(command, env=env, stdin=subprocess.DEVNULL, capture_output=True)
    wall = time.perf_counter() - start
    if done.returncode not in accept:
        fail("%s exited %d:\n%s%s" % (command[0], done.returncode,
                                      done.stdout.decode(errors="replace")[-2000:],
                                      done.stderr.decode(errors="replace")[-2000:]))
    return wall, children_cpu_s() - cpu, done.stdout


# --- refresh scale through the ssh seam --------------------------------------------------

def bench_refresh(build, rounds):
    tool = os.path.join(build, "bench", "corvane-bench-refresh")
    fake = os.path.join(build, "bench", "corvane-bench-fake-ssh")
    rows = []
    for n in REFRESH_SIZES:
        # One process per size, so that peak RSS belongs to that size alone.
        out = subprocess.run([tool, str(n), fake, str(rounds)], capture_output=True, check=False)
        if out.returncode != 0:
            fail("refresh benchmark at N=%d failed:\n%s" % (n, out.stderr.decode()))
        samples = [json.loads(line) for line in out.stdout.decode().splitlines() if line]
        wall = statistics.median(s["wallMs"] for s in samples)
        rows.append({
            "n": n,
            "wallMs": wall,
            "overheadMsPerServer": (wall - FAKE_DELAY_MS) / n,
            "stallMs": statistics.median(s["stallMs"] for s in samples),
            "stallMaxMs": max(s["stallMs"] for s in samples),
            "cpuMsPerServer": statistics.median(s["cpuMs"] for s in samples) / n,
            "peakRssMb": max(s["peakRssMb"] for s in samples),
            "rounds": len(samples),
        })
    return rows


# --- real ssh against the peer ----------------------------------------------------------

def nss_wrapper_library():
    for pattern in ("/usr/lib/*/libnss_wrapper.so", "/usr/lib64/libnss_wrapper.so",
                    "/usr/lib/libnss_wrapper.so"):
        found = glob.glob(pattern)
        if found:
            return found[0]
    fail("libnss_wrapper.so not found (install libnss-wrapper)")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def proc_cpu_s(pid):
    """CPU of a process plus that of the children it reaped (sshd's per-connection children)."""
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    # utime stime cutime cstime are fields 14..17 of the full line.
    return sum(int(x) for x in fields[11:15]) / os.sysconf("SC_CLK_TCK")


class Sandbox:
    """One sshd on 127.0.0.1 and a client environment that trusts only its host key."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="corvane-bench.")
        self.sshd = None

    def __enter__(self):
        d = self.dir
        home = os.path.join(d, "home")
        os.makedirs(os.path.join(home, ".ssh"), mode=0o700)
        os.makedirs(os.path.join(d, "config", "corvane-monitor"), mode=0o700)
        for key in ("host_key", "client_key"):
            subprocess.run(["ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f",
                            os.path.join(d, key)], check=True)
        shutil.copy(os.path.join(d, "client_key.pub"), os.path.join(d, "authorized_keys"))
        self.key = os.path.join(d, "client_key")
        self.port = free_port()
        with open(os.path.join(d, "host_key.pub")) as f:
            host_key = " ".join(f.read().split()[:2])
        with open(os.path.join(home, ".ssh", "known_hosts"), "w") as f:
            f.write("[127.0.0.1]:%d %s\n" % (self.port, host_key))
        # ssh takes ~/.ssh from the passwd entry, not from $HOME.
        self.user = subprocess.run(["id", "-un"], capture_output=True, text=True).stdout.strip()
        group = subprocess.run(["id", "-gn"], capture_output=True, text=True).stdout.strip()
        with open(os.path.join(d, "passwd"), "w") as f:
            f.write("%s:x:%d:%d:bench:%s:/bin/sh\n" % (self.user, os.getuid(), os.getgid(), home))
        with open(os.path.join(d, "group"), "w") as f:
            f.write("%s:x:%d:\n" % (group, os.getgid()))
        config = os.path.join(d, "sshd_config")
        with open(config, "w") as f:
            f.write("\n".join([
                "ListenAddress 127.0.0.1", "Port %d" % self.port,
                "HostKey %s/host_key" % d, "PidFile %s/sshd.pid" % d,
                "AuthorizedKeysFile %s/authorized_keys" % d,
                "UsePAM no", "StrictModes no", "PermitRootLogin prohibit-password",
                "PasswordAuthentication no", "KbdInteractiveAuthentication no",
                # Every connection of a batch arrives at once.
                "MaxStartups 200:30:400", "LogLevel ERROR", ""]))
        if os.getuid() == 0:
            os.makedirs("/run/sshd", exist_ok=True)
        self.log = open(os.path.join(d, "sshd.log"), "w")
        self.sshd = subprocess.Popen(["/usr/sbin/sshd", "-D", "-e", "-f", config],
                                     stderr=self.log)
        for _ in range(100):
            try:
                socket.create_connection(("127.0.0.1", self.port), 0.2).close()
                break
            except OSError:
                if self.sshd.poll() is not None:
                    fail("sshd did not start: " + open(self.log.name).read())
                time.sleep(0.1)
        self.env = dict(os.environ, HOME=home, XDG_CONFIG_HOME=os.path.join(d, "config"),
                        LD_PRELOAD=nss_wrapper_library(),
                        NSS_WRAPPER_PASSWD=os.path.join(d, "passwd"),
                        NSS_WRAPPER_GROUP=os.path.join(d, "group"))
        return self

    def __exit__(self, *exc):
        if self.sshd:
            self.sshd.terminate()
            self.sshd.wait()
        self.log.close()
        shutil.rmtree(self.dir, ignore_errors=True)

    def seed(self, n, command):
        profiles = [{"id": str(uuid.uuid4()).upper(), "name": "bench-%d" % i,
                     "host": "127.0.0.1", "user": self.user, "port": str(self.port),
                     "keyFile": self.key, "remoteCommand": command, "enabled": True,
                     "requiredServices": [], "discoverServices": True} for i in range(n)]
        blob = base64.b64encode(json.dumps(profiles).encode()).decode()
        path = os.path.join(self.dir, "config", "corvane-monitor", "settings.json")
        with open(path, "w") as f:
            json.dump({"monitor.serverProfiles.v1": {"base64": blob},
                       "monitor.notifications": False}, f)
        os.chmod(path, 0o600)

    def server_cpu_s(self):
        return proc_cpu_s(self.sshd.pid)


def bench_ssh(build, rounds, sizes=SSH_SIZES):
    check = os.path.join(build, "src", "check", "corvane-monitor-check")
    pssh = shutil.which("parallel-ssh")
    if not pssh:
        fail("parallel-ssh not found (install the pssh package)")
    rows = []
    with Sandbox() as box:
        report = os.path.join(box.dir, "report.json")
        agent = os.path.join(ROOT, "server", "remote-health-json")
        with open(report, "wb") as f:
            f.write(subprocess.run(["/usr/bin/python3", agent], capture_output=True,
                                   check=True).stdout)
        commands = (("fixed report", "cat " + report), ("real agent", agent))
        ssh_args = ["/usr/bin/ssh", "-T"]
        for option in SSH_OPTIONS:
            ssh_args += ["-o", option]
        ssh_args += ["-p", str(box.port), "-i", box.key, box.user + "@127.0.0.1"]
        for label, command in commands:
            for n in sizes:
                box.seed(n, command)
                ours = [check, "--json"]
                peer = [pssh, "-p", str(n), "-i", "-t", "0", "-x", "-i " + box.key]
                for option in SSH_OPTIONS:
                    peer += ["-O", option]
                for _ in range(n):
                    peer += ["-H", "%s@127.0.0.1:%d" % (box.user, box.port)]
                peer.append(command)
                kinds = {"ours": ours, "peer": peer}
                # The check tool's status is the fleet's (a loaded machine fails the load
                # check); whether every server answered is read from its output instead.
                accepted = {"ours": (0, 1, 2), "peer": (0,), "ssh": (0,)}
                if n == 1:
                    kinds["ssh"] = ssh_args + [command]
                walls = {k: [] for k in kinds}
                cpu = {k: 0.0 for k in kinds}
                server = {k: 0.0 for k in kinds}
                # One untimed pass warms the page cache and sshd.
                for k, argv in kinds.items():
                    timed(argv, box.env, accept=accepted[k])
                for _ in range(rounds):
                    for k, argv in kinds.items():  # A B (C) A B (C) ...
                        before = box.server_cpu_s()
                        wall, used, out = timed(argv, box.env, accept=accepted[k])
                        if k == "ours":
                            servers = json.loads(out)["servers"]
                            errors = [s["error"] for s in servers if s["error"]]
                            if errors or len(servers) != n:
                                fail("check tool: %d servers, errors %s" % (len(servers),
                                                                           errors[:3]))
                        elif k == "peer" and out.count(b"[SUCCESS]") != n:
                            fail("parallel-ssh: not every host succeeded:\n" + out.decode()[-2000:])
                        walls[k].append(wall)
                        cpu[k] += used
                        server[k] += box.server_cpu_s() - before
                row = {"command": label, "n": n, "rounds": rounds}
                for k in kinds:
                    row[k + "WallMs"] = statistics.median(walls[k]) * 1e3
                    row[k + "ClientCpuMsPerConn"] = cpu[k] / (rounds * n) * 1e3
                    row[k + "ServerCpuMsPerConn"] = server[k] / (rounds * n) * 1e3
                row["ratio"] = row["oursWallMs"] / row["peerWallMs"]
                rows.append(row)
    return rows


# --- decode throughput ------------------------------------------------------------------

def bench_decode(build):
    tool = os.path.join(build, "bench", "corvane-bench-decode")
    out = subprocess.run([tool], capture_output=True, check=True).stdout.decode()
    return {line["label"]: line for line in map(json.loads, out.splitlines()) if line}


# --- the desktop app idle ---------------------------------------------------------------

def app_children(pid):
    """Process ids of the app's children (its ssh clients)."""
    found = []
    for task in glob.glob("/proc/%d/task/*/children" % pid):
        try:
            with open(task) as f:
                found += [int(x) for x in f.read().split()]
        except OSError:
            pass
    return found


def proc_rss_mb(pid):
    with open("/proc/%d/status" % pid) as f:
        fields = dict(line.split(":", 1) for line in f)
    return int(fields["VmRSS"].split()[0]) / 1024, int(fields["RssAnon"].split()[0]) / 1024


def proc_switches(pid):
    """Context switches of every thread so far: each one is a wake-up."""
    total = 0
    for status in glob.glob("/proc/%d/task/*/status" % pid):
        with open(status) as f:
            for line in f:
                if "ctxt_switches:" in line:
                    total += int(line.split()[1])
    return total


def own_cpu_s(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def visible_windows(pid, env):
    """Mapped X windows that belong to pid (Qt sets _NET_WM_PID on each)."""
    done = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid", str(pid)], env=env,
                          stdin=subprocess.DEVNULL, capture_output=True)
    return done.stdout.split()


class Desktop:
    """A private X server with a tray along the top edge and a private session bus."""

    def __init__(self, sandbox):
        self.dir = sandbox.dir
        self.procs = []

    def __enter__(self):
        try:
            return self.start()
        except BaseException:
            self.__exit__()
            raise

    def start(self):
        for tool in ("Xvfb", "trayer", "xdotool", "dbus-daemon"):
            if not shutil.which(tool):
                fail("%s not found (scripts/packages.sh installs it)" % tool)
        read, write = os.pipe()
        self.procs.append(subprocess.Popen(
            ["Xvfb", "-displayfd", str(write), "-screen", "0", "1280x800x24", "-nolisten", "tcp"],
            pass_fds=(write,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        os.close(write)
        with os.fdopen(read) as f:
            display = f.readline().strip()
        if not display:
            fail("Xvfb did not start")
        runtime = os.path.join(self.dir, "runtime")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.env = {"DISPLAY": ":" + display, "XDG_RUNTIME_DIR": runtime,
                    "QT_QPA_PLATFORM": "xcb"}
        bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                               env=dict(os.environ, **self.env), stdout=subprocess.PIPE,
                               stderr=subprocess.DEVNULL)
        self.procs.append(bus)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = bus.stdout.readline().decode().strip()
        env = dict(os.environ, **self.env)
        log = os.path.join(self.dir, "trayer.log")
        with open(log, "w") as f:
            tray = subprocess.Popen(
                ["trayer", "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                 "200", "--height", "28", "--SetDockType", "true", "--expand", "false"],
                env=env, stdout=f, stderr=f)
        self.procs.append(tray)
        deadline = time.perf_counter() + 30
        while subprocess.run(["xdotool", "search", "--class", "trayer"], env=env,
                             capture_output=True).returncode != 0:
            if tray.poll() is not None or time.perf_counter() > deadline:
                fail("trayer did not start:\n" + open(log).read()[-2000:])
            time.sleep(0.05)
        return self

    def __exit__(self, *exc):
        for proc in reversed(self.procs):
            proc.terminate()
            proc.wait()
        self.procs = []


def launch_app(app, env, children):
    """Starts the app; returns it, the seconds until its tray icon is mapped and until the
    first refresh is over (every ssh child it started has ended)."""
    start = time.perf_counter()
    proc = subprocess.Popen([app], env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    ready = refreshed = None
    seen = set()
    deadline = start + 60
    while time.perf_counter() < deadline and (ready is None or refreshed is None):
        if proc.poll() is not None:
            fail("corvane-monitor exited %d:\n%s" % (proc.returncode,
                                                     proc.stderr.read().decode()[-2000:]))
        alive = app_children(proc.pid)
        seen.update(alive)
        if refreshed is None and len(seen) >= children and not alive:
            refreshed = time.perf_counter() - start
        if ready is None and visible_windows(proc.pid, env):
            ready = time.perf_counter() - start
        time.sleep(0.005)  # each look runs xdotool, which competes with the app for a core
    if ready is None or refreshed is None:
        proc.kill()
        fail("corvane-monitor: no tray icon or no finished refresh within 60 s")
    return proc, ready, refreshed


def stop_app(proc):
    proc.terminate()
    try:
        proc.wait(10)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()


def bench_gui(build, rounds, idle_s):
    app = os.path.join(build, "src", "menubar", "corvane-monitor")
    if not os.access(app, os.X_OK):
        fail("%s not built (the desktop app needs CORVANE_BUILD_GUI=ON)" % app)
    servers = 10
    with Sandbox() as box, Desktop(box) as desk:
        report = os.path.join(box.dir, "report.json")
        agent = os.path.join(ROOT, "server", "remote-health-json")
        with open(report, "wb") as f:
            f.write(subprocess.run(["/usr/bin/python3", agent], capture_output=True,
                                   check=True).stdout)
        box.seed(servers, "cat " + report)
        env = dict(box.env, **desk.env)
        # The first start fills the sandbox's font and shader caches; it is not counted.
        stop_app(launch_app(app, env, servers)[0])
        starts, refreshes = [], []
        for _ in range(rounds):
            proc, ready, refreshed = launch_app(app, env, servers)
            starts.append(ready)
            refreshes.append(refreshed)
            stop_app(proc)
        proc, ready, refreshed = launch_app(app, env, servers)
        try:
            time.sleep(1)  # the last results reach the tray and panel
            rss, anon = proc_rss_mb(proc.pid)
            cpu, switches, spawned = own_cpu_s(proc.pid), proc_switches(proc.pid), []
            end = time.perf_counter() + idle_s
            while time.perf_counter() < end:
                spawned += app_children(proc.pid)
                time.sleep(0.5)
            cpu = own_cpu_s(proc.pid) - cpu
            switches = proc_switches(proc.pid) - switches
            rss_after = proc_rss_mb(proc.pid)[0]
        finally:
            stop_app(proc)
    return {"n": servers, "rounds": rounds, "startMs": statistics.median(starts) * 1e3,
            "startMaxMs": max(starts) * 1e3, "firstRefreshMs": statistics.median(refreshes) * 1e3,
            "rssMb": rss, "rssAnonMb": anon, "rssAfterIdleMb": rss_after, "idleS": idle_s,
            "idleCpuMs": cpu * 1e3, "idleCpuPercent": cpu / idle_s * 100,
            "idleWakeups": switches, "idleChildren": len(set(spawned))}


# --- the table --------------------------------------------------------------------------

def machine():
    cores = os.cpu_count()
    with open("/proc/meminfo") as f:
        mem_kb = int(f.readline().split()[1])
    model = "?"
    with open("/proc/cpuinfo") as f:
        for line in f:
            if line.startswith("model name"):
                model = line.split(":", 1)[1].strip()
                break
    return "%d cores (%s), %.1f GiB RAM, %s %s" % (cores, model, mem_kb / 2**20,
                                                    platform.system(), platform.release())


def table(results):
    rows = []

    def add(bench, n, measured, goal="", met=None):
        verdict = "" if met is None else ("yes" if met else "NO")
        rows.append((bench, str(n), measured, goal, verdict))

    for r in results.get("refresh", []):
        at_goal = r["n"] == 300
        add("refresh wall", r["n"], "%.0f ms" % r["wallMs"])
        add("refresh overhead/server", r["n"], "%.2f ms" % r["overheadMsPerServer"],
            "<= 2 ms at 300" if at_goal else "", r["overheadMsPerServer"] <= 2 if at_goal else None)
        add("refresh main-thread stall", r["n"],
            "%.1f ms (worst %.1f)" % (r["stallMs"], r["stallMaxMs"]),
            "<= 16 ms at 300" if at_goal else "", r["stallMs"] <= 16 if at_goal else None)
        add("refresh peak RSS", r["n"], "%.1f MB" % r["peakRssMb"])
        add("refresh CPU/server (monitor)", r["n"], "%.2f ms" % r["cpuMsPerServer"])
    for r in results.get("ssh", []):
        tag = " (%s)" % r["command"]
        if "sshWallMs" in r:
            add("one ssh round trip" + tag, 1, "%.0f ms" % r["sshWallMs"], "the limit")
            add("ssh CPU/connection" + tag, 1, "client %.1f ms, server %.1f ms"
                % (r["sshClientCpuMsPerConn"], r["sshServerCpuMsPerConn"]))
        add("check tool wall" + tag, r["n"], "%.0f ms" % r["oursWallMs"])
        add("parallel-ssh wall" + tag, r["n"], "%.0f ms" % r["peerWallMs"])
        add("ratio check/parallel-ssh" + tag, r["n"], "%.2f" % r["ratio"], "<= 1.0",
            r["ratio"] <= 1.0)
        add("CPU/connection check tool" + tag, r["n"], "client %.1f ms, server %.1f ms"
            % (r["oursClientCpuMsPerConn"], r["oursServerCpuMsPerConn"]))
        add("CPU/connection parallel-ssh" + tag, r["n"], "client %.1f ms, server %.1f ms"
            % (r["peerClientCpuMsPerConn"], r["peerServerCpuMsPerConn"]))
    decode = results.get("decode")
    if decode:
        large, typical = decode["large"], decode["typical"]
        add("decode+policy 10 MB, %d checks" % (large["checks"] - 1), 1,
            "%.1f MB/s (%.0f ms: parse %.0f, decode %.0f, policy %.0f)"
            % (large["mbPerS"], large["totalMs"], large["parseMs"], large["decodeMs"],
               large["policyMs"]), ">= 50 MB/s", large["mbPerS"] >= 50)
        add("decode+policy typical %.1f KB" % (typical["bytes"] / 1e3), 1,
            "%.3f ms (%.1f MB/s)" % (typical["totalMs"], typical["mbPerS"]))
    gui = results.get("gui")
    if gui:
        add("GUI RSS after first refresh", gui["n"], "%.1f MB (anonymous %.1f, %.1f after idle)"
            % (gui["rssMb"], gui["rssAnonMb"], gui["rssAfterIdleMb"]), "<= 60 MB",
            gui["rssMb"] <= 60)
        add("GUI idle CPU over %.0f s" % gui["idleS"], gui["n"],
            "%.3f %% (%.0f ms, %d wake-ups, %d ssh started)"
            % (gui["idleCpuPercent"], gui["idleCpuMs"], gui["idleWakeups"], gui["idleChildren"]),
            "< 0.1 %", gui["idleCpuPercent"] < 0.1)
        add("GUI start to tray icon mapped", gui["n"],
            "%.0f ms (worst %.0f)" % (gui["startMs"], gui["startMaxMs"]), "<= 300 ms",
            gui["startMs"] <= 300)
        add("GUI start to first refresh done", gui["n"], "%.0f ms" % gui["firstRefreshMs"])

    header = ("benchmark", "N", "measured", "goal", "met")
    widths = [max(len(row[i]) for row in rows + [header]) for i in range(len(header))]
    lines = ["| " + " | ".join(h.ljust(w) for h, w in zip(header, widths)) + " |",
             "|" + "|".join("-" * (w + 2) for w in widths) + "|"]
    for row in rows:
        lines.append("| " + " | ".join(c.ljust(w) for c, w in zip(row, widths)) + " |")
    return "\n".join(lines)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--rounds", type=int, default=7)
    parser.add_argument("--json", help="also write the raw figures to this file")
    parser.add_argument("--only", default="refresh,ssh,decode,gui")
    parser.add_argument("--ssh-sizes", default=",".join(map(str, SSH_SIZES)),
                        help="fleet sizes of the ssh comparison")
    parser.add_argument("--idle", type=float, default=60, help="idle seconds measured (GUI)")
    args = parser.parse_args()
    only = set(args.only.split(","))

    results = {"date": time.strftime("%Y-%m-%d %H:%M %Z"), "machine": machine(),
               "loadBefore": os.getloadavg()[0]}
    if "refresh" in only:
        print("bench: refresh scale ...", file=sys.stderr)
        results["refresh"] = bench_refresh(args.build, max(3, args.rounds // 2))
    if "ssh" in only:
        print("bench: ssh against parallel-ssh ...", file=sys.stderr)
        results["ssh"] = bench_ssh(args.build, args.rounds,
                                   tuple(int(n) for n in args.ssh_sizes.split(",")))
    if "decode" in only:
        print("bench: decode throughput ...", file=sys.stderr)
        results["decode"] = bench_decode(args.build)
    if "gui" in only:
        print("bench: desktop app idle (%d s) ..." % args.idle, file=sys.stderr)
        results["gui"] = bench_gui(args.build, max(3, args.rounds // 2), args.idle)
    results["loadAfter"] = os.getloadavg()[0]
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=2)
    # Other work on the machine shows up in every figure: say how busy it was.
    print("%s; %s; load average %.1f before, %.1f after" % (
        results["date"], results["machine"], results["loadBefore"], results["loadAfter"]))
    print(table(results))


if __name__ == "__main__":
    main()
