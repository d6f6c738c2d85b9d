#!/usr/bin/python3
"""kovclient under faults of the instrument side, seen from outside.

Each case starts its own omniNames, kovsim and kovclient (kov_e2e.py) and
watches the program as an operator or a screen reader would: its windows,
boxes and texts over AT-SPI, its client.log and kov.cfg, its exit status.
The slowest answer of the window to a screen reader is printed where the
case measures it. --case picks cases; ctest runs them in groups.
KOV_FLOOD_SECONDS and KOV_FLOOD_RATE shorten or slow the flood for a trial.
"""

import os
import re
import signal
import sqlite3
import subprocess
import sqlite3
import sys
import time

import kov_e2e as e2e
from kov_e2e import CALL_LIMIT, check, find, log, wait_for

LOST = "KOV CLIENT disconnected from target"
TEMP = "Electronics housing temperature"
RH = "Electronics housing relative humidity"
# Longest answer of the window to one screen-reader call while the
# instrument misbehaves: a GUI thread waiting for a remote call would take a
# whole call limit, while a machine kept busy by a flood and other builds
# has been seen to delay an answer by 0.7 s.
ANSWER_LIMIT = 2.0
CORPUS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "config", "fuzz_corpus")
FLOOD_SECONDS = int(os.environ.get("KOV_FLOOD_SECONDS", 60))
# 3.42 events a tick, so 2924 ticks a second offer 10,000 events a second;
# kovsim waits while the client's queue is full instead of dropping it.
FLOOD_OPTIONS = ("--scenario", "flood", "--rate", os.environ.get("KOV_FLOOD_RATE", "2924"), "--backpressure")
FLOOD_RSS_LIMIT_MIB = 300
# Texts of 2 MB, about the most one GIOP message carries by default, back
# to back for LONG_SECONDS at most; KOV_LONG_COUNT to try more or fewer.
LONG_TEXT_BYTES = 2_000_000
LONG_COUNT = int(os.environ.get("KOV_LONG_COUNT", 1000))
LONG_SECONDS = 30
# The link as it was before automatic reconnect: down until Reconnect.
MANUAL = e2e.SETPOINTS + "KOV-RECONNECT_SECONDS 0\n"


def connected(stage, *sim_options, config=e2e.SETPOINTS):
    """omniNames, kovsim and a client showing its window, subscribed."""
    names = stage.names()
    sim = stage.sim(names, *sim_options)
    client = stage.client(names.initref, config=config).start()
    window = client.program.main_window()
    sim.wait_line("subscribe consumer=")
    return sim, client, window


def shows_reading(client, window, temp, gauge=TEMP):
    """Waits until the gauge shows temp (degrees, as sent)."""
    acc = find(window, gauge)
    return wait_for(f"{gauge} showing {temp:.2f}", lambda: client.program.ping(acc),
                    lambda d: d.startswith(f"{temp:.2f}°C"))


def push_reading(sim, client, window, temp):
    report = sim.send(f"push reading 0 {temp} 40 0")
    check("consumers=1" in report, f"the reading reached no client: {report}")
    shows_reading(client, window, temp)


def link_reads(client, window, state):
    link = find(window, "Link status")
    wait_for(f'the link status "{state}"', lambda: client.program.ping(link), lambda d: d == state)


def lost_link_box(client, window, began, limit):
    """The lost-link box within limit seconds of began; answers the time."""
    client.program.wait_alert(LOST, limit=limit + 1)
    took = time.monotonic() - began
    check(took <= limit, f"the lost link was reported after {took:.1f} s, more than {limit} s")
    log(f"lost link reported after {took:.2f} s")
    link_reads(client, window, "not linked")
    check(e2e.enabled(find(window, "Reconnect", e2e.pyatspi.ROLE_PUSH_BUTTON)), "Reconnect is not enabled")
    return took


def reconnect(sim, client, window):
    program = client.program
    program.close_alert(LOST)
    start = sim.pull()
    program.press(window, "Reconnect")
    sim.wait_line("subscribe consumer=", start=start)
    link_reads(client, window, "linked")


def target_on_time(client, window):
    label = e2e.find_described(window, "Target elapsed ON time")
    client.program.fresh()
    return label.name


def exit_within(client, window, limit):
    began = time.monotonic()
    client.program.press(window, "Exit")
    status = client.wait_exit(limit)
    log(f"kovclient ended {time.monotonic() - began:.2f} s after Exit, status {status}")
    check(status == 0, f"kovclient ended with status {status} after Exit: {client.output()}")


# ---------------------------------------------------------------- start-up


def start_failure(stage, initref, box, log_line):
    client = stage.client(initref).start()
    program = client.program
    program.wait_alert(box)
    check(program.window("KOV CLIENT") is None, "the main window is showing although the connection failed")
    program.close_alert(box)
    status = client.wait_exit(CALL_LIMIT)
    check(status != 0, "kovclient ended with status 0 after a failed connection")
    entries = e2e.read_file(client.path("client.log"))
    check(log_line in entries, f"client.log does not say {log_line!r}: {entries[-500:]!r}")


def case_no_naming_service(stage):
    port = e2e.free_port()  # nothing listens there
    start_failure(stage, f"NameService=corbaloc::127.0.0.1:{port}/NameService",
                  "Event consumer init failed. See client.log for details", "Consumer init failed: ")


def case_no_system(stage):
    names = stage.names()
    stage.sim(names)
    names.unbind("KOVSYSTEM")
    start_failure(stage, names.initref, "Event consumer run failed. See client.log for details",
                  "KOV target interface initialize failed: ")


# ---------------------------------------------------------------- link


def case_dropped(stage):
    sim, client, window = connected(stage, config=MANUAL)
    began = time.monotonic()
    sim.command("drop Instrument restarting")
    sim.wait_line("consumer-disconnect consumer=")
    lost_link_box(client, window, began, CALL_LIMIT + 1)
    # Once: the box stays alone, and none follows it.
    client.program.stay_responsive(find(window, "Link status"), 3, lambda: check(
        client.program.alert_count(LOST) == 1, "the lost link was reported more than once"))
    # A subscription refused on the first Reconnect is reported.
    start = sim.command("refuse Channel full")
    sim.wait_line("ok refuse", start=start)
    client.program.close_alert(LOST)
    client.program.press(window, "Reconnect")
    sim.wait_line("subscribe-refused", start=start)
    client.program.close_alert("KOV CLIENT reconnect failed. See client.log for details")
    lost_link_box(client, window, time.monotonic(), 2)
    reconnect(sim, client, window)
    push_reading(sim, client, window, 27.25)
    check(client.program.alert_count(LOST) == 0, "a second lost-link box")


def case_killed(stage):
    sim, client, window = connected(stage, "--scenario", "none", "--on-time", "3600", config=MANUAL)
    wait_for("the ON time of the instrument", lambda: target_on_time(client, window),
             lambda t: t.startswith("01:00:"))
    began = time.monotonic()
    sim.signal(signal.SIGKILL)
    lost_link_box(client, window, began, CALL_LIMIT + 1)
    # Reconnect while it is still down: told so, then the lost link again.
    program = client.program
    program.close_alert(LOST)
    program.press(window, "Reconnect")
    program.close_alert("KOV CLIENT reconnect failed. See client.log for details")
    lost_link_box(client, window, time.monotonic(), 2)
    sim.proc.wait(5)
    sim.start()
    reconnect(sim, client, window)
    push_reading(sim, client, window, 26.5)
    wait_for("the ON time back", lambda: target_on_time(client, window), lambda t: t.startswith("01:00:"))
    exit_within(client, window, CALL_LIMIT)


def case_exit_after_loss(stage):
    sim, client, window = connected(stage)
    began = time.monotonic()
    sim.signal(signal.SIGKILL)
    lost_link_box(client, window, began, CALL_LIMIT + 1)
    client.program.close_alert(LOST)
    exit_within(client, window, CALL_LIMIT)


def reconnect_status(client, window):
    client.program.fresh()
    return e2e.find_described(window, "Reconnect status").name


def back_by_itself(sim, client, window, start, began):
    """Subscribed again, linked, the lost-link box gone, without a key
    pressed; answers the seconds from began."""
    sim.wait_line("subscribe consumer=", start=start, limit=e2e.STEP_LIMIT + CALL_LIMIT)
    link_reads(client, window, "linked")
    wait_for("the lost-link box closed by itself", lambda: client.program.alert_count(LOST) == 0)
    took = time.monotonic() - began
    push_reading(sim, client, window, 26.75)
    return took


def case_killed_comes_back(stage):
    sim, client, window = connected(stage)
    sim.signal(signal.SIGKILL)
    lost_link_box(client, window, time.monotonic(), CALL_LIMIT + 1)
    wait_for("the countdown", lambda: reconnect_status(client, window), lambda t: t.startswith("Reconnecting in "))
    time.sleep(3)  # tries after about 1 and 3 s fail while it is down
    sim.proc.wait(5)
    began = time.monotonic()
    start = sim.start().pull()
    took = back_by_itself(sim, client, window, start, began)
    log(f"instrument back: linked again {took:.2f} s after kovsim was ready")
    # The next try comes within the wait in force (at most 8 s, +20 %), and
    # a try against a listening instrument takes well under a second.
    check(took <= 8 * 1.2 + 2, f"back after {took:.1f} s")
    entries = e2e.read_file(client.path("client.log"))
    check("Reconnected automatically" in entries, f"client.log: {entries[-500:]!r}")
    check(entries.count("Automatic reconnect failed") <= 3, f"a line per try: {entries[-800:]!r}")
    check(reconnect_status(client, window) == "", "the countdown stayed")
    exit_within(client, window, CALL_LIMIT)


def case_hung_comes_back(stage):
    sim, client, window = connected(stage)
    seen = []

    def watch():
        if not seen and client.program.alert_count(LOST):
            seen.append(time.monotonic())
    sim.signal(signal.SIGSTOP)
    slowest = client.program.stay_responsive(find(window, TEMP), 20, watch, ANSWER_LIMIT)
    log(f"hung 20 s, trying to reconnect: slowest answer {slowest * 1000:.0f} ms")
    check(seen, "the lost link was never reported while the instrument hung")
    began = time.monotonic()
    start = sim.pull()
    sim.signal(signal.SIGCONT)
    took = back_by_itself(sim, client, window, start, began)
    log(f"instrument answering again: linked {took:.2f} s later")


# ---------------------------------------------------------------- hang


def case_hung(stage):
    sim, client, window = connected(stage, config=MANUAL)
    gauge = find(window, TEMP)
    seen = []

    def watch():
        if not seen and client.program.alert_count(LOST):
            seen.append(time.monotonic())
    began = time.monotonic()
    sim.signal(signal.SIGSTOP)
    slowest = client.program.stay_responsive(gauge, 20, watch, ANSWER_LIMIT)
    log(f"hung 20 s: slowest answer {slowest * 1000:.0f} ms")
    check(seen, "the lost link was never reported while the instrument hung")
    took = seen[0] - began
    log(f"lost link reported after {took:.2f} s")
    # Up to a second to the next poll, its call limit, up to a second to the
    # window's next tick, and a second for a busy machine.
    check(took <= CALL_LIMIT + 3, f"the lost link was reported after {took:.1f} s")
    sim.signal(signal.SIGCONT)
    reconnect(sim, client, window)
    push_reading(sim, client, window, 25.75)


def case_elapsed_hang(stage):
    sim, client, window = connected(stage)
    gauge = find(window, TEMP)
    start = sim.command(f"elapsed hang {CALL_LIMIT - 1} 12")
    sim.wait_line("ok elapsed", start=start)
    slowest = 0.0
    for step in range(12):
        temp = 20 + step * 0.25
        report = sim.send(f"push reading 0 {temp} 40 0")
        check("consumers=1" in report, f"the reading reached no client: {report}")
        began = time.monotonic()
        shows_reading(client, window, temp)
        slowest = max(slowest, time.monotonic() - began)
        check(slowest <= ANSWER_LIMIT, f"a reading took {slowest:.2f} s to show")
        client.program.stay_responsive(gauge, 0.8, limit=ANSWER_LIMIT)
    log(f"elapsedTime hanging: slowest reading {slowest * 1000:.0f} ms, slowest answer "
        f"{client.program.slowest * 1000:.0f} ms")
    check(sim.count("elapsedTime hang") > 0, "kovsim was never asked for the elapsed time")
    check(sim.count("drop consumer=") == 0, "kovsim dropped the client")
    check(not client.program.alerts(), f"a box: {client.program.alerts()}")
    link_reads(client, window, "linked")


def case_exit_while_trying(stage):
    sim, client, window = connected(stage)
    sim.signal(signal.SIGSTOP)
    lost_link_box(client, window, time.monotonic(), CALL_LIMIT + 3)
    client.program.close_alert(LOST)
    time.sleep(2)  # a try waits on the hung side now
    exit_within(client, window, 3 * CALL_LIMIT + 2)


def case_exit_while_hung(stage):
    sim, client, window = connected(stage)
    sim.signal(signal.SIGSTOP)
    # The call under way, "disconnect" to the instrument, "unsubscribe".
    exit_within(client, window, 3 * CALL_LIMIT + 2)


# ---------------------------------------------------------------- flood


def flood_index(text):
    """Place of a flood text among all the listed ones: per tick n the
    message "Flood message n", and "Flood text n" when n is a multiple of 5."""
    found = re.match(r"Flood (message|text) (\d+)", text)
    check(found, f"not a text of the flood in the message list: {text!r}")
    kind, number = found.groups()
    n = int(number)
    before = n + (n + 4) // 5  # messages and texts of the ticks before n
    return before + (1 if kind == "text" else 0)


def case_flood(stage):
    names = stage.names()
    sim = stage.sim(names, *FLOOD_OPTIONS)
    client = stage.client(names.initref).start()
    program = client.program
    window = program.main_window()
    program.press(window, "Alarms/Messages")
    table = find(program.wait_window("KOV STATUS"), "Messages", e2e.pyatspi.ROLE_TABLE)
    gauge = find(window, TEMP)
    rss = []

    def watch():
        if not rss or time.monotonic() - rss[-1][0] >= 1:
            rss.append((time.monotonic(), client.rss_kib()))
    slowest = program.stay_responsive(gauge, FLOOD_SECONDS, watch, ANSWER_LIMIT)
    peak = max(kib for _, kib in rss) / 1024
    log(f"flood {FLOOD_SECONDS} s: slowest answer {slowest * 1000:.0f} ms, {program.pings} pings, "
        f"{program.slow} over {e2e.SLOW_ANSWER * 1000:.0f} ms, "
        f"memory {rss[0][1] / 1024:.0f} MiB at the start, {rss[-1][1] / 1024:.0f} MiB at the end, "
        f"peak {peak:.0f} MiB")
    check(peak < FLOOD_RSS_LIMIT_MIB, f"kovclient grew to {peak:.0f} MiB")

    # Every message and text between the first listed and the last is there.
    program.fresh()
    rows = e2e.table_rows(table)
    first = e2e.table_cell(table, 0, "Message").name
    last = e2e.table_cell(table, rows - 1, "Message").name
    expected = flood_index(last) - flood_index(first) + 1
    ticks = int(re.search(r"\d+", last).group()) - int(re.search(r"\d+", first).group())
    log(f"{rows} rows, from {first!r} to {last[:20]!r}: about {ticks * 3.42 / FLOOD_SECONDS:.0f} events a second")
    check(rows == expected, f"{rows} rows from {first!r} to {last[:40]!r}: {expected - rows} missing")
    check(sim.count_in_file("drop consumer=") == 0, "kovsim dropped the client during the flood")
    exit_within(client, window, 5)


# ---------------------------------------------------------------- history file

DAY_MS = 86_400_000
# A history file as the first version wrote it: 14 readings, one a minute
# up to now.
HISTORY_V1 = (
    "CREATE TABLE schema_version (version INTEGER NOT NULL PRIMARY KEY);"
    "INSERT INTO schema_version VALUES (1);"
    "CREATE TABLE readings (housing SMALLINT NOT NULL, arrival_ms BIGINT NOT NULL, reading_time BIGINT NOT NULL, "
    "temperature DOUBLE PRECISION, humidity DOUBLE PRECISION, water SMALLINT NOT NULL, "
    "PRIMARY KEY (housing, arrival_ms)) WITHOUT ROWID;"
)


def history_rows(client, where="1"):
    with sqlite3.connect(f"file:{client.path('kovhistory.db')}?mode=ro", uri=True) as db:
        return db.execute(f"SELECT count(*) FROM readings WHERE {where}").fetchone()[0]


def log_lines(client, part):
    return [line for line in e2e.read_file(client.path("client.log")).splitlines() if part in line]


def child_pid(proc):
    """The program a wrapper (faketime) started: the one the accessibility
    bus knows, and the one to signal."""
    def probe():
        children = e2e.read_file(f"/proc/{proc.pid}/task/{proc.pid}/children").split()
        return int(children[0]) if children else None
    return wait_for("the program under faketime", probe)


def case_clock_forward(stage):
    names = stage.names()
    sim = stage.sim(names)
    client = stage.client(names.initref, prefix=("faketime", "-f", "+400d"))
    client.env["FAKETIME_DONT_FAKE_MONOTONIC"] = "1"  # else the client's timers stall
    now = int(time.time() * 1000)
    with sqlite3.connect(client.path("kovhistory.db")) as db:
        db.executescript(HISTORY_V1)
        db.executemany("INSERT INTO readings VALUES (0, ?, ?, 20.5, 40, 0)",
                       [(now - k * 60_000, (now - k * 60_000) // 1000) for k in range(14)])
    client.start()
    client.program = e2e.Program(child_pid(client.proc), client)
    window = client.program.main_window()
    sim.wait_line("subscribe consumer=")
    for temp in (21, 22, 23):
        push_reading(sim, client, window, temp)
    # The first retention pass runs 10 s after the start.
    held = wait_for("retention held in client.log", lambda: log_lines(client, "old rows are kept for now"), limit=25)
    log(held[0])
    ahead = f"arrival_ms > {now + 399 * DAY_MS}"
    wait_for("the new readings stored at the shifted time", lambda: history_rows(client, ahead) == 3)
    exit_within(client, window, 10)
    kept = history_rows(client, f"arrival_ms <= {now}")
    check(kept == 14, f"{14 - kept} of the 14 readings from before the clock was set forward are gone")
    check(log_lines(client, "brought from version 1 to "), "client.log says nothing of the upgrade")


def case_exit_locked(stage):
    sim, client, window = connected(stage)
    push_reading(sim, client, window, 21.0)
    wait_for("the reading in the history file", lambda: history_rows(client) == 1)
    # Another process takes the file's write lock and keeps it past the exit.
    other = sqlite3.connect(client.path("kovhistory.db"), isolation_level=None)
    try:
        other.execute("BEGIN IMMEDIATE")
        for temp in (22, 23, 24):
            push_reading(sim, client, window, temp)
        wait_for('"file is busy" in client.log', lambda: log_lines(client, "file is busy"), limit=10)
        exit_within(client, window, 10)
    finally:
        other.rollback()
        other.close()
    check(history_rows(client) == 1, "the reading committed before the lock is gone")
    busy = log_lines(client, "file is busy")
    check(len(busy) == 1, f"client.log says the file is busy {len(busy)} times")
    counted = log_lines(client, "could not be written")
    check(counted and "3 readings" in counted[-1], f"client.log does not count what was not written: {counted}")
    log(counted[-1])
def case_flood_long_texts(stage):
    names = stage.names()
    sim = stage.sim(names, "--scenario", "none", "--backpressure")
    # Recording off and the echo on standard output discarded: this case
    # measures the list, not the disk.
    client = stage.client(names.initref, config=e2e.SETPOINTS + "KOV-HISTORY_DAYS 0,3650\n", echo=False).start()
    program = client.program
    window = program.main_window()
    sim.wait_line("subscribe consumer=")
    program.press(window, "Alarms/Messages")
    status = program.wait_window("KOV STATUS")
    table = find(status, "Messages", e2e.pyatspi.ROLE_TABLE)
    gauge = find(window, TEMP)
    before = client.rss_kib() / 1024
    began = time.monotonic()
    sim.command(f"push message size={LONG_TEXT_BYTES} count={LONG_COUNT} alarm long")
    last = f"push seq={LONG_COUNT} "
    slowest = 0.0
    while not any(line.startswith(last) for line in sim.lines[-5:]):
        client.alive()
        check(time.monotonic() - began < LONG_SECONDS, f"kovsim sent {len(sim.lines)} of {LONG_COUNT} in "
              f"{LONG_SECONDS} s")
        asked = time.monotonic()
        program.ping(gauge)
        slowest = max(slowest, time.monotonic() - asked)
        check(slowest <= ANSWER_LIMIT, f"the window took {slowest:.3f} s to answer a screen reader")
        time.sleep(0.05)
        sim.pull()
    took = time.monotonic() - began
    peak = client.rss_kib("VmHWM") / 1024
    log(f"{LONG_COUNT} texts of {LONG_TEXT_BYTES} bytes in {took:.1f} s ({LONG_COUNT / took:.0f} a second, "
        f"{LONG_COUNT * LONG_TEXT_BYTES / took / 2**20:.0f} MiB/s); slowest answer {slowest * 1000:.0f} ms; "
        f"memory {before:.0f} MiB before, peak {peak:.0f} MiB")
    check(peak < FLOOD_RSS_LIMIT_MIB, f"kovclient grew to {peak:.0f} MiB")
    check(sim.count_in_file("drop consumer=") == 0, "kovsim dropped the client")

    # The newest messages listed, and a line saying where the older ones are.
    def newest():
        program.fresh()
        rows = e2e.table_rows(table)
        return rows, e2e.table_cell(table, rows - 1, "Message").name[:20]
    rows, text = wait_for("the last text listed", newest, lambda r: r[1].startswith(f"{LONG_COUNT} long"))
    check(rows < LONG_COUNT, f"all {rows} texts listed")
    notice = next((acc.name for acc in e2e.descendants(status) if e2e.role(acc) == e2e.pyatspi.ROLE_LABEL
                   and "are in History" in acc.name), None)
    check(notice is not None, "no line says where the older messages are")
    log(f"{rows} rows listed; {notice!r}")
    exit_within(client, window, 5)


# ---------------------------------------------------------------- settings


def setpoint_edits(program, window, housing):
    """Label of each setpoint edit (blanks squeezed) -> its edit."""
    program.press(window, f"Change {housing} housing setpoints")
    title = "KOV Electronics Housing Setpoints" if housing == "electronics" else \
        "KOV Spectrometer Housing Setpoints"
    dialog = program.wait_window(title)
    edits = {" ".join(acc.name.split()): acc for acc in e2e.descendants(dialog)
             if e2e.role(acc) == e2e.pyatspi.ROLE_TEXT}
    return {label: edits[label] for label in DEFAULTS}


def setpoint_values(program, window, housing):
    program.fresh()
    return {label: e2e.text_of(edit) for label, edit in setpoint_edits(program, window, housing).items()}


def set_over_temp(client, window, value):
    program = client.program
    edits = setpoint_edits(program, window, "electronics")
    e2e.set_text(edits["Over Temp at (°C):"], value)
    dialog = program.window("KOV Electronics Housing Setpoints")
    program.press(dialog, "Set over temperature")


def config_line(client, key):
    text = e2e.read_file(client.path("kov.cfg"))
    return next((line for line in text.splitlines() if line.startswith(key)), None)


def case_setpoint_then_kill(stage):
    names = stage.names()
    stage.sim(names)
    client = stage.client(names.initref).start()
    window = client.program.main_window()
    set_over_temp(client, window, "41.5")
    key = "KOV-E1-TEMP_ALARM_SETPOINTS"
    wait_for("the setpoint in kov.cfg", lambda: config_line(client, key), lambda l: l.endswith("41.50"))
    client.kill()
    check(config_line(client, key).split()[-1].endswith("41.50"), f"kov.cfg: {config_line(client, key)}")
    again = stage.client(names.initref, config=None).start()
    values = setpoint_values(again.program, again.program.main_window(), "electronics")
    check(values["Over Temp at (°C):"] == "41.5", f"after the restart the setpoints read {values}")


def case_config_read_only(stage):
    names = stage.names()
    stage.sim(names)
    client = stage.client(names.initref)
    os.chmod(client.path("kov.cfg"), 0o444)
    window = client.start().program.main_window()
    set_over_temp(client, window, "39")
    # Written by replacing the file, which only the folder's mode can stop.
    wait_for("the setpoint in kov.cfg", lambda: config_line(client, "KOV-E1-TEMP"), lambda l: l.endswith("39.00"))
    check(not client.program.alerts(), f"a box: {client.program.alerts()}")
    exit_within(client, window, CALL_LIMIT)


def case_folder_not_writable(stage):
    names = stage.names()
    stage.sim(names)
    # root writes anywhere: the client runs without that privilege.
    prefix = ["setpriv", "--inh-caps=-dac_override,-dac_read_search",
              "--bounding-set=-dac_override,-dac_read_search"] if os.geteuid() == 0 else []
    client = stage.client(names.initref, prefix=prefix)
    open(client.path("client.log"), "w").close()
    before = e2e.read_file(client.path("kov.cfg"))
    os.chmod(client.folder, 0o555)
    try:
        window = client.start().program.main_window()
        set_over_temp(client, window, "38")
        box = "The setpoint could not be written to kov.cfg. See client.log for details"
        client.program.close_alert(box)
        link_reads(client, window, "linked")
        entries = e2e.read_file(client.path("client.log"))
        check("Cannot write the setpoints to " in entries, f"client.log: {entries[-500:]!r}")
        exit_within(client, window, CALL_LIMIT)
        check(e2e.read_file(client.path("kov.cfg")) == before, "kov.cfg changed")
    finally:
        os.chmod(client.folder, 0o755)


DEFAULTS = {"Over Temp at (°C):": "32", "Warning at (°C):": "24", "Over Humidity at (%):": "60",
            "Warning at (%):": "35"}
# Corpus file -> what the setpoints dialogs of both housings read. A value
# that is not a number keeps its default ("0x1p3" starts with the number 0);
# an item of three values is not read at all.
GARBAGE = {
    "binary.cfg": (DEFAULTS, DEFAULTS),
    "long_line.cfg": (DEFAULTS, DEFAULTS),
    "not_numbers.cfg": (DEFAULTS, dict(DEFAULTS, **{"Warning at (%):": "0"})),
    "quotes.cfg": (DEFAULTS, DEFAULTS),
    "setpoints.cfg": (DEFAULTS, dict(DEFAULTS, **{"Warning at (°C):": "24.5"})),
    "too_many.cfg": (DEFAULTS, DEFAULTS),
}


def case_config_garbage(stage):
    names = stage.names()
    stage.sim(names)
    for name, (electronics, spectrograph) in GARBAGE.items():
        with open(os.path.join(CORPUS, name), "rb") as file:
            client = stage.client(names.initref, folder=name, config=file.read()).start()
        window = client.program.main_window()
        for housing, expected in (("electronics", electronics), ("spectrometer", spectrograph)):
            values = setpoint_values(client.program, window, housing)
            check(all(re.fullmatch(r"-?[0-9.e+]+", v) for v in values.values()), f"{name}: {values}")
            check(all(values[label] == value for label, value in expected.items()),
                  f"{name}: {housing} setpoints read {values}")
        log(f"{name}: started, setpoints as expected")
        exit_within(client, window, CALL_LIMIT)


# ---------------------------------------------------------------- one client per folder


def active(client, window):
    client.program.fresh()
    return window.getState().contains(e2e.pyatspi.STATE_ACTIVE)


def start_again(stage, first, limit, **settings):
    """kovclient started in first's folder again; answers its status."""
    began = time.monotonic()
    status = stage.client(first.initref, config=None, **settings).start().wait_exit(limit)
    log(f"the start in the same folder ended after {time.monotonic() - began:.2f} s, status {status}")
    return status


def case_second_start(stage):
    sim, first, window = connected(stage)
    # A client in another folder runs on its own, and takes the focus.
    other = stage.client(first.initref, folder="other").start()
    other.program.main_window()
    ids = subprocess.run(["xdotool", "search", "--pid", str(other.proc.pid)], capture_output=True, text=True)
    subprocess.run(["xdotool", "windowfocus", "--sync", ids.stdout.split()[-1]], check=True, timeout=10)
    wait_for("the first window inactive", lambda: not active(first, window))
    check(start_again(stage, first, 3) == 0, "a second start in the same folder failed")
    wait_for("the first window active", lambda: active(first, window))
    line = sim.wait_line("ok list", start=sim.command("list"))
    check("consumers=2" in line and sim.count("subscribe consumer=") == 2, f"kovsim: {line}")
    check("was asked to show its window" in e2e.read_file(first.path("client.log")), "client.log says nothing")
    # Hung: the box names the folder and the process; status 1.
    first.proc.send_signal(signal.SIGSTOP)
    began = time.monotonic()
    hung = stage.client(first.initref, config=None).start()
    box = (f"A KOV client is already running in {os.path.realpath(first.folder)} (process {first.proc.pid}) "
           "and does not answer. See client.log for details")
    hung.program.wait_alert(box)
    log(f"the box after {time.monotonic() - began:.2f} s")
    hung.program.close_alert(box)
    check(hung.wait_exit(CALL_LIMIT) == 1, "not status 1 after the box")
    # Killed: its lock is taken over at once.
    first.kill()
    again = stage.client(first.initref, config=None).start()
    exit_within(again, again.program.main_window(), CALL_LIMIT)
    check(other.running(), "the client in the other folder ended")


def log_line_after(client, text, began, limit=e2e.STEP_LIMIT):
    """Waits for the client.log line holding text; answers the seconds since began."""
    wait_for(f"client.log saying {text!r}", lambda: text in e2e.read_file(client.path("client.log")), limit=limit)
    return time.monotonic() - began


def case_second_start_offscreen(stage):
    """The same starts on a platform without an X connection. Offscreen has
    no accessibility bridge: client.log, kovsim and the exit status tell."""
    names = stage.names()
    sim = stage.sim(names)
    first = stage.client(names.initref, platform="offscreen").start()
    sim.wait_line("subscribe consumer=")
    check(start_again(stage, first, 3, platform="offscreen") == 0, "a second start in the same folder failed")
    log_line_after(first, "was asked to show its window", time.monotonic())
    first.alive()
    line = sim.wait_line("ok list", start=sim.command("list"))
    check("consumers=1" in line and sim.count("subscribe consumer=") == 1, f"kovsim: {line}")
    # The files that quote messages and user names are the owner's only.
    for name in ("client.log", "kovhistory.db", "kovhistory.db-wal", "kovhistory.db-shm"):
        mode = wait_for(f"{name} written", lambda: os.stat(first.path(name)).st_mode & 0o777)
        check(mode == 0o600, f"{name} has mode {mode:o}")
    # The socket is in the user's runtime folder, not in /tmp.
    runtime = stage.run.session.env["XDG_RUNTIME_DIR"]
    sockets = [n for n in os.listdir(runtime) if n.startswith("kovclient-")]
    check(len(sockets) == 1, f"sockets in {runtime}: {sockets}")
    check(not os.path.exists(os.path.join("/tmp", sockets[0])), f"/tmp/{sockets[0]} exists")
    # Hung: the new start gives up after the answer limit (its box cannot
    # be read here) and ends on SIGTERM with status 1.
    first.proc.send_signal(signal.SIGSTOP)
    began = time.monotonic()
    hung = stage.client(names.initref, config=None, platform="offscreen").start()
    took = log_line_after(hung, "did not answer within 2000 ms", began, limit=CALL_LIMIT)
    log(f"no answer logged after {took:.2f} s")
    check(took >= 2, f"gave up after {took:.2f} s, before the answer limit")
    hung.proc.terminate()
    check(hung.wait_exit(CALL_LIMIT) == 1, "not status 1 without an answer")
    # Killed: its lock is taken over at once.
    first.kill()
    again = stage.client(names.initref, config=None, platform="offscreen").start()
    sim.wait_line("subscribe consumer=", start=sim.pull())
    again.proc.terminate()
    check(again.wait_exit(CALL_LIMIT) == 0, "the client that took the folder over did not end with status 0")


# ---------------------------------------------------------------- readings


def case_odd_readings(stage):
    sim, client, window = connected(stage)
    program = client.program
    temp, rh = find(window, TEMP), find(window, RH)
    for words, temp_shown, rh_shown in (
            ("nan 40", "INVALID DATA", "40.00%"),
            ("30 inf", "30.00°C", "INVALID DATA"),
            ("-inf -inf", "INVALID DATA", "INVALID DATA"),
            # The gauge's text has room for 19 characters.
            ("-0 1e308", "0.00°C|-0.00°C", "1000000[0-9]*"),
            ("1e308 nan", "1000000[0-9]*", "INVALID DATA")):
        report = sim.send(f"push reading 0 {words} 0")
        check("consumers=1" in report, f"the reading reached no client: {report}")
        wait_for(f"{words}: temperature {temp_shown}", lambda: program.ping(temp),
                 lambda d: re.fullmatch(f"({temp_shown}), .*", d))
        wait_for(f"{words}: humidity {rh_shown}", lambda: program.ping(rh),
                 lambda d: re.fullmatch(f"({rh_shown}), .*", d))
    # The setpoints window of the housing has no alarm state for them either.
    push_reading(sim, client, window, 33)
    sim.send("push reading 0 nan inf 0")
    wait_for("the gauge showing no data", lambda: program.ping(temp), lambda d: d.startswith("INVALID DATA"))
    program.press(window, "Change electronics housing setpoints")
    dialog = program.wait_window("KOV Electronics Housing Setpoints")
    for field in ("Temperature alarm status", "Humidity alarm status"):
        status = e2e.text_of(find(dialog, field)).strip()
        check(status == "INVALID DATA", f"{field} reads {status!r} for a reading of nan and inf")

    shown = program.ping(temp), program.ping(rh)
    report = sim.send("push reading 7 45 90 1")
    check("consumers=1" in report, f"the reading reached no client: {report}")
    # Readings arrive in order: once this one shows, housing 7's has been handled.
    report = sim.send("push reading 1 21.5 40 0")
    check("consumers=1" in report, f"the reading reached no client: {report}")
    shows_reading(client, window, 21.5, "Spectrometer housing temperature")
    check((program.ping(temp), program.ping(rh)) == shown, "housing 7 changed the electronics gauges")
    for housing in ("Electronics", "Spectrometer"):
        water = e2e.text_of(find(window, f"{housing} housing water sensor")).strip()
        check(water != "ALARM ON", f"housing 7 set the {housing} water sensor")
    check(sim.count("drop consumer=") == 0, "kovsim dropped the client")
    check(not program.alerts(), f"a box: {program.alerts()}")


# ---------------------------------------------------------------- alarms


def alarm_summary(client, window):
    client.program.fresh()
    return e2e.find_described(window, "Alarm summary").name


def case_alarm_latch(stage):
    sim, client, window = connected(stage, config=e2e.SETPOINTS + "KOV-STALE_SECONDS 5\n")
    program = client.program
    gauge = find(window, TEMP)
    sim.send("push reading 1 20 40 0")
    push_reading(sim, client, window, 35)  # over 32 for a second
    time.sleep(1)
    push_reading(sim, client, window, 25)
    sim.send("push reading 1 20 40 0")  # the other housing is not stale either
    last_reading = time.monotonic()
    time.sleep(1)
    summary = alarm_summary(client, window)
    check(summary == "1 unacknowledged alarm: Electronics housing temperature over limit", summary)
    check("unacknowledged alarm" in program.ping(gauge), program.ping(gauge))
    program.press(window, "Acknowledge")
    wait_for("the alarm acknowledged", lambda: alarm_summary(client, window),
             lambda t: t.startswith("No unacknowledged alarms"))
    check("unacknowledged alarm" not in program.ping(gauge), program.ping(gauge))

    # No reading for 5 s: stale and a "no readings" alarm; the next reading clears it.
    water = find(window, "Electronics housing water sensor")
    wait_for("the housing stale", lambda: e2e.text_of(water), lambda t: t.strip() == "STALE")
    log(f"stale shown {time.monotonic() - last_reading:.1f} s after the last reading (limit 5 s)")
    check(program.ping(gauge).startswith("25.00°C, STALE"), program.ping(gauge))
    check("Electronics housing no readings" in alarm_summary(client, window), alarm_summary(client, window))
    sim.send("push reading 0 25 40 0")
    wait_for("the reading shown", lambda: e2e.text_of(water), lambda t: t.strip() == "OK")
    program.press(window, "Alarms/Messages")
    table = find(program.wait_window("KOV STATUS"), "Alarms", e2e.pyatspi.ROLE_TABLE)
    program.fresh()
    listed = [e2e.table_cell(table, row, "Alarm").name for row in range(e2e.table_rows(table))]
    check("Electronics housing no readings" in listed, f"the alarms listed: {listed}")
    check(not program.alerts(), f"a box: {program.alerts()}")


def alarm_rows(client, point):
    """The history file's journal rows of one alarm point."""
    path = client.path("kovhistory.db")
    with sqlite3.connect(f"file:{path}?mode=ro", uri=True) as db:
        return db.execute("SELECT action FROM alarm_records WHERE point = ? ORDER BY time_ms, seq",
                          (point,)).fetchall()


def case_alarm_flapping(stage):
    sim, client, window = connected(stage)
    push_reading(sim, client, window, 32.3)
    wait_for("the alarm raised", lambda: alarm_summary(client, window), lambda t: "temperature" in t)
    client.program.press(window, "Silence")
    wait_for("the sound silenced", lambda: alarm_summary(client, window), lambda t: "(sound silenced)" in t)
    # Ten readings a second about the setpoint, within the 0.5 °C deadband.
    for n in range(60):
        sim.send(f"push reading 0 {32.3 if n % 2 else 31.7} 40 0")
        time.sleep(0.1)
    shows_reading(client, window, 32.3)
    summary = alarm_summary(client, window)
    check(summary == "1 unacknowledged alarm: Electronics housing temperature over limit (sound silenced)",
          summary)
    point = "Electronics housing temperature over limit"
    rows = wait_for("the raise recorded", lambda: alarm_rows(client, point), lambda r: len(r) >= 1)
    time.sleep(0.5)  # a writer's commit
    rows = alarm_rows(client, point)
    log(f"journal rows of the flapping point: {len(rows)}")
    check(len(rows) <= 2, f"the journal of the flapping point: {rows}")


def case_sensor_fault(stage):
    sim, client, window = connected(stage, config=e2e.SETPOINTS + "KOV-STALE_SECONDS 5\n")
    push_reading(sim, client, window, 25)
    last_valid = time.monotonic()
    # Readings keep coming, but the electronics housing's carry no data.
    raised = None
    while raised is None and time.monotonic() - last_valid < 15:
        sim.send("push reading 0 nan nan 0")
        sim.send("push reading 1 20 40 0")
        if "Electronics housing no valid data" in alarm_summary(client, window):
            raised = time.monotonic() - last_valid
        time.sleep(0.5)
    check(raised is not None, f"no sensor fault: {alarm_summary(client, window)}")
    log(f"sensor fault raised {raised:.1f} s after the last valid reading (limit 5 s)")
    check(raised >= 4.9, f"raised after {raised:.1f} s, before the limit")


CASES = [
    ("no-naming-service", case_no_naming_service),
    ("no-system", case_no_system),
    ("config-garbage", case_config_garbage),
    ("dropped", case_dropped),
    ("killed", case_killed),
    ("exit-after-loss", case_exit_after_loss),
    ("killed-comes-back", case_killed_comes_back),
    ("hung-comes-back", case_hung_comes_back),
    ("alarm-latch", case_alarm_latch),
    ("alarm-flapping", case_alarm_flapping),
    ("sensor-fault", case_sensor_fault),
    ("hung", case_hung),
    ("elapsed-hang", case_elapsed_hang),
    ("exit-while-hung", case_exit_while_hung),
    ("exit-while-trying", case_exit_while_trying),
    ("flood", case_flood),
    ("flood-long-texts", case_flood_long_texts),
    ("setpoint-then-kill", case_setpoint_then_kill),
    ("config-read-only", case_config_read_only),
    ("folder-not-writable", case_folder_not_writable),
    ("odd-readings", case_odd_readings),
    ("second-start", case_second_start),
    ("clock-forward", case_clock_forward),
    ("exit-locked", case_exit_locked),
    ("second-start-offscreen", case_second_start_offscreen),
]

if __name__ == "__main__":
    sys.exit(e2e.run_cases(CASES, __doc__.splitlines()[0]))
