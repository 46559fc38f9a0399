#!/usr/bin/env python3
"""Applies deliberate faults one at a time to scratch copies of the tree, builds and runs the
tests, and reports which faults the test suite catches.

    tools/faults/run_faults.py                 # every fault, against the tree this file is in
    tools/faults/run_faults.py --check         # only: does every fault still apply? (no build)
    tools/faults/run_faults.py --list
    tools/faults/run_faults.py --only ID,ID --jobs 2 --threads 4

The source tree is never written: each parallel job copies it (without build folders and
.git), configures one optimised build there and first runs the whole suite unchanged.
Tests that fail already then (known failures) do not count for any fault. For each fault
the job patches the copy, rebuilds, runs ctest (every test, a per-test timeout, HOME and
XDG_* in a fresh scratch folder) and restores the file. A fault is CAUGHT when a test that
passed unchanged now fails, times out or crashes, confirmed by running that test once more;
by default ctest stops at the first such failure (--full runs every test and names them
all). MISSED: every test passed. NOT-APPLIED: the snippet is not in the file exactly once.
BUILD-FAILED: the patched tree did not build (caught only for faults marked "build: caught").
"""

import argparse
import os
import queue
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.dirname(os.path.dirname(HERE))


# --- the fault list -------------------------------------------------------------------------

class Fault:
    def __init__(self, fid):
        self.id = fid
        self.file = ""
        self.what = ""
        self.find = None
        self.repl = None
        self.build_caught = False

    @property
    def folder(self):
        parts = self.file.split("/")
        return parts[1] if len(parts) > 2 and parts[0] == "src" else parts[0]


def parse_faults(path):
    faults, seen = [], set()
    cur, block_key, block = None, None, []

    def close_block():
        nonlocal block_key, block
        if block_key:
            setattr(cur, block_key, "\n".join(block))
        block_key, block = None, []

    with open(path, encoding="utf-8") as f:
        for n, raw in enumerate(f.read().split("\n"), 1):
            line = raw.rstrip("\r")
            if block_key and (line.startswith("> ") or line == ">"):
                block.append(line[2:])
                continue
            close_block()
            if not line.strip() or line.lstrip().startswith("#"):
                continue
            m = re.fullmatch(r"\[([A-Za-z0-9_.-]+)\]", line.strip())
            if m:
                if m.group(1) in seen:
                    raise SystemExit(f"{path}:{n}: fault id {m.group(1)} given twice")
                seen.add(m.group(1))
                cur = Fault(m.group(1))
                faults.append(cur)
                continue
            m = re.match(r"(file|what|find|repl|build):(.*)$", line)
            if not m or cur is None:
                raise SystemExit(f"{path}:{n}: cannot read this line: {line!r}")
            key, value = m.group(1), m.group(2)
            value = value[1:] if value.startswith(" ") else value
            if key == "build":
                cur.build_caught = value.strip() == "caught"
            elif key in ("find", "repl") and value == "":
                block_key = key  # the value follows on "> " lines
                setattr(cur, key, "")
            else:
                setattr(cur, key, value)
        close_block()
    for fault in faults:
        if not fault.file or fault.find is None or fault.repl is None or not fault.find:
            raise SystemExit(f"{path}: fault {fault.id} needs file, find and repl")
        if fault.find == fault.repl:
            raise SystemExit(f"{path}: fault {fault.id} changes nothing")
    return faults


def check_fault(root, fault):
    """None when the fault applies to the tree at root, else why not."""
    path = os.path.join(root, fault.file)
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except OSError as e:
        return f"cannot read {fault.file}: {e.strerror}"
    count = text.count(fault.find)
    if count != 1:
        return f"snippet found {count} times in {fault.file} (must be exactly once)"
    return None


# --- running ----------------------------------------------------------------------------------

RESULT_LINE = re.compile(r"^\s*\d+/\d+\s+Test\s+#\d+:\s+(\S+)\s+\.*\s*(.*?)\s+[\d.]+\s+sec\s*$")


class Job:
    """One scratch copy with its build folder."""

    def __init__(self, index, work, source, args, log):
        self.index = index
        self.root = os.path.join(work, f"copy{index}")
        self.build = os.path.join(self.root, "build")
        self.logs = os.path.join(work, "logs")
        self.source = source
        self.args = args
        self.log = log
        self.proc = None

    def run(self, cmd, cwd, logname, env=None, timeout=None):
        path = os.path.join(self.logs, logname)
        with open(path, "w") as out:
            p = subprocess.run(cmd, cwd=cwd, stdout=out, stderr=subprocess.STDOUT, env=env, timeout=timeout)
        return p.returncode, path

    @staticmethod
    def skipped(rel):
        top = rel.split(os.sep)[0]
        return top.startswith("build") or top.startswith("home-") or top == ".git" or "__pycache__" in rel

    def files_of(self, root):
        found = set()
        for folder, dirs, names in os.walk(root):
            rel_folder = os.path.relpath(folder, root)
            dirs[:] = [d for d in dirs if not self.skipped(os.path.normpath(os.path.join(rel_folder, d)))]
            for n in names:
                rel = os.path.normpath(os.path.join(rel_folder, n))
                if not self.skipped(rel):
                    found.add(rel)
        return found

    def sync(self):
        """Makes the copy equal to the source, touching only files that differ (so that a
        kept scratch folder rebuilds incrementally)."""
        src, dst = self.files_of(self.source), self.files_of(self.root)
        for rel in dst - src:
            os.remove(os.path.join(self.root, rel))
        for rel in src:
            a, b = os.path.join(self.source, rel), os.path.join(self.root, rel)
            if os.path.exists(b):
                with open(a, "rb") as fa, open(b, "rb") as fb:
                    if fa.read() == fb.read():
                        continue
            os.makedirs(os.path.dirname(b), exist_ok=True)
            shutil.copy2(a, b)

    def setup(self):
        self.sync()
        cmd = ["cmake", "-S", self.root, "-B", self.build, "-DCMAKE_BUILD_TYPE=Release", "-DTAV_LTO=OFF"]
        if shutil.which("ninja"):
            cmd += ["-G", "Ninja"]
        rc, path = self.run(cmd, self.root, f"copy{self.index}-configure.log")
        if rc != 0:
            raise RuntimeError(f"configuring copy {self.index} failed, see {path}")
        if not self.rebuild(f"copy{self.index}-build.log"):
            raise RuntimeError(f"the unchanged tree does not build, see {self.logs}/copy{self.index}-build.log")

    def rebuild(self, logname):
        rc, _ = self.run(["cmake", "--build", self.build, "-j", str(self.args.threads)], self.root, logname)
        return rc == 0

    def test_env(self, scratch):
        env = dict(os.environ)
        for key, sub in (("HOME", "home"), ("XDG_CONFIG_HOME", "config"), ("XDG_DATA_HOME", "data"),
                         ("XDG_CACHE_HOME", "cache")):
            env[key] = os.path.join(scratch, sub)
            os.makedirs(env[key], exist_ok=True)
        return env

    def ctest(self, logname, stop_at=None, only=None):
        """Runs ctest; returns (results {name: passed?}, stopped_early). stop_at(name) -> True
        ends the run at that failure."""
        scratch = tempfile.mkdtemp(prefix="home-", dir=self.root)
        cmd = ["ctest", "-j", str(self.args.threads), "--timeout", str(self.args.timeout)]
        if only:
            cmd = ["ctest", "--timeout", str(self.args.timeout), "-R", "^(" + "|".join(map(re.escape, only)) + ")$"]
        results, stopped = {}, False
        with open(os.path.join(self.logs, logname), "w") as out:
            proc = subprocess.Popen(cmd, cwd=self.build, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                    env=self.test_env(scratch), text=True, errors="replace",
                                    start_new_session=True)
            self.proc = proc
            for line in proc.stdout:
                out.write(line)
                m = RESULT_LINE.match(line)
                if not m:
                    continue
                name, status = m.group(1), m.group(2)
                if "Skipped" in status:
                    continue
                ok = "Passed" in status
                results[name] = ok
                if not ok and stop_at and stop_at(name):
                    stopped = True
                    try:
                        os.killpg(proc.pid, signal.SIGTERM)
                    except ProcessLookupError:
                        pass
                    break
            proc.stdout.close()
            try:
                proc.wait(timeout=60)
            except subprocess.TimeoutExpired:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait()
            self.proc = None
        shutil.rmtree(scratch, ignore_errors=True)
        return results, stopped

    def new_failures(self, fid, known, full):
        """The tests this fault makes fail, each confirmed by a second run of that test."""
        stop = None if full else (lambda name: name not in known)
        results, stopped = self.ctest(f"{fid}-ctest.log", stop_at=stop)
        failed = [n for n, ok in results.items() if not ok and n not in known]
        if failed:
            again, _ = self.ctest(f"{fid}-confirm.log", only=failed)
            confirmed = [n for n in failed if again.get(n) is False]
            if confirmed or not stopped:
                return confirmed, len(results)
            # The one failure seen was a fluke: run everything to the end.
            return self.new_failures(fid, known, True)
        return [], len(results)

    def apply(self, fault):
        path = os.path.join(self.root, fault.file)
        with open(path, encoding="utf-8") as f:
            original = f.read()
        if original.count(fault.find) != 1:
            return None
        with open(path, "w", encoding="utf-8") as f:
            f.write(original.replace(fault.find, fault.repl, 1))
        return original

    def revert(self, fault, original):
        with open(os.path.join(self.root, fault.file), "w", encoding="utf-8") as f:
            f.write(original)

    def try_fault(self, fault, known):
        original = self.apply(fault)
        if original is None:
            return "NOT-APPLIED", "snippet not found exactly once in the scratch copy"
        try:
            if not self.rebuild(f"{fault.id}-build.log"):
                if fault.build_caught:
                    return "CAUGHT", "the build fails, as marked"
                return "BUILD-FAILED", f"see {self.logs}/{fault.id}-build.log"
            failed, ran = self.new_failures(fault.id, known, self.args.full)
            if failed:
                shown = ", ".join(sorted(failed)[:4]) + (f" (+{len(failed) - 4} more)" if len(failed) > 4 else "")
                return "CAUGHT", f"by {shown}"
            return "MISSED", f"{ran} tests passed"
        finally:
            self.revert(fault, original)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--source", default=REPO, help="tree to copy and test (default: %(default)s)")
    ap.add_argument("--faults", default=os.path.join(HERE, "faults.txt"), help="fault list")
    ap.add_argument("--list", action="store_true", help="print the faults and stop")
    ap.add_argument("--check", action="store_true", help="only check that every fault applies to --source")
    ap.add_argument("--only", default="", help="comma-separated fault ids")
    cpus = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else (os.cpu_count() or 2)
    ap.add_argument("--jobs", type=int, default=max(1, min(3, cpus // 3)), help="scratch copies run in parallel")
    ap.add_argument("--threads", type=int, default=0, help="build and ctest threads per job (default: cpus / jobs)")
    ap.add_argument("--timeout", type=int, default=300, help="seconds per test (default: %(default)s)")
    ap.add_argument("--full", action="store_true", help="run every test for every fault and name all that catch it")
    ap.add_argument("--work", default="", help="scratch folder (default: a new temporary folder); a kept one "
                    "is brought up to date with --source and rebuilt incrementally")
    ap.add_argument("--keep", action="store_true", help="keep the scratch folder (implied by --work)")
    args = ap.parse_args()
    args.source = os.path.abspath(args.source)
    if args.threads <= 0:
        args.threads = max(1, cpus // max(1, args.jobs))

    faults = parse_faults(args.faults)
    if args.only:
        wanted = [w.strip() for w in args.only.split(",") if w.strip()]
        unknown = [w for w in wanted if w not in {f.id for f in faults}]
        if unknown:
            raise SystemExit("unknown fault id(s): " + ", ".join(unknown))
        faults = [f for f in faults if f.id in wanted]

    if args.list:
        for f in faults:
            print(f"{f.id:<40} {f.file:<40} {f.what}")
        print(f"{len(faults)} faults")
        return 0

    problems = {f.id: check_fault(args.source, f) for f in faults}
    if args.check:
        bad = 0
        for f in faults:
            why = problems[f.id]
            bad += why is not None
            print(f"{f.id:<40} {'APPLIES' if why is None else 'NOT-APPLIED: ' + why}")
        by_folder = {}
        for f in faults:
            by_folder[f.folder] = by_folder.get(f.folder, 0) + 1
        print("per folder: " + ", ".join(f"{k} {v}" for k, v in sorted(by_folder.items())))
        print(f"{len(faults) - bad} of {len(faults)} faults apply to {args.source}")
        return 1 if bad else 0

    start = time.time()
    work = os.path.abspath(args.work) if args.work else tempfile.mkdtemp(prefix="tav-faults-")
    os.makedirs(os.path.join(work, "logs"), exist_ok=True)
    lock = threading.Lock()

    def log(msg):
        with lock:
            print(f"[{time.time() - start:6.0f}s] {msg}", file=sys.stderr, flush=True)

    runnable = [f for f in faults if problems[f.id] is None]
    njobs = max(1, min(args.jobs, len(runnable) or 1))
    jobs = [Job(i, work, args.source, args, log) for i in range(njobs)]
    log(f"{len(faults)} faults, {njobs} job(s) x {args.threads} thread(s), scratch {work}")

    # Each copy is built and its unchanged suite run; a test failing in any of these runs is
    # a known failure and says nothing about a fault.
    known, setup_errors = set(), []

    def prepare(job):
        try:
            job.setup()
            log(f"copy {job.index} built")
            results, _ = job.ctest(f"copy{job.index}-reference.log")
            failing = {n for n, ok in results.items() if not ok}
            with lock:
                known.update(failing)
            log(f"copy {job.index}: {len(results)} tests, {len(failing)} failing unchanged")
        except Exception as e:  # reported below
            setup_errors.append(str(e))

    threads = [threading.Thread(target=prepare, args=(j,)) for j in jobs]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    if setup_errors:
        for e in setup_errors:
            print("error: " + e, file=sys.stderr)
        return 2

    results = {f.id: ("NOT-APPLIED", problems[f.id]) for f in faults if problems[f.id] is not None}
    todo = queue.Queue()
    for f in runnable:
        todo.put(f)
    done = [0]

    def worker(job):
        while True:
            try:
                fault = todo.get_nowait()
            except queue.Empty:
                return
            t0 = time.time()
            try:
                status, detail = job.try_fault(fault, known)
            except Exception as e:
                status, detail = "ERROR", str(e)
            with lock:
                results[fault.id] = (status, detail)
                done[0] += 1
                n = done[0]
            log(f"({n}/{len(runnable)}) {fault.id}: {status} in {time.time() - t0:.0f}s")

    threads = [threading.Thread(target=worker, args=(j,)) for j in jobs]
    try:
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    except KeyboardInterrupt:
        for j in jobs:
            if j.proc:
                os.killpg(j.proc.pid, signal.SIGKILL)
        raise

    print(f"# source: {args.source}")
    print(f"# known failures of the unchanged tree ({len(known)}): " + (", ".join(sorted(known)) or "none"))
    counts = {}
    for f in faults:
        status, detail = results.get(f.id, ("ERROR", "not run"))
        counts[status] = counts.get(status, 0) + 1
        print(f"{f.id:<40} {status:<12} {f.file}: {f.what} -- {detail}")
    folders = {}
    for f in faults:
        c, m = folders.get(f.folder, (0, 0))
        status = results.get(f.id, ("",))[0]
        folders[f.folder] = (c + (status == "CAUGHT"), m + 1)
    print("# per folder (caught/faults): " + ", ".join(f"{k} {c}/{m}" for k, (c, m) in sorted(folders.items())))
    extra = [f"{counts[k]} {k.lower()}" for k in ("NOT-APPLIED", "BUILD-FAILED", "ERROR") if counts.get(k)]
    minutes = (time.time() - start) / 60
    print(f"{counts.get('CAUGHT', 0)} caught, {counts.get('MISSED', 0)} missed"
          + (" (" + ", ".join(extra) + ")" if extra else "")
          + f" -- {len(faults)} faults, {minutes:.1f} min with {njobs} job(s) x {args.threads} thread(s)")
    if not args.keep and not args.work:
        shutil.rmtree(work, ignore_errors=True)
    else:
        print(f"# scratch kept: {work}")
    return 0 if counts.get("MISSED", 0) == 0 and not extra else 1


if __name__ == "__main__":
    sys.exit(main())
