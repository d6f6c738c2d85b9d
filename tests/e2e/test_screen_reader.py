#!/usr/bin/python3
"""kovclient driven from outside, the way a screen reader does it.

Everything goes through the AT-SPI accessibility bus: the test finds the
windows by role and name, reads gauges, text fields and the message table,
and presses buttons. The instrument side is a private omniNames and kovsim,
whose traffic the test sends through kovsim's standard input (kov_e2e.py).

Cases:
  no-notifier  a naming service without "Notifier": the start-up alert, its
               OK button, a non-zero exit status
  readings     a reading and a message reach the windows; Exit ends the
               program with status 0
"""

import re
import sys

import kov_e2e as e2e
from kov_e2e import check, find, text_of, wait_for

EXIT_LIMIT = 15  # seconds for kovclient to end after its last button


def case_no_notifier(stage):
    client = stage.client(stage.names().initref).start()
    program = client.program
    box = "Event consumer init failed. See client.log for details"
    program.wait_alert(box)
    check(program.window("KOV CLIENT") is None, "the main window is showing although the connection failed")
    program.close_alert(box)
    status = client.wait_exit(EXIT_LIMIT)
    check(status != 0, "kovclient ended with status 0 after a failed connection")


def case_readings(stage):
    names = stage.names()
    sim = stage.sim(names)
    client = stage.client(names.initref).start()
    program = client.program
    window = program.main_window()
    sim.wait_line("subscribe consumer=")

    report = sim.send("push reading 0 33.5 40 1")
    check("consumers=1" in report, f"the reading reached no client: {report}")
    gauge = find(window, "Electronics housing temperature")
    # The value, its state, the latched alarm, the age of the reading.
    wait_for('the gauge describing "33.50°C, over limit"', lambda: program.ping(gauge),
             lambda d: re.fullmatch("33.50°C, over limit, unacknowledged alarm, updated [0-9]+ s ago", d))
    water = find(window, "Electronics housing water sensor")
    wait_for('the water sensor reading "ALARM ON"', lambda: program.fresh() and text_of(water),
             lambda t: t.strip() == "ALARM ON")

    program.press(window, "Alarms/Messages")
    status = program.wait_window("KOV STATUS")
    table = find(status, "Messages", e2e.pyatspi.ROLE_TABLE)
    text = "Water in the spectrograph housing"
    report = sim.send(f"push message alarm {text}")
    check("consumers=1" in report, f"the message reached no client: {report}")

    def last_row():
        program.fresh()
        rows = e2e.table_rows(table)
        if rows == 0:
            return None
        priority = e2e.table_cell(table, rows - 1, "Priority")
        return e2e.table_cell(table, rows - 1, "Message").name, priority.name, priority.description
    row = wait_for(f"{text!r} as the last row of the message list", last_row, lambda r: r[0] == text)
    check("Alarm" in row[1:], f'the priority of the row does not read "Alarm": {row}')

    program.press(window, "Exit")
    status = client.wait_exit(EXIT_LIMIT)
    check(status == 0, f"kovclient ended with status {status} after Exit: {client.output()}")


if __name__ == "__main__":
    sys.exit(e2e.run_cases([("no-notifier", case_no_notifier), ("readings", case_readings)],
                           __doc__.splitlines()[0]))
