"""What the end-to-end tests share: the processes and the screen reader's view.

Each run has a scratch folder and a private headless desktop
(scripts/gui-session); each case starts its own omniNames, kovsim and
kovclient in folders of its own, on free loopback ports, and everything a
case starts is stopped when it ends, whatever happened. kovclient is seen
only from outside: its windows and texts over the AT-SPI accessibility bus,
its client.log and kov.cfg, its exit status.

Run with Debian's /usr/bin/python3: python3-pyatspi is built for it only.
"""

import argparse
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import traceback

SKIP = 77
STEP_LIMIT = 15  # seconds for any one thing to show up
CALL_LIMIT = 5  # kovclient's limit of one remote call, seconds
SLOW_ANSWER = 0.1  # seconds: a screen reader's answer that a person notices

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
    print(f"[{time.monotonic() - STARTED:7.2f}] {text}", flush=True)


def check(condition, text):
    if not condition:
        raise Failure(text)


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
    """CONT, TERM, a bounded wait, KILL. Answers the exit status."""
    if proc is None:
        return None
    if proc.poll() is None:
        proc.send_signal(signal.SIGCONT)  # a stopped process would not see the TERM
        proc.terminate()
        try:
            proc.wait(grace)
        except subprocess.TimeoutExpired:
            log(f"{name} ignored SIGTERM; killing it")
            proc.kill()
            proc.wait(grace)
    return proc.returncode


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def read_file(path, tail=None):
    try:
        with open(path, errors="replace") as file:
            text = file.read()
    except OSError:
        return ""
    return text[-tail:] if tail else text


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


class NamingService:
    def __init__(self, tools, folder):
        self.tools = tools
        self.folder = folder
        self.proc = None
        self.initref = None

    def nameclt(self, *words):
        return subprocess.run([self.tools.nameclt, "-ORBInitRef", self.initref, "-ORBclientCallTimeOutPeriod",
                               "1000", *words], stdin=subprocess.DEVNULL, capture_output=True, text=True,
                              timeout=10)

    def start(self):
        for _ in range(5):
            port = free_port()
            data = os.path.join(self.folder, f"names-{port}")
            os.makedirs(data)
            self.initref = f"NameService=corbaloc::127.0.0.1:{port}/NameService"
            with open(os.path.join(self.folder, "omniNames.out"), "ab") as out:
                self.proc = subprocess.Popen([self.tools.omninames, "-start", str(port), "-datadir", data,
                                              "-always", "-ORBendPoint", f"giop:tcp:127.0.0.1:{port}"],
                                             stdin=subprocess.DEVNULL, stdout=out, stderr=out)
            deadline = time.monotonic() + 10
            while self.proc.poll() is None and time.monotonic() < deadline:
                if self.nameclt("list").returncode == 0:
                    return self
                time.sleep(0.1)
            stop_process(self.proc, "omniNames")  # lost the port to someone else: another one
        raise Failure("omniNames did not answer on any port tried")

    def unbind(self, name):
        done = self.nameclt("unbind", name)
        check(done.returncode == 0, f"nameclt unbind {name}: {done.stderr.strip()}")

    def stop(self):
        stop_process(self.proc, "omniNames")


class Simulator:
    """kovsim driven through its standard input. Its report lines go to a
    file, read when asked for: a flood writes hundreds of thousands."""

    def __init__(self, tools, folder, names, options=("--scenario", "none")):
        self.tools = tools
        self.folder = folder
        self.names = names
        self.options = list(options)
        self.proc = None
        self.starts = 0

    def start(self):
        if self.proc is not None:
            self.out.close()
        self.starts += 1
        self.out_path = os.path.join(self.folder, f"kovsim-{self.starts}.out")
        self.lines = []
        self.pending = b""
        with open(self.out_path, "wb") as out, open(os.path.join(self.folder, "kovsim.err"), "ab") as err:
            self.proc = subprocess.Popen([self.tools.kovsim, "-ORBInitRef", self.names.initref, *self.options],
                                         stdin=subprocess.PIPE, stdout=out, stderr=err)
        self.out = open(self.out_path, "rb")
        self.wait_line("ready ")
        return self

    def pull(self):
        """Reads what kovsim has reported since the last call; answers the
        number of lines so far."""
        data = self.pending + self.out.read()
        complete, _, self.pending = data.rpartition(b"\n")
        if complete:
            self.lines.extend(complete.decode(errors="replace").split("\n"))
        return len(self.lines)

    def wait_line(self, *words, start=0, limit=STEP_LIMIT):
        """The first report line from line number start on that holds every word."""
        deadline = time.monotonic() + limit
        while True:
            self.pull()
            for line in self.lines[start:]:
                if all(word in line for word in words):
                    return line
            if time.monotonic() >= deadline or self.proc.poll() is not None:
                raise Failure(f"kovsim never reported {words!r}; its last lines: {self.lines[-5:]}")
            time.sleep(0.05)

    def count(self, *words):
        self.pull()
        return sum(1 for line in self.lines if all(word in line for word in words))

    def count_in_file(self, *words):
        """Counts report lines without keeping them (a flood's many)."""
        with open(self.out_path, "rb") as out:
            return sum(1 for line in out if all(word.encode() in line for word in words))

    def command(self, text):
        """Sends one command; answers the line number its reports start at."""
        start = self.pull()
        self.proc.stdin.write(text.encode() + b"\n")
        self.proc.stdin.flush()
        return start

    def send(self, text):
        """Sends one push command and answers its report line."""
        return self.wait_line("push seq=", start=self.command(text))

    def signal(self, number):
        self.proc.send_signal(number)

    def stop(self):
        if self.proc is None:
            return
        try:
            if self.proc.poll() is None:
                self.proc.send_signal(signal.SIGCONT)
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
                self.proc.wait(5)
        except (OSError, subprocess.TimeoutExpired):
            pass
        stop_process(self.proc, "kovsim")
        self.out.close()


class Client:
    """kovclient in its own start folder, on the private desktop."""

    def __init__(self, tools, folder, session_env, names_initref, config=SETPOINTS, prefix=(), platform="xcb",
                 echo=True):
        self.tools = tools
        # The client echoes every message text on standard output: a flood
        # of long texts would write gigabytes. echo=False discards it.
        self.echo = echo
        self.folder = folder
        self.initref = names_initref
        self.prefix = list(prefix)
        self.env = dict(os.environ)
        self.env.update(session_env)
        # The offscreen platform has no accessibility bridge: a real X
        # window it is, on the private server, unless a case asks for a
        # platform without X (then it watches client.log and the status).
        self.env["QT_QPA_PLATFORM"] = platform
        if platform != "xcb":
            self.env.pop("DISPLAY", None)
        for key in ("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_ACCESSIBILITY", "AT_SPI_BUS_ADDRESS",
                    "WAYLAND_DISPLAY", "SESSION_MANAGER"):
            self.env.pop(key, None)
        self.proc = None
        self.program = None
        os.makedirs(folder, exist_ok=True)
        if config is not None:
            with open(self.path("kov.cfg"), "wb") as file:
                file.write(config.encode() if isinstance(config, str) else config)

    def path(self, name):
        return os.path.join(self.folder, name)

    def start(self):
        self.ended_at = None
        with open(self.path("kovclient.out"), "ab") as out:
            self.proc = subprocess.Popen([*self.prefix, self.tools.kovclient, "-ORBInitRef", self.initref,
                                          "-ORBendPoint", "giop:tcp:127.0.0.1:"],
                                         cwd=self.folder, env=self.env, stdin=subprocess.DEVNULL,
                                         stdout=out if self.echo else subprocess.DEVNULL, stderr=out)
        self.program = Program(self.proc.pid, self)
        log(f"kovclient started, pid {self.proc.pid}")
        return self

    def running(self):
        return self.proc.poll() is None

    def alive(self):
        """Fails when the client has ended."""
        if self.proc.poll() is not None:
            raise Failure(f"kovclient ended with status {self.proc.returncode}: {self.output()}")

    def wait_exit(self, limit):
        """Answers the exit status; fails after limit seconds."""
        try:
            return self.proc.wait(limit)
        except subprocess.TimeoutExpired:
            raise Failure(f"kovclient still running {limit} s later")

    def rss_kib(self, field="VmRSS"):
        """Resident memory now, or with field="VmHWM" its peak so far."""
        for line in read_file(f"/proc/{self.proc.pid}/status").splitlines():
            if line.startswith(field + ":"):
                return int(line.split()[1])
        return 0

    def output(self):
        return read_file(self.path("kovclient.out"), tail=2000)

    def kill(self):
        self.proc.kill()
        self.proc.wait(5)

    def stop(self):
        stop_process(self.proc, "kovclient")


# Orca writes its debug file through a block buffer and, inside its main
# loop, does not act on SIGTERM: its speech is read from a line-buffered
# file, and it is ended by process id. It refuses to start while any other
# Orca of this user runs, on whatever desktop: this one lives on its own
# private desktop and leaves the others alone.
ORCA_LINE_BUFFERED = """
import builtins, runpy, sys
debug_file = sys.argv[1]
plain_open = builtins.open
def line_open(file, mode="r", buffering=-1, *rest, **named):
    return plain_open(file, mode, 1 if file == debug_file else buffering, *rest, **named)
builtins.open = line_open
sys.argv = ["orca", "--debug-file", debug_file] + sys.argv[2:]
launcher = runpy.run_path("/usr/bin/orca", run_name="orca_launcher")
launcher["otherOrcas"] = lambda: []
sys.exit(launcher["main"]())
"""


class Orca:
    """Debian's screen reader on the private desktop, with its own settings
    and no speech server: what it would say is read from its debug file's
    "SPEECH OUTPUT" lines."""

    def __init__(self, folder, session_env):
        self.folder = folder
        self.debug_file = os.path.join(folder, "orca-debug.out")
        home = os.path.join(folder, "orca-home")
        os.makedirs(home, exist_ok=True)
        self.env = dict(os.environ)
        self.env.update(session_env)
        self.env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                        XDG_DATA_HOME=os.path.join(home, "data"), XDG_CACHE_HOME=os.path.join(home, "cache"),
                        # No speech server is started: nothing is heard, everything is logged.
                        SPEECHD_ADDRESS="unix_socket:" + os.path.join(home, "no-speechd"))
        self.proc = None

    def start(self):
        if not os.access("/usr/bin/orca", os.X_OK):
            raise Skip("orca is not installed")
        with open(os.path.join(self.folder, "orca.err"), "ab") as err:
            self.proc = subprocess.Popen(["/usr/bin/python3", "-c", ORCA_LINE_BUFFERED, self.debug_file, "-u",
                                          os.path.join(self.folder, "orca-prefs")], env=self.env,
                                         stdin=subprocess.DEVNULL, stdout=err, stderr=err)
        log(f"orca started, pid {self.proc.pid}")
        wait_for("Orca saying it is on", self.spoken, lambda lines: any("Screen reader on" in t for _, t in lines))
        return self

    def spoken(self):
        """(time, text) of every SPEECH OUTPUT line so far, oldest first."""
        said = []
        for line in read_file(self.debug_file).splitlines():
            # The text, then the voice: "... - SPEECH OUTPUT: 'text'{'established': False}"
            spoken = re.match(r"(\S+) - SPEECH OUTPUT: '(.*)'(?: voice=\S+)? ?(?:\{.*\})?$", line)
            if spoken:
                said.append(spoken.groups())
        return said

    def stop(self):
        stop_process(self.proc, "orca", grace=2.0)


# ---------------------------------------------------------------- AT-SPI


def role(acc):
    return acc.getRole()


def showing(acc):
    return acc.getState().contains(pyatspi.STATE_SHOWING)


def enabled(acc):
    return acc.getState().contains(pyatspi.STATE_ENABLED)


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
    raise Failure(f"no {name!r} in {acc.name!r}")


def find_described(acc, description):
    for child in descendants(acc):
        if child.description == description:
            return child
    raise Failure(f"nothing described as {description!r} in {acc.name!r}")


def text_of(acc):
    text = acc.queryText()
    return text.getText(0, text.characterCount)


def set_text(acc, value):
    acc.queryEditableText().setTextContents(value)


class Program:
    """What a screen reader sees of one process; every call is timed, so
    that the longest wait for an answer shows how responsive it stayed."""

    def __init__(self, pid, client):
        self.pid = pid
        self.client = client
        self.app = None
        self.slowest = 0.0
        self.pings = 0
        self.slow = 0  # answers slower than SLOW_ANSWER

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
        try:
            return [w for w in (app.getChildAtIndex(i) for i in range(app.childCount))
                    if w is not None and role(w) in roles and showing(w)]
        except Exception:  # the program has ended, or is ending
            return []

    def window(self, title, *roles):
        roles = roles or (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG)
        return next((w for w in self.windows(*roles) if w.name == title), None)

    def wait_window(self, title):
        def probe():
            self.client.alive()
            return self.window(title)
        return wait_for(f"the window {title!r}", probe)

    def alerts(self):
        return [(alert, alert_texts(alert)) for alert in self.windows(pyatspi.ROLE_ALERT)]

    def alert_count(self, text):
        return sum(1 for _, texts in self.alerts() if text in texts)

    def wait_alert(self, text, limit=STEP_LIMIT):
        """The message box saying text; answers it."""
        def probe():
            self.client.alive()
            return next((alert for alert, texts in self.alerts() if text in texts), None)
        return wait_for(f"a message box saying {text!r}", probe, limit=limit)

    def close_alert(self, text):
        press_button(find(self.wait_alert(text), "OK", pyatspi.ROLE_PUSH_BUTTON), f"'OK' of {text!r}")
        wait_for(f"the box {text!r} closed", lambda: self.alert_count(text) == 0)

    def press(self, window, name):
        """Presses a button as a person would: never behind a message box."""
        for _, texts in self.alerts():
            raise Failure(f"cannot press {name!r}: a message box is open: {texts}")
        press_button(find(window, name, pyatspi.ROLE_PUSH_BUTTON), f"{name!r} in {window.name!r}")

    def main_window(self):
        def probe():
            self.client.alive()
            for _, texts in self.alerts():
                raise Failure(f"message box instead of the main window: {texts}")
            return self.window("KOV CLIENT")
        return wait_for('the window "KOV CLIENT"', probe)

    def ping(self, acc):
        """Reads acc's description and answers it; keeps the slowest answer."""
        began = time.monotonic()
        self.fresh()
        answer = acc.description
        took = time.monotonic() - began
        self.slowest = max(self.slowest, took)
        self.pings += 1
        self.slow += took > SLOW_ANSWER
        return answer

    def stay_responsive(self, acc, seconds, watch=None, limit=1.0):
        """Pings acc for seconds, calling watch() between pings; fails when
        one answer takes longer than limit."""
        slowest = 0.0
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.client.alive()
            began = time.monotonic()
            self.ping(acc)
            slowest = max(slowest, time.monotonic() - began)
            check(slowest <= limit, f"the window took {slowest:.3f} s to answer a screen reader")
            if watch:
                watch()
            time.sleep(0.02)
        return slowest


def alert_texts(alert):
    return [c.name for c in descendants(alert) if role(c) == pyatspi.ROLE_LABEL and c.name]


def press_button(button, label):
    check(enabled(button), f"button {label} is disabled")
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    index = names.index("press") if "press" in names else 0
    check(action.nActions > 0 and action.doAction(index), f"{label} could not be pressed")
    log(f"pressed {label}")


def table_rows(table):
    return table.queryTable().nRows


def table_cell(table, row, column_title):
    cells = table.queryTable()
    for column in range(cells.nColumns):
        if cells.getColumnHeader(column).name == column_title:
            return cells.getAccessibleAt(row, column)
    raise Failure(f"no column {column_title!r}")


# ---------------------------------------------------------------- a case


class Stage:
    """What one case starts, stopped in reverse order when it ends."""

    def __init__(self, run, name):
        self.run = run
        self.tools = run.tools
        self.folder = os.path.join(run.work, name)
        os.makedirs(self.folder)
        self.started = []

    def own(self, part):
        self.started.append(part)
        return part

    def names(self):
        return self.own(NamingService(self.tools, self.folder)).start()

    def sim(self, names, *options):
        return self.own(Simulator(self.tools, self.folder, names, options or ("--scenario", "none"))).start()

    def orca(self):
        return self.own(Orca(self.folder, self.run.session.env)).start()

    def client(self, initref, folder="start", **settings):
        return self.own(Client(self.tools, os.path.join(self.folder, folder), self.run.session.env, initref,
                               **settings))

    def stop(self):
        for part in reversed(self.started):
            try:
                part.stop()
            except Exception as error:  # the others must be stopped all the same
                log(f"stopping {type(part).__name__}: {error}")


class Run:
    def __init__(self, tools, work, session):
        self.tools = tools
        self.work = work
        self.session = session


def run_cases(cases, description):
    """The main program of a test file: cases is a list of (name, function
    taking a Stage); --case picks some of them. Exit status 0 when every
    case passed, 1 when one failed, 77 when the accessibility stack cannot
    run on this machine at all."""
    parser = argparse.ArgumentParser(description=description)
    for option in ("kovclient", "kovsim", "omninames", "nameclt", "gui-session"):
        parser.add_argument("--" + option, required=True)
    parser.add_argument("--case", action="append", help="run only this case (repeatable)")
    parser.add_argument("--limit", type=int, default=120, help="seconds for the whole run")
    parser.add_argument("--keep", action="store_true", help="keep the scratch folder")
    tools = parser.parse_args()
    for option in ("kovclient", "kovsim", "omninames", "nameclt", "gui_session"):
        setattr(tools, option, os.path.abspath(getattr(tools, option)))
    chosen = [(name, case) for name, case in cases if not tools.case or name in tools.case]
    if not chosen:
        parser.error(f"no such case; the cases: {', '.join(name for name, _ in cases)}")

    # ctest's time limit, or Ctrl-C: stop what was started all the same.
    def stop(signum, frame):
        raise SystemExit(f"stopped by signal {signum}")
    signal.signal(signal.SIGTERM, stop)

    def out_of_time(signum, frame):
        raise OutOfTime(f"the whole run took longer than {tools.limit} s")
    signal.signal(signal.SIGALRM, out_of_time)
    signal.alarm(tools.limit)

    work = tempfile.mkdtemp(prefix="kov-e2e-")
    try:
        return _run(tools, work, chosen)
    except Skip as reason:
        print(f"SKIP: {reason}", file=sys.stderr)
        return SKIP
    except (Failure, OutOfTime) as failure:
        print(f"FAIL: {failure}", file=sys.stderr)
        return 1
    finally:
        signal.alarm(0)
        if tools.keep:
            print(f"scratch folder kept: {work}")
        else:
            shutil.rmtree(work, ignore_errors=True)


def _run(tools, work, cases):
    global pyatspi
    session = GuiSession(tools.gui_session, os.path.join(work, "desktop"))
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

        run = Run(tools, work, session)
        for name, case in cases:
            log(f"case {name}")
            stage = Stage(run, name)
            try:
                case(stage)
                results.append((name, None))
                log(f"PASS {name}")
            except Failure as failure:
                results.append((name, str(failure)))
                log(f"FAIL {name}: {failure}")
            except Exception as error:  # a fault of the test itself fails its case only
                traceback.print_exc()
                results.append((name, f"{type(error).__name__}: {error}"))
                log(f"FAIL {name}: {type(error).__name__}: {error}")
            finally:
                stage.stop()
    finally:
        signal.alarm(0)  # cleaning up has bounded steps of its own
        session.stop()
    failed = [name for name, failure in results if failure]
    print(f"{len(results) - len(failed)} passed, {len(failed)} failed {' '.join(failed)}")
    return 1 if failed else 0
