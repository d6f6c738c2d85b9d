#!/usr/bin/python3
"""kovclient's history end to end: readings pushed by kovsim show in the
trends window's description and land in kovhistory.db, which a second start
reads back into the trends from before it began."""

import os
import sqlite3
import sys
import time

import kov_e2e as e2e
from kov_e2e import check, find, wait_for

PUSHED = [(0, 21.25, 41.5, 0), (0, 23.75, 43.0, 0), (1, 18.5, 55.25, 1)]


def stored(path):
    with sqlite3.connect(f"file:{path}?mode=ro", uri=True) as db:
        return db.execute("SELECT housing, temperature, humidity, water FROM readings ORDER BY arrival_ms").fetchall()


def trend_says(client, text):
    trends = client.program.wait_window("KOV Trends")
    plot = find(trends, "Electronics housing temperature trend")
    return wait_for(f"the trend describing {text!r}", lambda: client.program.ping(plot), lambda d: text in d)


def exit_client(client, window):
    client.program.press(window, "Exit")
    check(client.wait_exit(30) == 0, f"kovclient did not end with 0: {client.output()}")


def case_recorded(stage):
    names = stage.names()
    sim = stage.sim(names)
    client = stage.client(names.initref).start()
    window = client.program.main_window()
    sim.wait_line("subscribe consumer=")
    for housing, temp, rh, water in PUSHED:
        sim.send(f"push reading {housing} {temp} {rh} {water}")
    client.program.press(window, "Trends")
    description = trend_says(client, "Latest 23.75 °C")
    check("minimum 21.25 °C, maximum 23.75 °C" in description, f"the trend's description: {description}")
    exit_client(client, window)

    rows = stored(client.path("kovhistory.db"))
    check([r for r in rows if r in [(h, t, rh, w) for h, t, rh, w in PUSHED]] == [tuple(p) for p in PUSHED],
          f"the pushed readings are not all in the history file: {rows}")

    # A second run shows the first run's readings in its trends.
    again = stage.client(names.initref).start()
    window = again.program.main_window()
    again.program.press(window, "Trends")
    trend_says(again, "maximum 23.75 °C")
    exit_client(again, window)


if __name__ == "__main__":
    sys.exit(e2e.run_cases([("recorded", case_recorded)], __doc__.splitlines()[0]))
