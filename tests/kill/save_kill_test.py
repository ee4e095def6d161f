#!/usr/bin/env python3
"""Saves killed from outside, as a power loss or a crash ends them.

A child process (save_child.exe) opens a large file in place or through a
private copy, types into it and saves it, over the file or as a new file; it
is killed with SIGKILL of its Linux process at the instant its folder
changes (seen with inotify), at random instants, and at each step of the
save in turn (it ends itself there). After each kill the target must hold
exactly its old bytes or exactly the new ones, and the next start
(save_child.exe recover) must open it and leave no temporary in the folder
or in the temporary folder.

  save_kill_test.py <save_child.exe> [--rename N] [--random N] [--megabytes M]
Prints one line per group and 'N passed, N failed'.
"""
import argparse
import ctypes
import os
import random
import select
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

IN_MOVED_FROM, IN_MOVED_TO, IN_CREATE, IN_DELETE = 0x40, 0x80, 0x100, 0x200
libc = ctypes.CDLL(None, use_errno=True)


class FolderWatch:
    """The changes of one folder's names, as they happen."""

    def __init__(self, folder):
        self.fd = libc.inotify_init1(os.O_NONBLOCK | os.O_CLOEXEC)
        if self.fd < 0 or libc.inotify_add_watch(
                self.fd, folder.encode(), IN_CREATE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE) < 0:
            raise OSError(ctypes.get_errno(), 'inotify')

    def next(self, timeout):
        """The (mask, name) events that arrived within `timeout` seconds."""
        ready, _, _ = select.select([self.fd], [], [], timeout)
        if not ready:
            return []
        data, out, i = os.read(self.fd, 65536), [], 0
        while i < len(data):
            _, mask, _, length = struct.unpack_from('iIII', data, i)
            out.append((mask, data[i + 16:i + 16 + length].rstrip(b'\0').decode(errors='replace')))
            i += 16 + length
        return out

    def close(self):
        os.close(self.fd)


def windows_path(path):
    return 'Z:' + path.replace('/', '\\')


def sample(megabytes):
    line = b'%08d the quick brown fox jumps over the lazy dog, caf\xe9 na\xefve\r\n'
    count = megabytes * 1024 * 1024 // len(line % 0)
    return b''.join(line % i for i in range(count))[:-2]


class KillTest:
    def __init__(self, child, megabytes):
        self.child = child
        self.old = sample(megabytes)
        self.new = b'typed ' + self.old
        # Wine's services start away from any pipe: started by the first
        # process whose output is read, they would hold that pipe open.
        subprocess.run(['wine', 'cmd', '/c', 'exit'], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        out = subprocess.run(['wine', child, 'temp'], capture_output=True, text=True, timeout=120).stdout.strip()
        self.temp = subprocess.run(['winepath', '-u', out], capture_output=True, text=True).stdout.strip()
        self.base = tempfile.mkdtemp(prefix='morrowpad-kill-')
        self.passed = self.failed = 0

    def temporaries(self):
        try:
            return {n for n in os.listdir(self.temp) if n.startswith(('MP_', 'MPS', '~MP', 'FT_'))}
        except FileNotFoundError:
            return set()

    def fail(self, what):
        self.failed += 1
        print('FAILED: ' + what, flush=True)

    def trial(self, mode, new_file, kill, what):
        """One save killed by `kill(process, watch)`; checks the file and the next start."""
        folder = tempfile.mkdtemp(dir=self.base)
        source = os.path.join(folder, 'source.txt' if new_file else 'name.txt')
        target = os.path.join(folder, 'name.txt')
        with open(source, 'wb') as f:
            f.write(self.old)
        temps = self.temporaries()
        watch = FolderWatch(folder)
        args = ['wine', self.child, 'save', mode, windows_path(source)]
        if new_file:
            args.append(windows_path(target))
        args += kill.get('args', [])
        proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        ok = proc.stdout.readline().strip() == b'ready'
        while watch.next(0):  # what the load did
            pass
        if ok:
            kill['run'](proc, watch)
        proc.wait(timeout=120)
        watch.close()
        killed = proc.returncode in (-signal.SIGKILL, 9)
        bad = []
        if not ok:
            bad.append('the child did not start its save')
        try:
            with open(target, 'rb') as f:
                got = f.read()
        except FileNotFoundError:
            got = None
        allowed = [None, self.new] if new_file else [self.old, self.new]
        if got not in allowed:
            bad.append('the target holds %s' % ('nothing' if got is None else '%d other bytes' % len(got)))
        r = subprocess.run(['wine', self.child, 'recover', mode, windows_path(target)],
                           capture_output=True, timeout=120)
        if got is not None and r.returncode != 0:
            bad.append('the next start could not open it: %r' % r.stdout)
        try:
            with open(target, 'rb') as f:
                again = f.read()
        except FileNotFoundError:
            again = None
        if again != got:
            bad.append('the next start changed the file')
        left = set(os.listdir(folder)) - {'name.txt', 'source.txt'}
        if got is None:
            # A new file killed before its rename: its temporary may be all
            # that is left of the text, and stays.
            left = {n for n in left if not (n.startswith('~MP') and n.endswith('#name.txt.tmp'))}
        left = sorted(left)
        if left:
            bad.append('left in the folder: %s' % left)
        extra = sorted(self.temporaries() - temps)
        if extra:
            bad.append('left in the temporary folder: %s' % extra)
        shutil.rmtree(folder, ignore_errors=True)
        if bad:
            self.fail('%s (%s%s): %s' % (what, mode, ', new file' if new_file else '',
                                         '; '.join(bad)))
        else:
            self.passed += 1
        return killed, got

    @staticmethod
    def kill_now(proc):
        try:
            os.kill(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass

    def at_rename(self):
        """Kills at the first rename the folder sees."""
        def run(proc, watch):
            deadline = time.time() + 60
            while time.time() < deadline and proc.poll() is None:
                if any(m & (IN_MOVED_FROM | IN_MOVED_TO) for m, _ in watch.next(0.5)):
                    self.kill_now(proc)
                    return
        return {'run': run}

    def at_change(self, k):
        """Kills at the k-th change of the folder's names."""
        def run(proc, watch):
            seen, deadline = 0, time.time() + 60
            while time.time() < deadline and proc.poll() is None:
                seen += len(watch.next(0.5))
                if seen >= k:
                    self.kill_now(proc)
                    return
        return {'run': run}

    def after(self, seconds):
        def run(proc, watch):
            time.sleep(seconds)
            self.kill_now(proc)
        return {'run': run}

    def at_step(self, n):
        return {'args': ['--die-at', str(n)], 'run': lambda proc, watch: None}

    def group(self, name, trials):
        before = (self.passed, self.failed)
        killed = sum(1 for k, _ in trials() if k)
        print('%s: %d trials, %d killed, %d failed' % (
            name, self.passed + self.failed - sum(before), killed, self.failed - before[1]), flush=True)
        return killed


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('child')
    ap.add_argument('--rename', type=int, default=50)
    ap.add_argument('--random', type=int, default=15)
    ap.add_argument('--megabytes', type=int, default=16)
    a = ap.parse_args()
    t = KillTest(a.child, a.megabytes)
    rnd = random.Random(int(os.environ.get('MORROWPAD_KILL_SEED', '1')))
    try:
        for mode in ('inplace', 'copy'):
            # How long an uninterrupted save takes, for the random instants.
            times = []

            def timed(proc, watch):
                start = time.time()
                proc.wait()
                times.append(time.time() - start)
            t.trial(mode, False, {'run': timed}, 'an uninterrupted save')
            span = times[0]
            def until_killed(count):
                # A save may finish before the kill lands: trials go on until
                # `count` were killed at the rename (at most twice as many).
                results = []
                while sum(1 for k, _ in results if k) < count and len(results) < 2 * count:
                    results.append(t.trial(mode, False, t.at_rename(), 'killed at the rename'))
                return results
            rename_kills = t.group('%s, killed at the rename' % mode, lambda: until_killed(a.rename))
            if rename_kills < a.rename:
                t.fail('%s: only %d of %d saves were killed at the rename' % (mode, rename_kills, a.rename))
            t.group('%s, killed at a change of the folder' % mode,
                    lambda: [t.trial(mode, False, t.at_change(k), 'killed at change %d' % k) for k in (1, 2, 3, 4)])
            t.group('%s, killed at random instants' % mode,
                    lambda: [t.trial(mode, False, t.after(rnd.uniform(0, span)), 'killed at a random instant')
                             for _ in range(a.random)])
            def each_step():
                # Step 1, 2, ... until a save runs through its last step.
                results = []
                for n in range(1, 40):
                    results.append(t.trial(mode, False, t.at_step(n), 'ended at step %d' % n))
                    if not results[-1][0]:
                        break
                return results
            t.group('%s, ended at each step' % mode, each_step)
            t.group('%s, a new file killed at the rename' % mode,
                    lambda: [t.trial(mode, True, t.at_rename(), 'killed at the rename') for _ in range(5)])
    finally:
        shutil.rmtree(t.base, ignore_errors=True)
    print('%d passed, %d failed' % (t.passed, t.failed))
    return 1 if t.failed else 0


if __name__ == '__main__':
    sys.exit(main())
