#!/usr/bin/python3
"""Drives jdb through a debug session the way a developer would: attach, set a breakpoint in
the sample MIDlet, wait until it is hit, print a local, continue to the end. Each command is sent
only after jdb's answer to the previous one arrived, so the run does not depend on timing.

usage: jdb_session.py JDB PORT CLASS:LINE LOCAL
Prints jdb's whole output; exits 0 when every step was seen, 1 otherwise."""
import subprocess
import sys
import threading
import time

jdb, port, location, local = sys.argv[1:5]
output = []
lock = threading.Condition()


def reader(stream):
    while True:
        chunk = stream.read1(4096) if hasattr(stream, "read1") else stream.read(1)
        if not chunk:
            break
        with lock:
            output.append(chunk.decode(errors="replace"))
            lock.notify_all()
    with lock:
        output.append("\n<<eof>>")
        lock.notify_all()


def wait_for(text, seconds, since=0):
    """Waits until text appears at or after position since of the output."""
    deadline = time.time() + seconds
    with lock:
        while text not in "".join(output)[since:]:
            left = deadline - time.time()
            if left <= 0 or "<<eof>>" in "".join(output):
                return text in "".join(output)[since:]
            lock.wait(left)
        return True


def position_of(text):
    with lock:
        return "".join(output).find(text)


def attach():
    # The agent may not serve the port yet: try again for a while.
    deadline = time.time() + 30
    while True:
        process = subprocess.Popen([jdb, "-attach", "127.0.0.1:" + port], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        output.clear()
        threading.Thread(target=reader, args=(process.stdout,), daemon=True).start()
        if wait_for("> ", 20) and "Unable to attach" not in "".join(output):
            return process
        process.wait()
        if time.time() > deadline:
            return None
        time.sleep(0.5)


def send(process, command):
    process.stdin.write((command + "\n").encode())
    process.stdin.flush()


process = attach()
ok = process is not None
steps = []
if ok:
    send(process, "stop at " + location)
    ok = wait_for("breakpoint", 20)
    steps.append("stop")
    if ok:
        send(process, "cont")
        ok = wait_for("Breakpoint hit", 30)
        # The event makes the thread current only when jdb shows its prompt again.
        ok = ok and wait_for("main[1] ", 10, position_of("Breakpoint hit"))
        steps.append("hit")
    if ok:
        send(process, "print " + local)
        ok = wait_for(local + " = ", 20)
        steps.append("print")
    if ok:
        send(process, "clear " + location)
        wait_for("Removed", 10)
        send(process, "cont")
        # The program runs to its end; the VM goes away and jdb with it.
        ok = wait_for("<<eof>>", 60)
        steps.append("end")
    if process.poll() is None:
        try:
            send(process, "quit")
        except BrokenPipeError:
            pass
    try:
        process.wait(20)
    except subprocess.TimeoutExpired:
        process.kill()
sys.stdout.write("".join(output))
sys.stdout.write("\nsteps: " + " ".join(steps) + "\n")
sys.exit(0 if ok else 1)
