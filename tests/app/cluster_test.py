"""pxhost submit, --skip-existing, --digest and verify against a real one-node Slurm.

The module starts its own munged, slurmctld and slurmd (Debian's packages) under a temporary
folder, all listening on loopback only, and stops them by process id when it ends. It needs
root (the daemons run as root) and the program under test in $PXHOST. Nothing here skips: a
missing daemon or program fails the test run.
"""

import os
import re
import shutil
import signal
import socket
import stat
import subprocess
import tempfile
import time

import numpy as np
import OpenImageIO as oiio
import pytest

PXHOST = os.environ.get("PXHOST", "")
FRAMES = 24
WIDTH, HEIGHT = 64, 48
DAEMON_START_SECONDS = 20
JOB_SECONDS = 60
KEY = ('key = Zephra_1v4(FileIn("{inp}/fg.####.png"), FileIn("{inp}/bg.png"), 0, 0, '
       '"{view}", 0.05, 0.11, 0.40, 0.05);\n'
       'FileOut(key, "{out}/key.####.tif", "16");\n')


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(what, condition, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if condition():
            return
        time.sleep(0.1)
    raise AssertionError("timed out waiting for " + what)


class Cluster:
    """munged, slurmctld and slurmd, each a child process of this one."""

    def __init__(self, root):
        self.root = root
        self.processes = []
        self.env = dict(os.environ, SLURM_CONF=os.path.join(root, "slurm.conf"))

    def start(self):
        assert os.geteuid() == 0, "the cluster test starts Slurm's daemons and must run as root"
        for program in ("munged", "slurmctld", "slurmd", "sbatch", "squeue", "scancel", "sinfo"):
            assert shutil.which(program, path=os.environ["PATH"] + ":/usr/sbin:/sbin"), (
                program + " is missing: scripts/install-deps installs Slurm and munge")
        r = self.root
        munge = os.path.join(r, "munge")
        os.makedirs(munge)
        os.chmod(munge, 0o755)  # munged refuses a socket folder others may write to
        for d in ("state", "spool", "log"):
            os.makedirs(os.path.join(r, d))
        with open(os.path.join(munge, "key"), "wb") as f:
            f.write(os.urandom(1024))
        os.chmod(os.path.join(munge, "key"), 0o600)
        self.socket = os.path.join(munge, "socket")
        self.spawn(["munged", "--foreground", "--key-file=" + munge + "/key",
                    "--socket=" + self.socket, "--pid-file=" + munge + "/pid",
                    "--log-file=" + munge + "/log", "--seed-file=" + munge + "/seed"])
        wait_for("munged", lambda: self.running() and os.path.exists(self.socket),
                 DAEMON_START_SECONDS)

        host = socket.gethostname().split(".")[0]
        with open(self.env["SLURM_CONF"], "w") as f:
            f.write(f"""ClusterName=pxhosttest
SlurmctldHost={host}(127.0.0.1)
SlurmctldPort={free_port()}
SlurmdPort={free_port()}
CommunicationParameters=NoCtldInAddrAny,NoInAddrAny
AuthType=auth/munge
AuthInfo=socket={self.socket}
SlurmUser=root
SlurmdUser=root
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SlurmdParameters=config_overrides
AccountingStorageType=accounting_storage/none
JobAcctGatherType=jobacct_gather/none
JobCompType=jobcomp/none
SchedulerParameters=batch_sched_delay=0
MailProg=/bin/true
ReturnToService=2
KillWait=1
StateSaveLocation={r}/state
SlurmdSpoolDir={r}/spool
SlurmctldPidFile={r}/slurmctld.pid
SlurmdPidFile={r}/slurmd.pid
SlurmctldLogFile={r}/log/slurmctld.log
SlurmdLogFile={r}/log/slurmd.log
NodeName=pxnode NodeAddr=127.0.0.1 CPUs=4 State=UNKNOWN
PartitionName=render Nodes=pxnode Default=YES MaxTime=INFINITE State=UP
""")
        self.spawn(["slurmctld", "-D", "-i"])
        self.spawn(["slurmd", "-D", "-N", "pxnode"])
        wait_for("an idle Slurm node", self.node_idle, DAEMON_START_SECONDS)

    def spawn(self, argv):
        log = open(os.path.join(self.root, "log", os.path.basename(argv[0]) + ".out"), "w")
        self.processes.append(subprocess.Popen(argv, env=self.env, stdout=log, stderr=log))

    def running(self):
        for p in self.processes:
            assert p.poll() is None, f"{p.args[0]} ended with status {p.returncode}: " + \
                self.logs()
        return True

    def node_idle(self):
        self.running()
        r = self.run(["sinfo", "--noheader", "--format=%t"], check=False)
        return r.returncode == 0 and r.stdout.strip() == "idle"

    def logs(self):
        text = ""
        for name in sorted(os.listdir(os.path.join(self.root, "log"))):
            with open(os.path.join(self.root, "log", name), errors="replace") as f:
                text += f"\n--- {name}\n" + f.read()[-3000:]
        return text

    def run(self, argv, check=True, **kw):
        r = subprocess.run(argv, env=self.env, capture_output=True, text=True, **kw)
        if check:
            assert r.returncode == 0, f"{argv}: {r.returncode}\n{r.stdout}\n{r.stderr}"
        return r

    def job_done(self, job):
        r = self.run(["squeue", "--noheader", "--jobs=" + job], check=False)
        return r.returncode != 0 or r.stdout.strip() == ""

    def stop(self):
        if os.path.exists(self.env["SLURM_CONF"]):
            self.run(["scancel", "--user=root"], check=False, timeout=10)
        for p in reversed(self.processes):
            p.send_signal(signal.SIGTERM)
        for p in reversed(self.processes):
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        shutil.rmtree(self.root, ignore_errors=True)


@pytest.fixture(scope="module")
def cluster():
    assert PXHOST and os.access(PXHOST, os.X_OK), "set PXHOST to the built pxhost program"
    # munged wants every folder above its socket open to all; pytest's own are not.
    root = tempfile.mkdtemp(prefix="pxhost-slurm-")
    os.chmod(root, 0o755)
    c = Cluster(root)
    try:
        c.start()
        yield c
    except BaseException:
        print(c.logs())
        raise
    finally:
        c.stop()


def write_picture(path, pixels):
    out = oiio.ImageOutput.create(path)
    spec = oiio.ImageSpec(pixels.shape[1], pixels.shape[0], pixels.shape[2], "uint16")
    assert out.open(path, spec) and out.write_image(pixels) and out.close(), oiio.geterror()


def read_picture(path):
    inp = oiio.ImageInput.open(path)
    assert inp, oiio.geterror()
    pixels = inp.read_image("uint16")
    inp.close()
    return pixels


@pytest.fixture(scope="module")
def shot(tmp_path_factory):
    """A blue-screen sequence with a grey square moving across it, a plate, and a script."""
    root = tmp_path_factory.mktemp("shot")
    inp = root / "in"
    inp.mkdir()
    rng = np.random.default_rng(20)
    y, x = np.mgrid[0:HEIGHT, 0:WIDTH]
    for frame in range(1, FRAMES + 1):
        fg = np.empty((HEIGHT, WIDTH, 3), np.uint16)
        fg[...] = (3000, 9000, 52000)
        fg += rng.integers(0, 800, fg.shape, dtype=np.uint16)  # an uneven screen
        square = (abs(x - 2 * frame - 8) < 8) & (abs(y - HEIGHT // 2) < 10)
        fg[square] = (40000, 36000, 30000)
        write_picture(str(inp / f"fg.{frame:04d}.png"), fg)
    bg = np.zeros((HEIGHT, WIDTH, 3), np.uint16)
    bg[..., 0] = (x * 1000).astype(np.uint16)
    bg[..., 1] = (y * 1300).astype(np.uint16)
    write_picture(str(inp / "bg.png"), bg)
    return root


def script(root, name, inp="in", view="composite"):
    out = root / name
    out.mkdir(exist_ok=True)
    path = root / (name + ".pxs")
    path.write_text(KEY.format(inp=root / inp, out=out, view=view))
    return path


def pxhost(cluster, root, *args, expect=0):
    r = cluster.run([PXHOST, *map(str, args)], check=False, cwd=root, timeout=JOB_SECONDS)
    assert r.returncode == expect, f"pxhost {args}: {r.returncode}\n{r.stdout}\n{r.stderr}"
    return r


def outputs(folder):
    """The frames in a folder; hidden files are temporary ones, never frames."""
    return {f: read_picture(str(folder / f)) for f in sorted(os.listdir(folder))
            if not f.startswith(".")}


def digests(path):
    records = {}
    for line in path.read_text().splitlines():
        m = re.fullmatch(r"frame=(\d+) inputs=(\w{64}) params=(\w{64}) outputs=(\w{64}) "
                         r"script=(.+)", line)
        assert m, "not a digest record: " + line
        records[int(m[1])] = m.groups()[1:4]
    return records


@pytest.fixture(scope="module")
def reference(cluster, shot):
    """The sequence rendered by one process here, with its digests."""
    local = script(shot, "local")
    pxhost(cluster, shot, "-q", "--digest", shot / "local.digest", "-t", f"1-{FRAMES}", local)
    return outputs(shot / "local")


def test_array_job_matches_a_single_process_render(cluster, shot, reference):
    farm = script(shot, "farm")
    r = pxhost(cluster, shot, "submit", farm, "-t", f"1-{FRAMES}", "--chunk", 6, "--wait",
               "--digest", shot / "farm.digest")
    assert r.stdout.splitlines()[1:] == [f"frames written: 1-{FRAMES}"], r.stdout
    assert len(os.listdir(shot / "farm")) == FRAMES
    assert sorted(os.listdir(shot / "farm")) == sorted(os.listdir(shot / "local"))
    farm_pictures = outputs(shot / "farm")
    for name, pixels in reference.items():
        assert np.array_equal(farm_pictures[name], pixels), name
    # Four tasks appended to one digest file: one whole record per frame, equal to the local.
    assert len((shot / "farm.digest").read_text().splitlines()) == FRAMES
    farm_digests, local_digests = digests(shot / "farm.digest"), digests(shot / "local.digest")
    assert farm_digests == local_digests
    assert len({d[2] for d in farm_digests.values()}) == FRAMES  # every frame differs

    r = pxhost(cluster, shot, "verify", shot / "farm.digest", "-t", "1-24x5")
    assert r.stdout.strip() == "verified 5 of 5 frames: 5 match, 0 differ", r.stdout


def test_a_changed_parameter_changes_the_digests_and_is_rendered_again(cluster, shot):
    path = script(shot, "changed")
    digest = shot / "changed.digest"
    frames = "1-4"
    pxhost(cluster, shot, "-q", "--digest", digest, "--skip-existing", "-t", frames, path)
    before = digests(digest)
    again = pxhost(cluster, shot, "-q", "--digest", digest, "--skip-existing", "-t", frames, path)
    assert "skipped 4 frames" in again.stderr
    assert pxhost(cluster, shot, "verify", digest).returncode == 0

    script(shot, "changed", view="compOnBlack")  # the same files, another output
    r = pxhost(cluster, shot, "verify", digest, "-t", 2, expect=1)
    assert "frame 2: parameters" in r.stdout and "frame 2: output pixels" in r.stdout, r.stdout
    assert "input pixels" not in r.stdout
    r = pxhost(cluster, shot, "-q", "--digest", digest, "--skip-existing", "-t", frames, path)
    assert "skipped" not in r.stderr
    after = digests(digest)
    for frame in range(1, 5):
        assert after[frame][0] == before[frame][0]  # the same inputs
        assert after[frame][1] != before[frame][1]  # other parameters
        assert after[frame][2] != before[frame][2]  # other pictures


def task_processes(frames):
    """The process ids of pxhost runs whose frame range is `frames`."""
    found = []
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as f:
                argv = f.read().split(b"\0")
        except OSError:
            continue
        if argv and argv[0] == PXHOST.encode() and frames.encode() in argv:
            found.append(int(pid))
    return found


def test_a_killed_task_leaves_no_partial_frame_and_a_resubmission_finishes(cluster, shot,
                                                                        reference):
    # The task of frames 13-18 is stopped as soon as it runs and killed once the others are
    # done: it ends wherever it was, without a chance to clean up.
    path = script(shot, "killed")
    out = shot / "killed"
    job = pxhost(cluster, shot, "submit", path, "-t", f"1-{FRAMES}", "--chunk", 6).stdout.strip()
    assert re.fullmatch(r"\d+", job), job
    stopped = []

    def stop_task():
        for pid in task_processes("13-18"):
            os.kill(pid, signal.SIGSTOP)
            stopped.append(pid)
        return bool(stopped)

    wait_for("the task of frames 13-18 to start", stop_task, JOB_SECONDS)
    others = [f"key.{f:04d}.tif" for f in list(range(1, 13)) + list(range(19, 25))]
    wait_for("the other tasks", lambda: all((out / f).exists() for f in others), JOB_SECONDS)
    cluster.run(["scancel", "--signal=KILL", f"{job}_2"])
    wait_for("the job to end", lambda: cluster.job_done(job), JOB_SECONDS)
    # Every file under a final name is a whole frame; a temporary file of the killed writer
    # may be left, hidden, and is never taken for a frame.
    names = sorted(os.listdir(out))
    done = [n for n in names if not n.startswith(".")]
    assert set(others) <= set(done)
    for name, pixels in outputs(out).items():
        assert np.array_equal(pixels, reference[name]), name
    missing = sorted(set(reference) - set(done))
    assert missing, "the killed task had written all its frames"

    before = {f: os.stat(out / f) for f in done}
    r = pxhost(cluster, shot, "submit", path, "-t", f"1-{FRAMES}", "--chunk", 6,
               "--skip-existing", "--wait")
    lines = r.stdout.splitlines()[1:]
    written = [int(n[4:8]) for n in missing]
    assert lines[0] == "frames written: " + (
        f"{written[0]}-{written[-1]}" if len(written) > 1 else f"{written[0]}"), r.stdout
    for f, st in before.items():  # the frames that were there were left alone
        now = os.stat(out / f)
        assert (now.st_ino, now.st_mtime_ns) == (st.st_ino, st.st_mtime_ns), f
    for name, pixels in outputs(out).items():
        assert np.array_equal(pixels, reference[name]), name
    assert len(reference) == FRAMES
