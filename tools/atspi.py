#!/usr/bin/python3
"""What a screen reader reads of a running Kova, through AT-SPI (as Orca asks for it).

    tools/atspi.py PID QUERY [ARGS...]

Run inside the D-Bus session of the program (tools/desktop.sh starts both). Waits up to
ten seconds for the program to appear on the accessibility bus. Queries:

    frame                the main window's name
    status               the status bar panels' texts, one a line
    progress             the progress panel: "<label text>\t<bar value>"
    focus                the focused control: "<role>\t<name>"
    widths               the column widths of the grid on screen, by its title cells
    cell ROW COL         the text of a cell of the grid on screen
    row ROW              every cell of a row of the grid on screen, "<title>: <text>" a line
    start                what the start page offers: "<role>\t<name>" a line
    titlebar             the title bar's buttons: "<name>" a line
    windows              the program's windows on screen: "<role>\t<name>" a line
    named ROLE NAME      exit 0 when a showing control of that role and name exists
    press ROLE NAME      the first action (press) of that control

Exit status 1 with a message on standard error when the answer is not there.
"""
import sys
import time

import pyatspi

TIMEOUT = 10.0


def fail(message):
    print("atspi: " + message, file=sys.stderr)
    sys.exit(1)


def application(pid):
    end = time.monotonic() + TIMEOUT
    while time.monotonic() < end:
        desktop = pyatspi.Registry.getDesktop(0)
        for app in desktop:
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        time.sleep(0.2)
    fail("program %d is not on the accessibility bus" % pid)


def showing(acc):
    try:
        return acc.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def walk(acc):
    """Every showing object under acc, depth first; tables are not entered."""
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is None or not showing(child):
            continue
        yield child
        if child.getRole() != pyatspi.ROLE_TABLE:
            yield from walk(child)


def frame(app):
    """The main window: the program's first window on screen."""
    for i in range(app.childCount):
        child = app.getChildAtIndex(i)
        if child is not None and showing(child):
            return child
    fail("no main window")


def first(app, role, name=None):
    for acc in walk(frame(app)):
        if acc.getRole() == role and (name is None or acc.name == name):
            return acc
    return None


def find(app, role_name, name):
    for acc in walk(frame(app)):
        if acc.getRoleName() == role_name and acc.name == name:
            return acc
    fail("no %s named %s" % (role_name, name))


def grid(app):
    table = first(app, pyatspi.ROLE_TABLE)
    if table is None:
        fail("no grid on screen")
    return table


def column_titles(table):
    """The title cells, which come first among the table's children (after a corner)."""
    columns = table.queryTable().nColumns
    titles = []
    for i in range(min(table.childCount, 2 * (columns + 1))):
        child = table.getChildAtIndex(i)
        if child is not None and child.getRole() == pyatspi.ROLE_TABLE_COLUMN_HEADER:
            titles.append(child)
    return titles[:columns]


def cell(table, row, col):
    acc = table.queryTable().getAccessibleAt(row, col)
    if acc is None:
        fail("no cell %d, %d" % (row, col))
    return acc


def role_name(acc):
    return acc.getRoleName() + "\t" + acc.name


def main(argv):
    if len(argv) < 3:
        fail(__doc__)
    app = application(int(argv[1]))
    query, args = argv[2], argv[3:]
    if query == "frame":
        print(frame(app).name)
    elif query == "status":
        bar = first(app, pyatspi.ROLE_STATUS_BAR)
        if bar is None:
            fail("no status bar")
        for i in range(bar.childCount):
            print(bar.getChildAtIndex(i).name)
    elif query == "progress":
        bar = first(app, pyatspi.ROLE_PROGRESS_BAR)
        if bar is None:
            fail("no progress bar on screen")
        panel = bar.parent
        labels = [panel.getChildAtIndex(i) for i in range(panel.childCount)
                  if panel.getChildAtIndex(i).getRole() == pyatspi.ROLE_LABEL]
        value = bar.queryValue().currentValue
        print("%s\t%d" % (labels[0].name if labels else "", round(value)))
    elif query == "focus":
        for acc in walk(frame(app)):
            if acc.getState().contains(pyatspi.STATE_FOCUSED):
                print(role_name(acc))
                return
        fail("nothing has the focus")
    elif query == "widths":
        print(" ".join(str(t.queryComponent().getExtents(pyatspi.DESKTOP_COORDS).width)
                       for t in column_titles(grid(app))))
    elif query == "cell":
        print(cell(grid(app), int(args[0]), int(args[1])).name)
    elif query == "row":
        table = grid(app)
        titles = [t.name for t in column_titles(table)]
        for col in range(table.queryTable().nColumns):
            title = titles[col] if col < len(titles) else str(col)
            print("%s: %s" % (title, cell(table, int(args[0]), col).name))
    elif query == "start":
        wanted = {pyatspi.ROLE_LABEL, pyatspi.ROLE_LINK, pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TEXT,
                  pyatspi.ROLE_ENTRY, pyatspi.ROLE_STATUS_BAR, pyatspi.ROLE_STATIC}
        for acc in walk(frame(app)):
            if acc.getRole() in wanted and acc.name:
                print(role_name(acc))
    elif query == "titlebar":
        for acc in walk(frame(app)):
            if acc.getRole() == pyatspi.ROLE_PUSH_BUTTON and acc.name in ("最小化", "最大化", "还原", "关闭"):
                print(acc.name)
    elif query == "windows":
        for i in range(app.childCount):
            child = app.getChildAtIndex(i)
            if child is not None and showing(child):
                print(role_name(child))
    elif query == "press":
        find(app, args[0], args[1]).queryAction().doAction(0)
    elif query == "named":
        find(app, args[0], args[1])
    else:
        fail("unknown query " + query)


if __name__ == "__main__":
    try:
        main(sys.argv)
    except BrokenPipeError:  # a reader that wanted only the first lines
        sys.exit(0)
