#!/usr/bin/python3
"""kovclient driven from outside, the way a screen reader does it.

Everything goes through the AT-SPI accessibility bus: the test finds the
windows by role and name, reads gauges, text fields and the message table,
and presses buttons. The instrument side is a private omniNames and kovsim,
whose traffic the test sends through kovsim's standard input; the client
runs on a private X server with its own session and accessibility buses
(scripts/gui-session), so nothing of the machine's desktop is used.

Cases:
  no-notifier  a naming service without "Notifier": the start-up alert, its
               OK button, a non-zero exit status
  readings     a reading and a message reach the windows; Exit ends the
               program with status 0

Exit status: 0 when every case passed, 1 when one failed, 77 when the
accessibility stack cannot run on this machine at all (the reason on
standard error).

Run with Debian's /usr/bin/python3: python3-pyatspi is built for it only.
"""

import argparse
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

SKIP = 77
WHOLE_RUN_LIMIT = 75  # seconds; the slowest case takes about 10
STEP_LIMIT = 15  # seconds for any one thing to show up
EXIT_LIMIT = 15  # seconds for kovclient to end after its last button

SETPOINTS = (
    "KOV-E1-TEMP_ALARM_SETPOINTS 24.00,32.00\n"
    "KOV-E1-RH_ALARM_SETPOINTS 35.00,60.00\n"
    "KOV-S1-TEMP_ALARM_SETPOINTS 24.00,32.00\n"
    "KOV-S1-RH_ALARM_SETPOINTS 35.00,60.00\n"
)

pyatspi = None  # imported once the private buses are in the environment


class Failure(Exception):
    pass


class Skip(Exception):
    pass


class OutOfTime(Exception):
    """The whole run's limit: ends every case, not just the current one."""


STARTED = time.monotonic()


def log(text):
    print(f"[{time.monotonic() - STARTED:6.2f}] {text}", flush=True)


def wait_for(what, read, accept=bool, limit=STEP_LIMIT, interval=0.05):
    """Polls read() until accept() takes its answer, which it returns; the
    last answer is named in the failure."""
    deadline = time.monotonic() + limit
    last = None
    while True:
        try:
            value = read()
            last = repr(value)
        except (Failure, OutOfTime):
            raise
        except Exception as error:  # a window may vanish between two calls
            value, last = None, f"{type(error).__name__}: {error}"
        if value is not None and accept(value):
            return value
        if time.monotonic() >= deadline:
            raise Failure(f"{what}: not seen within {limit} s (last: {last})")
        time.sleep(interval)


def stop_process(proc, name, grace=5.0):
    """TERM, a bounded wait, KILL. Answers the exit status."""
    if proc is None:
        return None
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            log(f"{name} ignored SIGTERM; killing it")
            proc.kill()
            proc.wait(grace)
    return proc.returncode


# ---------------------------------------------------------------- processes


class GuiSession:
    """Xvfb, session bus and AT-SPI bus from scripts/gui-session."""

    def __init__(self, script, folder):
        self.script = script
        self.folder = folder
        self.env = None

    def start(self):
        try:
            done = subprocess.run([self.script, "start", self.folder], capture_output=True, text=True,
                                  timeout=60, stdin=subprocess.DEVNULL)
        except (OSError, subprocess.TimeoutExpired) as error:
            raise Failure(f"{self.script} did not run: {error}")
        # 3: a program of the stack is not installed; 1: it would not start.
        if done.returncode in (1, 3):
            raise Skip("the accessibility stack cannot start here: " + done.stderr.strip())
        if done.returncode != 0:
            raise Failure(f"{self.script} start: status {done.returncode}: {done.stderr.strip()}")
        self.env = dict(line.partition("=")[::2] for line in done.stdout.splitlines())
        if not self.env.get("DISPLAY") or not self.env.get("DBUS_SESSION_BUS_ADDRESS"):
            raise Failure(f"{self.script} start said: {done.stdout!r}")

    def stop(self):
        subprocess.run([self.script, "stop", self.folder], stdin=subprocess.DEVNULL, timeout=60)


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class NamingService:
    def __init__(self, omninames, nameclt, folder):
        self.omninames = omninames
        self.nameclt = nameclt
        self.folder = folder
        self.proc = None
        self.initref = None

    def answers(self):
        done = subprocess.run([self.nameclt, "-ORBInitRef", self.initref, "-ORBclientCallTimeOutPeriod", "1000",
                               "list"], stdin=subprocess.DEVNULL, capture_output=True, timeout=10)
        return done.returncode == 0

    def start(self):
        for _ in range(5):
            port = free_port()
            data = os.path.join(self.folder, f"names-{port}")
            os.makedirs(data)
            self.initref = f"NameService=corbaloc::127.0.0.1:{port}/NameService"
            with open(os.path.join(self.folder, "omniNames.out"), "ab") as out:
                self.proc = subprocess.Popen([self.omninames, "-start", str(port), "-datadir", data, "-always",
                                              "-ORBendPoint", f"giop:tcp:127.0.0.1:{port}"],
                                             stdin=subprocess.DEVNULL, stdout=out, stderr=out)
            deadline = time.monotonic() + 10
            while self.proc.poll() is None and time.monotonic() < deadline:
                if self.answers():
                    log(f"naming service on 127.0.0.1:{port}")
                    return
                time.sleep(0.1)
            stop_process(self.proc, "omniNames")  # lost the port to someone else: another one
        raise Failure("omniNames did not answer on any port tried")

    def stop(self):
        stop_process(self.proc, "omniNames")


class Simulator:
    """kovsim driven through its standard input; its report lines are kept."""

    def __init__(self, path, folder):
        self.path = path
        self.folder = folder
        self.proc = None
        self.lines = []
        self.changed = threading.Condition()

    def start(self, initref):
        self.err = open(os.path.join(self.folder, "kovsim.err"), "wb")
        self.proc = subprocess.Popen([self.path, "-ORBInitRef", initref, "--scenario", "none"],
                                     stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.err, text=True,
                                     bufsize=1)
        threading.Thread(target=self._read, daemon=True).start()
        self.wait_line("ready ")
        log("kovsim ready")

    def _read(self):
        for line in self.proc.stdout:
            with self.changed:
                self.lines.append(line.rstrip("\n"))
                self.changed.notify_all()
        with self.changed:
            self.changed.notify_all()

    def wait_line(self, *words, start=0, limit=STEP_LIMIT):
        """The first report line from index start on that holds every word."""
        deadline = time.monotonic() + limit
        with self.changed:
            while True:
                for line in self.lines[start:]:
                    if all(word in line for word in words):
                        return line
                left = deadline - time.monotonic()
                if left <= 0 or self.proc.poll() is not None:
                    raise Failure(f"kovsim never reported {words!r}; its last lines: {self.lines[-5:]}")
                self.changed.wait(min(left, 0.2))

    def send(self, command):
        """Sends one command and answers the report line of its push."""
        with self.changed:
            start = len(self.lines)
        self.proc.stdin.write(command + "\n")
        self.proc.stdin.flush()
        return self.wait_line("push seq=", start=start)

    def stop(self):
        if self.proc is None:
            return
        try:
            if self.proc.poll() is None:
                self.proc.stdin.write("quit\n")
                self.proc.stdin.flush()
                self.proc.wait(5)
        except (OSError, subprocess.TimeoutExpired):
            pass
        stop_process(self.proc, "kovsim")
        self.err.close()


class Client:
    """kovclient in its own start folder, on the private desktop."""

    def __init__(self, path, folder, session_env):
        self.path = path
        self.folder = folder
        self.env = dict(os.environ)
        self.env.update(session_env)
        # The offscreen platform has no accessibility bridge: a real X
        # window it is, on the private server.
        self.env["QT_QPA_PLATFORM"] = "xcb"
        for key in ("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_ACCESSIBILITY", "AT_SPI_BUS_ADDRESS",
                    "WAYLAND_DISPLAY", "SESSION_MANAGER"):
            self.env.pop(key, None)
        self.proc = None

    def start(self, initref):
        os.makedirs(self.folder)
        with open(os.path.join(self.folder, "kov.cfg"), "w") as config:
            config.write(SETPOINTS)
        with open(os.path.join(self.folder, "kovclient.out"), "wb") as out:
            self.proc = subprocess.Popen([self.path, "-ORBInitRef", initref, "-ORBendPoint", "giop:tcp:127.0.0.1:"],
                                         cwd=self.folder, env=self.env, stdin=subprocess.DEVNULL, stdout=out,
                                         stderr=subprocess.STDOUT)
        log(f"kovclient started, pid {self.proc.pid}")

    def wait_exit(self, limit=EXIT_LIMIT):
        try:
            return self.proc.wait(limit)
        except subprocess.TimeoutExpired:
            raise Failure(f"kovclient still running {limit} s after its last button")

    def output(self):
        try:
            with open(os.path.join(self.folder, "kovclient.out"), errors="replace") as out:
                return out.read()[-2000:]
        except OSError:
            return ""

    def stop(self):
        stop_process(self.proc, "kovclient")


# ---------------------------------------------------------------- AT-SPI


def role(acc):
    return acc.getRole()


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def descendants(acc):
    """Every descendant, depth first; windows hold a few dozen."""
    for index in range(acc.childCount):
        child = acc.getChildAtIndex(index)
        if child is None:
            continue
        yield child
        yield from descendants(child)


def find(acc, name, *roles):
    for child in descendants(acc):
        if child.name == name and (not roles or role(child) in roles):
            return child
    return None


def text_of(acc):
    text = acc.queryText()
    return text.getText(0, text.characterCount)


class Program:
    """What a screen reader sees of one process."""

    def __init__(self, pid):
        self.pid = pid
        self.app = None

    def application(self):
        if self.app is None:
            desktop = pyatspi.Registry.getDesktop(0)
            for index in range(desktop.childCount):
                app = desktop.getChildAtIndex(index)
                if app is not None and app.get_process_id() == self.pid:
                    # Every read asks the program: nothing stale from a cache.
                    app.set_cache_mask(0)
                    self.app = app
                    break
        return self.app

    def fresh(self):
        app = self.application()
        if app is not None:
            app.clear_cache()
        return app

    def windows(self, *roles):
        app = self.fresh()
        if app is None:
            return []
        return [w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
                if w is not None and role(w) in roles and showing(w)]

    def window(self, title, *roles):
        return next((w for w in self.windows(*roles) if w.name == title), None)

    def alerts(self):
        return self.windows(pyatspi.ROLE_ALERT)

    def alert_texts(self, alert):
        return [c.name for c in descendants(alert) if role(c) == pyatspi.ROLE_LABEL and c.name]

    def press(self, window, name):
        """Presses a button as a person would: never behind a message box."""
        for alert in self.alerts():
            raise Failure(f"cannot press {name!r}: a message box is open: {self.alert_texts(alert)}")
        button = find(window, name, pyatspi.ROLE_PUSH_BUTTON)
        if button is None:
            raise Failure(f"no button {name!r} in {window.name!r}")
        press_button(button, f"{name!r} in {window.name!r}")


def press_button(button, label):
    if not button.getState().contains(pyatspi.STATE_ENABLED):
        raise Failure(f"button {label} is disabled")
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    if "Press" not in names:
        raise Failure(f"button {label} offers no Press action, only {names}")
    # Asynchronous: the caller waits for the effect.
    action.doAction(names.index("Press"))
    log(f"pressed {label}")


def main_window(program, client):
    def probe():
        if client.proc.poll() is not None:
            raise Failure(f"kovclient ended with status {client.proc.returncode}: {client.output()}")
        for alert in program.alerts():
            raise Failure(f"message box instead of the main window: {program.alert_texts(alert)}")
        return program.window("KOV CLIENT", pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG)
    window = wait_for('the window "KOV CLIENT"', probe)
    log('window "KOV CLIENT" found')
    return window


# ---------------------------------------------------------------- cases


def case_no_notifier(args, work, session, names):
    """A naming service without "Notifier": the start-up alert and a failed exit."""
    client = Client(args.kovclient, os.path.join(work, "start-no-notifier"), session.env)
    try:
        client.start(names.initref)
        program = Program(client.proc.pid)
        expected = "Event consumer init failed. See client.log for details"

        def alerts():
            if client.proc.poll() is not None:
                raise Failure(f"kovclient ended with status {client.proc.returncode} before any box: "
                              f"{client.output()}")
            return [(alert, program.alert_texts(alert)) for alert in program.alerts()]
        found = wait_for(f"an alert saying {expected!r}", alerts,
                         lambda found: any(expected in texts for _, texts in found))
        alert = next(alert for alert, texts in found if expected in texts)
        log(f"alert {alert.name!r} says {expected!r}")
        if program.window("KOV CLIENT", pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG):
            raise Failure("the main window is showing although the connection failed")

        button = find(alert, "OK", pyatspi.ROLE_PUSH_BUTTON)
        if button is None:
            raise Failure("the alert has no OK button")
        press_button(button, f"'OK' in {alert.name!r}")
        status = client.wait_exit()
        log(f"kovclient ended with status {status}")
        if status == 0:
            raise Failure("kovclient ended with status 0 after a failed connection")
    finally:
        client.stop()


def case_readings(args, work, session, names, sim):
    """A reading and a message reach the windows; Exit ends with status 0."""
    sim.start(names.initref)
    client = Client(args.kovclient, os.path.join(work, "start-readings"), session.env)
    try:
        start = len(sim.lines)
        client.start(names.initref)
        program = Program(client.proc.pid)
        window = main_window(program, client)
        sim.wait_line("subscribe consumer=", start=start)

        report = sim.send("push reading 0 33.5 40 1")
        if "consumers=1" not in report:
            raise Failure(f"the reading reached no client: {report}")
        gauge = find(window, "Electronics housing temperature")
        if gauge is None:
            raise Failure('no gauge "Electronics housing temperature"')
        wait_for('the gauge describing "33.50°C, over limit"',
                 lambda: program.fresh() and gauge.description, lambda d: d == "33.50°C, over limit")
        log(f"gauge says {gauge.description!r}")
        water = find(window, "Electronics housing water sensor")
        if water is None:
            raise Failure('no field "Electronics housing water sensor"')
        wait_for('the water sensor reading "ALARM ON"',
                 lambda: program.fresh() and text_of(water), lambda t: t.strip() == "ALARM ON")
        log(f"water sensor reads {text_of(water)!r}")

        program.press(window, "Alarms/Messages")
        status = wait_for('the window "KOV STATUS"',
                          lambda: program.window("KOV STATUS", pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG))
        table = find(status, "Messages", pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE)
        if table is None:
            raise Failure('no table "Messages" in "KOV STATUS"')

        text = "Water in the spectrograph housing"
        report = sim.send(f"push message alarm {text}")
        if "consumers=1" not in report:
            raise Failure(f"the message reached no client: {report}")

        def last_row():
            """Column title -> (name, description) of the last row's cells."""
            program.fresh()
            cells = table.queryTable()
            if cells.nRows == 0:
                return {}
            row = {}
            for column in range(cells.nColumns):
                cell = cells.getAccessibleAt(cells.nRows - 1, column)
                row[cells.getColumnHeader(column).name] = (cell.name, cell.description)
            return row
        row = wait_for(f"{text!r} as the last row of the message list", last_row,
                       lambda r: r.get("Message", ("",))[0] == text)
        priority = row.get("Priority", ())
        if "Alarm" not in priority:
            raise Failure(f'the priority of the row does not read "Alarm": {row}')
        log(f"last row: {row}")

        program.press(window, "Exit")
        status = client.wait_exit()
        log(f"kovclient ended with status {status}")
        if status != 0:
            raise Failure(f"kovclient ended with status {status} after Exit: {client.output()}")
    finally:
        client.stop()


# ---------------------------------------------------------------- main


def run(args, work):
    global pyatspi
    session = GuiSession(args.gui_session, os.path.join(work, "desktop"))
    names = NamingService(args.omninames, args.nameclt, work)
    sim = Simulator(args.kovsim, work)
    results = []
    try:
        session.start()
        log(f"private desktop on {session.env.get('DISPLAY')}")
        os.environ.update(session.env)
        os.environ.pop("AT_SPI_BUS_ADDRESS", None)
        try:
            import pyatspi as module
        except ImportError as error:
            raise Skip(f"python3-pyatspi is not usable: {error}")
        pyatspi = module

        names.start()
        # Before kovsim binds its names: this naming service has no "Notifier" yet.
        for name, case in (("no-notifier", lambda: case_no_notifier(args, work, session, names)),
                           ("readings", lambda: case_readings(args, work, session, names, sim))):
            log(f"case {name}")
            try:
                case()
                results.append((name, None))
                log(f"PASS {name}")
            except Failure as failure:
                results.append((name, str(failure)))
                log(f"FAIL {name}: {failure}")
    finally:
        # Cleaning up has bounded steps of its own.
        signal.alarm(0)
        sim.stop()
        names.stop()
        session.stop()
    failed = [r for r in results if r[1]]
    print(f"{len(results) - len(failed)} passed, {len(failed)} failed")
    return 1 if failed else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for option in ("kovclient", "kovsim", "omninames", "nameclt", "gui-session"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    args = parser.parse_args()
    for option in ("kovclient", "kovsim", "omninames", "nameclt", "gui_session"):
        setattr(args, option, os.path.abspath(getattr(args, option)))

    # ctest's time limit, or Ctrl-C: stop what was started all the same.
    def stop(signum, frame):
        raise SystemExit(f"stopped by signal {signum}")
    signal.signal(signal.SIGTERM, stop)

    def out_of_time(signum, frame):
        raise OutOfTime(f"the whole run took longer than {WHOLE_RUN_LIMIT} s")
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(WHOLE_RUN_LIMIT)

    work = tempfile.mkdtemp(prefix="kov-e2e-")
    try:
        return run(args, work)
    except Skip as reason:
        print(f"SKIP: {reason}", file=sys.stderr)
        return SKIP
    except (Failure, OutOfTime) as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    finally:
        signal.alarm(0)
        if args.keep:
            print(f"scratch folder kept: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
