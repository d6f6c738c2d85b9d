#!/usr/bin/python3
"""kovclient as a blind operator hears it: Debian's screen reader Orca on
the test desktop, what it says read from its debug file.

Cases:
  speech  a reading of 20 °C, then one over the limit; the main window
          focused and Tabbed through: no bare "N percent", the over-limit
          change spoken once with its housing, the times heard with values
  flood   400 readings a second: what Orca says stays few and current
"""

import re
import subprocess
import sys
import time

import kov_e2e as e2e
from kov_e2e import check, find, wait_for

OVER = "Electronics housing temperature, 33.50°C, over limit"


def keys(client, *names):
    """Focuses the main window and presses keys on it, as a person would."""
    def xdotool(*words):
        return subprocess.run(["xdotool", *words], env=client.env, capture_output=True, text=True, timeout=10)
    window = xdotool("search", "--name", "^KOV CLIENT$").stdout.split()
    check(window, "no X window named KOV CLIENT")
    xdotool("windowfocus", "--sync", window[0])
    for name in names:
        xdotool("key", name)
        time.sleep(0.6)


def heard(orca, pattern, since=0):
    return [text for _, text in orca.spoken()[since:] if re.search(pattern, text)]


def start(stage, *sim_options):
    names = stage.names()
    sim = stage.sim(names, *sim_options)
    orca = stage.orca()
    client = stage.client(names.initref).start()
    window = client.program.main_window()
    sim.wait_line("subscribe consumer=")
    return sim, orca, client, window


def case_speech(stage):
    sim, orca, client, window = start(stage)
    gauge = find(window, "Electronics housing temperature")
    sim.send("push reading 0 20 40 0")
    wait_for("the gauge at 20 °C", lambda: client.program.ping(gauge), lambda d: d.startswith("20.00°C"))
    time.sleep(2)  # the times count up
    keys(client, "Tab")
    wait_for("the times heard with their values", lambda: heard(orca, r"Elapsed connection time: \d\d:\d\d:\d\d"))
    sim.send("push reading 0 33.5 40 0")
    wait_for("the over-limit change spoken", lambda: heard(orca, re.escape(OVER)))
    keys(client, *["Tab"] * 8)
    time.sleep(2)
    said = [text for _, text in orca.spoken()]
    e2e.log(f"Orca said: {said}")
    check(not [t for t in said if re.match(r"\d+(\.\d+)? percent\.?$", t)], f"a bare percentage: {said}")
    check(len([t for t in said if "notification" in t and OVER in t]) == 1,
          f"the over-limit change was not spoken exactly once: {said}")
    check([t for t in said if t.startswith("33.50°C, over limit")],
          f"Tab on the gauge did not read its value and state: {said}")


def case_flood(stage):
    sim, orca, client, window = start(stage, "--scenario", "quiet", "--rate", "200")
    keys(client, "Tab")  # onto a humidity gauge, whose value keeps changing
    first = len(orca.spoken())
    time.sleep(10)
    lines = orca.spoken()[first:]
    e2e.log(f"Orca said in 10 s: {lines}")
    # The focused gauge's value at most once a second, and a message or two.
    check(len(lines) <= 15, f"Orca said {len(lines)} things in 10 s of readings: {lines[-5:]}")
    mark = len(orca.spoken())
    keys(client, "Tab", "Tab")
    wait_for("Orca keeping up with a key press", lambda: heard(orca, r"^Electronics housing temperature", mark),
             limit=3)


if __name__ == "__main__":
    sys.exit(e2e.run_cases([("speech", case_speech), ("flood", case_flood)], __doc__.splitlines()[0]))
