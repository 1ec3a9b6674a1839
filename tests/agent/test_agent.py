"""Runs the server health agent as a real process against fake servers and the real machine.

Each fake server is a directory with its own /proc, /etc and /run files, a table of
filesystem numbers and small systemctl/timedatectl stand-ins; the agent finds them through
its CORVANE_HEALTH_* environment seams.
"""

import json
import os
import re
import shutil
import stat
import subprocess
import tempfile
import unittest
from pathlib import Path

AGENT = Path(__file__).resolve().parents[2] / "server" / "remote-health-json"
STATUSES = ("ok", "warn", "fail")
SERVICE_STATES = ("running", "failed", "required_missing", "stopped", "disabled", "not_installed")
RUN_TIMEOUT = 60  # a hung agent fails the test instead of hanging ctest

FAKE_SYSTEMCTL = r'''#!/usr/bin/python3
import json, os, subprocess, sys
here = os.path.dirname(os.path.abspath(__file__))
with open(os.path.join(here, "systemctl.json"), encoding="utf-8") as f:
    state = json.load(f)
args = sys.argv[1:]
with open(os.path.join(here, "systemctl.log"), "a", encoding="utf-8") as log:
    log.write(json.dumps(args) + "\n")
verb = args[0] if args else ""
behaviour = state["behaviour"].get(verb, state["behaviour"].get("*"))
if behaviour == "exit1":
    sys.stderr.write("Failed to connect to bus: No such file or directory\n")
    sys.exit(1)
if behaviour == "hang":
    # A grandchild that keeps our stdout open, like a stuck D-Bus call in a helper.
    child = subprocess.Popen(["sleep", "30"])
    with open(os.path.join(here, "sleeper.pid"), "w") as f:
        f.write(str(child.pid))
    child.wait()
    sys.exit(0)
lines, code = [], 0
if verb == "list-units":
    for unit in state["failed"]:
        lines.append(("\u25cf " if state["bullet"] else "") + unit + " loaded failed failed Broken")
elif verb == "is-system-running":
    lines.append(state["system"])
    code = 0 if state["system"] == "running" else 1
elif verb == "show":
    props = [args[i + 1] for i, a in enumerate(args) if a == "-p"]
    blocks = []
    for unit in args[args.index("--") + 1:]:
        found = {"Id": unit, "Names": unit, "LoadState": "not-found", "ActiveState": "inactive",
                 "SubState": "dead", "UnitFileState": "", "Description": unit}
        for uid, known in state["units"].items():
            if unit == uid or unit in known.get("Names", "").split():
                found = dict({"Id": uid, "Names": uid, "LoadState": "loaded"}, **known)
        blocks.append("\n".join("%s=%s" % (p, found.get(p, "")) for p in props))
    lines.append("\n\n".join(blocks))
sys.stdout.buffer.write(("\n".join(lines) + "\n").encode("utf-8"))
sys.exit(code)
'''


def usage(used_percent=50, blocks=10000, frsize=4096, files=1000, used_files=100):
    """statvfs numbers for a filesystem whose df Use% is exactly used_percent (no reserve)."""
    free = blocks - int(round(blocks * used_percent / 100))
    return {"f_frsize": frsize, "f_blocks": blocks, "f_bfree": free, "f_bavail": free,
            "f_files": files, "f_ffree": files - used_files}


def running(description="Service", enablement="enabled", **extra):
    props = {"ActiveState": "active", "SubState": "running", "UnitFileState": enablement,
             "Description": description}
    props.update(extra)
    return props


class FakeServer:
    """A healthy server; tests change the fields they care about, then call run()."""

    def __init__(self, base):
        self.base = Path(base)
        self.root = self.base / "root"
        self.bin = self.base / "bin"
        self.home = self.base / "home"
        self.mounts = [
            b"proc /proc proc rw,nosuid 0 0",
            b"sysfs /sys sysfs rw 0 0",
            b"tmpfs /run tmpfs rw,nosuid 0 0",
            b"/dev/vda1 / ext4 rw,relatime 0 0",
            b"/dev/vda2 /var xfs rw,relatime 0 0",
        ]
        self.statvfs = {"/": usage(), "/var": usage()}
        self.meminfo = {"MemTotal": 1000000, "MemFree": 200000, "MemAvailable": 500000,
                        "Buffers": 1000, "Cached": 100000, "SwapTotal": 0, "SwapFree": 0}
        self.loadavg = "0.10 0.20 0.30 1/100 1234"
        self.cores = 2
        self.uptime = "12345.67 2000.00"
        self.hostname = "web-1"
        self.fstab = "/dev/vda1 / ext4 defaults 0 1\n/dev/vda2 /var xfs defaults 0 2\n"
        self.systemd = True
        self.units = {"ssh.service": running("OpenBSD Secure Shell server",
                                             Names="ssh.service sshd.service"),
                      "cron.service": running("Regular background program processing daemon")}
        self.failed = []
        self.bullet = False
        self.system_state = "running"
        self.systemctl_behaviour = {}
        self.ntp = "yes"
        self.reboot_packages = None
        self.config = None
        self.missing_files = []

    def write(self):
        for sub in ("proc/sys/kernel", "etc", "run"):
            (self.root / sub).mkdir(parents=True, exist_ok=True)
        self.bin.mkdir(exist_ok=True)
        self.home.mkdir(exist_ok=True)
        proc = self.root / "proc"
        (proc / "mounts").write_bytes(b"\n".join(self.mounts) + b"\n")
        (proc / "meminfo").write_text(
            "".join("%s: %d kB\n" % (k, v) for k, v in self.meminfo.items()))
        (proc / "loadavg").write_text(self.loadavg + "\n")
        (proc / "uptime").write_text(self.uptime + "\n")
        (proc / "cpuinfo").write_text(
            "".join("processor\t: %d\nmodel name\t: Fake CPU\n\n" % i for i in range(self.cores)))
        (proc / "sys/kernel/hostname").write_text(self.hostname + "\n", encoding="utf-8")
        (self.root / "etc/fstab").write_text(self.fstab)
        if self.systemd:
            (self.root / "run/systemd/system").mkdir(parents=True, exist_ok=True)
        if self.reboot_packages is not None:
            (self.root / "run/reboot-required").write_text("*** System restart required ***\n")
            if self.reboot_packages:
                (self.root / "run/reboot-required.pkgs").write_text(
                    "".join(p + "\n" for p in self.reboot_packages))
        for relative in self.missing_files:
            (self.root / relative).unlink()
        (self.base / "statvfs.json").write_text(json.dumps(self.statvfs), encoding="utf-8")

        systemctl = self.bin / "systemctl"
        systemctl.write_text(FAKE_SYSTEMCTL)
        systemctl.chmod(0o755)
        (self.bin / "systemctl.json").write_text(json.dumps({
            "units": self.units, "failed": self.failed, "bullet": self.bullet,
            "system": self.system_state, "behaviour": self.systemctl_behaviour}))
        timedatectl = self.bin / "timedatectl"
        body = {"yes": "echo yes", "no": "echo no",
                "exit1": "echo 'Failed to query server: Connection refused' >&2; exit 1",
                "hang": "sleep 30"}[self.ntp]
        timedatectl.write_text("#!/bin/sh\necho \"$*\" >> \"$0.log\"\n%s\n" % body)
        timedatectl.chmod(0o755)

    def environment(self):
        # The PATH of a non-interactive ssh session; it also keeps python3 shims out.
        env = {"PATH": "/usr/bin:/bin", "HOME": str(self.home),
               "CORVANE_HEALTH_ROOT": str(self.root),
               "CORVANE_HEALTH_STATVFS": str(self.base / "statvfs.json"),
               "CORVANE_HEALTH_SYSTEMCTL": str(self.bin / "systemctl"),
               "CORVANE_HEALTH_TIMEDATECTL": str(self.bin / "timedatectl")}
        if self.config is not None:
            path = self.base / "health.json"
            path.write_text(json.dumps(self.config), encoding="utf-8")
            env["CORVANE_HEALTH_CONFIG"] = str(path)
        return env

    def run(self, env_changes=None):
        self.write()
        env = self.environment()
        env.update(env_changes or {})
        return AgentRun(subprocess.run([str(AGENT)], env=env, stdout=subprocess.PIPE,
                                       stderr=subprocess.PIPE, timeout=RUN_TIMEOUT), self)

    def systemctl_calls(self):
        log = self.bin / "systemctl.log"
        if not log.exists():
            return []
        return [json.loads(line) for line in log.read_text(encoding="utf-8").splitlines()]


class AgentRun:
    def __init__(self, completed, server=None):
        self.completed = completed
        self.server = server
        self.text = completed.stdout.decode("utf-8")  # strict: the agent writes UTF-8 only
        self.doc = parse_single_document(self.text)

    def checks(self, section):
        return [c for c in self.doc["checks"] if c["section"] == section]

    def check(self, section, name):
        found = [c for c in self.doc["checks"] if c["section"] == section and c["name"] == name]
        if len(found) != 1:
            raise AssertionError("expected one check %s/%s, got %r in %s" %
                                 (section, name, found, json.dumps(self.doc["checks"], indent=1)))
        return found[0]

    def service(self, name):
        found = [s for s in self.doc["services"] if s["name"] == name]
        if len(found) != 1:
            raise AssertionError("expected one service %s in %r" % (name, self.doc["services"]))
        return found[0]


def reject_constant(name):
    raise ValueError("non-standard JSON constant %s" % name)


def no_duplicate_keys(pairs):
    keys = [k for k, _ in pairs]
    if len(keys) != len(set(keys)):
        raise ValueError("duplicate key in %r" % keys)
    return dict(pairs)


def parse_single_document(text):
    """The whole of stdout must be one JSON object with nothing but whitespace around it."""
    decoder = json.JSONDecoder(parse_constant=reject_constant, object_pairs_hook=no_duplicate_keys)
    stripped = text.strip(" \t\r\n")
    doc, end = decoder.raw_decode(stripped)
    if end != len(stripped):
        raise AssertionError("text after the document: %r" % stripped[end:end + 80])
    return doc


def is_int(value):
    return type(value) is int


def is_text(value):
    return type(value) is str


class DocumentAssertions(unittest.TestCase):
    def assertValidReport(self, doc):
        """What our decoder demands, plus the agent's own promises about consistency."""
        self.assertIs(type(doc), dict)
        self.assertTrue(is_int(doc.get("schema")) and doc["schema"] == 1, doc.get("schema"))
        self.assertTrue(is_text(doc.get("host")) and doc["host"], doc.get("host"))
        self.assertTrue(is_text(doc.get("generatedAt")))
        self.assertRegex(doc["generatedAt"], r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ$")
        self.assertTrue(is_int(doc.get("uptimeSeconds")) and doc["uptimeSeconds"] >= 0)
        self.assertIn(doc.get("overall"), STATUSES)
        if "diagnostics" in doc:
            self.assertTrue(is_text(doc["diagnostics"]))

        checks = doc.get("checks")
        self.assertIs(type(checks), list)
        identities = set()
        for c in checks:
            self.assertIs(type(c), dict)
            for key in ("name", "detail", "section"):
                self.assertTrue(is_text(c.get(key)) and c[key], (key, c))
            self.assertIn(c.get("status"), STATUSES, c)
            identity = c["section"] + "/" + c["name"]
            self.assertNotIn(identity, identities)
            identities.add(identity)

        counts = doc.get("counts")
        self.assertIs(type(counts), dict)
        for status in STATUSES:
            self.assertTrue(is_int(counts.get(status)))
            self.assertEqual(counts[status], sum(1 for c in checks if c["status"] == status),
                             status)
        worst = max((STATUSES.index(c["status"]) for c in checks), default=0)
        self.assertEqual(doc["overall"], STATUSES[worst])

        groups = doc.get("groups")
        self.assertIs(type(groups), list)
        sections = []
        for c in checks:
            if c["section"] not in sections:
                sections.append(c["section"])
        self.assertEqual([g.get("name") for g in groups], sections)
        for g in groups:
            mine = [c for c in checks if c["section"] == g["name"]]
            self.assertEqual(g.get("status"),
                             STATUSES[max(STATUSES.index(c["status"]) for c in mine)], g)
            self.assertEqual(g.get("missing"), [c["name"] for c in mine if c["status"] != "ok"])

        if "services" in doc:
            self.assertIs(type(doc["services"]), list)
            for s in doc["services"]:
                for key in ("name", "state", "detail"):
                    self.assertTrue(is_text(s.get(key)), (key, s))
                self.assertIn(s["state"], SERVICE_STATES, s)
            names = [s["name"] for s in doc["services"]]
            self.assertEqual(len(names), len(set(names)))

    def assertCleanRun(self, result):
        self.assertValidReport(result.doc)
        self.assertEqual(result.completed.returncode, 0)
        self.assertEqual(result.completed.stderr, b"")


class AgentTestCase(DocumentAssertions):
    def setUp(self):
        self.tmp = tempfile.TemporaryDirectory(prefix="corvane-agent-")
        self.addCleanup(self.tmp.cleanup)
        self.count = 0

    def server(self):
        """A fresh fake server per case, so that subTest rows never share files."""
        self.count += 1
        return FakeServer(Path(self.tmp.name) / ("server%d" % self.count))


class HealthyServerTest(AgentTestCase):
    def test_healthy_server_is_ok_everywhere(self):
        result = self.server().run()
        self.assertCleanRun(result)
        doc = result.doc
        self.assertEqual(doc["overall"], "ok")
        self.assertEqual(doc["host"], "web-1")
        self.assertEqual(doc["uptimeSeconds"], 12345)
        self.assertEqual([g["name"] for g in doc["groups"]],
                         ["disk", "inodes", "memory", "load", "systemd", "system"])
        self.assertEqual([c["name"] for c in result.checks("disk")], ["/", "/var", "read-only"])
        self.assertEqual(result.check("disk", "/var")["detail"], "/var 50% used (19.5 MiB free)")
        self.assertEqual(result.service("ssh")["state"], "running")
        self.assertEqual(result.service("nginx")["state"], "not_installed")

    def test_only_real_local_filesystems_are_checked(self):
        rows = [
            (b"tmpfs /dev/shm tmpfs rw 0 0", "/dev/shm", False),
            (b"devtmpfs /dev devtmpfs rw 0 0", "/dev", False),
            (b"cgroup2 /sys/fs/cgroup cgroup2 rw 0 0", "/sys/fs/cgroup", False),
            (b"/dev/loop3 /snap/core/1 squashfs ro 0 0", "/snap/core/1", False),
            (b"overlay /var/lib/docker/overlay2/ab/merged overlay rw 0 0",
             "/var/lib/docker/overlay2/ab/merged", False),
            (b"nas:/export /mnt/nas nfs4 rw 0 0", "/mnt/nas", False),
            (b"me@host:/ /mnt/ssh fuse.sshfs rw 0 0", "/mnt/ssh", False),
            (b"systemd-1 /mnt/auto autofs rw 0 0", "/mnt/auto", False),
            (b"/dev/sdb1 /mnt/windows fuseblk rw 0 0", "/mnt/windows", True),
            (b"tank/data /tank/data zfs rw 0 0", "/tank/data", True),
            (b"/dev/sdc1 /srv btrfs rw 0 0", "/srv", True),
        ]
        for line, point, checked in rows:
            with self.subTest(point=point):
                server = self.server()
                server.mounts.append(line)
                if checked:
                    server.statvfs[point] = usage(10)
                result = server.run()
                self.assertCleanRun(result)
                names = [c["name"] for c in result.checks("disk")]
                self.assertEqual(point in names, checked, names)

    def test_container_root_on_overlay_is_checked(self):
        server = self.server()
        server.mounts = [b"overlay / overlay rw,lowerdir=/a,upperdir=/b 0 0",
                         b"proc /proc proc rw 0 0"]
        server.statvfs = {"/": usage(91)}
        server.fstab = ""
        result = server.run()
        self.assertCleanRun(result)
        self.assertEqual(result.check("disk", "/")["status"], "warn")

    def test_a_device_mounted_twice_is_reported_once(self):
        server = self.server()
        server.mounts.append(b"/dev/vda2 /srv/www xfs rw,relatime 0 0")  # bind mount
        result = server.run()
        self.assertCleanRun(result)
        self.assertEqual([c["name"] for c in result.checks("disk")], ["/", "/var", "read-only"])

    def test_ignored_mounts_are_skipped(self):
        for pattern in ("/var", "/v*"):
            with self.subTest(pattern=pattern):
                server = self.server()
                server.statvfs["/var"] = usage(99)
                server.config = {"ignoreMounts": [pattern]}
                result = server.run()
                self.assertCleanRun(result)
                self.assertEqual([c["name"] for c in result.checks("disk")], ["/", "read-only"])
                self.assertEqual(result.doc["overall"], "ok")


class ThresholdTest(AgentTestCase):
    def test_disk_space(self):
        rows = [  # df Use% -> status; df rounds up, so 84.01 % reads 85 %
            (84, "ok", "84%"), (84.01, "warn", "85%"), (85, "warn", "85%"),
            (94, "warn", "94%"), (95, "fail", "95%"), (100, "fail", "100%"),
        ]
        for percent, status, shown in rows:
            with self.subTest(percent=percent):
                server = self.server()
                server.statvfs["/var"] = usage(percent)
                result = server.run()
                self.assertCleanRun(result)
                check = result.check("disk", "/var")
                self.assertEqual(check["status"], status)
                self.assertTrue(check["detail"].startswith("/var %s used (" % shown),
                                check["detail"])
                self.assertEqual(result.doc["groups"][0]["missing"],
                                 [] if status == "ok" else ["/var"])

    def test_reserved_blocks_count_as_used_like_df(self):
        server = self.server()
        # 8000 blocks used, 1500 available to users, 500 reserved for root: 84.2 % -> 85 %
        server.statvfs["/var"] = {"f_frsize": 4096, "f_blocks": 10000, "f_bfree": 2000,
                                  "f_bavail": 1500, "f_files": 10, "f_ffree": 5}
        result = server.run()
        self.assertEqual(result.check("disk", "/var")["detail"], "/var 85% used (5.9 MiB free)")
        self.assertEqual(result.check("disk", "/var")["status"], "warn")

    def test_inodes(self):
        rows = [(840, "ok"), (850, "warn"), (940, "warn"), (950, "fail")]
        for used, status in rows:
            with self.subTest(used=used):
                server = self.server()
                server.statvfs["/var"] = usage(files=1000, used_files=used)
                result = server.run()
                self.assertCleanRun(result)
                check = result.check("inodes", "/var")
                self.assertEqual(check["status"], status)
                self.assertEqual(check["detail"],
                                 "/var %d%% of inodes used (%d free)" % (used // 10, 1000 - used))

    def test_filesystem_without_inode_count_has_no_inode_check(self):
        server = self.server()
        server.statvfs["/var"] = usage(files=0, used_files=0)
        result = server.run()
        self.assertCleanRun(result)
        self.assertEqual([c["name"] for c in result.checks("inodes")], ["/"])

    def test_memory_available(self):
        rows = [(49000, "fail", "4.9%"), (50000, "warn", "5.0%"), (99000, "warn", "9.9%"),
                (99999, "warn", "9.9%"), (100000, "ok", "10.0%")]
        for available_kib, status, shown in rows:
            with self.subTest(available=shown):
                server = self.server()
                server.meminfo["MemAvailable"] = available_kib
                result = server.run()
                self.assertCleanRun(result)
                check = result.check("memory", "memory")
                self.assertEqual(check["status"], status)
                self.assertTrue(check["detail"].endswith("(%s)" % shown), check["detail"])

    def test_memory_estimate_on_kernels_without_mem_available(self):
        server = self.server()
        del server.meminfo["MemAvailable"]
        server.meminfo.update(MemFree=30000, Buffers=5000, Cached=10000)  # 4.5 %
        result = server.run()
        self.assertCleanRun(result)
        check = result.check("memory", "memory")
        self.assertEqual(check["status"], "fail")
        self.assertIn("(4.5%), estimated", check["detail"])

    def test_swap(self):
        rows = [(0, 0, "ok", "no swap configured"),
                (1000000, 210000, "ok", "79% of 976.6 MiB swap used (205.1 MiB free)"),
                (1000000, 200000, "warn", "80% of 976.6 MiB swap used (195.3 MiB free)"),
                (1000000, 50000, "fail", "95% of 976.6 MiB swap used (48.8 MiB free)")]
        for total, free, status, detail in rows:
            with self.subTest(detail=detail):
                server = self.server()
                server.meminfo.update(SwapTotal=total, SwapFree=free)
                result = server.run()
                self.assertCleanRun(result)
                self.assertEqual(result.check("memory", "swap"),
                                 {"name": "swap", "status": status, "detail": detail,
                                  "section": "memory"})

    def test_load_per_core(self):
        rows = [(2, "0.50 2.98 1.00", "ok"), (2, "0.50 3.00 1.00", "warn"),
                (2, "9.00 5.99 1.00", "warn"), (2, "0.10 6.00 9.00", "fail"),
                (1, "0.10 1.60 0.10", "warn"), (8, "0.10 11.00 0.10", "ok")]
        for cores, loadavg, status in rows:
            with self.subTest(cores=cores, loadavg=loadavg):
                server = self.server()
                server.cores = cores
                server.loadavg = loadavg + " 1/200 999"
                result = server.run()
                self.assertCleanRun(result)
                check = result.check("load", "load")
                self.assertEqual(check["status"], status)
                self.assertIn("load %s on %d core" % (loadavg, cores), check["detail"])

    def test_thresholds_from_config(self):
        server = self.server()
        server.config = {"disk": {"warnPercent": 50, "failPercent": 70},
                         "memory": {"warnBelowPercent": 60},
                         "load": {"warnPerCore": 0.05}}
        server.statvfs["/var"] = usage(70)
        result = server.run()
        self.assertCleanRun(result)
        self.assertEqual(result.check("disk", "/").get("status"), "warn")  # 50 %
        self.assertEqual(result.check("disk", "/var")["status"], "fail")
        self.assertEqual(result.check("memory", "memory")["status"], "warn")  # 50 % available
        self.assertEqual(result.check("load", "load")["status"], "warn")  # 0.1 per core


class ReadOnlyMountTest(AgentTestCase):
    def test_read_only_mounts(self):
        rows = [
            ("root remounted read-only", b"/dev/vda1 / ext4 ro,relatime 0 0", "",
             "fail", "/ is read-only (normally read-write)"),
            ("fstab says read-write", b"/dev/vdb1 /data ext4 ro 0 0",
             "/dev/vdb1 /data/ ext4 defaults,noatime 0 2\n",
             "fail", "/data is read-only (normally read-write)"),
            ("fstab says read-only", b"/dev/vdb1 /data ext4 ro 0 0",
             "/dev/vdb1 /data ext4 ro,noatime 0 2\n", "ok", None),
            ("not in fstab", b"/dev/sdb1 /media/usb vfat ro 0 0", "", "ok", None),
            ("root read-only by fstab", b"/dev/vda1 / ext4 ro 0 0", "/dev/vda1 / ext4 ro 0 1\n",
             "ok", None),
        ]
        for label, line, fstab, status, detail in rows:
            with self.subTest(label):
                server = self.server()
                server.mounts = [m for m in server.mounts if not m.startswith(b"/dev/vda1 ")]
                server.mounts.append(line)
                server.fstab = fstab
                point = line.split()[1].decode()
                server.statvfs[point] = usage()
                result = server.run()
                self.assertCleanRun(result)
                check = result.check("disk", "read-only")
                self.assertEqual(check["status"], status)
                if detail:
                    self.assertEqual(check["detail"], detail)

    def test_several_read_only_mounts_are_listed_together(self):
        server = self.server()
        server.mounts = [b"/dev/vda1 / ext4 ro 0 0", b"/dev/vda2 /var xfs ro 0 0"]
        result = server.run()
        self.assertEqual(result.check("disk", "read-only")["detail"],
                         "/, /var are read-only (normally read-write)")


class SystemdTest(AgentTestCase):
    def test_failed_units(self):
        rows = [([], False, "ok", "no failed units"),
                (["nginx.service"], False, "fail", "1 failed: nginx.service"),
                (["nginx.service", "backup\\x2dnightly.timer"], True, "fail",
                 "2 failed: nginx.service, backup\\x2dnightly.timer")]
        for failed, bullet, status, detail in rows:
            with self.subTest(failed=failed, bullet=bullet):
                server = self.server()
                server.failed = failed
                server.bullet = bullet
                result = server.run()
                self.assertCleanRun(result)
                self.assertEqual(result.check("systemd", "failed units")["status"], status)
                self.assertEqual(result.check("systemd", "failed units")["detail"], detail)

    def test_many_failed_units_are_shortened(self):
        server = self.server()
        server.failed = ["u%d.service" % i for i in range(11)]
        result = server.run()
        self.assertTrue(result.check("systemd", "failed units")["detail"].endswith(
            "u7.service and 3 more"))

    def test_system_state(self):
        rows = [("running", "ok"), ("degraded", "warn"), ("starting", "warn"),
                ("stopping", "warn"), ("maintenance", "fail"), ("offline", "warn")]
        for state, status in rows:
            with self.subTest(state=state):
                server = self.server()
                server.system_state = state
                result = server.run()
                self.assertCleanRun(result)
                check = result.check("systemd", "system state")
                self.assertEqual(check["status"], status)
                self.assertIn(state, check["detail"])

    def test_service_states(self):
        rows = [
            ({"ActiveState": "active", "SubState": "running", "UnitFileState": "enabled"},
             "running"),
            ({"ActiveState": "active", "SubState": "exited", "UnitFileState": "enabled"},
             "running"),
            ({"ActiveState": "reloading", "SubState": "reload", "UnitFileState": "enabled"},
             "running"),
            ({"ActiveState": "failed", "SubState": "failed", "UnitFileState": "enabled"},
             "failed"),
            ({"ActiveState": "activating", "SubState": "auto-restart",
              "UnitFileState": "enabled"}, "failed"),
            ({"LoadState": "bad-setting", "ActiveState": "inactive", "SubState": "dead",
              "UnitFileState": "enabled"}, "failed"),
            ({"ActiveState": "inactive", "SubState": "dead", "UnitFileState": "enabled"},
             "stopped"),
            ({"ActiveState": "inactive", "SubState": "dead", "UnitFileState": "static"},
             "stopped"),
            ({"ActiveState": "inactive", "SubState": "dead", "UnitFileState": "disabled"},
             "disabled"),
            ({"LoadState": "masked", "ActiveState": "inactive", "SubState": "dead",
              "UnitFileState": "masked"}, "disabled"),
            (None, "not_installed"),
        ]
        for props, state in rows:
            with self.subTest(props=props):
                server = self.server()
                if props is not None:
                    server.units["nginx.service"] = dict(props, Description="nginx")
                result = server.run()
                self.assertCleanRun(result)
                self.assertEqual(result.service("nginx")["state"], state)

    def test_all_services_come_from_one_show_call(self):
        server = self.server()
        server.config = {"services": ["myapp", "worker@1.service", "backup.timer"]}
        server.units["backup.timer"] = running("Nightly backup", SubState="waiting")
        result = server.run()
        self.assertCleanRun(result)
        shows = [c for c in server.systemctl_calls() if c[0] == "show"]
        self.assertEqual(len(shows), 1)
        asked = shows[0][shows[0].index("--") + 1:]
        self.assertIn("sshd.service", asked)
        self.assertEqual(asked[-3:], ["myapp.service", "worker@1.service", "backup.timer"])
        names = [s["name"] for s in result.doc["services"]]
        self.assertEqual(names[-3:], ["myapp", "worker@1", "backup.timer"])
        self.assertEqual(result.service("backup.timer")["state"], "running")

    def test_alias_is_reported_under_the_name_asked_for(self):
        result = self.server().run()
        sshd = result.service("sshd")
        self.assertEqual(sshd["state"], "running")
        self.assertIn("ssh.service", sshd["detail"])
        self.assertIn("OpenBSD Secure Shell server", sshd["detail"])

    def test_configured_service_list(self):
        server = self.server()
        server.config = {"defaultServices": False, "services": ["cron", "bad name", "cron.service"]}
        result = server.run()
        self.assertValidReport(result.doc)
        self.assertEqual(result.doc["services"],
                         [{"name": "cron", "state": "running",
                           "detail": "active (running), enabled \u2014 "
                                     "Regular background program processing daemon"}])
        config = result.check("agent", "config")
        self.assertEqual(config["status"], "warn")
        self.assertIn('"bad name" is not a valid unit name', config["detail"])

    def test_without_systemd_services_are_absent(self):
        server = self.server()
        server.systemd = False
        result = server.run()
        self.assertCleanRun(result)
        self.assertNotIn("services", result.doc)
        self.assertEqual(result.checks("systemd"), [])
        self.assertEqual(server.systemctl_calls(), [])


class SystemTest(AgentTestCase):
    def test_reboot_required(self):
        rows = [(None, "ok", "no reboot flagged (/run/reboot-required absent)"),
                ([], "warn", "reboot required"),
                (["linux-image-6.1.0-18-amd64", "libc6", "libc6"], "warn",
                 "reboot required by linux-image-6.1.0-18-amd64, libc6")]
        for packages, status, detail in rows:
            with self.subTest(packages=packages):
                server = self.server()
                server.reboot_packages = packages
                result = server.run()
                self.assertCleanRun(result)
                self.assertEqual(result.check("system", "reboot")["status"], status)
                self.assertEqual(result.check("system", "reboot")["detail"], detail)

    def test_clock(self):
        for answer, status, detail in [("yes", "ok", "clock synchronised"),
                                       ("no", "warn", "clock not synchronised")]:
            with self.subTest(answer=answer):
                server = self.server()
                server.ntp = answer
                result = server.run()
                self.assertCleanRun(result)
                self.assertEqual(result.check("system", "clock")["status"], status)
                self.assertEqual(result.check("system", "clock")["detail"], detail)
                self.assertEqual((server.bin / "timedatectl.log").read_text(),
                                 "show -p NTPSynchronized --value\n")


class EscapingTest(AgentTestCase):
    def test_mount_points_with_awkward_characters(self):
        rows = [  # as /proc/mounts writes it -> the text people see
            (b'/mnt/say\\040"hi"', '/mnt/say "hi"'),
            (b"/mnt/back\\134slash", "/mnt/back\\slash"),
            ("/mnt/Données/日本".encode("utf-8"), "/mnt/Données/日本"),
            (b"/mnt/tab\\011and\\012newline", "/mnt/tab\tand\nnewline"),
            (b"/mnt/emoji-\xf0\x9f\x92\xbe", "/mnt/emoji-\U0001f4be"),
            (b"/mnt/latin1-\xe9", "/mnt/latin1-\ufffd"),
        ]
        for raw, point in rows:
            with self.subTest(point=point):
                server = self.server()
                server.mounts.append(b"/dev/vdc1 " + raw + b" ext4 rw 0 0")
                server.statvfs[point] = usage(96)
                result = server.run()
                self.assertCleanRun(result)
                check = result.check("disk", point)
                self.assertEqual(check["status"], "fail")
                self.assertEqual(check["detail"], "%s 96%% used (1.6 MiB free)" % point)
                self.assertIn(point, result.doc["groups"][0]["missing"])
                for ascii_only in (True, False):
                    again = json.loads(json.dumps(result.doc, ensure_ascii=ascii_only))
                    self.assertEqual(again, result.doc)

    def test_texts_from_systemd_and_the_host(self):
        server = self.server()
        server.hostname = 'wëb-"1"\\'
        server.units["nginx.service"] = running('Serves "sites" \\ für alle \u2028 ok')
        server.failed = ["dev-disk-by\\x2dlabel-D\\xc3\\xa9j\\xc3\\xa0.mount"]
        result = server.run()
        self.assertCleanRun(result)
        self.assertEqual(result.doc["host"], 'wëb-"1"\\')
        self.assertTrue(result.service("nginx")["detail"].endswith(
            'Serves "sites" \\ für alle \u2028 ok'))
        self.assertIn("by\\x2dlabel", result.check("systemd", "failed units")["detail"])

    def test_output_is_utf8_whatever_the_locale(self):
        for locale in ({}, {"LC_ALL": "C"}, {"LANG": "C", "PYTHONIOENCODING": "ascii"}):
            with self.subTest(locale=locale):
                server = self.server()
                server.mounts.append("/dev/vdc1 /srv/café ext4 rw 0 0".encode("utf-8"))
                server.statvfs["/srv/café"] = usage()
                result = server.run(locale)
                self.assertCleanRun(result)
                self.assertEqual(result.check("disk", "/srv/café")["status"], "ok")


class FailureTest(AgentTestCase):
    def test_systemctl_fails(self):
        server = self.server()
        server.systemctl_behaviour = {"*": "exit1"}
        result = server.run()
        self.assertCleanRun(result)
        for name in ("failed units", "system state", "services"):
            check = result.check("systemd", name)
            self.assertEqual(check["status"], "warn")
            self.assertIn("failed (exit 1): Failed to connect to bus", check["detail"])
        self.assertNotIn("services", result.doc)

    def test_systemctl_hangs(self):
        server = self.server()
        server.systemctl_behaviour = {"list-units": "hang"}
        server.config = {"timeoutSeconds": 0.5}
        result = server.run()
        self.assertCleanRun(result)
        self.assertEqual(result.check("systemd", "failed units"),
                         {"name": "failed units", "status": "warn", "section": "systemd",
                          "detail": "systemctl list-units did not answer within 0.5 s"})
        self.assertIn("skipped", result.check("systemd", "system state")["detail"])
        self.assertEqual([c[0] for c in server.systemctl_calls()], ["list-units"])
        self.assertNotIn("services", result.doc)
        sleeper = int((server.bin / "sleeper.pid").read_text())
        self.assertFalse(process_alive(sleeper), "the hung helper's child was left running")

    def test_only_the_service_list_fails(self):
        server = self.server()
        server.systemctl_behaviour = {"show": "exit1"}
        result = server.run()
        self.assertCleanRun(result)
        self.assertEqual(result.check("systemd", "failed units")["status"], "ok")
        self.assertEqual(result.check("systemd", "services")["status"], "warn")
        self.assertNotIn("services", result.doc)

    def test_timedatectl_fails(self):
        for behaviour, text in [("exit1", "timedatectl show failed (exit 1): Failed to query"),
                                ("hang", "timedatectl show did not answer within 0.5 s")]:
            with self.subTest(behaviour=behaviour):
                server = self.server()
                server.ntp = behaviour
                server.config = {"timeoutSeconds": 0.5}
                result = server.run()
                self.assertCleanRun(result)
                # The kernel's own clock state decides; the detail says why it was asked.
                self.assertIn(text, result.check("system", "clock")["detail"])

    def test_programs_that_cannot_start(self):
        server = self.server()
        missing = str(server.base / "no-such-program")
        result = server.run({"CORVANE_HEALTH_SYSTEMCTL": missing})
        self.assertCleanRun(result)
        self.assertIn("cannot run %s" % missing,
                      result.check("systemd", "failed units")["detail"])
        self.assertEqual(result.check("systemd", "failed units")["status"], "warn")

    def test_one_unreadable_filesystem(self):
        server = self.server()
        server.statvfs["/var"] = {"errno": 13}
        result = server.run()
        self.assertCleanRun(result)
        self.assertEqual(result.check("disk", "/var"),
                         {"name": "/var", "status": "warn", "section": "disk",
                          "detail": "/var: cannot read usage: Permission denied"})
        self.assertEqual(result.check("disk", "/")["status"], "ok")

    def test_missing_proc_files(self):
        rows = [("proc/mounts", "disk", "filesystems", "cannot read /proc/mounts"),
                ("proc/meminfo", "memory", "memory", "cannot read /proc/meminfo"),
                ("proc/meminfo", "memory", "swap", "cannot read /proc/meminfo"),
                ("proc/loadavg", "load", "load", "cannot read /proc/loadavg")]
        for relative, section, name, text in rows:
            with self.subTest(missing=relative, check=name):
                server = self.server()
                server.missing_files = [relative]
                result = server.run()
                self.assertCleanRun(result)
                check = result.check(section, name)
                self.assertEqual(check["status"], "warn")
                self.assertIn(text, check["detail"])

    def test_without_uptime_and_hostname_files_the_fields_are_still_filled(self):
        server = self.server()
        server.missing_files = ["proc/uptime", "proc/sys/kernel/hostname"]
        result = server.run()
        self.assertCleanRun(result)
        self.assertTrue(result.doc["host"])
        self.assertGreater(result.doc["uptimeSeconds"], 0)

    def test_a_stuck_check_still_yields_a_document(self):
        # Reading a FIFO with no writer blocks forever, like statvfs on a dead disk.
        server = self.server()
        server.config = {"timeoutSeconds": 0.25}
        server.write()
        fifo = server.base / "stuck.fifo"
        os.mkfifo(str(fifo))
        result = server.run({"CORVANE_HEALTH_STATVFS": str(fifo)})
        self.assertCleanRun(result)
        self.assertEqual(result.doc["overall"], "fail")
        agent = result.check("agent", "agent")
        self.assertEqual(agent["status"], "fail")
        self.assertEqual(agent["detail"],
                         "agent stopped after 1 s while checking disk; the report is incomplete")


class ConfigTest(AgentTestCase):
    def test_bad_config_falls_back_to_defaults(self):
        rows = [
            (b"{not json", "is not valid JSON"),
            (b"[1, 2]", "must hold a JSON object"),
            (json.dumps({"disk": {"warnPercent": "high"}}).encode(),
             "disk.warnPercent must be a number from 0 to 100"),
            (json.dumps({"disk": {"warnPercent": 99, "failPercent": 90}}).encode(),
             "the wrong way round"),
            (json.dumps({"memory": {"warnBelowPercent": 5, "failBelowPercent": 10}}).encode(),
             "the wrong way round"),
            (json.dumps({"timeoutSeconds": 0}).encode(), "timeoutSeconds must be a number"),
            (json.dumps({"services": "nginx"}).encode(), "services must be a list of strings"),
            (json.dumps({"servcies": ["x"]}).encode(), 'unknown key "servcies" ignored'),
        ]
        for content, text in rows:
            with self.subTest(config=content):
                server = self.server()
                server.statvfs["/var"] = usage(85)
                path = server.base / "bad.json"
                server.base.mkdir(parents=True, exist_ok=True)
                path.write_bytes(content)
                result = server.run({"CORVANE_HEALTH_CONFIG": str(path)})
                self.assertCleanRun(result)
                config = result.check("agent", "config")
                self.assertEqual(config["status"], "warn")
                self.assertIn(text, config["detail"])
                self.assertEqual(result.check("disk", "/var")["status"], "warn")  # defaults

    def test_example_config_is_accepted(self):
        server = self.server()
        example = AGENT.parent / "health.example.json"
        result = server.run({"CORVANE_HEALTH_CONFIG": str(example)})
        self.assertCleanRun(result)
        self.assertEqual(result.checks("agent"), [])
        self.assertIn("config: %s" % example, result.doc["diagnostics"])
        self.assertEqual(result.service("worker@1")["state"], "not_installed")

    def test_named_config_file_missing(self):
        server = self.server()
        result = server.run({"CORVANE_HEALTH_CONFIG": str(server.base / "absent.json")})
        self.assertCleanRun(result)
        self.assertIn("not found", result.check("agent", "config")["detail"])

    def test_lookup_order(self):
        rows = [(("env", "home", "etc"), "env"), (("home", "etc"), "home"), (("etc",), "etc"),
                ((), None)]
        for present, chosen in rows:
            with self.subTest(present=present):
                server = self.server()
                server.write()
                places = {"env": server.base / "env.json",
                          "home": server.home / ".config/corvane-monitor-health.json",
                          "etc": server.root / "etc/corvane-monitor/health.json"}
                for place in present:
                    places[place].parent.mkdir(parents=True, exist_ok=True)
                    places[place].write_text(json.dumps({"services": [place + "-app"]}))
                env = {"CORVANE_HEALTH_CONFIG": str(places["env"])} if "env" in present else {}
                result = server.run(env)
                self.assertCleanRun(result)
                names = [s["name"] for s in result.doc["services"]]
                for place in ("env", "home", "etc"):
                    self.assertEqual(place + "-app" in names, place == chosen, names)
                self.assertIn("config: %s" % (places[chosen] if chosen else "none, defaults"),
                              result.doc["diagnostics"])


class RealMachineTest(DocumentAssertions):
    """No seams: real /proc, real filesystems, the real systemctl and timedatectl if present."""

    def run_real(self, prefix=()):
        with tempfile.TemporaryDirectory(prefix="corvane-agent-home-") as home:
            env = {"PATH": "/usr/bin:/bin:/usr/sbin:/sbin", "HOME": home}
            if prefix:
                env["HOME"] = "/nonexistent"
            completed = subprocess.run(list(prefix) + [str(AGENT)], env=env,
                                       stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                       timeout=RUN_TIMEOUT)
        self.assertEqual(completed.returncode, 0, completed.stderr)
        result = AgentRun(completed)
        self.assertValidReport(result.doc)
        sections = {c["section"] for c in result.doc["checks"]}
        self.assertTrue({"disk", "memory", "load", "system"} <= sections, sections)
        self.assertEqual("services" in result.doc, os.path.isdir("/run/systemd/system"))
        self.assertEqual(result.checks("agent"), [])
        return result

    def test_this_machine(self):
        self.run_real()

    def test_this_machine_as_an_unprivileged_user(self):
        if os.geteuid() != 0:
            self.run_real()  # already unprivileged
            return
        setpriv = shutil.which("setpriv")
        self.assertIsNotNone(setpriv, "setpriv (util-linux) is needed to drop root")
        mode = AGENT.stat().st_mode
        self.assertTrue(mode & stat.S_IXOTH, "the agent must be executable by everyone")
        self.run_real([setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--"])


def process_alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    status = Path("/proc/%d/stat" % pid)
    try:
        return re.search(r"\) ([A-Z])", status.read_text()).group(1) != "Z"
    except OSError:
        return False


if __name__ == "__main__":
    unittest.main()
