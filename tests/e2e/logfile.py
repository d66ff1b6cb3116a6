"""The activity log: its entries split by their texts, and their stamps checked against what the
machine's user settings give (the probe renders them), so no format is assumed."""

import datetime

from driver import probe
from oracle import LOG_TEXTS

def parse_log(data):
    """Splits log bytes into entries [(kind, stamp bytes)] by the entries' own texts; fails on a
    missing or broken stamp and on any stray byte. Whether a stamp is right is for
    assert_stamps_between, which asks the machine."""
    entries = []
    pos = 0
    while pos < len(data):
        found = [(at, kind) for kind, text in LOG_TEXTS.items()
                 if (at := data.find(text, pos)) >= 0]
        if not found:
            raise AssertionError(f"no entry text after byte {pos}: {data[pos:pos + 48]!r}")
        at, kind = min(found)
        stamp = data[pos:at]
        if not stamp or b"\r" in stamp or b"\n" in stamp:
            raise AssertionError(f"no time stamp at byte {pos}: {data[pos:pos + 48]!r}")
        entries.append((kind, stamp))
        pos = at + len(LOG_TEXTS[kind])
    return entries


def expected_stamps(before, after):
    """Every stamp the machine's user settings give for a whole second in [before - 1 s,
    after + 1 s], as the log's code page 932 bytes: the system renders each (the probe's
    stamps), so no format is assumed here."""
    start = before.replace(microsecond=0) - datetime.timedelta(seconds=1)
    count = int((after - start).total_seconds()) + 2
    lines = probe("stamps", start.strftime("%Y-%m-%dT%H:%M:%S"), count)
    if len(lines) != count or any("stamp" not in line for line in lines):
        raise AssertionError(f"the probe could not render the stamps: {lines[-1:]}")
    return {line["stamp"].encode("cp932", errors="replace") for line in lines}


def assert_stamps_in(entries, allowed, what="the run's time"):
    for kind, raw in entries:
        if raw not in allowed:
            raise AssertionError(f"{kind} stamp {raw!r} is not one the user's settings give for "
                                 f"{what} (e.g. {sorted(allowed)[:2]})")


def assert_stamps_between(entries, before, after):
    """Every stamp is exactly what the user's settings give for a second in [before, after]
    (stamps are cut to whole seconds)."""
    assert_stamps_in(entries, expected_stamps(before, after), f"{before} .. {after}")
